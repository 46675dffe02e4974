// The destination checks on a folder of their own in the temporary folder,
// with the drive's figures given to CheckDestinationWith, and the folder
// chain.
#include "base/PathText.h"
#include "install/DestinationCheck.h"
#include "tests/windows/PathBuffersTest.h"

namespace {

class DestinationCheckTest : public PathBuffersTest {
 protected:
  void SetUp() override {
    PathBuffersTest::SetUp();
    folder = MakeScratch(("setvik-dest-" + std::to_string(GetCurrentProcessId())).c_str());
    lstrcpynA(InstallDir, folder.c_str(), kPathBufferSize);
    RemoveBackslash(InstallDir);
  }
  void TearDown() override {
    SetCurrentDirectoryA(TempFolder().c_str());
    RemoveTree(folder);
    PathBuffersTest::TearDown();
  }
  std::string Existing(const std::string& path, uint32_t size, DWORD attributes = 0) {
    return WriteTextFile(path, std::string(size, 'x'), attributes);
  }
  std::string InFolder(const std::string& name) { return folder + name; }
  static TestRecord File(const char* name, uint32_t size, uint8_t kind = kDestInstallDir,
                         uint8_t uninstallMode = kUninstallRemove) {
    TestRecord record = Named(name, size);
    record.destinationKind = kind;
    record.uninstallMode = uninstallMode;
    return record;
  }
  std::string folder;
  TestFileTable table;
};

// The space needed, in whole units, plus the largest file once more for its
// temporary copy: 4,096 + 8,192 + 4,096 more for the grown file + nothing for
// the shrunk one, and the largest (8,192) again, in 4 KiB units: 24 KiB is
// too little, 25 enough.
TEST_F(DestinationCheckTest, TooSmallADriveIsRefused) {
  Existing(InFolder("grows.dat"), 4096);
  Existing(InFolder("shrinks.dat"), 10000);
  table.Set({File("one.dat", 1), File("two.dat", 4097), File("grows.dat", 5000), File("shrinks.dat", 100)});
  EXPECT_EQ(CheckDestinationWith(25, 4), kDestinationReady);
  EXPECT_EQ(CheckDestinationWith(24, 4), kDestinationFull);
  EXPECT_EQ(CheckDestinationWith(kFreeSpaceUnknown, 4), kDestinationReady);
}

TEST_F(DestinationCheckTest, FolderChainCreatesEachMissingFolder) {
  const std::string a = InFolder("A"), b = a + "\\B", c = InFolder("C"), d = c + "\\D";
  EXPECT_EQ(CreateFolderChain((b + "\\file.txt").c_str()), 0);
  EXPECT_NE(GetFileAttributesA(b.c_str()), INVALID_FILE_ATTRIBUTES);
  char current[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, current);
  EXPECT_STRCASEEQ(current, b.c_str());  // left in the deepest folder
  // A trailing backslash names the folder itself.
  EXPECT_EQ(CreateFolderChain((d + "\\").c_str()), 0);
  EXPECT_NE(GetFileAttributesA(d.c_str()), INVALID_FILE_ATTRIBUTES);
  // A drive root: nothing to create.
  EXPECT_EQ(CreateFolderChain("C:\\file.txt"), 0);
  // A file in the way stops the chain; the folders before it stay.
  const std::string e = InFolder("E");
  CreateDirectoryA(e.c_str(), nullptr);
  Existing(e + "\\F", 1);
  EXPECT_EQ(CreateFolderChain((e + "\\F\\G\\x.txt").c_str()), 1);
  EXPECT_EQ(GetFileAttributesA((e + "\\F\\G").c_str()), INVALID_FILE_ATTRIBUTES);
  // A server name can be neither entered nor created.
  EXPECT_EQ(CreateFolderChain("\\\\setvik-no-server\\share\\x.txt"), 1);
}

}  // namespace
