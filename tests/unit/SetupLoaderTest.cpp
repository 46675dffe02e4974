// The loader on hand-made byte streams and on setups from the writer: the
// chunk walk, the completeness rule, every kind's destination, and the
// checks that turn damaged or hostile data into a failed load with text
// 6/31.
#include "inflate/Inflater.h"
#include "setupdata/FileRecord.h"
#include "setupdata/VolumeReader.h"
#include "tests/support/PeTestFiles.h"
#include "tests/unit/SetupFileFixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes U32(uint32_t value) {
  Bytes raw(4);
  WriteU32Le(raw.data(), value);
  return raw;
}

Bytes Text(const std::string& text) {
  Bytes raw(text.begin(), text.end());
  raw.push_back(0);
  return raw;
}

// FileData ending the file with no data at all, and the empty FileData
// header that ends a stream without file data.
const Bytes kEmptyFileData = {0x7F, 0x7F, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00,  // FileData, size 4
                              0x00, 0x00, 0x00, 0x00};                          // FileDataSize 0
const Bytes kFileDataHeaderOnly = {0x7F, 0x7F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
const Bytes kSinglePageAbsentChunk = {0x44, 0x12, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,  // SinglePage, size 2
                                      0xFF, 0xFF};                                      // 0xFFFF: the whole wizard

class LoaderTest : public SetupFileFixture {};

TEST_F(LoaderTest, WorkedExamples) {
  // SetupFlags 5, then file data that runs exactly to the end of the file.
  Bytes flags = {0x34, 0x12, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00,  // id 0x1234, flags 0, size 4
                 0x05, 0x00, 0x00, 0x00};                          // SetupFlags = 5
  ASSERT_TRUE(Load(WithStub(flags + kEmptyFileData)));
  EXPECT_EQ(SetupFlags, 5u);
  EXPECT_EQ(FileDataOffset, kFakeStubSize + 12 + 8);
  EXPECT_EQ(FileDataSize, 0u);
  EXPECT_EQ(SinglePage, kSinglePageAbsent);

  // The compressed DefaultDir "C:\App": the u32 size prefix, then one
  // stored block (0F: type 7, last) of LEN 7.
  Bytes defaultDir = {0x35, 0x12, 0x01, 0x00, 0x0E, 0x00, 0x00, 0x00,  // id 0x1235, compressed, size 14
                      0x07, 0x00, 0x00, 0x00,                          // uncompressed size 7
                      0x0F, 0x07, 0x00,                                // stored, last; LEN 7
                      0x43, 0x3A, 0x5C, 0x41, 0x70, 0x70, 0x00};      // C:\App and its NUL
  strcpy(InstallDir, "previous");
  ASSERT_TRUE(Load(WithStub(defaultDir + kSinglePageAbsentChunk + kFileDataHeaderOnly)));
  EXPECT_STREQ(InstallDir, "C:\\App");
  EXPECT_EQ(SinglePage, kSinglePageAbsent);  // present, holding 0xFFFF, and yet the data is complete
}

TEST_F(LoaderTest, CompletenessNeedsSinglePageOrFileDataEndingTheFile) {
  SetupWriter texts = Writer();
  texts.AddTexts(MessageGroups());

  SetupWriter single = texts;
  single.AddU16(kChunkSinglePage, 3);
  single.AppendBytes(kFileDataHeaderOnly);
  ASSERT_TRUE(Load(single));
  EXPECT_EQ(SinglePage, 3);

  SetupWriter headerOnly = texts;
  headerOnly.AppendBytes(kFileDataHeaderOnly);
  ExpectInvalid(headerOnly);

  std::vector<SetupFileEntry> files = {PackFile(FileRecordInfo{}, Bytes(1000, 'x'), 1)};
  SetupWriter whole = texts;
  whole.AddFileTable(files);
  whole.AddFileData(files);
  ASSERT_TRUE(Load(whole));
  EXPECT_EQ(FileDataSize, files[0].stream.size());
  EXPECT_EQ(FileDataOffset + 4 + FileDataSize, whole.Size());

  ExpectInvalid(whole.Bytes() + Bytes{0});  // a byte appended after the file data
  Bytes cut = whole.Bytes();
  cut.pop_back();
  ExpectInvalid(cut);  // truncated inside the file data
  // With SinglePage, file data that does not end the file is accepted.
  SetupWriter singleWithData = single;
  singleWithData.AppendBytes(Bytes{1, 2, 3});
  EXPECT_TRUE(Load(singleWithData));
}

// A signing tool appends zero bytes of alignment and the certificate
// table, and enters both into the stub's PE header; the stub mark stays.
TEST_F(LoaderTest, SignedSetupEndsAtTheCertificateTableItsStubDeclares) {
  for (bool pe32Plus : {false, true}) {
    const Bytes stub = PeTestFiles::MakePe(pe32Plus, Bytes(4, 0));
    StubMark.stubSize = static_cast<uint32_t>(stub.size());
    SetupWriter writer(stub, 1);
    writer.AddTexts(MessageGroups());
    std::vector<SetupFileEntry> files = {PackFile(FileRecordInfo{}, Bytes(333, 'x'), 1)};
    writer.AddFileTable(files);
    writer.AddFileData(files);
    auto signedWith = [&](uint32_t padding, uint32_t tableSize) {
      Bytes file = writer.Bytes();
      PeTestFiles::AppendCertificateTable(file, pe32Plus, padding, tableSize);
      return file;
    };
    for (uint32_t padding : {0u, 3u, 7u}) EXPECT_TRUE(Load(signedWith(padding, 1200))) << padding;
    EXPECT_TRUE(Load(signedWith(0, 8)));  // a bare WIN_CERTIFICATE header

    ExpectInvalid(signedWith(8, 1200));            // more than alignment
    ExpectInvalid(signedWith(0, 7));               // too small to be a table
    ExpectInvalid(signedWith(4, 1200) + Bytes(5, 0));  // bytes after the table
    Bytes nonZero = signedWith(4, 1200);
    nonZero[writer.Size() + 2] = 1;
    ExpectInvalid(nonZero);
    for (int delta : {-1, 1}) {  // a size that misses the end of the file
      Bytes damaged = signedWith(4, 1200);
      WriteU32Le(&damaged[PeTestFiles::CertificateSizeOffset(pe32Plus)], 1200 + delta);
      ExpectInvalid(damaged);
    }
  }
}

TEST_F(LoaderTest, FailuresWithoutMessage) {
  SetupWriter texts = Writer();
  texts.AddTexts(MessageGroups());  // 6/31 is there, and still nothing is shown

  ExpectSilentFailure(texts.Bytes());  // the stream ends before a FileData header
  Bytes cutHeader = texts.Bytes() + Bytes{0x7F, 0x7F, 0x00};
  ExpectSilentFailure(cutHeader);

  StubMark.stubSize = 0;  // a program without setup data
  ExpectSilentFailure(WithStub(kEmptyFileData));
  StubMark.stubSize = 1 << 20;  // beyond the end of the file
  ExpectSilentFailure(WithStub(kEmptyFileData));
  StubMark.stubSize = kFakeStubSize;

  unlink(path.c_str());
  strcpy(SetupFilePath, "/nonexistent/setup.exe");
  EXPECT_FALSE(LoadSetupData());
  EXPECT_TRUE(Shown().empty());

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
}

TEST_F(LoaderTest, SkippedEmptyAndGuardedChunks) {
  // Bodies that would be damaged data if anything looked at them.
  Bytes garbage = {0xDE, 0xAD, 0xBE, 0xEF, 0x0B, 0x00};
  SetupWriter writer = Writer();
  writer.AddRawChunk(kChunkSkipped123B, kChunkCompressed, 6, garbage);
  writer.AddRawChunk(kChunkSkipped1245, 0, 6, garbage);
  writer.AddRawChunk(0x4242, kChunkCompressed, 6, garbage);
  writer.AddRawChunk(0x7F7E, 0xFFFF, 6, garbage);
  // Empty chunks of loaded kinds leave them absent; an empty Texts chunk
  // reads no count.
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
  EXPECT_EQ(TextGroups[0], nullptr);
  EXPECT_STREQ(InstallDir, "kept");

  SetupWriter guarded = Writer();  // bodies carry a guard zero byte
  guarded.AddChunk(kChunkUninstallName, Bytes{'a', 'b', 'c'}, false);  // no terminator of its own
  guarded.AddChunk(kChunkBackgroundTitle, Bytes{'t', 'i', 't'}, true);
  guarded.AddChunk(kChunkDialogTemplates, Bytes(5, 0xEE), false);
  guarded.AppendBytes(kEmptyFileData);
  ASSERT_TRUE(Load(guarded));
  EXPECT_STREQ(UninstallName, "abc");
  EXPECT_STREQ(BackgroundTitle, "tit");
  EXPECT_EQ(DialogTemplatesSize, 5u);
  EXPECT_EQ(DialogTemplates[5], 0);
}

TEST_F(LoaderTest, TextGroupsDefaultDirAndFontLimits) {
  std::vector<std::vector<std::string>> groups;
  for (int g = 0; g < 12; ++g) groups.push_back({"group " + std::to_string(g)});
  SetupWriter writer = Writer();
  writer.AddTexts(groups);
  writer.AddU32(kChunkSetupFlags, 2);  // found by the seek over groups 9-11
  writer.AppendBytes(kEmptyFileData);
  ASSERT_TRUE(Load(writer));
  for (uint32_t g = 0; g < kTextGroupCount; ++g) EXPECT_STREQ(GetText(g, 0), groups[g][0].c_str());
  EXPECT_EQ(SetupFlags, 2u);

  std::string longDir(300, 'd');  // DefaultDir is cut to 259 characters
  for (size_t i = 0; i < longDir.size(); ++i) longDir[i] = static_cast<char>('a' + i % 26);
  SetupWriter dir = Writer();
  dir.AddText(kChunkDefaultDir, longDir, false);
  dir.AppendBytes(kEmptyFileData);
  ASSERT_TRUE(Load(dir));
  EXPECT_EQ(std::string(InstallDir), longDir.substr(0, 259));

  for (uint32_t size : {59u, 60u, 61u}) {  // BackgroundFont only when 60 bytes
    SetupWriter font = Writer();
    font.AddChunk(kChunkBackgroundFont, Bytes(size, 7), size == 61);
    font.AppendBytes(kEmptyFileData);
    ASSERT_TRUE(Load(font)) << size;
    EXPECT_EQ(BackgroundFont != nullptr, size == 60) << size;
  }
}

// Every kind written by the writer and read back by the loader, including
// the file data, whose streams decode to the files' contents in table order.
TEST_F(LoaderTest, RoundTripOfEveryKind) {
  Bytes picture(300);
  for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<uint8_t>(i * 7);
  Bytes bitmap(70000);  // more than two decoder windows
  for (size_t i = 0; i < bitmap.size(); ++i) bitmap[i] = static_cast<uint8_t>((i * i) >> 5);
  Bytes font(kBackgroundFontSize, 0x11);
  std::vector<Bytes> templates = {Bytes(10, 1), Bytes(3, 2), Bytes(), Bytes(7, 4)};
  auto groups = MessageGroups();

  FileRecordInfo app, external;  // records with both blocks, and one whose file the setup does not hold
  app.strings = {"app.exe", "Demo", "Demo", "/run", "Demo", "/desk"};
  app.optionFlags = kOptionCheckVersion | kOptionTimes;
  app.version = {0x00010002, 0x00030004, 0x00050006, 0x00070008, 0x0409};
  app.times = {0x01D0000000000001ull, 0x01D0000000000002ull, 0x01D0000000000003ull};
  external.strings = {"readme.txt", "", "Read me", "", "", ""};
  external.uninstallMode = kUninstallExternal;
  std::vector<Bytes> contents = {bitmap, Bytes(5, 'f'), Bytes(12, 'r'), Bytes()};
  std::vector<SetupFileEntry> files = {PackFile(app, contents[0], 1), PackFile(FileRecordInfo{}, contents[1], 1),
                                       PackFile(external, contents[2], 1), PackFile(FileRecordInfo{}, contents[3], 1)};

  SetupWriter writer = Writer();
  writer.AddU32(kChunkSetupFlags, 0xF);
  writer.AddText(kChunkDefaultDir, "#Program Files#\\Demo");
  writer.AddChunk(kChunkFramePicture, picture, false);
  writer.AddChunk(kChunkBackgroundBitmap, bitmap, true);
  const std::pair<ChunkId, char**> texts[] = {
      {kChunkUninstallName, &UninstallName}, {kChunkDirRegistryKey, &DirRegistryKey},
      {kChunkDirRegistryValue, &DirRegistryValue}, {kChunkDirIniFile, &DirIniFile},
      {kChunkDirIniSection, &DirIniSection}, {kChunkDirIniKey, &DirIniKey}};
  for (const auto& [id, value] : texts) writer.AddText(id, "text " + std::to_string(id));
  writer.AddText(kChunkBackgroundTitle, "Demo Setup", false);
  writer.AddTexts(groups);
  writer.AddU32(kChunkDirRegistryRoot, 2);
  writer.AddDialogTemplates(templates);
  writer.AddFileTable(files);
  writer.AddChunk(kChunkBackgroundFont, font, true);
  writer.AddFileData(files);
  ASSERT_TRUE(Load(writer));

  EXPECT_EQ(SetupFlags, 0xFu);
  EXPECT_STREQ(InstallDir, "#Program Files#\\Demo");
  ASSERT_EQ(FramePictureSize, picture.size());
  EXPECT_EQ(Bytes(FramePicture, FramePicture + FramePictureSize), picture);
  ASSERT_EQ(BackgroundBitmapSize, bitmap.size());
  EXPECT_EQ(Bytes(BackgroundBitmap, BackgroundBitmap + BackgroundBitmapSize), bitmap);
  for (const auto& [id, value] : texts) EXPECT_EQ(std::string(*value), "text " + std::to_string(id));
  EXPECT_STREQ(BackgroundTitle, "Demo Setup");
  for (uint32_t g = 0; g < groups.size(); ++g)
    for (uint32_t i = 0; i < groups[g].size(); ++i) EXPECT_STREQ(GetText(g, i), groups[g][i].c_str());
  EXPECT_EQ(DirRegistryRoot, 2u);
  ASSERT_EQ(DialogTemplatesSize, 16u + 20u);
  EXPECT_EQ(ReadU32Le(DialogTemplates + 0), 16u);
  EXPECT_EQ(ReadU32Le(DialogTemplates + 4), 26u);
  EXPECT_EQ(ReadU32Le(DialogTemplates + 8), 29u);
  EXPECT_EQ(ReadU32Le(DialogTemplates + 12), 29u);
  EXPECT_EQ(DialogTemplates[29], 4);
  ASSERT_NE(BackgroundFont, nullptr);
  EXPECT_EQ(Bytes(BackgroundFont, BackgroundFont + kBackgroundFontSize), font);
  EXPECT_EQ(SinglePage, kSinglePageAbsent);

  // The file table arrives as written; each stream decodes from the file
  // data in table order.
  ASSERT_EQ(FileRecordCount, files.size());
  EXPECT_EQ(Bytes(FileTable, FileTable + FileTableSize), BuildFileTable(files));
  EXPECT_EQ(FirstFileRecord, FileTable + 4);
  FileHandle file = FileOpen(path.c_str(), kFileRead);
  ASSERT_EQ(FileSeekTo(file, FileDataOffset + 4), FileDataOffset + 4);
  uint8_t* record = FirstFileRecord;
  uint64_t packedTotal = 0;
  for (size_t k = 0; k < files.size(); ++k, record = NextFileRecord(record)) {
    SCOPED_TRACE(k);
    const FileRecordInfo& info = files[k].record;
    uint32_t stored = ReadU32Le(record + FileRecordField::contentChecksum);
    EXPECT_EQ(CombineIntegrityKey(stored), ContentChecksum(0, contents[k].data(), contents[k].size()));
    EXPECT_EQ(ReadU32Le(record + FileRecordField::packedSize), files[k].stream.size());
    if (info.uninstallMode == kUninstallExternal) {
      EXPECT_EQ(ReadU32Le(record + FileRecordField::packedSize), 0u);
      continue;
    }
    Bytes decoded(contents[k].size() + 1);
    uint32_t before = FileTell(file);
    Inflater inflater;
    EXPECT_TRUE(inflater.DecodeToMemory(decoded.data(), contents[k].size(), file, 0));
    inflater.EndInput();
    decoded.pop_back();
    EXPECT_EQ(decoded, contents[k]);
    EXPECT_EQ(FileTell(file) - before, files[k].stream.size());
    packedTotal += files[k].stream.size();
  }
  EXPECT_EQ(packedTotal, FileDataSize);
  EXPECT_EQ(VolumeDataSize, FileDataSize);
  EXPECT_EQ(VolumeBytesLeft, FileDataSize);
  EXPECT_EQ(FileTell(file), FileDataOffset + 4 + FileDataSize);
  FileClose(file);

  ReleaseSetupData();
  EXPECT_EQ(SetupFlags, 0u);
  EXPECT_EQ(DirRegistryRoot, 0u);
  EXPECT_EQ(SinglePage, kSinglePageAbsent);
  EXPECT_EQ(FileTable, nullptr);
  EXPECT_EQ(FirstFileRecord, nullptr);
  EXPECT_EQ(FileRecordCount, 0u);
  EXPECT_EQ(DialogTemplatesSize, 0u);
  EXPECT_EQ(BackgroundBitmap, nullptr);
  EXPECT_EQ(DirIniKey, nullptr);
  EXPECT_STREQ(GetText(6, 31), "");
}

// The earlier body of a kind seen twice is released (the leak checker
// watches); the later one counts, also for a whole Texts chunk.
TEST_F(LoaderTest, KindSeenTwiceKeepsTheLaterBody) {
  std::vector<SetupFileEntry> first = {PackFile(FileRecordInfo{}, Bytes(3, 'a'), 1)};
  std::vector<SetupFileEntry> second = {first[0], first[0]};
  SetupWriter writer = Writer();
  writer.AddTexts(MessageGroups());
  writer.AddText(kChunkUninstallName, "first");
  writer.AddFileTable(first);
  writer.AddDialogTemplates(std::vector<Bytes>{Bytes(4, 1)});
  writer.AddTexts(std::vector<std::vector<std::string>>{{"only group 0"}});
  writer.AddText(kChunkUninstallName, "second", false);
  writer.AddFileTable(second);
  writer.AddDialogTemplates(std::vector<Bytes>{Bytes(9, 2)});
  writer.AppendBytes(kEmptyFileData);
  ASSERT_TRUE(Load(writer));
  EXPECT_STREQ(UninstallName, "second");
  EXPECT_EQ(FileRecordCount, 2u);
  EXPECT_EQ(DialogTemplatesSize, 13u);
  EXPECT_STREQ(GetText(0, 0), "only group 0");
  EXPECT_EQ(TextGroups[6], nullptr);
}

// ---------------------------------------------------------------------------
// Damaged and hostile data: each fails the load and shows text 6/31.

SetupWriter WithMessages() {
  SetupWriter writer(FakeStub(), 1);
  writer.AddTexts(MessageGroups());
  return writer;
}

// The table's own check is shown on every damage in FileRecordTest; here
// the load fails on it and keeps no table.
TEST_F(LoaderTest, InvalidFileTableFailsTheLoad) {
  std::vector<SetupFileEntry> files = {PackFile(FileRecordInfo{}, Bytes(3, 'a'), 1)};
  Bytes unterminated = BuildFileTable(files);
  unterminated.back() = 'x';  // the sixth string runs to the end of the record
  for (const Bytes& body : {unterminated, Bytes{1, 0}}) {
    SetupWriter writer = WithMessages();
    writer.AddChunk(kChunkFileTable, body, true);
    writer.AddFileData(files);
    ExpectInvalid(writer);
    EXPECT_EQ(FileTable, nullptr);
  }
}

// Builds a Texts body by hand: n, then for each group its declared size and
// the stream of the given bytes.
Bytes TextsBody(uint16_t n, const std::vector<std::pair<uint32_t, Bytes>>& groups) {
  Bytes body = {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8)};
  for (const auto& [declared, group] : groups) {
    Bytes packed = CompressBody(group, 1);
    WriteU32Le(packed.data(), declared);
    body = body + packed;
  }
  return body;
}

// Groups 0-7 as (declared size, group bytes), each declared at its size.
std::vector<std::pair<uint32_t, Bytes>> SizedGroups() {
  std::vector<std::pair<uint32_t, Bytes>> sized;
  for (const auto& group : MessageGroups()) {
    Bytes bytes = BuildTextGroup(group);
    sized.push_back({static_cast<uint32_t>(bytes.size()), bytes});
  }
  return sized;
}

SetupWriter WithTextsBody(uint16_t n, const std::vector<std::pair<uint32_t, Bytes>>& groups) {
  SetupWriter writer(FakeStub(), 1);
  Bytes body = TextsBody(n, groups);
  writer.AddRawChunk(kChunkTexts, 0, body.size(), body);
  writer.AppendBytes(kEmptyFileData);
  return writer;
}

TEST_F(LoaderTest, DamagedTextGroupFailsTheLoad) {
  ASSERT_TRUE(Load(WithTextsBody(8, SizedGroups())));

  Bytes countPastBytes = BuildTextGroup(std::vector<std::string>{"a", "b", "c"});
  countPastBytes[0] = 5;  // five texts announced, three there
  Bytes unterminated = BuildTextGroup(std::vector<std::string>{"a", "b"});
  unterminated.back() = 'x';
  // Group 7 comes after 6/31 is in, so the message can be shown.
  for (const Bytes& bad : {countPastBytes, unterminated, Bytes{3}, Bytes{}}) {
    auto groups = SizedGroups();
    groups[7] = {static_cast<uint32_t>(bad.size()), bad};
    ExpectInvalid(WithTextsBody(8, groups));
  }
  // A group declared longer or shorter than its stream decodes.
  for (int delta : {-1, 1}) {
    auto groups = SizedGroups();
    groups[7].first += delta;
    ExpectInvalid(WithTextsBody(8, groups));
  }
  // Group 7's stream ends one byte past the chunk, in the next header, whose
  // id is made to begin with that byte.
  Bytes body = TextsBody(8, SizedGroups());
  SetupWriter overrun(FakeStub(), 1);
  overrun.AddRawChunk(kChunkTexts, 0, body.size() - 1, body);
  overrun.AppendBytes(Bytes(7, 0));  // with body.back(): an empty chunk of an unknown id
  overrun.AppendBytes(kEmptyFileData);
  ExpectInvalid(overrun);

  // A damaged group 6 is released before the message is looked up.
  auto groups = SizedGroups();
  groups[6].second[0] = 0xFF;
  ExpectSilentFailure(WithTextsBody(8, groups).Bytes());

  for (uint32_t declared : {0xFFFFFFFFu, 0xFFFFFFFEu, 0x10000000u}) {  // bounded by the chunk
    auto more = SizedGroups();
    more.push_back({declared, BuildTextGroup(std::vector<std::string>{"x"})});
    ExpectInvalid(WithTextsBody(9, more));
  }
}

TEST_F(LoaderTest, BodiesMustDecodeToTheirSizeAndEndInTheFile) {
  Bytes abc = {0x0F, 0x03, 0x00, 0x61, 0x62, 0x63};  // stored block, last: abc
  auto chunk = [&](uint32_t declared, const Bytes& stream, uint32_t size) {
    SetupWriter writer = WithMessages();
    writer.AddRawChunk(kChunkUninstallName, kChunkCompressed, size, U32(declared) + stream);
    writer.AppendBytes(kEmptyFileData);
    return writer;
  };
  SetupWriter good = chunk(3, abc, 10);
  ASSERT_TRUE(Load(good));
  EXPECT_STREQ(UninstallName, "abc");

  const std::tuple<uint32_t, Bytes, uint32_t> damaged[] = {
      {4, abc, 10}, {2, abc, 10},                     // decodes to fewer, to more bytes
      {3, {0x0B, 0x00}, 6},                           // block type 3: damaged
      {3, {0x0F, 0x03, 0x00, 0x61, 0x62}, 9},         // stream cut by the next header
      {3, {}, 3},                                     // no room for the size prefix
      {0xFFFFFFFFu, abc, 10},                         // no room for the guard byte
      {0xFFFFFFFEu, abc, 10}, {1032 * 6 + 1032 + 1, abc, 10}};  // beyond what 6 bytes can expand to
  for (const auto& [declared, stream, size] : damaged) ExpectInvalid(chunk(declared, stream, size));
  // A stream that fails after a whole window reached the body.
  Bytes window = Bytes{0x07, 0x00, 0x80} + Bytes(32768, 'w') + Bytes{0x0B};  // stored, LEN 32768; type 3
  ExpectInvalid(chunk(32768, window, 4 + window.size()));

  // A stream that ends beyond its chunk, in the next header: the next
  // chunk's id begins with the stream's last byte (0x63).
  SetupWriter overrun = WithMessages();
  overrun.AddRawChunk(kChunkUninstallName, kChunkCompressed, 9, U32(3) + Bytes{0x0F, 0x03, 0x00, 0x61, 0x62});
  overrun.AddRawChunk(0x0063, 0, 0, {});
  overrun.AppendBytes(kEmptyFileData);
  ExpectInvalid(overrun);

  // A body so long that 1032 times its size passes 4 GiB: still room for the guard byte.
  ExpectInvalid(chunk(0xFFFFFFFFu, Bytes(4200000, 0), 4 + 4200000));

  for (ChunkId id : {kChunkUninstallName, kChunkSkipped123B}) {  // loaded or skipped, past the end of the file
    SetupWriter writer = WithMessages();
    writer.AddRawChunk(id, 0, 100, Text("short"));
    ExpectInvalid(writer);
  }

  // A size that wraps a 32-bit offset back onto the chunk's own header.
  SetupWriter wrapping = WithMessages();
  wrapping.AddRawChunk(kChunkSkipped1245, 0, 0xFFFFFFF8u, {});
  wrapping.AppendBytes(kEmptyFileData);
  ExpectInvalid(wrapping);
}

TEST_F(LoaderTest, LoadChunkBodyStatuses) {
  Bytes abc = {0x0F, 0x03, 0x00, 0x61, 0x62, 0x63};
  auto run = [&](const Bytes& bytes, ChunkHeader header, uint8_t*& body, uint32_t& size) {
    Spit(path, bytes);
    FileHandle file = FileOpen(path.c_str(), kFileRead);
    int status = LoadChunkBody(file, header, body, size);
    FileClose(file);
    return status;
  };
  uint8_t* body = nullptr;
  uint32_t size = 0;
  EXPECT_EQ(run(U32(3) + abc, {kChunkUninstallName, kChunkCompressed, 10}, body, size), kChunkLoaded);
  ASSERT_NE(body, nullptr);
  EXPECT_EQ(size, 3u);
  EXPECT_STREQ(reinterpret_cast<char*>(body), "abc");
  ReleaseBuffer(body);
  EXPECT_EQ(run(Bytes{1, 2, 3, 4, 5}, {kChunkUninstallName, 0, 10}, body, size), kChunkReadFailed);  // short read
  EXPECT_EQ(body, nullptr);
}

}  // namespace
