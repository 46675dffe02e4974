// The file-table walk over records from the writer, the table check on
// damaged tables, and the content checksum's worked values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "authoring/SetupWriter.h"
#include "setupdata/FileRecord.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Record(uint8_t optionFlags, std::array<std::string, 6> strings = {}) {
  FileRecordInfo info;
  info.optionFlags = optionFlags;
  info.strings = strings;
  return BuildFileRecord(info);
}

TEST(FileRecordTest, StringsAndBlocksFollowTheOptionFlags) {
  struct Case {
    uint8_t flags;
    uint32_t strings;  // offset of string 0
    int version;       // offset of the version block, -1 when absent
    int times;
  };
  for (Case c : {Case{0x00, 26, -1, -1}, Case{0x01, 26, -1, -1}, Case{0x02, 46, 26, -1}, Case{0x04, 46, 26, -1},
                 Case{0x06, 46, 26, -1}, Case{0x08, 50, -1, 26}, Case{0x0E, 70, 26, 46}, Case{0xF9, 50, -1, 26}}) {
    SCOPED_TRACE(static_cast<int>(c.flags));
    Bytes record = Record(c.flags, {"a", "bc", "", "def", "", "g"});
    // All six strings empty would be head + blocks + 6; these hold 7 more.
    EXPECT_EQ(record.size(), c.strings + 6 + 7);
    EXPECT_EQ(ReadU32Le(record.data()), record.size());
    EXPECT_EQ(RecordStringsOffset(c.flags), c.strings);
    EXPECT_EQ(RecordString(record.data(), 0), reinterpret_cast<const char*>(record.data() + c.strings));
    const char* expected[] = {"a", "bc", "", "def", "", "g"};
    for (uint32_t n = 0; n < 6; ++n) EXPECT_STREQ(RecordString(record.data(), n), expected[n]);
    const uint8_t* version = RecordVersionBlock(record.data());
    const uint8_t* times = RecordTimesBlock(record.data());
    EXPECT_EQ(version ? version - record.data() : -1, c.version);
    EXPECT_EQ(times ? times - record.data() : -1, c.times);
    EXPECT_EQ(Record(c.flags).size(), c.strings + 6u);  // six empty strings
  }
  EXPECT_EQ(Record(0).size(), 32u);
}

// Each damage makes the table unsafe to walk, and the check must say so.
TEST(FileRecordTest, ValidateFileTableRejectsWhatCannotBeWalked) {
  std::vector<SetupFileEntry> files(2);
  files[0].record.strings = {"one", "", "", "", "", ""};
  files[1].record.strings = {"two", "", "", "", "", "end"};
  files[1].record.optionFlags = 0x0E;
  const Bytes table = BuildFileTable(files);
  const uint32_t first = 4, second = 4 + 35;  // record 0 is 26 + 9 bytes
  ASSERT_EQ(ReadU32Le(table.data() + first), 35u);
  ASSERT_TRUE(ValidateFileTable(table.data(), table.size()));

  auto damaged = [&](auto change) {
    Bytes copy = table;
    change(copy);
    return ValidateFileTable(copy.data(), copy.size());
  };
  auto setU32 = [](uint32_t at, uint32_t value) { return [=](Bytes& t) { WriteU32Le(t.data() + at, value); }; };
  EXPECT_FALSE(damaged([](Bytes& t) { t.resize(3); }));           // no room for recordCount
  EXPECT_FALSE(damaged(setU32(0, 3)));                             // one record more than there is
  EXPECT_FALSE(damaged(setU32(0, 0xFFFFFFFFu)));
  EXPECT_FALSE(damaged(setU32(first, 0)));                         // a zero length would never advance
  EXPECT_FALSE(damaged(setU32(first, 20)));                        // shorter than the head
  EXPECT_FALSE(damaged(setU32(first, 31)));                        // head, but no room for six strings
  EXPECT_FALSE(damaged(setU32(second, 26 + 44 + 5)));              // blocks leave no room for six strings
  EXPECT_FALSE(damaged(setU32(second, table.size() - second + 1)));  // past the table
  EXPECT_FALSE(damaged([](Bytes& t) { t.back() = 'x'; }));         // last string runs off the record
  EXPECT_FALSE(damaged([](Bytes& t) { t.resize(t.size() - 1); }));  // record cut by the table's end
  EXPECT_FALSE(damaged([&](Bytes& t) { t[first + 26 + 3] = 'x'; }));  // five NULs left in record 0
  EXPECT_FALSE(damaged([&](Bytes& t) { t.resize(second + 20); }));   // second record's head cut

  // Bytes after the last counted record are harmless to the walk.
  EXPECT_TRUE(damaged([](Bytes& t) { t.push_back(0xAB); }));
  EXPECT_TRUE(damaged([](Bytes& t) { WriteU32Le(t.data(), 1); }));
  Bytes empty = {0, 0, 0, 0};
  EXPECT_TRUE(ValidateFileTable(empty.data(), empty.size()));
  EXPECT_FALSE(ValidateFileTable(empty.data(), 0));
}

TEST(FileRecordTest, ContentChecksumWorkedValues) {
  auto sum = [](const Bytes& bytes) { return ContentChecksum(0, bytes.data(), bytes.size()); };
  EXPECT_EQ(sum({}), 0u);
  EXPECT_EQ(sum({'a', 'b', 'c'}), 0x000002ABu);            // 0x61, then 0xC2 + 0x62, then 0x248 + 0x63
  EXPECT_EQ(sum({'a', 'b', 'c', 'd', 'e'}), 0xC8C6C527u);  // the word 0x64636261, then 0x65
  EXPECT_EQ(sum({1, 0, 0, 0}), 1u);
  EXPECT_EQ(sum({1, 0, 0, 0, 1, 0, 0, 0}), 3u);
  EXPECT_EQ(sum({0, 0, 0, 0x80, 0, 0, 0, 0}), 1u);  // the top bit rotates round into bit 0
  EXPECT_EQ(sum({0x80}), 0x80u);                    // trailing bytes count unsigned
  EXPECT_EQ(sum({1, 0, 0, 0, 0xFF, 0xFF}), 0x301u);       // ((1 << 1) + 0xFF) << 1, + 0xFF

  // Fed in pieces whose lengths are multiples of 4, the value is the same.
  Bytes data(40003);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 131 + (i >> 8));
  uint32_t whole = sum(data);
  uint32_t value = 0;
  for (size_t at = 0; at < data.size(); at += 16384) {
    uint32_t piece = static_cast<uint32_t>(std::min<size_t>(16384, data.size() - at));
    value = ContentChecksum(value, data.data() + at, piece);
  }
  EXPECT_EQ(value, whole);
}

}  // namespace
