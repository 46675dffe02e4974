// The file-table check over tables from the writer (its hostile tables are
// the fuzz target's), and the content checksum against a worked value.
#include <gtest/gtest.h>

#include "authoring/SetupWriter.h"
#include "setupdata/FileRecord.h"

namespace {

using Bytes = std::vector<uint8_t>;

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
  EXPECT_FALSE(ValidateFileTable(table.data(), 0));
}

// Words of four bytes, each added to the sum rotated left by one bit, then
// the trailing bytes one at a time: 0x64636261 after 0x00000000, then 0x65.
TEST(FileRecordTest, ContentChecksumWorkedValue) {
  const Bytes abcde = {'a', 'b', 'c', 'd', 'e'};
  EXPECT_EQ(ContentChecksum(0, abcde.data(), abcde.size()), 0xC8C6C527u);
}

}  // namespace
