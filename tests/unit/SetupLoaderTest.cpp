// The loader on hand-made byte streams and on setups from the writer: the
// chunk walk, the completeness rule, every kind's destination, the checks
// that fail a damaged load with text 6/31, and the texts as the setup reads them.
#include <gtest/gtest.h>
#include <string.h>
#include <unistd.h>

#include "authoring/SetupWriter.h"
#include "base/Buffer.h"
#include "setupdata/FileRecord.h"
#include "setupdata/SetupData.h"
#include "setupdata/VolumeReader.h"
#include "tests/support/PeTestFiles.h"
#include "tests/support/PlatformDouble.h"
#include "tests/unit/StreamTesting.h"
#include "tests/unit/ToolTesting.h"

using namespace streamtest;

namespace {

// The loader only skips the stub, so any bytes do.
const uint32_t kFakeStubSize = 40;
Bytes WithStub(const Bytes& stream) { return Bytes{'M', 'Z'} + Bytes(kFakeStubSize - 2, 0xCC) + stream; }

// Text groups 0-7 whose group 6 carries the caption 6/0 and the invalid-data
// message 6/31.
const char kInvalidDataText[] = "The setup file holds invalid data.";
std::vector<std::vector<std::string>> MessageGroups() {
  std::vector<std::vector<std::string>> groups(8, std::vector<std::string>{"title"});
  groups[6].assign(32, "");
  groups[6][0] = "Setvik Test";
  groups[6][31] = kInvalidDataText;
  return groups;
}

// Writes a setup file to a temporary folder and loads it with the stub's
// loader: path buffers allocated, the stub mark set to the fake stub's
// length, the platform double cleared; everything released afterwards, so
// the leak checker sees whatever the loader forgot.
class LoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (char** buffer : {&SetupFilePath, &DataFilePath, &InstallDir})
      ASSERT_TRUE(AllocateZeroed(kPathBufferSize, *buffer));
    static int counter;
    path = ::testing::TempDir() + "setvik-setup-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
    StubMark.stubSize = kFakeStubSize;
    PlatformDouble::Reset();
  }
  void TearDown() override {
    ReleaseSetupData();
    for (char** buffer : {&SetupFilePath, &DataFilePath, &InstallDir}) ReleaseBuffer(*buffer);
    StubMark.stubSize = 0;
    unlink(path.c_str());
  }

  // Writes the whole setup file (stub included) and runs the loader on it.
  bool Load(const Bytes& bytes) {
    Spit(path, bytes);
    strcpy(SetupFilePath, path.c_str());
    return LoadSetupData();
  }
  bool Load(const SetupWriter& writer) { return Load(writer.Bytes()); }

  // A writer that starts with the fake stub, with the message texts when
  // asked; level 1 keeps tests fast.
  static SetupWriter Writer(bool messages = false) {
    SetupWriter writer(WithStub({}), 1);
    if (messages) writer.AddTexts(MessageGroups());
    return writer;
  }

  // Loads and expects a failure that shows the given texts (each in an OK
  // box with an information icon), after which no text is left loaded.
  void ExpectFailure(const Bytes& bytes, const std::vector<std::string>& shown = {kInvalidDataText}) {
    PlatformDouble::Reset();
    EXPECT_FALSE(Load(bytes));
    EXPECT_EQ(PlatformDouble::ShownTexts(), shown);
    for (const PlatformDouble::ShownMessage& message : PlatformDouble::Shown()) EXPECT_EQ(message.boxType, kBoxOk);
    EXPECT_EQ(TextGroups[kTextGroupMessages], nullptr);
  }
  void ExpectFailure(const SetupWriter& writer) { ExpectFailure(writer.Bytes()); }
  void ExpectSilentFailure(const Bytes& bytes) { ExpectFailure(bytes, {}); }

  std::string path;
};

// FileData ending the file with no data at all, and the empty FileData
// header that ends a stream without file data.
const Bytes kEmptyFileData = {0x7F, 0x7F, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
const Bytes kFileDataHeaderOnly = {0x7F, 0x7F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
const Bytes kAbc = {0x0F, 0x03, 0x00, 0x61, 0x62, 0x63};  // stored block, last: abc

std::vector<SetupFileEntry> OneFile(size_t size) { return {PackFile(FileRecordInfo{}, Bytes(size, 'x'), 1)}; }

TEST_F(LoaderTest, WorkedExamples) {
  // SetupFlags 5, then file data that runs exactly to the end of the file.
  const Bytes flags = {0x34, 0x12, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00,  // id 0x1234, flags 0, size 4
                       0x05, 0x00, 0x00, 0x00};                          // SetupFlags = 5
  ASSERT_TRUE(Load(WithStub(flags + kEmptyFileData)));
  EXPECT_EQ(SetupFlags, 5u);
  EXPECT_EQ(FileDataOffset, kFakeStubSize + 12 + 8);
  EXPECT_EQ(FileDataSize, 0u);
  EXPECT_EQ(SinglePage, kSinglePageAbsent);

  // The compressed DefaultDir "C:\App": the u32 size prefix, then one
  // stored block (0F: type 7, last) of LEN 7; a SinglePage of 0xFFFF,
  // which is the whole wizard, and yet makes the data complete.
  const Bytes defaultDir = {0x35, 0x12, 0x01, 0x00, 0x0E, 0x00, 0x00, 0x00,  // id 0x1235, compressed, size 14
                            0x07, 0x00, 0x00, 0x00,                          // uncompressed size 7
                            0x0F, 0x07, 0x00,                                // stored, last; LEN 7
                            0x43, 0x3A, 0x5C, 0x41, 0x70, 0x70, 0x00};      // C:\App and its NUL
  const Bytes singlePage = {0x44, 0x12, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0xFF, 0xFF};
  strcpy(InstallDir, "previous");
  ASSERT_TRUE(Load(WithStub(defaultDir + singlePage + kFileDataHeaderOnly)));
  EXPECT_STREQ(InstallDir, "C:\\App");
  EXPECT_EQ(SinglePage, kSinglePageAbsent);
}

TEST_F(LoaderTest, CompletenessNeedsSinglePageOrFileDataEndingTheFile) {
  SetupWriter single = Writer(true);
  single.AddU16(kChunkSinglePage, 3);
  single.AppendBytes(kFileDataHeaderOnly);
  ASSERT_TRUE(Load(single));
  EXPECT_EQ(SinglePage, 3);
  single.AppendBytes(Bytes{1, 2, 3});  // with SinglePage, file data need not end the file
  EXPECT_TRUE(Load(single));

  SetupWriter headerOnly = Writer(true);
  headerOnly.AppendBytes(kFileDataHeaderOnly);
  ExpectFailure(headerOnly);

  const std::vector<SetupFileEntry> files = OneFile(1000);
  SetupWriter whole = Writer(true);
  whole.AddFileTable(files);
  whole.AddFileData(files);
  ASSERT_TRUE(Load(whole));
  EXPECT_EQ(FileDataSize, files[0].stream.size());
  EXPECT_EQ(FileDataOffset + 4 + FileDataSize, whole.Size());
  ExpectFailure(whole.Bytes() + Bytes{0});  // a byte appended after the file data
  ExpectFailure(Bytes(whole.Bytes().begin(), whole.Bytes().end() - 1));  // cut inside the file data
}

// A signing tool appends zero bytes of alignment and the certificate
// table, and enters both into the stub's PE header; the stub mark stays.
TEST_F(LoaderTest, SignedSetupEndsAtTheCertificateTableItsStubDeclares) {
  for (bool pe32Plus : {false, true}) {
    const Bytes stub = PeTestFiles::MakePe(pe32Plus, Bytes(4, 0));
    StubMark.stubSize = static_cast<uint32_t>(stub.size());
    SetupWriter writer(stub, 1);
    writer.AddTexts(MessageGroups());
    writer.AddFileTable(OneFile(333));
    writer.AddFileData(OneFile(333));
    auto signedWith = [&](uint32_t padding, uint32_t tableSize, int sizeError = 0) {
      Bytes file = writer.Bytes();
      PeTestFiles::AppendCertificateTable(file, pe32Plus, padding, tableSize);
      WriteU32Le(&file[PeTestFiles::CertificateSizeOffset(pe32Plus)], tableSize + sizeError);
      return file;
    };
    for (uint32_t padding : {0u, 7u}) EXPECT_TRUE(Load(signedWith(padding, 1200))) << padding;
    EXPECT_TRUE(Load(signedWith(0, 8)));  // a bare WIN_CERTIFICATE header

    ExpectFailure(signedWith(8, 1200));                // more than alignment
    ExpectFailure(signedWith(0, 7));                   // too small to be a table
    ExpectFailure(signedWith(4, 1200) + Bytes(5, 0));  // bytes after the table
    ExpectFailure(signedWith(4, 1200, -1));            // a size that misses the end of the file
    Bytes nonZero = signedWith(4, 1200);
    nonZero[writer.Size() + 2] = 1;
    ExpectFailure(nonZero);
  }
}

TEST_F(LoaderTest, FailuresWithoutMessage) {
  SetupWriter texts = Writer(true);  // 6/31 is there, and still nothing is shown
  ExpectSilentFailure(texts.Bytes() + Bytes{0x7F, 0x7F, 0x00});  // the stream ends inside a chunk header

  StubMark.stubSize = 0;  // a program without setup data
  ExpectSilentFailure(WithStub(kEmptyFileData));
  StubMark.stubSize = 1 << 20;  // beyond the end of the file
  ExpectSilentFailure(WithStub(kEmptyFileData));
  StubMark.stubSize = kFakeStubSize;

  // Invalid data, but text 6/31 absent (no Texts chunk, group 6 short) or empty.
  ExpectSilentFailure(WithStub(kFileDataHeaderOnly));
  auto groups = MessageGroups();
  for (size_t size : {31, 32}) {
    groups[6].resize(size);
    SetupWriter writer = Writer();
    writer.AddTexts(groups);
    writer.AppendBytes(kFileDataHeaderOnly);
    ExpectSilentFailure(writer.Bytes());
  }

  unlink(path.c_str());
  strcpy(SetupFilePath, "/nonexistent/setup.exe");
  EXPECT_FALSE(LoadSetupData());
  EXPECT_TRUE(PlatformDouble::Shown().empty());
}

TEST_F(LoaderTest, SkippedEmptyGuardedAndRepeatedChunks) {
  // Bodies that would be damaged data if anything looked at them.
  const Bytes garbage = {0xDE, 0xAD, 0xBE, 0xEF, 0x0B, 0x00};
  SetupWriter writer = Writer();
  writer.AddRawChunk(kChunkSkipped123B, kChunkCompressed, 6, garbage);
  writer.AddRawChunk(kChunkSkipped1245, 0, 6, garbage);
  writer.AddRawChunk(0x4242, kChunkCompressed, 6, garbage);
  writer.AddRawChunk(0x7F7E, 0xFFFF, 6, garbage);
  // Empty chunks of loaded kinds leave them absent; an empty Texts chunk reads no count.
  for (uint16_t id : {kChunkUninstallName, kChunkFileTable, kChunkTexts, kChunkDefaultDir, kChunkDialogTemplates})
    writer.AddRawChunk(id, kChunkCompressed, 0, {});
  writer.AddU32(kChunkSetupFlags, 9);
  writer.AppendBytes(kEmptyFileData);
  strcpy(InstallDir, "kept");
  ASSERT_TRUE(Load(writer));
  EXPECT_EQ(SetupFlags, 9u);
  EXPECT_EQ(UninstallName, nullptr);
  EXPECT_EQ(FileTable, nullptr);
  EXPECT_EQ(DialogTemplates, nullptr);
  EXPECT_STREQ(InstallDir, "kept");

  // Bodies carry a guard zero byte. Of a kind seen twice the later body
  // counts, also for a whole Texts chunk; the leak checker sees the earlier
  // one released.
  SetupWriter guarded = Writer(true);
  guarded.AddText(kChunkUninstallName, "first");
  guarded.AddFileTable(OneFile(3));
  guarded.AddDialogTemplates(std::vector<Bytes>{Bytes(4, 1)});
  guarded.AddTexts(std::vector<std::vector<std::string>>{{"only group 0"}});
  guarded.AddChunk(kChunkUninstallName, Bytes{'a', 'b', 'c'}, false);  // no terminator of its own
  guarded.AddFileTable(std::vector<SetupFileEntry>(2, OneFile(3)[0]));
  guarded.AddChunk(kChunkDialogTemplates, Bytes(5, 0xEE), false);
  guarded.AppendBytes(kEmptyFileData);
  ASSERT_TRUE(Load(guarded));
  EXPECT_STREQ(UninstallName, "abc");
  EXPECT_EQ(FileRecordCount, 2u);
  EXPECT_EQ(DialogTemplatesSize, 5u);
  EXPECT_EQ(DialogTemplates[5], 0);
  EXPECT_STREQ(GetText(0, 0), "only group 0");
  EXPECT_EQ(TextGroups[6], nullptr);
}

TEST_F(LoaderTest, TextGroupsDefaultDirAndFontLimits) {
  std::vector<std::vector<std::string>> groups;
  for (int g = 0; g < 12; ++g) groups.push_back({"group " + std::to_string(g)});
  std::string longDir(300, 'd');  // DefaultDir is cut to 259 characters
  for (size_t i = 0; i < longDir.size(); ++i) longDir[i] = static_cast<char>('a' + i % 26);
  SetupWriter writer = Writer();
  writer.AddTexts(groups);
  writer.AddU32(kChunkSetupFlags, 2);  // found by the seek over groups 9-11
  writer.AddText(kChunkDefaultDir, longDir, false);
  writer.AppendBytes(kEmptyFileData);
  ASSERT_TRUE(Load(writer));
  for (uint32_t g = 0; g < kTextGroupCount; ++g) EXPECT_STREQ(GetText(g, 0), groups[g][0].c_str());
  EXPECT_EQ(SetupFlags, 2u);
  EXPECT_EQ(std::string(InstallDir), longDir.substr(0, 259));

  for (uint32_t size : {59u, 60u, 61u}) {  // BackgroundFont only when 60 bytes
    SetupWriter font = Writer();
    font.AddChunk(kChunkBackgroundFont, Bytes(size, 7), size == 61);
    font.AppendBytes(kEmptyFileData);
    ASSERT_TRUE(Load(font)) << size;
    EXPECT_EQ(BackgroundFont != nullptr, size == 60) << size;
  }
}

// Every kind written by the writer reaches its place (the file data is
// read back through verify and extract in BuildTest and CliTest).
TEST_F(LoaderTest, EveryKindReachesItsPlace) {
  Bytes picture(300), bitmap(70000), font(kBackgroundFontSize, 0x11);  // the bitmap: more than two windows
  for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<uint8_t>(i * 7);
  for (size_t i = 0; i < bitmap.size(); ++i) bitmap[i] = static_cast<uint8_t>((i * i) >> 5);
  const auto groups = MessageGroups();
  FileRecordInfo external;
  external.uninstallMode = kUninstallExternal;
  const std::vector<SetupFileEntry> files = {PackFile(FileRecordInfo{}, bitmap, 1), PackFile(external, Bytes(5, 'f'), 1)};

  SetupWriter writer = Writer();
  writer.AddU32(kChunkSetupFlags, 0xF);
  writer.AddText(kChunkDefaultDir, "#Program Files#\\Demo");
  writer.AddChunk(kChunkFramePicture, picture, false);
  writer.AddChunk(kChunkBackgroundBitmap, bitmap, true);
  const std::pair<ChunkId, char**> texts[] = {
      {kChunkUninstallName, &UninstallName}, {kChunkDirRegistryKey, &DirRegistryKey},
      {kChunkDirRegistryValue, &DirRegistryValue}, {kChunkDirIniFile, &DirIniFile},
      {kChunkDirIniSection, &DirIniSection}, {kChunkDirIniKey, &DirIniKey}, {kChunkBackgroundTitle, &BackgroundTitle}};
  for (const auto& [id, value] : texts) writer.AddText(id, "text " + std::to_string(id), id != kChunkBackgroundTitle);
  writer.AddTexts(groups);
  writer.AddU32(kChunkDirRegistryRoot, 2);
  writer.AddDialogTemplates(std::vector<Bytes>{Bytes(10, 1), Bytes(3, 2), Bytes(), Bytes(7, 4)});
  writer.AddFileTable(files);
  writer.AddChunk(kChunkBackgroundFont, font, true);
  writer.AddFileData(files);
  ASSERT_TRUE(Load(writer));

  EXPECT_EQ(SetupFlags, 0xFu);
  EXPECT_STREQ(InstallDir, "#Program Files#\\Demo");
  EXPECT_EQ(Bytes(FramePicture, FramePicture + FramePictureSize), picture);
  EXPECT_EQ(Bytes(BackgroundBitmap, BackgroundBitmap + BackgroundBitmapSize), bitmap);
  for (const auto& [id, value] : texts) EXPECT_EQ(std::string(*value), "text " + std::to_string(id));
  for (uint32_t g = 0; g < groups.size(); ++g)
    for (uint32_t i = 0; i < groups[g].size(); ++i) EXPECT_STREQ(GetText(g, i), groups[g][i].c_str());
  EXPECT_EQ(DirRegistryRoot, 2u);
  ASSERT_EQ(DialogTemplatesSize, 16u + 20u);  // four offsets, then the templates
  EXPECT_EQ(Bytes(DialogTemplates, DialogTemplates + 16), U32(16) + U32(26) + U32(29) + U32(29));
  ASSERT_NE(BackgroundFont, nullptr);
  EXPECT_EQ(Bytes(BackgroundFont, BackgroundFont + kBackgroundFontSize), font);
  ASSERT_EQ(FileRecordCount, files.size());
  EXPECT_EQ(Bytes(FileTable, FileTable + FileTableSize), BuildFileTable(files));
  EXPECT_EQ(FileDataSize, files[0].stream.size());  // nothing of the external file
  EXPECT_EQ(VolumeBytesLeft, FileDataSize);
}

// ---------------------------------------------------------------------------
// Damaged and hostile data: each fails the load and shows text 6/31.

// A Texts body made by hand: the count n, then each group's declared size
// and the stream of its bytes; by default groups 0-7, each at its size.
using SizedGroups = std::vector<std::pair<uint32_t, Bytes>>;
SizedGroups Sized() {
  SizedGroups sized;
  for (const auto& group : MessageGroups()) {
    Bytes bytes = BuildTextGroup(group);
    sized.push_back({static_cast<uint32_t>(bytes.size()), bytes});
  }
  return sized;
}
Bytes TextsBody(const SizedGroups& groups) {
  Bytes body = {static_cast<uint8_t>(groups.size()), 0};
  for (const auto& [declared, group] : groups) {
    Bytes packed = CompressBody(group, 1);
    WriteU32Le(packed.data(), declared);
    body = body + packed;
  }
  return body;
}
SetupWriter WithTexts(const SizedGroups& groups, int sizeError = 0, const Bytes& after = {}) {
  SetupWriter writer(WithStub({}), 1);
  const Bytes body = TextsBody(groups);
  writer.AddRawChunk(kChunkTexts, 0, body.size() + sizeError, body);
  writer.AppendBytes(after + kEmptyFileData);
  return writer;
}

TEST_F(LoaderTest, DamagedTextGroupFailsTheLoad) {
  ASSERT_TRUE(Load(WithTexts(Sized())));
  Bytes countPastBytes = BuildTextGroup(std::vector<std::string>{"a", "b", "c"});
  countPastBytes[0] = 5;  // five texts announced, three there
  Bytes unterminated = BuildTextGroup(std::vector<std::string>{"a", "b"});
  unterminated.back() = 'x';  // the last text runs to the end of the group
  // Group 7 comes after 6/31 is in, so the message can be shown.
  for (const Bytes& bad : {countPastBytes, unterminated, Bytes{3}}) {
    SizedGroups groups = Sized();
    groups[7] = {static_cast<uint32_t>(bad.size()), bad};
    ExpectFailure(WithTexts(groups));
  }
  for (int delta : {-1, 1}) {  // a group declared longer or shorter than its stream decodes
    SizedGroups groups = Sized();
    groups[7].first += delta;
    ExpectFailure(WithTexts(groups));
  }
  // Group 7's stream ends one byte past the chunk, in the next header, whose
  // id is made to begin with that byte: an empty chunk of an unknown id.
  ExpectFailure(WithTexts(Sized(), -1, Bytes(7, 0)));
  for (uint32_t declared : {0xFFFFFFFFu, 0x10000000u}) {  // bounded by the chunk
    SizedGroups more = Sized();
    more.push_back({declared, BuildTextGroup(std::vector<std::string>{"x"})});
    ExpectFailure(WithTexts(more));
  }
  // A damaged group 6 is released before the message is looked up.
  SizedGroups groups = Sized();
  groups[6].second[0] = 0xFF;
  ExpectSilentFailure(WithTexts(groups).Bytes());
}

TEST_F(LoaderTest, BodiesMustDecodeToTheirSizeAndEndInTheFile) {
  auto chunk = [&](uint32_t declared, const Bytes& stream, uint32_t size, uint16_t next = 0) {
    SetupWriter writer = Writer(true);
    writer.AddRawChunk(kChunkUninstallName, kChunkCompressed, size, U32(declared) + stream);
    if (next) writer.AddRawChunk(next, 0, 0, {});
    writer.AppendBytes(kEmptyFileData);
    return writer;
  };
  ASSERT_TRUE(Load(chunk(3, kAbc, 10)));
  EXPECT_STREQ(UninstallName, "abc");

  const Bytes window = Bytes{0x07, 0x00, 0x80} + Bytes(32768, 'w') + Bytes{0x0B};  // stored, LEN 32768; type 3
  const std::tuple<uint32_t, Bytes, uint32_t, uint16_t> damaged[] = {
      {4, kAbc, 10, 0}, {2, kAbc, 10, 0},              // decodes to fewer, to more bytes
      // A stream cut by the next header, whose id begins with the byte it lacks.
      {3, {0x0F, 0x03, 0x00, 0x61, 0x62}, 9, 0x0063},
      {3, {}, 3, 0},                                   // no room for the size prefix
      {0xFFFFFFFFu, kAbc, 10, 0},                      // no room for the guard byte
      {1032 * 6 + 1032 + 1, kAbc, 10, 0},              // beyond what 6 bytes can expand to
      {32768, window, 4 + 32772, 0},                   // fails after a whole window reached the body
      // So long that 1032 times its size passes 4 GiB: still room for the guard byte.
      {0xFFFFFFFFu, Bytes(4200000, 0), 4 + 4200000, 0}};
  for (const auto& [declared, stream, size, next] : damaged) ExpectFailure(chunk(declared, stream, size, next));

  for (ChunkId id : {kChunkUninstallName, kChunkSkipped123B}) {  // loaded or skipped, past the end of the file
    SetupWriter writer = Writer(true);
    writer.AddRawChunk(id, 0, 100, Bytes{'s', 'h', 'o', 'r', 't', 0});
    ExpectFailure(writer);
  }
  // A size that wraps a 32-bit offset back onto the chunk's own header.
  SetupWriter wrapping = Writer(true);
  wrapping.AddRawChunk(kChunkSkipped1245, 0, 0xFFFFFFF8u, {});
  wrapping.AppendBytes(kEmptyFileData);
  ExpectFailure(wrapping);
  // A file table the check refuses (its own check is FileRecordTest's) is not kept.
  SetupWriter table = Writer(true);
  table.AddChunk(kChunkFileTable, Bytes{1, 0}, true);  // a count, and no room for it
  table.AddFileData(OneFile(3));
  ExpectFailure(table);
  EXPECT_EQ(FileTable, nullptr);
}

// GetText over text groups loaded from a Texts chunk: stepping over texts,
// and the shared empty text for every group or index that is not there.
using TextTableTest = LoaderTest;

TEST_F(TextTableTest, StepsOverTextsOfAnyLength) {
  const std::vector<std::string> texts = {"Welcome", "", "two\r\nlines", "", "", "last\nline"};
  SetupWriter writer = Writer();
  writer.AddTexts(std::vector<std::vector<std::string>>{{}, texts, {"x"}});
  writer.AddU16(kChunkSinglePage, 0);
  writer.AddRawChunk(kChunkFileData, 0, 0, {});
  ASSERT_TRUE(Load(writer));
  for (uint32_t i = 0; i < texts.size(); ++i) EXPECT_STREQ(GetText(1, i), texts[i].c_str()) << i;
  EXPECT_STREQ(GetText(1, texts.size()), "");
  EXPECT_STREQ(GetText(0, 0), "");  // a group of no texts
  EXPECT_STREQ(GetText(3, 0), "");  // a group the chunk did not carry
  EXPECT_STREQ(GetText(1, 0x10000 + 2), "two\r\nlines");  // the index counts as a 16-bit number
  EXPECT_STREQ(GetText(1, 0xFFFF), "");
  EXPECT_STREQ(GetText(0xFFFFFFFFu, 0), "");
  const uint8_t group[] = {2, 0, 'a', 0, 'b', 0, 'c', 0};
  ASSERT_TRUE(AllocateZeroed(sizeof group + 1, TextGroups[3]));
  memcpy(TextGroups[3], group, sizeof group);
  EXPECT_STREQ(GetText(3, 1), "b");
  EXPECT_STREQ(GetText(3, 2), "");  // the count decides, not the texts that happen to follow
  ReleaseSetupData();
  EXPECT_STREQ(GetText(2, 0), "");
}

// A body cut inside its texts gives the texts it holds whole and then empty
// ones; an icon record beyond the table is none.
TEST_F(TextTableTest, UninstallEntryValuesStayInTheirBody) {
  const uint8_t entry[] = {1, 0, 0, 0, 'A', 'c', 'm', 'e', 0, '2', '.', '0', 0, 'h', 't'};
  ASSERT_TRUE(AllocateZeroed(sizeof entry + 1, UninstallEntry));  // the loader's guard byte
  memcpy(UninstallEntry, entry, sizeof entry);
  UninstallEntrySize = sizeof entry;
  EXPECT_STREQ(UninstallEntryValue(kEntryPublisher), "Acme");
  EXPECT_STREQ(UninstallEntryValue(kEntryVersion), "2.0");
  EXPECT_STREQ(UninstallEntryValue(kEntryAboutUrl), "ht");  // ended by the guard byte
  EXPECT_STREQ(UninstallEntryValue(kEntryHelpLink), "");
  EXPECT_EQ(UninstallEntryIcon(), kNoIconRecord);  // no file table: record 1 names nothing
  UninstallEntrySize = 3;
  EXPECT_STREQ(UninstallEntryValue(kEntryPublisher), "");
}

}  // namespace
