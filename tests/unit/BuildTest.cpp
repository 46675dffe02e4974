// setvik build: projects written into a temporary folder, built, and read
// back with the stub's own loader and decoder (through list, verify and
// extract), including setups cut into volumes at every kind of place, the
// determinism of the output, and each kind of bad input (which must leave
// no output behind).
#include "setupdata/FileRecord.h"
#include "setupdata/SetupData.h"
#include "tests/support/PeTestFiles.h"
#include "tests/unit/ToolTesting.h"
#include "uninstlog/UninstallLog.h"

namespace {

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

using BuildTest = BuildFixture;

TEST_F(BuildTest, EverySettingReachesTheSetupData) {
  Put("bin/app.exe", Pattern(50000, 1));
  Put("docs/a.txt", std::vector<uint8_t>(3000, 'a'));
  Put("docs/sub/b.txt", std::vector<uint8_t>(10, 'b'));
  Put("docs/skip.bin", {1, 2, 3});
  Put("uninst.exe", Pattern(100, 5));
  ASSERT_EQ(Build("folder_memory = { registry_root = \"HKLM\", registry_key = 'Software\\Test', "
                  "ini_file = \"test.ini\", ini_section = \"S\", ini_key = \"K\", save_to_ini = true }\n"
                  "background = { title = \"Big Title\", font = { face = \"Arial\", height = -30, weight = 400 } }\n"
                  "texts = { welcome = { paragraph1 = \"Hello\" }, directory = { megabytes = \"%d MiB (100%%)\" } }\n"
                  "[setup]\ntitle = \"Test App\"\nfull_screen = true\nfolder_changeable = false\n"
                  "single_page = \"directory\"\nuninstall_name = \"Test App 1\"\narchitecture = \"x64\"\n"
                  "[[file]]\nsource = \"bin/app.exe\"\ntarget = 'bin\\app.exe'\nlaunch = \"run-after\"\n"
                  "check_version = true\nversion = { file = \"1.2.3.4\", product = \"5.6\", language = 0x0409 }\n"
                  "times = { creation = 2020-01-01T00:00:00Z, access = 2021-01-01T00:00:00Z, "
                  "write = \"2022-01-01T00:00:00Z\" }\n"
                  "start_menu = { group = \"Test\", name = \"Test App\", args = \"/x\", icon = 2 }\n"
                  "desktop = { name = \"Test\", args = \"-d\" }\n"
                  "[[file]]\nsource = \"docs\"\npattern = \"*.txt\"\ntarget = \"Docs\"\ndestination = \"windows\"\n"
                  "shared = true\nuninstall = \"keep\"\n"
                  "[[file]]\ntarget = \"beside.dat\"\nuninstall = \"external\"\nsize = 1234\n"
                  "[[file]]\nsource = \"uninst.exe\"\nuninstaller = true\nregister = \"self\"\n"),
            "");
  std::string error;
  ASSERT_TRUE(LoadSetup(dir + "/setup.exe", error)) << error;
  // Batched unless pace = "per-file"; a machine-wide setup asks for an administrator.
  EXPECT_EQ(SetupFlags, kFullScreenBackground | kSaveDirToIni | kBatchedSteps | kArchitectureX64);
  const std::vector<uint8_t> setup = Slurp(dir + "/setup.exe");
  EXPECT_EQ(DescribeManifest(setup.data(), setup.size()).value_or("none"), "requireAdministrator");
  EXPECT_EQ(SinglePage, 2);
  EXPECT_STREQ(InstallDir, "#Program Files#\\Test App");
  EXPECT_STREQ(UninstallName, "Test App 1");
  EXPECT_EQ(DirRegistryRoot, 2u);
  EXPECT_STREQ(DirRegistryKey, "Software\\Test");
  EXPECT_EQ(DirRegistryValue, nullptr);
  ASSERT_NE(BackgroundFont, nullptr);
  EXPECT_EQ(static_cast<int32_t>(ReadU32Le(BackgroundFont)), -30);
  EXPECT_STREQ(GetText(0, 1), "Hello");
  EXPECT_STREQ(GetText(2, 7), "%d MiB (100%%)");
  EXPECT_STREQ(GetText(6, 0), "Test App Setup");  // the default, with the title
  ASSERT_NE(DialogTemplates, nullptr);

  ASSERT_EQ(FileRecordCount, 5u);  // app, two docs (not skip.bin), external, uninstaller
  using namespace FileRecordField;
  const uint8_t* r = FirstFileRecord;
  EXPECT_STREQ(RecordString(r, kStringFileName), "bin\\app.exe");
  EXPECT_EQ(r[launchRole], kLaunchRunAfter);
  EXPECT_EQ(ReadU16Le(r + iconIndex), 2);
  EXPECT_EQ(RecordOptionFlags(r), kOptionCheckVersion | kOptionTimes);
  const uint8_t* v = RecordVersionBlock(r);
  EXPECT_EQ(ReadU32Le(v + kVersionFileMS), 0x00010002u);
  EXPECT_EQ(ReadU32Le(v + kVersionProductMS), 0x00050006u);
  EXPECT_EQ(ReadU32Le(v + kVersionLanguageId), 0x0409u);
  const uint8_t* t = RecordTimesBlock(r);
  EXPECT_EQ(ReadU32Le(t) | uint64_t{ReadU32Le(t + 4)} << 32, 132223104000000000ull);  // 2020-01-01
  EXPECT_EQ(ReadU32Le(t + 16) | uint64_t{ReadU32Le(t + 20)} << 32, 132854688000000000ull);  // 2022-01-01
  EXPECT_STREQ(RecordString(r, kStringGroupName), "Test");
  EXPECT_STREQ(RecordString(r, kStringDesktopShortcutArgs), "-d");
  r = NextFileRecord(const_cast<uint8_t*>(r));
  EXPECT_STREQ(RecordString(r, kStringFileName), "Docs\\a.txt");
  EXPECT_EQ(r[destinationKind], kDestWindows);
  EXPECT_EQ(r[uninstallMode], kUninstallKeep);
  r = NextFileRecord(const_cast<uint8_t*>(r));
  EXPECT_STREQ(RecordString(r, kStringFileName), "Docs\\sub\\b.txt");
  r = NextFileRecord(const_cast<uint8_t*>(r));
  EXPECT_EQ(r[uninstallMode], kUninstallExternal);
  EXPECT_EQ(ReadU32Le(r + packedSize), 0u);
  EXPECT_EQ(ReadU32Le(r + fileSize), 1234u);
  r = NextFileRecord(const_cast<uint8_t*>(r));
  EXPECT_EQ(RecordOptionFlags(r), kOptionUninstaller);
  EXPECT_EQ(r[registerKind], kRegisterSelf);
  EXPECT_EQ(ReadU32Le(r + fileSize), 108u) << "the free log header is appended";
  UnloadSetup();

  // Extract writes every stored file under its destination kind.
  ToolResult x = RunTool("extract " + dir + "/setup.exe " + dir + "/x");
  ASSERT_EQ(x.status, 0) << x.out;
  const mode_t mask = umask(0);
  umask(mask);
  struct stat folder;
  ASSERT_EQ(stat((dir + "/x").c_str(), &folder), 0);
  EXPECT_EQ(folder.st_mode & 07777, 0755 & ~mask) << "the folders extract makes";
  EXPECT_EQ(Slurp(dir + "/x/install/bin/app.exe"), Pattern(50000, 1));
  EXPECT_EQ(Slurp(dir + "/x/windows/Docs/sub/b.txt"), std::vector<uint8_t>(10, 'b'));
  EXPECT_EQ(Slurp(dir + "/x/install/uninst.exe").size(), 108u);
  EXPECT_FALSE(Exists("x/install/beside.dat")) << "external files are not in the setup";

  // A version read from the source, a PE image.
  Put("lib.dll", PeTestFiles::MakePe(false, PeTestFiles::MakeVersionResource()));
  ASSERT_EQ(Build("[setup]\ntitle = \"T\"\n[[file]]\nsource = \"lib.dll\"\ncheck_version = true\n"), "");
  ASSERT_TRUE(LoadSetup(dir + "/setup.exe", error)) << error;
  EXPECT_EQ(ReadU32Le(RecordVersionBlock(FirstFileRecord) + kVersionFileLS), 0x00030004u);
}

// Stored streams (compression 0) of n bytes take n + 3 bytes, so the test
// knows where every stream starts and can cut the file data anywhere.
TEST_F(BuildTest, VolumesCutAnywhereReadBackWhole) {
  Put("a.bin", Pattern(1000, 1));  // stream 0: bytes 0-1002
  Put("b.bin", Pattern(3000, 2));  // stream 1: bytes 1003-4005
  Put("c.bin", Pattern(10, 3));    // stream 2: bytes 4006-4018
  const std::string files = "[[file]]\nsource = \"a.bin\"\n[[file]]\nsource = \"b.bin\"\n[[file]]\nsource = \"c.bin\"\n";
  const std::string head = "[setup]\ntitle = \"Volumes\"\ncompression = 0\n";
  ASSERT_EQ(Build(head + files, "plain.exe"), "");
  const uint64_t prefix = Slurp(dir + "/plain.exe").size() - (1003 + 3003 + 13);  // the setup without file data
  auto volumesOf = [&](uint64_t inSetup, uint64_t perVolume) {
    return head + "[volumes]\nsetup_size = " + std::to_string(prefix + inSetup) +
           "\nvolume_size = " + std::to_string(perVolume + 4) + "\n" + files;
  };
  const struct {
    const char* what;
    uint64_t inSetup;  // file-data bytes left in the setup file
    uint64_t perVolume;
    size_t volumes;
  } cuts[] = {
      {"after the first byte of stream 1", 1004, 2000, 2},
      {"before stream 1's first byte", 1003, 4000, 1},
      {"exactly at the end of volume 1, before stream 2", 1003, 3003, 2},
      {"stream 1 across three volumes", 1500, 1000, 3},
      {"no file data in the setup file", 0, 1500, 3},
      {"one byte per volume at the end", 4017, 1, 2},
  };
  for (const auto& cut : cuts) {
    SCOPED_TRACE(cut.what);
    ASSERT_EQ(Build(volumesOf(cut.inSetup, cut.perVolume)), "");
    EXPECT_EQ(volumes, cut.volumes);
    EXPECT_EQ(Slurp(dir + "/setup.exe").size(), prefix + cut.inSetup);
    std::system(("rm -rf '" + dir + "/x'").c_str());
    ToolResult r = RunTool("extract " + dir + "/setup.exe " + dir + "/x");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(Slurp(dir + "/x/install/b.bin"), Pattern(3000, 2));
    EXPECT_EQ(Slurp(dir + "/x/install/c.bin"), Pattern(10, 3));
  }
  // A later build with fewer volumes leaves no stale disk behind.
  ASSERT_EQ(Build(head + files), "");
  EXPECT_FALSE(Exists("setup.D01"));

  // The tool says how many volumes it made.
  ASSERT_EQ(Build(volumesOf(500, 1000)), "");
  ToolResult r = RunTool("build " + dir + "/setup.toml -o " + dir + "/setup.exe --stub " + dir + "/stub.exe");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Has(r.out, ", " + std::to_string(volumes) + " volumes)")) << r.out;

  // A missing volume: verify names it and gives up with the setup's own message.
  ASSERT_EQ(unlink((dir + "/setup.D02").c_str()), 0);
  r = RunTool("verify " + dir + "/setup.exe");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.out, "insert disk 3")) << r.out;
  EXPECT_TRUE(Has(r.out, "setup.D02\" is missing")) << r.out;  // not taken for a bad stream
  EXPECT_TRUE(Has(r.out, "b.bin")) << r.out;

  EXPECT_TRUE(Has(Build(head + "[volumes]\nsetup_size = " + std::to_string(prefix - 1) + "\nvolume_size = 100\n" + files),
                  "alone take"));
}

TEST_F(BuildTest, BadInputIsNamedAndLeavesNoOutput) {
  Put("a.bin", {1, 2, 3});
  std::vector<uint8_t> deep(54 + 16, 0);  // a 32-bit picture: the stub cannot show it
  deep[0] = 'B', deep[1] = 'M';
  for (auto [at, value] : {std::pair{10, 54}, {14, 40}, {18, 2}, {22, 2}, {26, 1 | 32 << 16}})
    WriteU32Le(&deep[at], value);
  Put("deep.bmp", deep);
  mkdir((dir + "/sub").c_str(), 0755);
  mkfifo((dir + "/fifo").c_str(), 0600);
  const std::string ok = "[setup]\ntitle = \"T\"\n", file = "[[file]]\nsource = \"a.bin\"\n";
  const std::pair<std::string, std::string> cases[] = {  // the project; part of the message
      {ok + "[[file]]\nsource = \"missing.bin\"\n", "missing.bin does not exist"},
      {ok + "colour = \"red\"\n", "unknown key 'colour' in [setup]"},
      {ok + "[texts.welcome]\nparagraph9 = \"x\"\n", "unknown text 'welcome.paragraph9'"},
      {ok + "[texts.welcome]\ntitle = \"" + std::string(1024, 'w') + "\"\n", "1024 characters long"},
      {ok + "default_folder = \"C:\\\\" + std::string(260, 'p') + "\"\n", "at most 259"},
      {ok + file + "target = \"..\\\\evil.bin\"\n", "'.' or '..' part"},
      {ok + "[frame]\npicture = \"deep.bmp\"\n" + file, "deep.bmp"},
      {ok + file + "shared = true\n", "only for files outside"},
      {ok + "icon = \"app.exe\"\n" + file, "setup.icon 'app.exe' names no file"},
      {ok + file + "version = \"source\"\n", "neither check_version"},
      {ok + file + "check_version = true\n", "a.bin: not a PE file: no MZ header at offset 0 (give the version by hand"},
      {ok + file + "check_version = true\nversion = { file = \"1..2\" }\n", "\"1..2\""},
      {ok + "[background]\nfont = { face = \"A\", height = 8, weight = 1001 }\n", "font.weight must lie between 0 and 1000"},
      // Names the uninstaller would refuse in its log, at file:line:col.
      {ok + file + "target = \"readme.\"\n", "setup.toml:5:10: the target name 'readme.'"},
      {ok + "uninstall_name = \"A\\u0007\"\n", "setup.toml:3:18: setup.uninstall_name 'A\\x07'"},
      {ok + "uninstall_name = \"A\\\\\"\n", "one key below the Uninstall key"},
      {ok + file + "target = \"aux.txt\"\n", "device name"},
      // Code page 1252 only.
      {"[setup]\ntitle = \"T \u4E2D\"\n", "setup.toml:2:12: setup.title holds U+4E2D"},
      // A per-user setup writes nothing machine-wide; UTF-8 texts are checked.
      {ok + "scope = \"user\"\n" + file + "destination = \"system\"\n", "Windows or system folder"},
      {ok + "scope = \"user\"\n" + file + "destination = \"fonts\"\nshared = true\n", "no shared-use counts"},
      {ok + "scope = \"user\"\n[folder_memory]\nregistry_root = \"HKLM\"\n", "under HKEY_CURRENT_USER"},
      {"[setup]\ntitle = \"T\u0085\"\nencoding = \"utf-8\"\n", "control character U+0085"},
      // Inputs that are no regular file, or never end.
      {ok + "information_file = \"sub\"\n" + file, "sub: not a regular file"},
      {ok + "[[file]]\nsource = \"fifo\"\n", "fifo: not a regular file"},
      // Two files on one path, or a file where another needs a folder.
      {ok + file + "target = \"\u00E9.bin\"\n" + file + "target = \"\u00C9.BIN\"\n", "also the target of"},
      {ok + file + "target = \"d\"\n" + file + "target = \"D/x\"\n", "lies in a folder that"},
      {ok + file + "destination = \"system\"\nshared = true\ntarget = \"p/a.dll\"\n" + file +
           "destination = \"system\"\nshared = true\ntarget = \"q/a.dll\"\n",
       "also the target of"},
  };
  for (const auto& [toml, expected] : cases) {
    const std::string error = Build(toml);
    EXPECT_TRUE(Has(error, expected)) << "project:\n" << toml << "\nerror: " << error;
    EXPECT_FALSE(Exists("setup.exe")) << toml;
  }
  EXPECT_TRUE(Has(Build(ok + file, "none/setup.exe"), dir + "/none/setup.exe: cannot write: No such file"));
  // A stub whose mark disagrees with its length is refused.
  std::vector<uint8_t> stub = Slurp(dir + "/stub.exe");
  stub.push_back(0);
  Put("stub.exe", stub);
  EXPECT_TRUE(Has(Build(ok + file), "must be used as built"));
  EXPECT_FALSE(Exists("setup.exe"));
}

TEST_F(BuildTest, OutputsAreReplacedAllOrNoneAndNeverAnInput) {
  Put("data.bin", Pattern(30000, 7));
  const std::string project = "[setup]\ntitle = \"{title}\"\n[volumes]\nsetup_size = 4000\nvolume_size = 8000\n"
                              "[[file]]\nsource = \"data.bin\"\n";
  ASSERT_EQ(Build(project), "");  // a title that holds {title} ends, too
  const std::vector<uint8_t> setup = Slurp(dir + "/setup.exe"), first = Slurp(dir + "/setup.D01");
  ASSERT_GE(volumes, 3u);
  ASSERT_EQ(Build(project), "");  // the same inputs give the same bytes
  EXPECT_EQ(Slurp(dir + "/setup.exe"), setup);
  // The third volume cannot be written: the others are left as they were.
  std::system(("rm '" + dir + "/setup.D03' && mkdir '" + dir + "/setup.D03'").c_str());
  Put("data.bin", Pattern(30000, 8));
  EXPECT_TRUE(Has(Build(project), "setup.D03: is a folder"));
  EXPECT_EQ(Slurp(dir + "/setup.exe"), setup);
  EXPECT_EQ(Slurp(dir + "/setup.D01"), first);
  // An output that is an input is refused, and kept.
  EXPECT_TRUE(Has(Build(project, "data.bin"), "is also an input"));
  EXPECT_EQ(Slurp(dir + "/data.bin"), Pattern(30000, 8));
  // A link in the output's place is replaced, not written through.
  Put("other.bin", {'o'});
  std::system(("rmdir '" + dir + "/setup.D03' && ln -sf other.bin '" + dir + "/setup.D01'").c_str());
  ASSERT_EQ(Build(project), "");
  EXPECT_EQ(Slurp(dir + "/other.bin"), std::vector<uint8_t>{'o'});
  std::system(("ls -a '" + dir + "' | grep -c setvik- > '" + dir + "/left' || true").c_str());
  EXPECT_EQ(Slurp(dir + "/left"), std::vector<uint8_t>({'0', '\n'})) << "no temporary is left";
}

}  // namespace
