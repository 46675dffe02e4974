// The uninstall log and the companion uninstaller's file: the log's writers
// against annotated bytes, the reader on whole, cut and damaged logs, the
// uninstaller's own file and the checks that keep a log inside the places it
// may name; `setvik log`, and `setvik build` with an [uninstaller] table.
// Out-of-bounds reads are the fuzz target's.
#include <string.h>

#include "base/FileAccess.h"
#include "setupdata/FileRecord.h"
#include "setupdata/SetupData.h"
#include "tests/support/PeTestFiles.h"
#include "tests/unit/StreamTesting.h"
#include "tests/unit/ToolTesting.h"
#include "uninstlog/UninstallLog.h"
#include "uninstlog/UninstallerFile.h"

using namespace streamtest;

namespace {

Bytes B(std::initializer_list<int> values) { return Bytes(values.begin(), values.end()); }
LogText L(const std::string& text) {  // lives as long as the statement
  return LogText{text.c_str(), static_cast<uint32_t>(text.size())};
}
const Bytes kEnd = B({0x7F, 0x7F, 0, 0, 0, 0, 0, 0});
const std::string kPrefix = kUninstallKeyPrefix;

// A small log, annotated:
const Bytes kLog =
    B({0x35, 0x12, 0x00, 0x00, 0x1B, 0, 0, 0}) +  // UninstallFiles, 27 bytes
    B({0x02, 0, 0, 0}) +                           // count 2
    B({0x06, 0}) + Text(".\\Data") +               //   folder ".\Data"
    B({0x05, 0}) + Text("x.dat") +                 //   name "x.dat"
    B({0x03}) +                                    //   SharedFile | FontFile
    B({0x01, 0}) + Text(".") + B({0x01, 0}) + Text("a") + B({0x00}) +  // ".", "a", no flags
    B({0x36, 0x12, 0x00, 0x00, 0x11, 0, 0, 0}) +   // UninstallShortcuts, 17 bytes
    B({0x01, 0, 0, 0}) +                           // count 1
    B({0x04, 0}) + Text("C:\\S") +                 //   folder "C:\S"
    B({0x05, 0}) + Text("A.lnk") +                 //   name "A.lnk"
    B({0x38, 0x12, 0x00, 0x00, 0x3C, 0, 0, 0}) +   // UninstallRegKey, 54 + 6 bytes
    B({0x02, 0, 0, 0x80}) +                        // HKEY_LOCAL_MACHINE
    B({0x36, 0}) + Text(kPrefix + "Ac") + kEnd;    // the key, 54 characters; UninstallEnd

// What a visitor is told, one line per record.
std::string S(LogText text) { return std::string(text.text, text.length); }
void Note(void* seen, const std::string& line) { static_cast<std::vector<std::string>*>(seen)->push_back(line); }
UninstallLogStatus Read(const Bytes& log, std::vector<std::string>* seen = nullptr) {
  UninstallLogVisitor v;
  v.context = seen;
  v.file = [](void* c, LogText folder, LogText name, uint8_t flags) {
    Note(c, "file " + S(folder) + "|" + S(name) + "|" + std::to_string(flags));
  };
  v.shortcut = [](void* c, LogText, LogText name) { Note(c, "link " + S(name)); };
  v.registryKey = [](void* c, uint32_t root, LogText key) { Note(c, "key " + std::to_string(root) + "|" + S(key)); };
  Bytes exact(log);  // ASan sees any read past the end
  return ReadUninstallLog(exact.data(), static_cast<uint32_t>(exact.size()), seen ? &v : nullptr);
}

TEST(UninstallLog, WritersProduceTheAnnotatedBytes) {
  const std::string path = ::testing::TempDir() + "setvik-uninstlog-" + std::to_string(getpid());
  FileHandle log = FileCreate(path.c_str());
  ASSERT_NE(log, kInvalidFile);
  char folder[kPathBufferSize];
  EXPECT_EQ(WriteLogHeader(log, kChunkUninstallFiles, 0x1B), 0);
  EXPECT_EQ(WriteLogU32(log, 2), 0);
  EXPECT_EQ(WriteLogFileEntry(log, "C:\\App\\Data\\x.dat", "C:\\App\\", folder, 0x03), kLogEntryWritten);
  EXPECT_EQ(WriteLogFileEntry(log, "c:\\aPP\\a", "C:\\App\\", folder, 0), kLogEntryWritten);
  EXPECT_EQ(WriteLogFileEntry(log, "C:\\App\\", "C:\\App\\", folder, 0), kLogEntrySkipped);  // no name
  EXPECT_EQ(WriteLogHeader(log, kChunkUninstallShortcuts, 0x11), 0);
  EXPECT_EQ(WriteLogU32(log, 1), 0);
  EXPECT_EQ(WriteLogString(log, "C:\\S"), 0);
  EXPECT_EQ(WriteLogString(log, "A.lnk"), 0);
  EXPECT_EQ(WriteLogHeader(log, kChunkUninstallRegKey, 0x3C), 0);
  EXPECT_EQ(WriteLogU32(log, kLogRegistryRoot), 0);
  EXPECT_EQ(WriteLogString(log, (kPrefix + "Ac").c_str()), 0);
  EXPECT_EQ(WriteLogString(log, std::string(0x10000, 'z').c_str()), 2);  // too long: nothing written
  EXPECT_EQ(WriteLogHeader(log, kChunkUninstallEnd, 0), 0);
  FileClose(log);
  EXPECT_EQ(Slurp(path), kLog);
  unlink(path.c_str());
}

TEST(UninstallLog, SplitsPathsAgainstTheInstallationFolder) {
  const std::string deep = "C:\\" + std::string(258, 'd') + "\\x";
  const struct {
    const char *path, *installDir, *folder, *name;  // folder null: no entry
  } cases[] = {
      {"C:\\App\\Data\\Sounds\\y.wav", "C:\\App\\", ".\\Data\\Sounds", "y.wav"},
      {"C:\\App\\x", "C:\\App\\", ".", "x"},
      {"C:\\Application\\z", "C:\\App\\", "C:\\Application", "z"},  // a longer name is not inside
      {"C:\\x.dll", "C:\\", ".", "x.dll"},                        // a drive root as the folder
      {"C:\\Windows\\x.dll", "", "C:\\Windows", "x.dll"},         // an empty folder holds nothing
      {"x.dat", "C:\\App\\", nullptr, nullptr},                   // no backslash outside it
      // ".\" and a sub-folder of 258 characters would not fit a path buffer.
      {deep.c_str(), "C:\\", nullptr, nullptr},
  };
  for (const auto& c : cases) {
    char folder[kPathBufferSize] = "unchanged";
    const char* name = SplitLogPath(c.path, c.installDir, folder);
    EXPECT_STREQ(name, c.name) << c.path;
    if (c.folder) EXPECT_STREQ(folder, c.folder) << c.path;
  }
}

TEST(UninstallLog, ReaderOnWholeCutAndHostileLogs) {
  std::vector<std::string> seen;
  ASSERT_EQ(Read(kLog, &seen), kLogValid);
  EXPECT_EQ(seen, (std::vector<std::string>{"file .\\Data|x.dat|3", "file .|a|0", "link A.lnk",
                                            "key 2147483650|" + kPrefix + "Ac"}));
  EXPECT_EQ(Read(B({0x35, 0x12, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0}) + kEnd), kLogValid);  // no files, nothing else
  for (size_t length = 0; length < kLog.size(); ++length) {  // every cut: refused, nothing reported
    seen.clear();
    EXPECT_EQ(Read(Bytes(kLog.begin(), kLog.begin() + length), &seen), kLogTruncated) << length;
    EXPECT_TRUE(seen.empty());
  }
  EXPECT_EQ(Read(kLog + B({0})), kLogTrailingBytes);

  const struct {
    const char* what;
    size_t at;
    Bytes bytes;
    UninstallLogStatus expected;
  } changes[] = {
      {"file count far beyond the body", 8, {0xFF, 0xFF, 0xFF, 0xFF}, kLogTruncated},
      {"compressed flag", 2, {0x01}, kLogBadChunk},
      {"unknown chunk id", 0, {0x37}, kLogBadChunk},
      {"file count one less: bytes left in the body", 8, {0x01}, kLogBadChunk},
      {"end chunk with a body beyond the bytes", 132, {0x01}, kLogTruncated},
      {"unknown flag bit", 27, {0x0B}, kLogBadEntry},
      {"backslash in a name", 33, {'\\'}, kLogBadEntry},
      {"a key outside the Uninstall key", 74, {'s'}, kLogBadEntry},
  };
  for (const auto& change : changes) {
    Bytes log = kLog;
    std::copy(change.bytes.begin(), change.bytes.end(), log.begin() + change.at);
    seen.clear();
    EXPECT_EQ(Read(log, &seen), change.expected) << change.what;
    EXPECT_TRUE(seen.empty()) << change.what;  // nothing reported from a log that is refused
  }
  const Bytes files(kLog.begin(), kLog.begin() + 35);
  EXPECT_EQ(Read(files + files + kEnd), kLogBadChunk);  // a second UninstallFiles chunk
  EXPECT_EQ(Read(B({0x35, 0x12, 0, 0, 0x0A, 0, 0, 0, 1, 0, 0, 0, 1, 0, '.', 0, 0, 0}) + kEnd), kLogBadEntry);  // no name
  // A key that is the prefix alone names no program.
  EXPECT_EQ(Read(files + B({0x38, 0x12, 0, 0, 0x3A, 0, 0, 0, 0x02, 0, 0, 0x80, 0x34, 0}) + Text(kPrefix) + kEnd),
            kLogBadEntry);
}

// A stand-in for setvik-uninst.exe as built: "MZ", filler, the stamped mark.
Bytes FakeProgram() {
  Bytes program(600, 0xCC);
  program[0] = 'M', program[1] = 'Z';
  memcpy(program.data() + 200, kUninstallerMarkTag, sizeof(kUninstallerMarkTag));
  WriteU32Le(program.data() + 200 + sizeof(kUninstallerMarkTag), 600);
  return program;
}

std::vector<std::string> Texts(const char* prefix) {
  std::vector<std::string> texts;
  for (uint32_t i = 0; i < kUninstallerTextCount; ++i) texts.push_back(prefix + std::to_string(i));
  return texts;
}

UninstallerFileStatus ReadFile(const Bytes& file, UninstallerLayout& layout, uint32_t programSize = 600) {
  return ReadUninstallerFile(file.data(), static_cast<uint32_t>(file.size()), programSize, &layout);
}

// UninstallFiles with one entry (folder ".", name "a"), then UninstallEnd.
const Bytes kSmallLog = B({0x35, 0x12, 0, 0, 11, 0, 0, 0, 1, 0, 0, 0, 1, 0, '.', 1, 0, 'a', 0x00}) + kEnd;

TEST(UninstallerFile, TextsFreeHeaderAndLogAreFoundBehindTheProgram) {
  const Bytes program = FakeProgram();
  Bytes file;
  std::string error;
  ASSERT_TRUE(MakeUninstallerFile(program, Texts("text "), file, error)) << error;
  UninstallerLayout layout;
  // As shipped: texts, then the free header.
  EXPECT_EQ(ReadFile(file, layout), kUninstallerNotInstalled);
  for (uint32_t i = 0; i < kUninstallerTextCount; ++i) EXPECT_EQ(layout.texts[i], "text " + std::to_string(i));
  EXPECT_EQ(layout.logOffset, file.size() - 8);
  Bytes notFree = file;  // a header that differs from the free one in its first byte
  notFree[file.size() - 8] = 0x7E;
  EXPECT_EQ(ReadFile(notFree, layout), kUninstallerDamaged);

  // As installed: the log's first header over the free header.
  const Bytes installed = Bytes(file.begin(), file.end() - 8) + kSmallLog;
  ASSERT_EQ(ReadFile(installed, layout), kUninstallerInstalled);
  EXPECT_EQ(layout.logOffset, file.size() - 8);
  // Without texts (a [[file]] marked as the uninstaller): the defaults.
  ASSERT_EQ(ReadFile(program + kSmallLog, layout), kUninstallerInstalled);
  EXPECT_STREQ(layout.texts[kTextConfirm], kDefaultUninstallerTexts[kTextConfirm]);
  // A copy that already carries texts and a log gives back the program alone.
  Bytes again;
  ASSERT_TRUE(MakeUninstallerFile(installed, Texts("new "), again, error)) << error;
  EXPECT_TRUE(std::equal(program.begin(), program.end(), again.begin()));
  ASSERT_EQ(ReadFile(again, layout), kUninstallerNotInstalled);
  EXPECT_STREQ(layout.texts[kTextDone], "new 2");

  // Damage (out-of-bounds reads are the fuzz target's): a stamped length
  // past the end; a texts chunk whose last text has no terminator.
  EXPECT_EQ(ReadFile(installed, layout, installed.size() + 1), kUninstallerDamaged);
  EXPECT_EQ(ReadFile(program + B({0x50, 0x12, 0, 0, 4, 0, 0, 0, 1, 0, 'a', 'b'}) + kSmallLog, layout),
            kUninstallerDamaged);
  EXPECT_STREQ(layout.texts[0], kDefaultUninstallerTexts[0]);  // nothing of a damaged chunk is kept
  // An empty text keeps its default; texts beyond the known ones are skipped.
  const Bytes extra = program + B({0x50, 0x12, 0, 0, 13, 0, 0, 0, 10, 0, 0, 'x', 0}) + Bytes(8, 0) + kSmallLog;
  ASSERT_EQ(ReadFile(extra, layout), kUninstallerInstalled);
  EXPECT_STREQ(layout.texts[0], kDefaultUninstallerTexts[0]);
  EXPECT_STREQ(layout.texts[1], "x");
  // A log the reader refuses: a flags byte with an unknown bit.
  Bytes badLog = installed;
  badLog[badLog.size() - 9] = 0x80;
  EXPECT_EQ(ReadFile(badLog, layout), kUninstallerDamaged);
  EXPECT_EQ(layout.logStatus, kLogBadEntry);
}

// Signed, the program keeps its texts and the free header before the
// certificate table, and its log lies in the file beside it.
TEST(UninstallerFile, ASignedFileKeepsTheFreeHeaderAndItsLogBeside) {
  Bytes program = PeTestFiles::MakePe(false, Bytes(4, 0));
  const uint32_t size = static_cast<uint32_t>(program.size());
  memcpy(program.data() + 600, kUninstallerMarkTag, sizeof(kUninstallerMarkTag));
  WriteU32Le(program.data() + 600 + sizeof(kUninstallerMarkTag), size);
  Bytes file;
  std::string error;
  ASSERT_TRUE(MakeUninstallerFile(program, Texts("signed "), file, error)) << error;
  UninstallerLayout layout;
  Bytes signedFile;  // the layout's texts point into it
  auto signedWith = [&](const Bytes& unsignedFile, uint32_t padding) {
    signedFile = unsignedFile;
    PeTestFiles::AppendCertificateTable(signedFile, false, padding, 900);
    return ReadFile(signedFile, layout, size);
  };
  EXPECT_EQ(signedWith(file, 7), kUninstallerLogBeside);
  EXPECT_STREQ(layout.texts[kTextDone], "signed 2");
  EXPECT_EQ(signedWith(file, 8), kUninstallerDamaged);  // more than alignment
  // A log appended before signing is not where a signed file keeps it.
  EXPECT_EQ(signedWith(Bytes(file.begin(), file.end() - 8) + kSmallLog, 0), kUninstallerDamaged);

  char path[kPathBufferSize];
  for (auto [program, log] : {std::pair{"C:\\App.v2\\un.inst.exe", "C:\\App.v2\\un.inst.dat"},
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
  for (const auto& [folder, expected] : {std::pair{".", "C:\\Program Files\\App"},
                                         {".\\Data\\Sounds", "C:\\Program Files\\App\\Data\\Sounds"},
                                         {"d:\\x y\\z", "d:\\x y\\z"},
                                         {"\\\\server\\share\\dir", "\\\\server\\share\\dir"}}) {
    EXPECT_TRUE(ResolveLogFolder(base, L(folder), out)) << folder;
    EXPECT_STREQ(out, expected) << folder;
  }
  // Escapes and other forms; Windows takes a slash for a backslash and drops a trailing dot.
  for (const char* folder : {".\\..", ".\\Data/../../x", ".\\Data\\.", ".\\", ".\\Data\\\\x", ".\\C:x", "..",
                             "Data", "C:\\", "C:\\Windows\\..\\..", "\\\\server", "\\\\server\\", ".\\a\x01", ".\\a*"})
    EXPECT_FALSE(ResolveLogFolder(base, L(folder), out)) << folder;
  const std::string deep = ".\\" + std::string(259 - strlen(base) - 1, 'd');  // 259 characters fit, 260 do not
  EXPECT_TRUE(ResolveLogFolder(base, L(deep), out));
  EXPECT_FALSE(ResolveLogFolder(base, L(deep + "d"), out));

  strcpy(out, "C:\\App");
  EXPECT_TRUE(AppendLogName(out, L("read me.txt")));
  EXPECT_STREQ(out, "C:\\App\\read me.txt");
  for (const char* bad : {"", "..", "a\\b", "a/b", "a:b", "a.", "a ", "a?"}) {
    strcpy(out, "C:\\App");
    EXPECT_FALSE(AppendLogName(out, L(bad))) << bad;
  }
  const std::string folder(250, 'f');
  strcpy(out, folder.c_str());
  EXPECT_TRUE(AppendLogName(out, L("12345678")));  // 259 characters
  strcpy(out, folder.c_str());
  EXPECT_FALSE(AppendLogName(out, L("123456789")));
  EXPECT_EQ(strlen(out), 250u) << "a refused name leaves the folder as it was";

  for (const char* name : {"Demo.lnk", "Demo.LNK"}) EXPECT_TRUE(IsShortcutName(L(name))) << name;
  for (const char* name : {".lnk", "Demo.exe", "lnk"}) EXPECT_FALSE(IsShortcutName(L(name))) << name;
  EXPECT_TRUE(IsBelowFolder("C:\\Programs\\Demo", "c:\\programs"));
  for (const char* path : {"C:\\Programs", "C:\\Programs\\", "C:\\ProgramsX\\Demo"})
    EXPECT_FALSE(IsBelowFolder(path, "C:\\Programs")) << path;

  char path[kPathBufferSize] = "C:\\a\\b";
  EXPECT_TRUE(CutLastPart(path));
  EXPECT_STREQ(path, "C:\\a");
  EXPECT_FALSE(IsDriveRoot(path));
  EXPECT_FALSE(CutLastPart(path)) << "never up to a drive";
  // The uninstaller's own folder at a drive root, where "." still names
  // files but the folder is never removed.
  strcpy(path, "D:\\uninstall.exe");
  EXPECT_TRUE(CutFileName(path));
  EXPECT_TRUE(IsDriveRoot(path));
  ASSERT_TRUE(ResolveLogFolder(path, L("."), out));
  ASSERT_TRUE(AppendLogName(out, L("a.txt")));
  EXPECT_STREQ(out, "D:\\a.txt");
  EXPECT_FALSE(IsBelowFolder("D:", "D:"));
  strcpy(path, "uninstall.exe");
  EXPECT_FALSE(CutFileName(path));

  EXPECT_TRUE(IsUninstallKeyName(L(kPrefix + "Demo Notes 1.2")));
  // One key below Uninstall, as the setup writes it.
  for (const std::string& bad : {kPrefix, kPrefix + "\\", kPrefix + "Demo\\", kPrefix + "Vendor\\Demo", kPrefix + "a\tb",
                                 std::string("Software\\Other\\Demo")})
    EXPECT_FALSE(IsUninstallKeyName(L(bad))) << bad;
}

using LogCommandTest = ScratchFolder;

TEST_F(LogCommandTest, PrintsEachRecordAndWhatTheUninstallerRefuses) {
  const std::string path = Put("uninstall.exe", FakeProgram() + kLog);
  ToolResult result = RunTool("log '" + path + "'");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "uninstaller: \"" + path + "\"\nlog: offset 600, 136 bytes\nfiles: 2\n" +
                            "  folder \".\\Data\" name \"x.dat\" flags 0x03 SharedFile FontFile\n" +
                            "  folder \".\" name \"a\" flags 0x00\nshortcuts: 1\n  folder \"C:\\S\" name \"A.lnk\"\n" +
                            "registry key: HKEY_LOCAL_MACHINE \"" + kPrefix + "Ac\"\n");
  // A valid log whose key lies two keys below Uninstall: shown, then refused.
  Put("uninstall.exe", FakeProgram() + Bytes(kLog.begin(), kLog.end() - 76) +
                           B({0x38, 0x12, 0, 0, 0x3D, 0, 0, 0, 0x02, 0, 0, 0x80, 0x37, 0}) + Text(kPrefix + "A\\C") + kEnd);
  result = RunTool("log '" + path + "'");
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find("the uninstaller will refuse this log"), std::string::npos) << result.out;
}

using UninstallerBuildTest = BuildFixture;

TEST_F(UninstallerBuildTest, TheTableAddsTheUninstallerWithItsTexts) {
  Put("setvik-uninst.exe", FakeProgram());
  Put("app.exe", Bytes(100, 'a'));
  ASSERT_EQ(Build("[setup]\ntitle = \"Demo\"\nuninstall_name = \"Demo 1\"\n[[file]]\nsource = \"app.exe\"\n"
                  "[uninstaller]\ntarget = \"remove.exe\"\nstart_menu = { group = \"Demo\", name = \"Remove Demo\" }\n"
                  "[uninstaller.texts]\nconfirm = \"Really remove Demo?\"\n",
                  "setup.exe", "setvik-uninst.exe"),
            "");
  std::string error;
  ASSERT_TRUE(LoadSetup(dir + "/setup.exe", error)) << error;
  ASSERT_EQ(FileRecordCount, 2u);
  const uint8_t* r = NextFileRecord(FirstFileRecord);
  EXPECT_STREQ(RecordString(r, kStringFileName), "remove.exe");
  EXPECT_EQ(RecordOptionFlags(r), kOptionUninstaller);
  EXPECT_EQ(r[FileRecordField::destinationKind], kDestInstallDir);
  EXPECT_STREQ(RecordString(r, kStringMenuShortcutName), "Remove Demo");
  UnloadSetup();

  // The stored file: the program, the texts, the free header.
  ASSERT_EQ(RunTool("extract '" + dir + "/setup.exe' '" + dir + "/out'").status, 0);
  const Bytes stored = Slurp(dir + "/out/install/remove.exe");
  UninstallerLayout layout;
  ASSERT_EQ(ReadFile(stored, layout), kUninstallerNotInstalled);
  EXPECT_TRUE(std::equal(stored.begin(), stored.begin() + 600, FakeProgram().begin()));
  EXPECT_STREQ(layout.texts[kTextConfirm], "Really remove Demo?");
  EXPECT_STREQ(layout.texts[kTextDone], "Demo was removed from your computer.");  // a default, titled
}

}  // namespace
