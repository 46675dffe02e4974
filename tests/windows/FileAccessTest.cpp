// The Win32 file-access layer and buffer routines on a real Windows file
// system (Wine): open modes and their sharing, exact and partial reads,
// writes, positions, and zeroed heap blocks.
#include <algorithm>

#include "base/FileAccess.h"
#include "tests/windows/PathBuffersTest.h"

namespace {

// A fresh folder under the temporary folder, removed with its files.
class FileAccessTest : public ::testing::Test {
 protected:
  void SetUp() override { folder = MakeScratch(("setvik-fa-" + std::to_string(GetCurrentProcessId())).c_str()); }
  void TearDown() override { RemoveTree(folder); }
  // A file of n bytes, byte i holding i * 7 mod 256.
  std::string MakeFile(const char* name, uint32_t n) {
    const std::string path = folder + name;
    FileHandle f = FileCreate(path.c_str());
    EXPECT_EQ(FileWrite(f, Pattern(n).data(), n), 0);
    FileClose(f);
    return path;
  }
  static std::vector<uint8_t> Pattern(uint32_t n) {
    std::vector<uint8_t> v(n);
    for (uint32_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7);
    return v;
  }
  std::string folder;
};

TEST_F(FileAccessTest, CreateReadPositionsAndWriteModes) {
  const std::string path = MakeFile("b.bin", 1000);
  const std::vector<uint8_t> want = Pattern(1000);
  FileHandle f = FileOpen(path.c_str(), kFileRead);
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

  // (Reading and writing on one handle, without truncating: the uninstall
  // log's tests.) A missing file cannot be opened, nor created in a missing folder.
  EXPECT_EQ(FileOpen((folder + "missing.bin").c_str(), kFileReadWrite), kInvalidFile);
  EXPECT_EQ(FileCreate((folder + "no\\such\\x.bin").c_str()), kInvalidFile);
}

// What a second opener gets while the file is held in each mode: this
// layer's read, write and read-write, and the platform's read sharing
// everything.
TEST_F(FileAccessTest, Sharing) {
  const std::string path = MakeFile("d.bin", 10);
  const struct {
    int holder;  // a FileMode, or -1 for create
    bool read, write, readWrite, otherRead;
  } cases[] = {
      {kFileWrite, false, false, false, false},  // shares nothing
      {-1, false, false, false, false},
      {kFileRead, true, false, false, true},  // others read, not write
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
}

TEST(BufferTest, ZeroedBlocksAndRefusedRequests) {
  // Zeroed blocks are zero even where the heap just held other bytes.
  for (int round = 0; round < 20; ++round) {
    uint8_t* dirty = nullptr;
    ASSERT_TRUE(AllocateBuffer(4096, dirty));
    memset(dirty, 0xCD, 4096);
    ReleaseBuffer(dirty);
    uint32_t* zero = nullptr;
    ASSERT_TRUE(AllocateZeroed(4096, zero));
    EXPECT_EQ(BufferSize(zero), 4096u);
    ASSERT_EQ(std::count(zero, zero + 1024, 0u), 1024);
    ReleaseBuffer(zero);
    EXPECT_EQ(zero, nullptr);
  }
  // A request the heap cannot meet fails, and clears the owner.
  char* huge = reinterpret_cast<char*>(1);
  EXPECT_FALSE(AllocateBuffer(0xFFFFFF00u, huge) || huge);
}

}  // namespace
