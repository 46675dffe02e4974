// The setvik command line, run as a user runs it: setups made with the
// setup writer behind a fake stub that carries a stub mark, then list,
// verify, deflate and inflate on them, checking exit codes, messages and
// that a failure leaves no output file.
#include <functional>

#include "authoring/SetupWriter.h"
#include "setupdata/Format.h"
#include "tests/unit/ToolTesting.h"

namespace {

using RunResult = ToolResult;

std::vector<uint8_t> StubWithMark(uint32_t length) {
  std::vector<uint8_t> stub(length, 0);
  stub[0] = 'M';
  stub[1] = 'Z';
  StubMarkRecord mark = {"Setvik StubSize", length};
  memcpy(stub.data() + 64, mark.tag, sizeof(mark.tag));
  WriteU32Le(stub.data() + 64 + sizeof(mark.tag), length);
  return stub;
}

std::vector<uint8_t> Content(size_t size, uint32_t seed) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) {
    seed = seed * 1103515245u + 12345u;
    bytes[i] = static_cast<uint8_t>((i % 7 == 0) ? (seed >> 24) : ('a' + (i / 13) % 26));
  }
  return bytes;
}

class CliTest : public ScratchFolder {
 protected:
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) { return Put(name, bytes); }

  // A setup of three stored files (one in a sub-folder, one external) and
  // the texts and settings a list shows.
  std::vector<uint8_t> MakeSetup(bool damageLastFile = false) {
    std::vector<SetupFileEntry> files;
    FileRecordInfo app;
    app.strings = {"app.exe", "Demo", "Demo App", "", "Demo", "--desk"};
    app.uninstallMode = kUninstallRemove;
    app.launchRole = kLaunchFinishButton;
    files.push_back(PackFile(app, Content(70000, 1)));
    FileRecordInfo readme;
    readme.strings = {"docs\\readme.txt", "", "", "", "", ""};
    readme.optionFlags = kOptionCheckVersion | kOptionTimes;
    readme.version = {0x00010002, 0x00030004, 0x00010000, 0, 0x0409};
    files.push_back(PackFile(readme, Content(5, 2)));
    FileRecordInfo external;
    external.strings = {"extra.dat", "", "", "", "", ""};
    external.uninstallMode = kUninstallExternal;
    files.push_back(PackFile(external, Content(10, 3)));
    if (damageLastFile) files[1].record.contentChecksum ^= 1;
    return Assemble(files);
  }

  std::vector<uint8_t> Assemble(std::vector<SetupFileEntry>& files) {
    SetupWriter writer(StubWithMark(512));
    writer.AddU32(kChunkSetupFlags, kFullScreenBackground | kDirChangeable);
    writer.AddText(kChunkDefaultDir, "#Program Files#\\Demo");
    std::vector<std::vector<std::string>> groups(8, std::vector<std::string>{"Title"});
    groups[6] = {"Demo Setup", "line one\r\nline two"};
    writer.AddTexts(groups);
    writer.AddFileTable(files);
    writer.AddFileData(files);
    return writer.Bytes();
  }
};

TEST_F(CliTest, ListShowsChunksSettingsTextsAndRecords) {
  std::string setup = Write("setup.exe", MakeSetup());
  RunResult r = RunTool("list " + setup);
  ASSERT_EQ(r.status, 0) << r.out;
  for (const char* expected :
       {"stub: 512 bytes", "0x1234 SetupFlags", "0x7F7F FileData", "FullScreenBackground DirChangeable",
        "#Program Files#\\\\Demo", "6/1 \"line one\\r\\nline two\"", "#0 \"app.exe\"", "launchRole 1",
        "menuShortcutName \"Demo App\"", "desktopShortcutArgs \"--desk\"", "#1 \"docs\\\\readme.txt\"",
        "version file 1.2.3.4 product 1.0.0.0 language 0x00000409", "uninstallMode 2", "files: 3",
        "UninstallEntry   (absent)"})
    EXPECT_NE(r.out.find(expected), std::string::npos) << "missing: " << expected << "\n" << r.out;
}

TEST_F(CliTest, VerifyAcceptsAGoodSetupAndNamesTheFirstBadFile) {
  std::vector<uint8_t> flipped = MakeSetup(), cut = MakeSetup();
  flipped[flipped.size() - 200] ^= 0x5A;  // in the first stream: that file is named, nothing later
  cut.resize(cut.size() - 10);            // inside the file data: refused as incomplete
  const struct {
    std::vector<uint8_t> file;
    int status;
    const char* message;
  } cases[] = {{MakeSetup(), 0, "2 files verified"},
               {MakeSetup(true), 1, "docs\\\\readme.txt\"): checksum error"},
               {flipped, 1, "app.exe"},
               {cut, 1, "damaged or incomplete"},
               {Content(1000, 9), 1, "not a Setvik setup"}};
  for (const auto& c : cases) {
    RunResult r = RunTool("verify " + Write("setup.exe", c.file));
    EXPECT_EQ(r.status, c.status) << r.out;
    EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
  }
}

FileRecordInfo Named(const std::string& name) {
  FileRecordInfo record;
  record.strings = {name, "", "", "", "", ""};
  return record;
}

TEST_F(CliTest, HostileSetupsAreNamedStrictlyAndWriteNothingOutside) {
  struct Row {
    const char* what;
    std::function<void(std::vector<SetupFileEntry>&)> change;
    const char* command;
    int status;
    const char* message;
  } rows[] = {
      // Each stream must end exactly at its packedSize; the record at fault is named.
      {"packedSize 1", [](auto& f) { f[0].record.packedSize = 1; }, "verify", 1,
       "file #0 (\"a.txt\"): the stream does not decode within its packedSize of 1 bytes"},
      {"junk after a stream", [](auto& f) { f[0].stream.push_back(0x55), ++f[0].record.packedSize; }, "verify", 1,
       "file #0 (\"a.txt\"): the stream ends after"},
      {"stream past the data", [](auto& f) { f[1].record.packedSize += 100; }, "verify", 1,
       "file #1 (\"b.txt\"): its stream runs past the end of the file data"},
      {"more than fileSize", [](auto& f) { f[0].record.fileSize = 10; }, "extract", 1,
       "decodes to more than the 10 bytes"},
      // Names and texts reach the terminal escaped.
      {"escape in a name", [](auto& f) { f[1].record.strings[0] = "\x1B]0;x\x07.txt", f[1].record.contentChecksum ^= 1; },
       "verify", 1, "(\"\\x1B]0;x\\x07.txt\"): checksum error"},
      // A repeated name is one file; a name of 250 characters still extracts.
      {"same name twice", [](auto& f) { f[1].record.strings[0] = "A.TXT"; }, "extract", 0,
       "1 files extracted to \"" },
      {"long name", [](auto& f) { f[1].record.strings[0] = std::string(250, 'n'); }, "extract", 0, "2 files extracted"},
      // A link among the folders below the target is not followed.
      {"linked folder", [this](auto& f) {
         f[1].record.strings[0] = "docs\\b.txt";
         mkdir((dir + "/out").c_str(), 0755);
         mkdir((dir + "/out/install").c_str(), 0755);
         mkdir((dir + "/outside").c_str(), 0755);
         symlink((dir + "/outside").c_str(), (dir + "/out/install/docs").c_str());
       }, "extract", 1, "exists and is not a folder"},
  };
  for (const Row& row : rows) {
    std::system(("rm -rf '" + dir + "/out' '" + dir + "/outside'").c_str());
    std::vector<SetupFileEntry> files;
    files.push_back(PackFile(Named("a.txt"), Content(5000, 1)));
    files.push_back(PackFile(Named("b.txt"), Content(300, 2)));
    row.change(files);
    const std::string setup = Write("hostile.exe", Assemble(files));
    RunResult r = RunTool(std::string(row.command) + " " + setup + (row.command[0] == 'e' ? " " + dir + "/out" : ""));
    EXPECT_EQ(r.status, row.status) << row.what << "\n" << r.out;
    EXPECT_NE(r.out.find(row.message), std::string::npos) << row.what << "\n" << r.out;
    EXPECT_EQ(r.out.find('\x1B'), std::string::npos) << row.what;
    EXPECT_NE(access((dir + "/outside/b.txt").c_str(), F_OK), 0) << row.what;
  }
  // Neither a folder nor a FIFO is read as a setup or a stream: no hang, no abort.
  ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0600), 0);
  for (const std::string& command : {"list " + dir + "/fifo", "verify " + dir + "/fifo", "verify " + dir,
                                     "inflate " + dir + "/fifo " + dir + "/x", "deflate " + dir + " " + dir + "/x"}) {
    RunResult r = RunTool(command);
    EXPECT_EQ(r.status, 1) << command;
    EXPECT_NE(r.out.find("not a regular file"), std::string::npos) << command << "\n" << r.out;
  }
}

TEST_F(CliTest, DeflateInflateRoundTripAndRejectInvalidStreams) {
  for (size_t size : {size_t{0}, size_t{1}, size_t{32768}, size_t{200000}}) {
    std::vector<uint8_t> data = Content(size, static_cast<uint32_t>(size));
    std::string in = Write("in.bin", data);
    for (const char* level : {"0", "6", "12"}) {
      ASSERT_EQ(RunTool(std::string("deflate --level ") + level + " " + in + " " + dir + "/packed").status, 0);
      ASSERT_EQ(RunTool("inflate " + dir + "/packed " + dir + "/out.bin").status, 0);
      EXPECT_EQ(Slurp(dir + "/out.bin"), data) << "size " << size << " level " << level;
    }
  }
  // A raw RFC 1951 stream is not this format: block type 3 (result 2).
  std::string rfc = Write("rfc.bin", {0x4B, 0x4C, 0x4A, 0x06, 0x00});
  RunResult r = RunTool("inflate " + rfc + " " + dir + "/never.bin");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("decoder result 2"), std::string::npos) << r.out;
  EXPECT_NE(access((dir + "/never.bin").c_str(), F_OK), 0) << "no partial output";
  // A stream cut short fails rather than producing a short file.
  std::string cut = Write("cut.bin", {0x0F, 0x05, 0x00, 'a', 'b'});
  EXPECT_EQ(RunTool("inflate " + cut + " " + dir + "/never.bin").status, 1);
  EXPECT_NE(access((dir + "/never.bin").c_str(), F_OK), 0);

  EXPECT_EQ(RunTool("deflate --level 13 " + rfc + " " + dir + "/x").status, 2);
  EXPECT_EQ(RunTool("frobnicate").status, 2);
  EXPECT_EQ(RunTool("help list").status, 0);
  EXPECT_EQ(RunTool("help list extra").status, 2);
  EXPECT_EQ(RunTool("deflate " + dir + "/missing " + dir + "/x").status, 1);
}

}  // namespace
