// The companion uninstaller's host side: the layout of its own file (texts
// chunk, free header, log), the checks that keep a changed log inside the
// places it may name, and `setvik build` with an [uninstaller] table.
#include <string.h>

#include "setupdata/FileRecord.h"
#include "setupdata/SetupData.h"
#include "tests/support/PeTestFiles.h"
#include "tests/unit/ToolTesting.h"
#include "uninstlog/UninstallerFile.h"

namespace {

// A stand-in for setvik-uninst.exe as built: "MZ", filler, the stamped mark.
std::vector<uint8_t> FakeProgram(uint32_t size = 600) {
  std::vector<uint8_t> program(size, 0xCC);
  program[0] = 'M';
  program[1] = 'Z';
  memcpy(program.data() + 200, kUninstallerMarkTag, sizeof(kUninstallerMarkTag));
  WriteU32Le(program.data() + 200 + sizeof(kUninstallerMarkTag), size);
  return program;
}

std::vector<std::string> Texts(const char* prefix) {
  std::vector<std::string> texts;
  for (uint32_t i = 0; i < kUninstallerTextCount; ++i) texts.push_back(prefix + std::to_string(i));
  return texts;
}

void Append(std::vector<uint8_t>& bytes, std::initializer_list<uint8_t> more) {
  bytes.insert(bytes.end(), more.begin(), more.end());
}

// UninstallFiles with one entry (folder ".", name "a"), then UninstallEnd.
const std::initializer_list<uint8_t> kSmallLog = {
    0x35, 0x12, 0, 0, 11, 0, 0, 0,  // UninstallFiles, 11 bytes
    1, 0, 0, 0,                     // count 1
    1, 0, '.', 1, 0, 'a', 0x00,     // ".", "a", flags 0
    0x7F, 0x7F, 0, 0, 0, 0, 0, 0};  // UninstallEnd

LogText Text(const char* text) { return LogText{text, static_cast<uint32_t>(strlen(text))}; }

TEST(UninstallerFile, TextsFreeHeaderAndLogAreFoundBehindTheProgram) {
  std::vector<uint8_t> program = FakeProgram();
  std::vector<uint8_t> file;
  std::string error;
  ASSERT_TRUE(MakeUninstallerFile(program, Texts("text "), file, error)) << error;
  UninstallerLayout layout;
  // As shipped: texts, then the free header.
  EXPECT_EQ(ReadUninstallerFile(file.data(), file.size(), 600, &layout), kUninstallerNotInstalled);
  for (uint32_t i = 0; i < kUninstallerTextCount; ++i) EXPECT_EQ(layout.texts[i], "text " + std::to_string(i));
  EXPECT_EQ(layout.logOffset, file.size() - 8);

  // As installed: the log's first header over the free header.
  std::vector<uint8_t> installed(file.begin(), file.end() - 8);
  Append(installed, kSmallLog);
  ASSERT_EQ(ReadUninstallerFile(installed.data(), installed.size(), 600, &layout), kUninstallerInstalled);
  EXPECT_EQ(layout.logOffset, file.size() - 8);
  EXPECT_EQ(ReadUninstallLog(installed.data() + layout.logOffset, installed.size() - layout.logOffset, nullptr),
            kLogValid);

  // Without texts (a [[file]] marked as the uninstaller): the defaults.
  std::vector<uint8_t> bare = program;
  Append(bare, kSmallLog);
  ASSERT_EQ(ReadUninstallerFile(bare.data(), bare.size(), 600, &layout), kUninstallerInstalled);
  EXPECT_STREQ(layout.texts[kTextConfirm], kDefaultUninstallerTexts[kTextConfirm]);

  // A copy that already carries texts and a log gives back the program alone.
  std::vector<uint8_t> again;
  ASSERT_TRUE(MakeUninstallerFile(installed, Texts("new "), again, error)) << error;
  EXPECT_TRUE(std::equal(program.begin(), program.end(), again.begin()));
  ASSERT_EQ(ReadUninstallerFile(again.data(), again.size(), 600, &layout), kUninstallerNotInstalled);
  EXPECT_STREQ(layout.texts[kTextDone], "new 2");
}

TEST(UninstallerFile, DamageIsReportedAndNeverReadPast) {
  std::vector<uint8_t> file;
  std::string error;
  ASSERT_TRUE(MakeUninstallerFile(FakeProgram(), Texts("t"), file, error)) << error;
  std::vector<uint8_t> installed(file.begin(), file.end() - 8);
  Append(installed, kSmallLog);
  UninstallerLayout layout;
  // Every cut of the installed file: never installed, never out of bounds
  // (the sanitisers watch the copies, which end exactly at the cut).
  for (size_t cut = 0; cut < installed.size(); ++cut) {
    std::vector<uint8_t> part(installed.begin(), installed.begin() + cut);
    EXPECT_NE(ReadUninstallerFile(part.data(), part.size(), 600, &layout), kUninstallerInstalled) << cut;
  }
  // A free header with its first byte changed is no free header.
  std::vector<uint8_t> notFree = file;
  notFree[notFree.size() - 8] ^= 1;
  EXPECT_NE(ReadUninstallerFile(notFree.data(), notFree.size(), 600, &layout), kUninstallerNotInstalled);
  // A stamped length of 0 or past the end.
  EXPECT_EQ(ReadUninstallerFile(installed.data(), installed.size(), 0, &layout), kUninstallerDamaged);
  EXPECT_EQ(ReadUninstallerFile(installed.data(), installed.size(), installed.size() + 1, &layout),
            kUninstallerDamaged);
  // A texts chunk with flags, one whose last text has no terminator, one
  // whose count promises more texts than it holds.
  std::vector<uint8_t> flagged = installed;
  flagged[600 + 2] = 1;
  EXPECT_EQ(ReadUninstallerFile(flagged.data(), flagged.size(), 600, &layout), kUninstallerDamaged);
  std::vector<uint8_t> program = FakeProgram();
  std::vector<uint8_t> open = program;
  Append(open, {0x50, 0x12, 0, 0, 4, 0, 0, 0, 1, 0, 'a', 'b'});
  Append(open, kSmallLog);
  EXPECT_EQ(ReadUninstallerFile(open.data(), open.size(), 600, &layout), kUninstallerDamaged);
  EXPECT_STREQ(layout.texts[0], kDefaultUninstallerTexts[0]);  // nothing of a damaged chunk is kept
  std::vector<uint8_t> short_ = program;
  Append(short_, {0x50, 0x12, 0, 0, 4, 0, 0, 0, 2, 0, 'a', 0});
  Append(short_, kSmallLog);
  EXPECT_EQ(ReadUninstallerFile(short_.data(), short_.size(), 600, &layout), kUninstallerDamaged);
  // An empty text keeps its default; texts beyond the known ones are skipped.
  std::vector<uint8_t> extra = program;
  Append(extra, {0x50, 0x12, 0, 0, 7, 0, 0, 0, 10, 0, 0, 'x', 0});
  for (int i = 2; i < 10; ++i) Append(extra, {0});
  extra[604] = 5 + 8;  // the size counts the eight further empty texts
  Append(extra, kSmallLog);
  ASSERT_EQ(ReadUninstallerFile(extra.data(), extra.size(), 600, &layout), kUninstallerInstalled);
  EXPECT_STREQ(layout.texts[0], kDefaultUninstallerTexts[0]);
  EXPECT_STREQ(layout.texts[1], "x");
  // A log the reader refuses: a flags byte with an unknown bit.
  std::vector<uint8_t> badLog = installed;
  badLog[badLog.size() - 9] = 0x80;
  EXPECT_EQ(ReadUninstallerFile(badLog.data(), badLog.size(), 600, &layout), kUninstallerDamaged);
  EXPECT_EQ(layout.logStatus, kLogBadEntry);
}

// Signed, the program keeps its texts and the free header before the
// certificate table, and its log lies in the file beside it.
TEST(UninstallerFile, ASignedFileKeepsTheFreeHeaderAndItsLogBeside) {
  std::vector<uint8_t> program = PeTestFiles::MakePe(false, std::vector<uint8_t>(4, 0));
  const uint32_t size = static_cast<uint32_t>(program.size());
  memcpy(program.data() + 600, kUninstallerMarkTag, sizeof(kUninstallerMarkTag));
  WriteU32Le(program.data() + 600 + sizeof(kUninstallerMarkTag), size);
  std::vector<uint8_t> file;
  std::string error;
  ASSERT_TRUE(MakeUninstallerFile(program, Texts("signed "), file, error)) << error;
  UninstallerLayout layout;
  for (uint32_t padding : {0u, 7u}) {
    std::vector<uint8_t> signedFile = file;
    PeTestFiles::AppendCertificateTable(signedFile, false, padding, 900);
    ASSERT_EQ(ReadUninstallerFile(signedFile.data(), signedFile.size(), size, &layout), kUninstallerLogBeside);
    EXPECT_STREQ(layout.texts[kTextDone], "signed 2");
    // A byte after the table: not signed, and no log ends the file.
    signedFile.push_back(0);
    EXPECT_EQ(ReadUninstallerFile(signedFile.data(), signedFile.size(), size, &layout), kUninstallerDamaged);
  }
  std::vector<uint8_t> overPadded = file;
  PeTestFiles::AppendCertificateTable(overPadded, false, 8, 900);
  EXPECT_EQ(ReadUninstallerFile(overPadded.data(), overPadded.size(), size, &layout), kUninstallerDamaged);
  // A log appended before signing is not where a signed file keeps it.
  std::vector<uint8_t> withLog(file.begin(), file.end() - 8);
  Append(withLog, kSmallLog);
  PeTestFiles::AppendCertificateTable(withLog, false, 0, 900);
  EXPECT_EQ(ReadUninstallerFile(withLog.data(), withLog.size(), size, &layout), kUninstallerDamaged);

  char path[kPathBufferSize];
  for (auto [program, log] : {std::pair{"C:\\App\\uninstall.exe", "C:\\App\\uninstall.dat"},
                              {"C:\\App.v2\\un.inst.exe", "C:\\App.v2\\un.inst.dat"},
                              {"C:\\App.v2\\uninstall", "C:\\App.v2\\uninstall.dat"}}) {
    ASSERT_TRUE(SeparateLogPath(program, path));
    EXPECT_STREQ(path, log);
  }
  EXPECT_TRUE(SeparateLogPath(("C:\\" + std::string(252, 'a') + ".exe").c_str(), path));  // 259 characters
  EXPECT_FALSE(SeparateLogPath(("C:\\" + std::string(253, 'a')).c_str(), path));  // 256 and ".dat"
}

TEST(UninstallerPaths, FoldersNamesShortcutsAndKeys) {
  const char* base = "C:\\Program Files\\App";
  char out[kPathBufferSize];
  const std::pair<const char*, const char*> accepted[] = {
      {".", "C:\\Program Files\\App"},
      {".\\Data", "C:\\Program Files\\App\\Data"},
      {".\\Data\\Sounds", "C:\\Program Files\\App\\Data\\Sounds"},
      {"C:\\Windows", "C:\\Windows"},
      {"d:\\x y\\z", "d:\\x y\\z"},
      {"\\\\server\\share\\dir", "\\\\server\\share\\dir"}};
  for (const auto& [folder, expected] : accepted) {
    EXPECT_TRUE(ResolveLogFolder(base, Text(folder), out)) << folder;
    EXPECT_STREQ(out, expected) << folder;
  }
  // Escapes and other forms; Windows takes a slash for a backslash and drops a trailing dot.
  for (const char* folder : {".\\..", ".\\..\\Other", ".\\Data\\..\\..\\x", ".\\Data/../../x", ".\\Data\\.", ".\\",
                             ".\\Data\\\\x", ".\\Data\\", ".\\Data.", ".\\C:x", "..", "..\\x", ".x", "Data", "C:", "C:\\",
                             "C:x", "C:\\Windows\\..\\..", "C:/Windows", "\\\\server", "\\\\server\\", "\\Windows", ".\\a\x01",
                             ".\\a*"})
    EXPECT_FALSE(ResolveLogFolder(base, Text(folder), out)) << folder;
  // Lengths: 259 characters fit, 260 do not.
  std::string deep = ".\\" + std::string(259 - strlen(base) - 1, 'd');
  EXPECT_TRUE(ResolveLogFolder(base, Text(deep.c_str()), out));
  EXPECT_EQ(strlen(out), 259u);
  deep += "d";
  EXPECT_FALSE(ResolveLogFolder(base, Text(deep.c_str()), out));

  // Names.
  strcpy(out, "C:\\App");
  EXPECT_TRUE(AppendLogName(out, Text("read me.txt")));
  EXPECT_STREQ(out, "C:\\App\\read me.txt");
  for (const char* bad : {"", ".", "..", "a\\b", "a/b", "a:b", "a.", "a ", "a?"}) {
    strcpy(out, "C:\\App");
    EXPECT_FALSE(AppendLogName(out, Text(bad))) << bad;
  }
  std::string folder(250, 'f');
  strcpy(out, folder.c_str());
  EXPECT_TRUE(AppendLogName(out, Text("12345678")));  // 259 characters
  strcpy(out, folder.c_str());
  EXPECT_FALSE(AppendLogName(out, Text("123456789")));
  EXPECT_EQ(strlen(out), 250u) << "a refused name leaves the folder as it was";

  for (const char* name : {"Demo.lnk", "Demo.LNK"}) EXPECT_TRUE(IsShortcutName(Text(name))) << name;
  for (const char* name : {".lnk", "Demo.exe", "lnk"}) EXPECT_FALSE(IsShortcutName(Text(name))) << name;

  EXPECT_TRUE(IsBelowFolder("C:\\Programs\\Demo", "c:\\programs"));
  for (const char* path : {"C:\\Programs", "C:\\Programs\\", "C:\\ProgramsX\\Demo"})
    EXPECT_FALSE(IsBelowFolder(path, "C:\\Programs")) << path;

  char path[kPathBufferSize] = "C:\\a\\b";
  EXPECT_TRUE(CutLastPart(path));
  EXPECT_STREQ(path, "C:\\a");
  EXPECT_FALSE(CutLastPart(path)) << "never up to a drive";
  EXPECT_STREQ(path, "C:\\a");
  strcpy(path, "\\x");
  EXPECT_FALSE(CutLastPart(path));

  // The uninstaller's own folder, also at a drive root, where "." still
  // names files but the folder is never removed.
  strcpy(path, "C:\\App\\uninstall.exe");
  EXPECT_TRUE(CutFileName(path));
  EXPECT_STREQ(path, "C:\\App");
  EXPECT_FALSE(IsDriveRoot(path));
  strcpy(path, "D:\\uninstall.exe");
  EXPECT_TRUE(CutFileName(path));
  EXPECT_STREQ(path, "D:");
  EXPECT_TRUE(IsDriveRoot(path));
  char file[kPathBufferSize];
  ASSERT_TRUE(ResolveLogFolder(path, Text("."), file));
  ASSERT_TRUE(AppendLogName(file, Text("a.txt")));
  EXPECT_STREQ(file, "D:\\a.txt");
  EXPECT_FALSE(IsBelowFolder("D:", "D:"));
  strcpy(path, "uninstall.exe");
  EXPECT_FALSE(CutFileName(path));

  const std::string prefix = kUninstallKeyPrefix;
  EXPECT_TRUE(IsUninstallKeyName(Text((prefix + "Demo Notes 1.2").c_str())));
  // One key below Uninstall, as the setup writes it.
  for (const std::string& bad : {prefix, prefix + "\\", prefix + "Demo\\", prefix + "Vendor\\Demo", prefix + "a\tb",
                                 std::string("Software\\Other\\Demo")})
    EXPECT_FALSE(IsUninstallKeyName(Text(bad.c_str()))) << bad;
}

// --- setvik build with [uninstaller] ---------------------------------------------

class UninstallerBuildTest : public BuildFixture {
 protected:
  void SetUp() override {
    BuildFixture::SetUp();
    Put("setvik-uninst.exe", FakeProgram());
    Put("app.exe", std::vector<uint8_t>(100, 'a'));
  }
  std::string Build(const std::string& toml, const std::string& uninstaller = "setvik-uninst.exe") {
    return BuildFixture::Build(toml, "setup.exe", uninstaller);
  }
};

TEST_F(UninstallerBuildTest, TheTableAddsTheUninstallerWithItsTexts) {
  ASSERT_EQ(Build(R"toml(
[setup]
title = "Demo"
uninstall_name = "Demo 1"
[[file]]
source = "app.exe"
[uninstaller]
target = "remove.exe"
start_menu = { group = "Demo", name = "Remove Demo" }
[uninstaller.texts]
confirm = "Really remove Demo?"
)toml"), "");
  std::string error;
  ASSERT_TRUE(LoadSetup(dir + "/setup.exe", error)) << error;
  ASSERT_EQ(FileRecordCount, 2u);
  using namespace FileRecordField;
  const uint8_t* r = NextFileRecord(FirstFileRecord);
  EXPECT_STREQ(RecordString(r, kStringFileName), "remove.exe");
  EXPECT_EQ(RecordOptionFlags(r), kOptionUninstaller);
  EXPECT_EQ(r[destinationKind], kDestInstallDir);
  EXPECT_STREQ(RecordString(r, kStringGroupName), "Demo");
  EXPECT_STREQ(RecordString(r, kStringMenuShortcutName), "Remove Demo");
  UnloadSetup();

  // The stored file: the program, the texts, the free header.
  ASSERT_EQ(RunTool("extract '" + dir + "/setup.exe' '" + dir + "/out'").status, 0);
  std::vector<uint8_t> stored = Slurp(dir + "/out/install/remove.exe");
  UninstallerLayout layout;
  ASSERT_EQ(ReadUninstallerFile(stored.data(), stored.size(), 600, &layout), kUninstallerNotInstalled);
  EXPECT_STREQ(layout.texts[kTextConfirm], "Really remove Demo?");
  // The other texts are the documented defaults, {title} filled in: each
  // row of the [uninstaller.texts] table is | `name` | meaning | default |.
  std::ifstream doc(std::string(SETVIK_SOURCE_DIR) + "/docs/project-file.md");
  const std::string text((std::istreambuf_iterator<char>(doc)), std::istreambuf_iterator<char>());
  for (uint32_t i = 0; i < kUninstallerTextCount; ++i) {
    const size_t at = text.find(std::string("| `") + kUninstallerTextNames[i] + "` | ");
    ASSERT_NE(at, std::string::npos) << kUninstallerTextNames[i] << " is not documented";
    std::string documented = text.substr(at, text.find('\n', at) - at - 2);  // less " |"
    documented = documented.substr(documented.rfind(" | ") + 3);
    for (size_t t; (t = documented.find("{title}")) != std::string::npos;) documented.replace(t, 7, "Demo");
    if (i != kTextConfirm) EXPECT_EQ(documented, layout.texts[i]) << kUninstallerTextNames[i];
  }
  std::vector<uint8_t> program = FakeProgram();
  EXPECT_TRUE(std::equal(program.begin(), program.end(), stored.begin()));
}

TEST_F(UninstallerBuildTest, BadSettingsAndProgramsAreNamed) {
  const std::string head = "[setup]\ntitle = \"Demo\"\nuninstall_name = \"Demo\"\n[[file]]\nsource = \"app.exe\"\n";
  struct Case {
    std::string toml, uninstaller, expected;
  } cases[] = {
      {head + "[uninstaller]\nname = \"x\"\n", "setvik-uninst.exe", "unknown key 'name'"},
      {head + "[uninstaller.texts]\nfarewell = \"Bye\"\n", "setvik-uninst.exe", "unknown text 'uninstaller.texts.farewell'"},
      {head + "[uninstaller.texts]\nconfirm = \"\"\n", "setvik-uninst.exe", "is empty"},
      {head + "[uninstaller.texts]\nconfirm = \"" + std::string(1024, 'x') + "\"\n", "setvik-uninst.exe",
       "at most 1023"},
      {head + "[uninstaller]\ntarget = \"..\\\\x.exe\"\n", "setvik-uninst.exe", "'..' part"},
      {head + "uninstaller = true\n[uninstaller]\n", "setvik-uninst.exe", "already marks a file as the uninstaller"},
      // The log's "." is the folder the uninstaller lies in.
      {head + "[uninstaller]\ntarget = \"bin\\\\x.exe\"\n", "setvik-uninst.exe", "must be a plain file name"},
      {head + "uninstaller = true\ntarget = \"bin\\\\x.exe\"\n", "", "must be a plain file name"},
      {head + "uninstaller = true\ndestination = \"windows\"\n", "", "must go to the installation folder"},
      {head + "uninstaller = true\n[[file]]\nsource = \"app.exe\"\ntarget = \"b.exe\"\nuninstaller = true\n", "",
       "is a second uninstaller"},
      {head + "[uninstaller]\n", "app.exe", "no uninstaller mark"},
      // It removes only through the Uninstall entry that names it.
      {"[setup]\ntitle = \"Demo\"\n[uninstaller]\n", "setvik-uninst.exe", "needs setup.uninstall_name"},
      {head + "[uninstaller]\n", "missing.exe", "missing.exe"},
  };
  for (const Case& c : cases) {
    unlink((dir + "/setup.exe").c_str());
    const std::string error = Build(c.toml, c.uninstaller);
    EXPECT_NE(error.find(c.expected), std::string::npos) << c.expected << " / " << error;
    EXPECT_NE(access((dir + "/setup.exe").c_str(), F_OK), 0) << c.expected;
  }
  // A program whose mark claims more bytes than it has.
  std::vector<uint8_t> program = FakeProgram();
  WriteU32Le(program.data() + 216, 601);
  Put("long.exe", program);
  EXPECT_NE(Build(head + "[uninstaller]\n", "long.exe").find("says it is 601 bytes"), std::string::npos);
  // Without the table no uninstaller is needed, nor added.
  EXPECT_EQ(Build(head, ""), "");
  std::string error;
  ASSERT_TRUE(LoadSetup(dir + "/setup.exe", error)) << error;
  EXPECT_EQ(FileRecordCount, 1u);
}

}  // namespace
