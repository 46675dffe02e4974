// The setvik command line, run as a user runs it: setups made with the
// setup writer behind a fake stub that carries a stub mark, then list,
// verify, extract, deflate and inflate on them, checking exit codes,
// messages and that a failure leaves no output file.
#include <functional>

#include "authoring/SetupWriter.h"
#include "tests/unit/ToolTesting.h"

namespace {

FileRecordInfo Named(const std::string& name) {
  FileRecordInfo record;
  record.strings = {name, "", "", "", "", ""};
  return record;
}

class CliTest : public ScratchFolder {
 protected:
  // A setup of the given files behind a stub of 512 bytes, with the texts
  // and settings a list shows.
  std::string MakeSetup(std::vector<SetupFileEntry> files, const std::string& name = "setup.exe") {
    std::vector<uint8_t> stub(512, 0);
    stub[0] = 'M', stub[1] = 'Z';
    memcpy(stub.data() + 64, kStubMarkTag, sizeof(kStubMarkTag));
    WriteU32Le(stub.data() + 64 + sizeof(kStubMarkTag), 512);
    SetupWriter writer(stub);
    writer.AddU32(kChunkSetupFlags, kFullScreenBackground | kDirChangeable);
    std::vector<std::vector<std::string>> groups(8, std::vector<std::string>{"Title"});
    groups[6] = {"Demo Setup", "line one\r\nline two"};
    writer.AddTexts(groups);
    writer.AddFileTable(files);
    writer.AddFileData(files);
    return Put(name, writer.Bytes());
  }
  // Three files: one with shortcuts, one in a sub-folder with a version, one external.
  std::vector<SetupFileEntry> Demo() {
    FileRecordInfo app = Named("app.exe"), readme = Named("docs\\readme.txt"), external = Named("extra.dat");
    app.strings = {"app.exe", "Demo", "Demo App", "", "Demo", "--desk"};
    app.launchRole = kLaunchFinishButton;
    readme.optionFlags = kOptionCheckVersion | kOptionTimes;
    readme.version = {0x00010002, 0x00030004, 0x00010000, 0, 0x0409};
    external.uninstallMode = kUninstallExternal;
    return {PackFile(app, Pattern(70000, 1)), PackFile(readme, Pattern(5, 2)), PackFile(external, Pattern(10, 3))};
  }
};

TEST_F(CliTest, ListAndVerify) {
  ToolResult r = RunTool("list " + MakeSetup(Demo()));
  ASSERT_EQ(r.status, 0) << r.out;
  for (const char* expected :
       {"stub: 512 bytes", "0x1234 SetupFlags", "FullScreenBackground DirChangeable", "6/1 \"line one\\r\\nline two\"",
        "#0 \"app.exe\"", "launchRole 1", "desktopShortcutArgs \"--desk\"", "#1 \"docs\\\\readme.txt\"",
        "version file 1.2.3.4 product 1.0.0.0 language 0x00000409", "uninstallMode 2", "files: 3",
        "UninstallEntry   (absent)"})
    EXPECT_NE(r.out.find(expected), std::string::npos) << "missing: " << expected << "\n" << r.out;

  std::vector<uint8_t> flipped = Slurp(MakeSetup(Demo())), cut = flipped;
  flipped[flipped.size() - 200] ^= 0x5A;  // in the first stream: that file is named, nothing later
  cut.resize(cut.size() - 10);            // inside the file data: refused as incomplete
  std::vector<SetupFileEntry> damaged = Demo();
  damaged[1].record.contentChecksum ^= 1;
  const struct {
    std::string setup;
    int status;
    const char* message;
  } cases[] = {{MakeSetup(Demo()), 0, "2 files verified"},
               {MakeSetup(damaged, "damaged.exe"), 1, "docs\\\\readme.txt\"): checksum error"},
               {Put("flipped.exe", flipped), 1, "app.exe"},
               {Put("cut.exe", cut), 1, "damaged or incomplete"},
               {Put("other.exe", Pattern(1000, 9)), 1, "not a Setvik setup"}};
  for (const auto& c : cases) {
    r = RunTool("verify " + c.setup);
    EXPECT_EQ(r.status, c.status) << r.out;
    EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
  }
}

TEST_F(CliTest, HostileSetupsAreNamedStrictlyAndWriteNothingOutside) {
  const struct {
    std::function<void(std::vector<SetupFileEntry>&)> change;
    const char* command;
    int status;
    const char* message;
  } rows[] = {
      // Each stream must end exactly at its packedSize; the record at fault is named.
      {[](auto& f) { f[0].record.packedSize = 1; }, "verify", 1,
       "file #0 (\"a.txt\"): the stream does not decode within its packedSize of 1 bytes"},
      {[](auto& f) { f[0].stream.push_back(0x55), ++f[0].record.packedSize; }, "verify", 1,
       "file #0 (\"a.txt\"): the stream ends after"},
      {[](auto& f) { f[1].record.packedSize += 100; }, "verify", 1,
       "file #1 (\"b.txt\"): its stream runs past the end of the file data"},
      {[](auto& f) { f[0].record.fileSize = 10; }, "extract", 1, "decodes to more than the 10 bytes"},
      // Names reach the terminal escaped; a repeated name is one file; a long one still extracts.
      {[](auto& f) { f[1].record.strings[0] = "\x1B]0;x\x07.txt", f[1].record.contentChecksum ^= 1; }, "verify", 1,
       "(\"\\x1B]0;x\\x07.txt\"): checksum error"},
      {[](auto& f) { f[1].record.strings[0] = "A.TXT"; }, "extract", 0, "1 files extracted to \""},
      {[](auto& f) { f[1].record.strings[0] = std::string(250, 'n'); }, "extract", 0, "2 files extracted"},
      // A link among the folders below the target is not followed.
      {[this](auto& f) {
         f[1].record.strings[0] = "docs\\b.txt";
         PutText("outside/x", "");
         PutText("out/install/x", "");
         symlink((dir + "/outside").c_str(), (dir + "/out/install/docs").c_str());
       },
       "extract", 1, "exists and is not a folder"},
      // A path that fits, with no room beside it for the temporary it is written to.
      {[this](auto& f) {
         std::string name(4080 - (dir + "/out/install/").size(), 'd');
         for (size_t at = 200; at + 10 < name.size(); at += 200) name[at] = '\\';
         name[name.size() - 2] = '\\';
         f[1].record.strings[0] = name;
       },
       "extract", 1, "/d\": cannot create: File name too long"},
  };
  for (const auto& row : rows) {
    std::system(("rm -rf '" + dir + "/out' '" + dir + "/outside'").c_str());
    std::vector<SetupFileEntry> files = {PackFile(Named("a.txt"), Pattern(5000, 1)), PackFile(Named("b.txt"), Pattern(300, 2))};
    row.change(files);
    const std::string setup = MakeSetup(files);
    ToolResult r = RunTool(std::string(row.command) + " " + setup + (row.command[0] == 'e' ? " " + dir + "/out" : ""));
    EXPECT_EQ(r.status, row.status) << row.message << "\n" << r.out;
    EXPECT_NE(r.out.find(row.message), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\x1B'), std::string::npos) << row.message;
    EXPECT_FALSE(Exists("outside/b.txt")) << row.message;
  }
  // Neither a folder nor a FIFO is read as a setup or a stream: no hang, no abort.
  ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0600), 0);
  for (const std::string& command : {"list " + dir + "/fifo", "verify " + dir, "inflate " + dir + "/fifo " + dir + "/x"}) {
    ToolResult r = RunTool(command);
    EXPECT_EQ(r.status, 1) << command;
    EXPECT_NE(r.out.find("not a regular file"), std::string::npos) << command << "\n" << r.out;
  }
}

TEST_F(CliTest, DeflateInflateRoundTripAndRejectInvalidStreams) {
  for (size_t size : {size_t{0}, size_t{200000}}) {
    const std::string in = Put("in.bin", Pattern(size, 5));
    for (const char* level : {"0", "12"}) {
      ASSERT_EQ(RunTool(std::string("deflate --level ") + level + " " + in + " " + dir + "/packed").status, 0);
      ASSERT_EQ(RunTool("inflate " + dir + "/packed " + dir + "/out.bin").status, 0);
      EXPECT_EQ(Slurp(dir + "/out.bin"), Pattern(size, 5)) << "size " << size << " level " << level;
    }
  }
  // A raw RFC 1951 stream is not this format: block type 3 (result 2); a
  // stream cut short fails rather than producing a short file.
  const std::string rfc = Put("rfc.bin", {0x4B, 0x4C, 0x4A, 0x06, 0x00});
  ToolResult r = RunTool("inflate " + rfc + " " + dir + "/never.bin");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("decoder result 2"), std::string::npos) << r.out;
  EXPECT_EQ(RunTool("inflate " + Put("cut.bin", {0x0F, 0x05, 0x00, 'a', 'b'}) + " " + dir + "/never.bin").status, 1);
  EXPECT_FALSE(Exists("never.bin")) << "no partial output";
  EXPECT_EQ(RunTool("deflate --level 13 " + rfc + " " + dir + "/x").status, 2);
  EXPECT_EQ(RunTool("frobnicate").status, 2);
  EXPECT_EQ(RunTool("help list extra").status, 2);  // help takes one command
  EXPECT_EQ(RunTool("deflate " + dir + "/missing " + dir + "/x").status, 1);
}

}  // namespace
