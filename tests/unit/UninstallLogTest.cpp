// The uninstall log's encoding: the writing helpers against annotated
// bytes, the split of a path into log folder and name, the reader on whole,
// cut and hostile logs, and `setvik log` on uninstaller files.
#include <string.h>

#include "base/FileAccess.h"
#include "setupdata/SetupData.h"
#include "tests/unit/ToolTesting.h"
#include "uninstlog/UninstallLog.h"
#include "uninstlog/UninstallerFile.h"

namespace {

typedef std::vector<uint8_t> Bytes;

Bytes B(std::initializer_list<int> values) {
  Bytes out;
  for (int v : values) out.push_back(static_cast<uint8_t>(v));
  return out;
}
Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

// A small log, annotated:
const Bytes kLog =
    B({0x35, 0x12, 0x00, 0x00, 0x1B, 0, 0, 0}) +  // UninstallFiles, 27 bytes
    B({0x02, 0, 0, 0}) +                           // count 2
    B({0x06, 0}) + Text(".\\Data") +               //   folder ".\Data"
    B({0x05, 0}) + Text("x.dat") +                 //   name "x.dat"
    B({0x03}) +                                    //   SharedFile | FontFile
    B({0x01, 0}) + Text(".") +                     //   folder "."
    B({0x01, 0}) + Text("a") +                     //   name "a"
    B({0x00}) +                                    //   no flags
    B({0x36, 0x12, 0x00, 0x00, 0x11, 0, 0, 0}) +   // UninstallShortcuts, 17 bytes
    B({0x01, 0, 0, 0}) +                           // count 1
    B({0x04, 0}) + Text("C:\\S") +                 //   folder "C:\S"
    B({0x05, 0}) + Text("A.lnk") +                 //   name "A.lnk"
    B({0x38, 0x12, 0x00, 0x00, 0x3C, 0, 0, 0}) +   // UninstallRegKey, 54 + 6 bytes
    B({0x02, 0, 0, 0x80}) +                        // HKEY_LOCAL_MACHINE
    B({0x36, 0}) + Text(std::string(kUninstallKeyPrefix) + "Ac") +  // the key, 54 characters
    B({0x7F, 0x7F, 0, 0, 0, 0, 0, 0});             // UninstallEnd

struct Seen {
  std::vector<std::string> lines;
};

std::string Str(LogText t) { return std::string(t.text, t.length); }

UninstallLogVisitor Collector(Seen& seen) {
  UninstallLogVisitor v;
  v.context = &seen;
  v.file = [](void* c, LogText folder, LogText name, uint8_t flags) {
    static_cast<Seen*>(c)->lines.push_back("file " + Str(folder) + "|" + Str(name) + "|" + std::to_string(flags));
  };
  v.shortcut = [](void* c, LogText folder, LogText name) {
    static_cast<Seen*>(c)->lines.push_back("link " + Str(folder) + "|" + Str(name));
  };
  v.registryKey = [](void* c, uint32_t root, LogText key) {
    static_cast<Seen*>(c)->lines.push_back("key " + std::to_string(root) + "|" + Str(key));
  };
  return v;
}

UninstallLogStatus Read(const Bytes& log, Seen* seen = nullptr) {
  Bytes exact(log);  // ASan sees any read past the end
  UninstallLogVisitor v;
  if (seen) v = Collector(*seen);
  return ReadUninstallLog(exact.data(), static_cast<uint32_t>(exact.size()), seen ? &v : nullptr);
}

class UninstallLogFile : public ::testing::Test {
 protected:
  void SetUp() override { path = ::testing::TempDir() + "setvik-uninstlog-" + std::to_string(getpid()); }
  void TearDown() override { unlink(path.c_str()); }
  Bytes Contents() { return Slurp(path); }
  void Write(const Bytes& bytes) { Spit(path, bytes); }
  std::string path;
};

TEST_F(UninstallLogFile, WritersProduceTheAnnotatedBytes) {
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
  EXPECT_EQ(WriteLogString(log, (std::string(kUninstallKeyPrefix) + "Ac").c_str()), 0);
  EXPECT_EQ(WriteLogString(log, std::string(0x10000, 'z').c_str()), 2);  // too long: nothing written
  EXPECT_EQ(WriteLogHeader(log, kChunkUninstallEnd, 0), 0);
  FileClose(log);
  EXPECT_EQ(Contents(), kLog);

  // An empty text is its length alone.
  log = FileCreate(path.c_str());
  EXPECT_EQ(WriteLogString(log, ""), 0);
  FileClose(log);
  EXPECT_EQ(Contents(), B({0, 0}));
}

TEST(UninstallLogSplit, FolderAndNameAgainstTheInstallationFolder) {
  struct Case {
    const char* path;
    const char* installDir;
    const char* folder;  // null: no entry
    const char* name;
  };
  const Case cases[] = {
      {"C:\\App\\Data\\x.dat", "C:\\App\\", ".\\Data", "x.dat"},
      {"C:\\App\\Data\\Sounds\\y.wav", "C:\\App\\", ".\\Data\\Sounds", "y.wav"},
      {"C:\\App\\x", "C:\\App\\", ".", "x"},
      {"C:\\Windows\\x.dll", "C:\\App\\", "C:\\Windows", "x.dll"},
      {"c:\\program files\\APP\\Sub\\z", "C:\\Program Files\\app\\", ".\\Sub", "z"},  // case differs
      {"C:\\Application\\z", "C:\\App\\", "C:\\Application", "z"},  // a longer name is not inside
      {"C:\\Ap", "C:\\App\\", "C:", "Ap"},                         // shorter than the folder
      {"C:\\x.dll", "C:\\", ".", "x.dll"},                        // a drive root as the folder
      {"C:\\Windows\\x.dll", "", "C:\\Windows", "x.dll"},             // an empty folder holds nothing
      {"x.dat", "C:\\App\\", nullptr, nullptr},                   // no backslash outside it
      {"C:\\App\\Data\\", "C:\\App\\", nullptr, nullptr},         // no name
      {"D:\\Other\\", "C:\\App\\", nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    char folder[kPathBufferSize] = "unchanged";
    const char* name = SplitLogPath(c.path, c.installDir, folder);
    if (!c.folder) {
      EXPECT_EQ(name, nullptr);
      continue;
    }
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(folder, c.folder);
    EXPECT_STREQ(name, c.name);
  }
  // ".\" and a sub-folder of 258 characters would not fit a path buffer.
  char folder[kPathBufferSize];
  const std::string deep = "C:\\" + std::string(258, 'd') + "\\x";
  EXPECT_EQ(SplitLogPath(deep.c_str(), "C:\\", folder), nullptr);
  const std::string fits = "C:\\" + std::string(257, 'd') + "\\x";
  EXPECT_NE(SplitLogPath(fits.c_str(), "C:\\", folder), nullptr);
  EXPECT_EQ(strlen(folder), 259u);
}

TEST(UninstallLogReader, WholeCutAndHostileLogs) {
  Seen seen;
  ASSERT_EQ(Read(kLog, &seen), kLogValid);
  const std::vector<std::string> expected = {"file .\\Data|x.dat|3", "file .|a|0", "link C:\\S|A.lnk",
                                             "key 2147483650|" + std::string(kUninstallKeyPrefix) + "Ac"};
  EXPECT_EQ(seen.lines, expected);

  // The smallest log: no files, nothing else.
  const Bytes empty = B({0x35, 0x12, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0x7F, 0x7F, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(Read(empty), kLogValid);

  for (size_t length = 0; length < kLog.size(); ++length) {  // every cut: refused, nothing reported
    Seen seen;
    EXPECT_EQ(Read(Bytes(kLog.begin(), kLog.begin() + length), &seen), kLogTruncated) << length;
    EXPECT_TRUE(seen.lines.empty());
  }
  EXPECT_EQ(Read(kLog + B({0})), kLogTrailingBytes);

  struct Change {
    const char* what;
    size_t at;
    std::vector<int> bytes;
    UninstallLogStatus expected;
  };
  const Change changes[] = {
      {"file count far beyond the body", 8, {0xFF, 0xFF, 0xFF, 0xFF}, kLogTruncated},
      {"file count one more than the entries", 8, {0x03}, kLogTruncated},
      {"folder length beyond the chunk, inside the log", 12, {0x40}, kLogTruncated},
      {"chunk size beyond the bytes", 4, {0xFF, 0xFF, 0xFF, 0x7F}, kLogTruncated},
      {"compressed flag", 2, {0x01}, kLogBadChunk},
      {"unknown chunk id", 0, {0x37}, kLogBadChunk},
      {"shortcuts first", 0, {0x36}, kLogBadChunk},
      {"file count one less: bytes left in the body", 8, {0x01}, kLogBadChunk},
      {"end chunk with a body beyond the bytes", 132, {0x01}, kLogTruncated},
      {"unknown flag bit", 27, {0x0B}, kLogBadEntry},
      {"backslash in a name", 33, {'\\'}, kLogBadEntry},
      {"NUL in a folder", 14, {0}, kLogBadEntry},
      {"another registry root", 68, {0x03}, kLogBadEntry},
      {"an unknown bit beside the root", 69, {0x04}, kLogBadEntry},
      {"a key outside the Uninstall key", 74, {'s'}, kLogBadEntry},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.what);
    Bytes log = kLog;
    for (size_t i = 0; i < change.bytes.size(); ++i) log[change.at + i] = static_cast<uint8_t>(change.bytes[i]);
    Seen seen;
    EXPECT_EQ(Read(log, &seen), change.expected);
    EXPECT_TRUE(seen.lines.empty());  // nothing reported from a log that is refused
  }
  // A second UninstallFiles chunk; an end chunk with a body that fits.
  const Bytes files = Bytes(kLog.begin(), kLog.begin() + 35);
  EXPECT_EQ(Read(files + files + B({0x7F, 0x7F, 0, 0, 0, 0, 0, 0})), kLogBadChunk);
  EXPECT_EQ(Read(files + B({0x7F, 0x7F, 0, 0, 1, 0, 0, 0, 0})), kLogBadChunk);
  // An empty name.
  const Bytes emptyName = B({0x35, 0x12, 0, 0, 0x0A, 0, 0, 0, 1, 0, 0, 0, 1, 0, '.', 0, 0, 0});
  EXPECT_EQ(Read(emptyName + B({0x7F, 0x7F, 0, 0, 0, 0, 0, 0})), kLogBadEntry);
  // A key that is the prefix alone names no program.
  Bytes bare = B({0x38, 0x12, 0, 0, 0x3A, 0, 0, 0, 0x02, 0, 0, 0x80, 0x34, 0}) + Text(kUninstallKeyPrefix);
  EXPECT_EQ(Read(files + bare + B({0x7F, 0x7F, 0, 0, 0, 0, 0, 0})), kLogBadEntry);
}

ToolResult RunLogCommand(const std::string& path) { return RunTool("log '" + path + "'"); }

// A program of 30 bytes that carries the uninstaller's mark with its length.
Bytes MarkedProgram() {
  return Text("MZ") + Bytes(kUninstallerMarkTag, kUninstallerMarkTag + 16) + B({30, 0, 0, 0}) + Text("program.");
}

TEST_F(UninstallLogFile, LogCommandPrintsEachRecordAndWhatTheUninstallerRefuses) {
  Write(MarkedProgram() + kLog);
  ToolResult result = RunLogCommand(path);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "uninstaller: \"" + path +
                            "\"\nlog: offset 30, 136 bytes\n"
                            "files: 2\n"
                            "  folder \".\\Data\" name \"x.dat\" flags 0x03 SharedFile FontFile\n"
                            "  folder \".\" name \"a\" flags 0x00\n"
                            "shortcuts: 1\n"
                            "  folder \"C:\\S\" name \"A.lnk\"\n"
                            "registry key: HKEY_LOCAL_MACHINE \"" +
                            kUninstallKeyPrefix + "Ac\"\n");

  struct Row {
    const char* what;
    Bytes file;
    int status;
    const char* message;
  } rows[] = {
      {"fresh", MarkedProgram() + Bytes(kFreeLogHeader, kFreeLogHeader + 8), 0, "log: none"},
      {"cut", MarkedProgram() + Bytes(kLog.begin(), kLog.end() - 2), 1, "no valid uninstall log"},
      // The publisher's own uninstaller has no mark: its log is found all the same.
      {"no mark", Text("MZ ") + B({0x35, 0x12, 0, 0, 4, 0, 0, 0}) + kLog, 0, "log: offset 11, 136 bytes"},
      {"no mark, damaged", Text("MZ program") + Bytes(kLog.begin(), kLog.end() - 2), 1, "no valid uninstall log"},
      // A valid log whose key lies two keys below Uninstall: shown, then refused.
      {"deep key",
       MarkedProgram() + Bytes(kLog.begin(), kLog.end() - 76) + B({0x38, 0x12, 0, 0, 0x3D, 0, 0, 0, 0x02, 0, 0, 0x80}) +
           B({0x37, 0}) + Text(std::string(kUninstallKeyPrefix) + "A\\C") + B({0x7F, 0x7F, 0, 0, 0, 0, 0, 0}),
       1, "the uninstaller will refuse this log"},
  };
  for (const Row& row : rows) {
    Write(row.file);
    result = RunLogCommand(path);
    EXPECT_EQ(result.status, row.status) << row.what << "\n" << result.out;
    EXPECT_NE(result.out.find(row.message), std::string::npos) << row.what << "\n" << result.out;
  }
  // Neither a folder nor a FIFO is read: no hang, no abort.
  const std::string fifo = path + ".fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& other : {::testing::TempDir(), fifo}) {
    result = RunLogCommand(other);
    EXPECT_EQ(result.status, 1) << other;
    EXPECT_NE(result.out.find("not a regular file"), std::string::npos) << result.out;
  }
  unlink(fifo.c_str());
}

}  // namespace
