// The destination checks on a folder of their own in the temporary folder,
// with the drive's figures given to CheckDestinationWith where the
// arithmetic is under test, and the folder chain.
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
    if (!font.empty()) SetFileAttributesA(font.c_str(), FILE_ATTRIBUTE_NORMAL), DeleteFileA(font.c_str());
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
  std::string folder, font;
  TestFileTable table;
};

// The space needed, in whole units, plus the largest file once more for its
// temporary copy: the least free space (KiB) that is enough, for each unit.
TEST_F(DestinationCheckTest, SpaceInWholeUnitsWithOneTemporaryCopy) {
  Existing(InFolder("grows.dat"), 4096);
  Existing(InFolder("shrinks.dat"), 10000);
  const std::vector<TestRecord> mixed = {File("one.dat", 1), File("two.dat", 4097), File("grows.dat", 5000),
                                         File("shrinks.dat", 100)};
  const struct {
    std::vector<TestRecord> records;
    uint32_t unit, enough;
  } cases[] = {
      // 4,096 + 8,192 + 4,096 more for the grown file + nothing for the
      // shrunk one, and the largest (8,192) again: 24 KiB, and more than that.
      {mixed, 4, 25},
      // 1,024 + 5,120 + (5,120 - 4,096) + 5,120 = 12 KiB.
      {mixed, 1, 13},
      // An external record needs no space of its own but counts as the
      // largest: 16,384 + 102,400 bytes.
      {{File("one.dat", 1), File("two.dat", 4097), File("grows.dat", 5000),
        File("external.dat", 100000, kDestInstallDir, kUninstallExternal)},
       4, 117},
      {{}, 32, 1},  // nothing to install: anything free will do
      // Sums past 4 GiB do not wrap: 8 GiB less 8 KiB, plus one file again.
      {{File("a.dat", 0xFFFFF000), File("b.dat", 0xFFFFF000)}, 4, 12582901},
  };
  for (const auto& c : cases) {
    table.Set(c.records);
    EXPECT_EQ(CheckDestinationWith(c.enough, c.unit), kDestinationReady) << c.enough;
    EXPECT_EQ(CheckDestinationWith(c.enough - 1, c.unit), kDestinationFull) << c.enough;
  }
  EXPECT_EQ(CheckDestinationWith(kFreeSpaceUnknown, 4), kDestinationReady);
}

TEST_F(DestinationCheckTest, ReadOnlyTargetsAreFoundAndKeepTheirAttribute) {
  const std::string locked = Existing(InFolder("locked.dat"), 10, FILE_ATTRIBUTE_READONLY);
  Existing(InFolder("open.dat"), 10);
  table.Set({File("open.dat", 10), File("locked.dat", 10)});
  EXPECT_EQ(CheckDestinationWith(1000, 4), kDestinationReady);
  EXPECT_TRUE(ReadOnlyTargetsFound);
  EXPECT_EQ(GetFileAttributesA(locked.c_str()) & FILE_ATTRIBUTE_READONLY, DWORD{FILE_ATTRIBUTE_READONLY});
  // The flag is cleared by each run.
  table.Set({File("open.dat", 10), File("new.dat", 10)});
  EXPECT_EQ(CheckDestinationWith(1000, 4), kDestinationReady);
  EXPECT_FALSE(ReadOnlyTargetsFound);
}

TEST_F(DestinationCheckTest, ExistingFontsAreNotRemovedAtUninstall) {
  char fonts[MAX_PATH];
  ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, fonts, CSIDL_FONTS, TRUE));
  const std::string name = "setvik-test-" + std::to_string(GetCurrentProcessId()) + ".ttf";
  // A read-only font is not an objection either: fonts skip the access test.
  font = Existing(std::string(fonts) + "\\" + name, 100, FILE_ATTRIBUTE_READONLY);
  table.Set({File(name.c_str(), 100, kDestFonts), File("setvik-no-such-font.ttf", 100, kDestFonts),
             File("kept.dat", 100, kDestInstallDir)});
  for (int confirm = 0; confirm < 2; ++confirm) {  // the user confirms the page twice
    EXPECT_EQ(CheckDestinationWith(1000, 4), kDestinationReady);
    EXPECT_EQ(table.Record(0)[FileRecordField::uninstallMode], kUninstallKeep);
    EXPECT_EQ(table.Record(1)[FileRecordField::uninstallMode], kUninstallRemove);
    EXPECT_EQ(table.Record(2)[FileRecordField::uninstallMode], kUninstallRemove);
    EXPECT_FALSE(ReadOnlyTargetsFound);
  }
}

TEST_F(DestinationCheckTest, DriveQueries) {
  DWORD sectors, bytes, freeClusters, total;
  ASSERT_TRUE(GetDiskFreeSpaceA("C:\\", &sectors, &bytes, &freeClusters, &total));
  const uint32_t unit = (sectors * bytes + 1023) / 1024;
  EXPECT_EQ(GetClusterKilobytes("C:\\"), unit);
  // A path on the drive is measured at its root, existing or not.
  EXPECT_EQ(GetClusterKilobytes("C:\\setvik\\no\\such\\folder"), unit);
  EXPECT_EQ(GetClusterKilobytes("c:"), unit);
  // Free space in 64 bits: more than 4 GiB free still reads right. Other
  // programs write meanwhile, so allow them 64 MiB.
  const uint64_t expected = (uint64_t{sectors} * bytes * freeClusters) >> 10;
  const uint64_t capped = expected < 0xFFFFFFFF ? expected : 0xFFFFFFFE;
  EXPECT_NEAR(double(GetFreeKilobytes("C:\\setvik\\no\\such\\folder")), double(capped), 65536.0);
  EXPECT_NEAR(double(GetFreeKilobytes(InstallDir)), double(capped), 65536.0);
  EXPECT_NE(GetFreeKilobytes(InstallDir), kFreeSpaceUnknown);
  // CheckDestination measures the drive of InstallDir: nothing to install
  // fits on any drive with space.
  table.Set({});
  EXPECT_EQ(CheckDestination(), kDestinationReady);
  // An unknown drive: unknown free space, 32 KiB units.
  EXPECT_EQ(GetFreeKilobytes("\\\\setvik-no-server\\share\\"), kFreeSpaceUnknown);
  EXPECT_EQ(GetClusterKilobytes("\\\\setvik-no-server\\share\\"), kDefaultClusterKilobytes);
}

TEST_F(DestinationCheckTest, FolderChainCreatesEachMissingFolder) {
  const std::string a = InFolder("A"), b = a + "\\B", c = InFolder("C"), d = c + "\\D";
  EXPECT_EQ(CreateFolderChain((b + "\\file.txt").c_str()), 0);
  EXPECT_NE(GetFileAttributesA(b.c_str()), INVALID_FILE_ATTRIBUTES);
  char current[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, current);
  EXPECT_STRCASEEQ(current, b.c_str());  // left in the deepest folder
  // A trailing backslash names the folder itself; a second call finds all.
  EXPECT_EQ(CreateFolderChain((d + "\\").c_str()), 0);
  EXPECT_NE(GetFileAttributesA(d.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(CreateFolderChain((d + "\\").c_str()), 0);
  // A drive root: nothing to create.
  EXPECT_EQ(CreateFolderChain("C:\\"), 0);
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
