// The Win32 file-access layer on a real Windows file system (Wine): exact
// and partial reads, positions, and the sharing of each open mode.
#include "base/FileAccess.h"
#include "tests/windows/Support.h"

namespace {

TEST(FileAccessTest, ReadsPositionsAndSharing) {
  const std::string folder = MakeScratch("setvik-fa"), path = folder + "b.bin";
  std::vector<uint8_t> want(1000);
  for (uint32_t i = 0; i < want.size(); ++i) want[i] = static_cast<uint8_t>(i * 7);
  FileHandle f = FileCreate(path.c_str());
  EXPECT_EQ(FileWrite(f, want.data(), 1000), 0);
  FileClose(f);
  f = FileOpen(path.c_str(), kFileRead);
  ASSERT_NE(f, kInvalidFile);
  uint8_t buf[200];
  // Each step moves the position (kFileBadPosition: refused, the position
  // stays) and reads n bytes: read all or fail (a short read fails), or
  // read_some giving what is there.
  enum Move { kTo, kSkip, kEnd };
  const struct {
    Move move;
    int32_t by;
    uint32_t at, n;
    bool some;
    int got;  // FileRead's result or FileReadSome's count
  } steps[] = {{kSkip, 0, 0, 10, false, 0},     {kSkip, -3, 7, 4, false, 0},
               {kEnd, -10, 990, 100, true, 10}, {kEnd, -20, 980, 30, false, 1}, {kTo, 0, 0, 0, false, 0},
               {kSkip, -1, kFileBadPosition, 0, false, 0}, {kEnd, -1001, kFileBadPosition, 0, false, 0},
               {kTo, 2000, 2000, 10, true, 0}};
  for (const auto& step : steps) {
    const uint32_t at = step.move == kTo     ? FileSeekTo(f, step.by)
                        : step.move == kSkip ? FileSkip(f, step.by)
                                             : FileSeekEnd(f, step.by);
    EXPECT_EQ(at, step.at) << step.move << " " << step.by;
    const uint32_t from = FileTell(f);
    if (!step.n) continue;
    const int got = step.some ? static_cast<int>(FileReadSome(f, buf, step.n)) : FileRead(f, buf, step.n);
    EXPECT_EQ(got, step.got) << step.at;
    const uint32_t read = step.some ? got : got ? 0 : step.n;
    if (read) EXPECT_EQ(memcmp(buf, want.data() + from, read), 0) << step.at;
  }
  EXPECT_EQ(FileSize(f), 1000u);  // the size leaves the position alone
  EXPECT_EQ(FileTell(f), 2000u);
  EXPECT_EQ(FileWrite(f, "x", 1), 2);  // a read-only handle refuses writes
  FileClose(f);
  EXPECT_EQ(FileOpen((folder + "missing.bin").c_str(), kFileReadWrite), kInvalidFile);

  // What a second opener gets while the file is held in each mode (a
  // FileMode, or -1 for create): this layer's read, write and read-write,
  // and the platform's read sharing everything.
  const struct {
    int holder;
    bool read, write, readWrite, otherRead;
  } cases[] = {
      {kFileWrite, false, false, false, false},
      {-1, false, false, false, false},
      {kFileRead, true, false, false, true},
      {kFileReadWrite, false, false, false, true},  // readers that tolerate the writer
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.holder);
    const FileHandle held = c.holder < 0 ? FileCreate(path.c_str()) : FileOpen(path.c_str(), FileMode(c.holder));
    ASSERT_NE(held, kInvalidFile);
    const bool expected[] = {c.read, c.write, c.readWrite};
    for (FileMode mode : {kFileRead, kFileWrite, kFileReadWrite}) {
      const FileHandle second = FileOpen(path.c_str(), mode);
      EXPECT_EQ(second != kInvalidFile, expected[mode]) << mode;
      FileClose(second);
    }
    HANDLE other = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(other != INVALID_HANDLE_VALUE, c.otherRead);
    if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
    FileClose(held);
  }
  RemoveTree(folder);
}

}  // namespace
