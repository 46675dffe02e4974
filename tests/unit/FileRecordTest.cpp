// The file-table walk over records from the writer, the table check (whose
// hostile tables are the fuzz target's), and the content checksum's worked
// values.
#include <gtest/gtest.h>

#include "authoring/SetupWriter.h"
#include "setupdata/FileRecord.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(FileRecordTest, StringsAndBlocksFollowTheOptionFlags) {
  // Flags, then the offsets of string 0, the version block and the times block (-1: absent).
  for (auto [flags, strings, version, times] : {std::tuple{0x00, 26, -1, -1}, {0x01, 26, -1, -1}, {0x04, 46, 26, -1},
                                               {0x08, 50, -1, 26}, {0x0E, 70, 26, 46}, {0xF9, 50, -1, 26}}) {
    FileRecordInfo info;
    info.optionFlags = static_cast<uint8_t>(flags);
    info.strings = {"a", "bc", "", "def", "", "g"};
    const Bytes record = BuildFileRecord(info);
    EXPECT_EQ(record.size(), strings + 6u + 7u) << flags;
    EXPECT_EQ(RecordString(record.data(), 0), reinterpret_cast<const char*>(record.data() + strings)) << flags;
    for (uint32_t n = 0; n < 6; ++n) EXPECT_EQ(RecordString(record.data(), n), info.strings[n]) << flags;
    const uint8_t *v = RecordVersionBlock(record.data()), *t = RecordTimesBlock(record.data());
    EXPECT_EQ(v ? v - record.data() : -1, version) << flags;
    EXPECT_EQ(t ? t - record.data() : -1, times) << flags;
  }
}

TEST(FileRecordTest, ValidateFileTableWalksOnlyWhatItCounts) {
  std::vector<SetupFileEntry> files(2);
  files[0].record.strings = {"one", "", "", "", "", ""};
  files[1].record.strings = {"two", "", "", "", "", "end"};
  files[1].record.optionFlags = 0x0E;
  const Bytes table = BuildFileTable(files);
  auto valid = [&](auto change) {
    Bytes copy = table;
    change(copy);
    return ValidateFileTable(copy.data(), copy.size());
  };
  EXPECT_TRUE(valid([](Bytes&) {}));
  EXPECT_TRUE(valid([](Bytes& t) { t.push_back(0xAB); }));  // bytes after the last counted record
  EXPECT_TRUE(valid([](Bytes& t) { WriteU32Le(t.data(), 1); }));
  EXPECT_FALSE(valid([](Bytes& t) { WriteU32Le(t.data(), 3); }));  // one record more than there is
  EXPECT_FALSE(valid([](Bytes& t) { WriteU32Le(t.data() + 4, 31); }));  // head, but no room for six strings
  EXPECT_FALSE(valid([](Bytes& t) { t.back() = 'x'; }));  // the last string runs off the record
  const Bytes empty = {0, 0, 0, 0};
  EXPECT_TRUE(ValidateFileTable(empty.data(), empty.size()));
  EXPECT_FALSE(ValidateFileTable(empty.data(), 0));
}

TEST(FileRecordTest, ContentChecksumWorkedValues) {
  auto sum = [](const Bytes& bytes) { return ContentChecksum(0, bytes.data(), bytes.size()); };
  EXPECT_EQ(sum({}), 0u);
  EXPECT_EQ(sum({'a', 'b', 'c'}), 0x000002ABu);            // 0x61, then 0xC2 + 0x62, then 0x248 + 0x63
  EXPECT_EQ(sum({'a', 'b', 'c', 'd', 'e'}), 0xC8C6C527u);  // the word 0x64636261, then 0x65
  EXPECT_EQ(sum({1, 0, 0, 0, 1, 0, 0, 0}), 3u);
  EXPECT_EQ(sum({0, 0, 0, 0x80, 0, 0, 0, 0}), 1u);    // the top bit rotates round into bit 0
  EXPECT_EQ(sum({1, 0, 0, 0, 0xFF, 0xFF}), 0x301u);  // ((1 << 1) + 0xFF) << 1, + 0xFF: trailing bytes unsigned
  // Fed in pieces whose lengths are multiples of 4, the value is the same.
  Bytes data(40003);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 131 + (i >> 8));
  uint32_t value = 0;
  for (size_t at = 0; at < data.size(); at += 16384)
    value = ContentChecksum(value, data.data() + at, static_cast<uint32_t>(std::min<size_t>(16384, data.size() - at)));
  EXPECT_EQ(value, sum(data));
}

}  // namespace
