// The loader of the setup data: reads the chunk stream behind the stub once,
// at start-up, puts every body but the file data in memory and records where
// the file data begins. The loaded values are defined here and live until
// ReleaseSetupData.
//
// What it promises the rest of the program:
//   - every loaded body is followed by one guard zero byte, so a text body is
//     terminated even when its chunk left the terminator out;
//   - a compressed body decoded to exactly its declared size, from bytes
//     inside its own chunk;
//   - every text group holds its count of terminated texts, and every file
//     record lies inside the table with its six strings (ValidateFileTable);
//   - a kind seen twice keeps the later body, the earlier one is released.
// Data that breaks one of these, a chunk that runs past the end of the
// file, or file data followed by anything but the alignment and the
// certificate table of a signature, is invalid: the load fails and text
// 6/31 is shown when the setup
// carries it. A header that cannot be read or a read that fails ends the
// load without a message. A failed load releases whatever it had loaded.
#include "setupdata/SetupData.h"

#include "base/Buffer.h"
#include "base/Message.h"
#include "base/PathText.h"
#include "inflate/Inflater.h"
#include "inflate/OutputSink.h"
#include "setupdata/CertificateTable.h"
#include "setupdata/FileRecord.h"
#include "setupdata/VolumeReader.h"

uint32_t SetupFlags;
uint32_t DirRegistryRoot;
uint16_t SinglePage = kSinglePageAbsent;

uint8_t* FramePicture;
uint32_t FramePictureSize;
uint8_t* BackgroundBitmap;
uint32_t BackgroundBitmapSize;
char* UninstallName;
char* BackgroundTitle;
char* DirRegistryKey;
char* DirRegistryValue;
char* DirIniFile;
char* DirIniSection;
char* DirIniKey;
uint8_t* BackgroundFont;
uint8_t* DialogTemplates;
uint32_t DialogTemplatesSize;
uint8_t* UninstallEntry;
uint32_t UninstallEntrySize;

uint8_t* FileTable;
uint32_t FileTableSize;
uint32_t FileRecordCount;
uint8_t* FirstFileRecord;

uint32_t FileDataOffset;
uint32_t FileDataSize;

uint8_t* TextGroups[kTextGroupCount];
uint32_t TextGroupSizes[kTextGroupCount];

// The loaded bodies that ReleaseSetupData frees: the other bodies, and the
// texts kept as loaded with their chunk ids.
static uint8_t** const kDataBodies[] = {&FramePicture, &BackgroundBitmap, &BackgroundFont, &DialogTemplates,
                                        &FileTable,    &UninstallEntry};
struct TextBody {
  uint16_t id;
  char** slot;
};
static const TextBody kTextBodies[] = {
    {kChunkUninstallName, &UninstallName},   {kChunkBackgroundTitle, &BackgroundTitle},
    {kChunkDirRegistryKey, &DirRegistryKey}, {kChunkDirRegistryValue, &DirRegistryValue},
    {kChunkDirIniFile, &DirIniFile},         {kChunkDirIniSection, &DirIniSection},
    {kChunkDirIniKey, &DirIniKey},
};

namespace {

// What a chunk did to the loop.
enum LoadStep {
  kStepGoOn,     // read the next header
  kStepEnd,      // the FileData chunk ended the stream
  kStepError,    // a read failed or memory ran out: fail without a message
  kStepInvalid,  // the data is damaged or hostile: fail with text 6/31
};

// Beside the public statuses: the body is not what its header declares.
const int kChunkInvalid = 2;

// One byte of a stream decodes to at most 1032 bytes (four 258-byte
// matches, each a 1-bit length code and a 1-bit distance code); the slack
// covers the few bits a stream's headers may leave over.
const uint64_t kMaxExpansion = 1032;
const uint64_t kExpansionSlack = 1032;

struct LoadState {
  FileHandle file;
  uint32_t fileSize;
  uint32_t next;  // offset of the header after the current chunk
  bool complete;  // a SinglePage chunk, or file data that ends the file
};

// A memory sink that counts what it received, so a body that decodes to
// fewer bytes than declared is told from a whole one.
class CountingSink : public MemorySink {
 public:
  CountingSink(uint8_t* destination, uint32_t capacity) : MemorySink(destination, capacity), written(0) {}
  bool Write(const uint8_t* data, uint32_t length) override {
    if (!MemorySink::Write(data, length)) return false;
    written += length;
    return true;
  }
  uint32_t written;
};

// ---------------------------------------------------------------------------
// Checks of the input.

bool BodyFitsInFile(uint32_t start, uint32_t size, uint32_t fileSize) {
  return static_cast<uint64_t>(start) + size <= fileSize;
}

// A declared uncompressed size that packed bytes can produce, and that
// leaves room for the guard byte.
bool DeclaredSizeIsPlausible(uint32_t declared, uint32_t packed) {
  return declared < 0xFFFFFFFFu && declared <= kMaxExpansion * packed + kExpansionSlack;
}

// The stream just decoded ended inside its chunk.
bool StreamEndsInChunk(const LoadState& state) {
  uint32_t at = FileTell(state.file);
  return at != kFileBadPosition && at <= state.next;
}

// u16 count m, then m texts, each terminated inside the group's size.
bool TextGroupIsWhole(const uint8_t* group, uint32_t size) {
  if (size < 2) return false;
  uint32_t offset = 2;
  for (uint32_t count = ReadU16Le(group); count; --count) {
    while (offset < size && group[offset]) ++offset;
    if (offset++ >= size) return false;
  }
  return true;
}

// The u32 FileDataSize and that many data bytes run exactly to the end of
// the file, or, in a signed setup, to the certificate table that the stub's
// own PE header declares, after at most 7 zero bytes of alignment. Every
// other byte after the file data is damage.
bool FileDataEndsTheFile(FileHandle file, uint32_t offset, uint32_t dataSize, uint32_t fileSize) {
  const uint64_t end = static_cast<uint64_t>(offset) + 4 + dataSize;
  if (end == fileSize) return true;
  uint32_t tableAt;
  uint8_t gap[kMaxSignaturePadding];
  if (end > fileSize || !FindFileCertificateTable(file, StubSize(), &tableAt) || end > tableAt ||
      tableAt - end > kMaxSignaturePadding)
    return false;
  return FileSeekTo(file, static_cast<uint32_t>(end)) == end && FileRead(file, gap, tableAt - end) == 0 &&
         IsSignaturePadding(gap, tableAt - end);
}

// ---------------------------------------------------------------------------
// Bodies.

// Decodes one stream into exactly size bytes.
int DecodeBody(FileHandle file, uint8_t* destination, uint32_t size) {
  Inflater inflater;
  CountingSink sink(destination, size);
  int result = inflater.DecodeToSink(sink, file, 0);
  inflater.EndInput();
  if (result == kInflateNoMemory || result < 0) return kChunkNoMemory;
  return result == kInflateOk && sink.written == size ? kChunkLoaded : kChunkInvalid;
}

int ReadChunkBody(FileHandle file, const ChunkHeader& header, uint8_t*& body, uint32_t& bodySize) {
  body = nullptr;
  bodySize = 0;
  bool compressed = header.flags & kChunkCompressed;
  uint32_t size = header.size;
  uint32_t packed = header.size;
  if (compressed) {
    if (header.size < 4) return kChunkInvalid;  // no room for the size prefix
    uint8_t prefix[4];
    if (FileRead(file, prefix, 4)) return kChunkReadFailed;
    size = ReadU32Le(prefix);
    packed -= 4;
  }
  if (!DeclaredSizeIsPlausible(size, packed)) return kChunkInvalid;
  if (!AllocateBuffer(size + 1, body)) return kChunkNoMemory;
  body[size] = 0;
  int status = kChunkLoaded;
  if (compressed) {
    status = DecodeBody(file, body, size);
  } else if (FileRead(file, body, size)) {
    status = kChunkReadFailed;
  }
  if (status != kChunkLoaded) {
    ReleaseBuffer(body);
    return status;
  }
  bodySize = size;
  return kChunkLoaded;
}

template <typename T>
void Replace(T*& slot, uint8_t* body) {
  ReleaseBuffer(slot);
  slot = reinterpret_cast<T*>(body);
}

// Hands a loaded body to its owner.
int StoreBody(uint16_t id, uint8_t* body, uint32_t size) {
  for (const TextBody& text : kTextBodies) {
    if (text.id == id) {
      Replace(*text.slot, body);
      return kStepGoOn;
    }
  }
  switch (id) {
    case kChunkDefaultDir:
      CopyPath(InstallDir, reinterpret_cast<const char*>(body));
      ReleaseBuffer(body);
      break;
    case kChunkFramePicture:
      Replace(FramePicture, body);
      FramePictureSize = size;
      break;
    case kChunkBackgroundBitmap:
      Replace(BackgroundBitmap, body);
      BackgroundBitmapSize = size;
      break;
    case kChunkBackgroundFont:
      if (size != kBackgroundFontSize) ReleaseBuffer(body);  // not a LOGFONTA
      Replace(BackgroundFont, body);
      break;
    case kChunkDialogTemplates:
      Replace(DialogTemplates, body);
      DialogTemplatesSize = size;
      break;
    case kChunkUninstallEntry:
      Replace(UninstallEntry, body);
      UninstallEntrySize = size;
      break;
    case kChunkFileTable:
      if (!ValidateFileTable(body, size)) {
        ReleaseBuffer(body);
        return kStepInvalid;
      }
      Replace(FileTable, body);
      FileTableSize = size;
      FileRecordCount = ReadU32Le(body);
      FirstFileRecord = body + kFileTableCountSize;
      break;
  }
  return kStepGoOn;
}

int LoadBody(LoadState& state, const ChunkHeader& header) {
  uint8_t* body;
  uint32_t size;
  int status = ReadChunkBody(state.file, header, body, size);
  if (status == kChunkInvalid) return kStepInvalid;
  if (status != kChunkLoaded) return kStepError;
  if (!StreamEndsInChunk(state)) {
    ReleaseBuffer(body);
    return kStepInvalid;
  }
  return StoreBody(header.id, body, size);
}

// ---------------------------------------------------------------------------
// Texts: u16 n, then for each group a u32 size and one stream, back to back.

void ReleaseTextGroup(uint32_t group) {
  ReleaseBuffer(TextGroups[group]);
  TextGroupSizes[group] = 0;
}

int LoadTextGroup(LoadState& state, uint32_t group, uint32_t size) {
  uint32_t at = FileTell(state.file);
  if (at == kFileBadPosition || at > state.next) return kStepInvalid;  // fields ran past the chunk
  if (!DeclaredSizeIsPlausible(size, state.next - at)) return kStepInvalid;
  if (!AllocateZeroed(size + 1, TextGroups[group])) return kStepError;
  int status = DecodeBody(state.file, TextGroups[group], size);
  if (status == kChunkLoaded && StreamEndsInChunk(state) && TextGroupIsWhole(TextGroups[group], size)) {
    TextGroupSizes[group] = size;
    return kStepGoOn;
  }
  ReleaseTextGroup(group);
  return status == kChunkNoMemory ? kStepError : kStepInvalid;
}

int LoadTexts(LoadState& state) {
  for (uint32_t group = 0; group < kTextGroupCount; ++group) ReleaseTextGroup(group);
  uint8_t raw[4];
  if (FileRead(state.file, raw, 2)) return kStepError;
  uint32_t count = ReadU16Le(raw);
  for (uint32_t group = 0; group < count && group < kTextGroupCount; ++group) {
    if (FileRead(state.file, raw, 4)) return kStepError;
    int step = LoadTextGroup(state, group, ReadU32Le(raw));
    if (step != kStepGoOn) return step;
  }
  return kStepGoOn;  // groups beyond the ninth are passed over by the seek
}

// ---------------------------------------------------------------------------
// The chunk stream.

// A setting read straight from the chunk, whatever its flags say.
int ReadRawValue(FileHandle file, uint32_t width, uint32_t& value) {
  uint8_t raw[4];
  if (FileRead(file, raw, width)) return kStepError;
  value = width == 4 ? ReadU32Le(raw) : ReadU16Le(raw);
  return kStepGoOn;
}

int LoadChunk(LoadState& state, const ChunkHeader& header) {
  uint32_t value = 0;
  int step;
  switch (header.id) {
    case kChunkSetupFlags: return ReadRawValue(state.file, 4, SetupFlags);
    case kChunkDirRegistryRoot: return ReadRawValue(state.file, 4, DirRegistryRoot);
    case kChunkSinglePage:
      step = ReadRawValue(state.file, 2, value);
      SinglePage = static_cast<uint16_t>(value);
      state.complete = true;
      return step;
    case kChunkTexts: return LoadTexts(state);
    case kChunkDefaultDir:
    case kChunkFramePicture:
    case kChunkBackgroundBitmap:
    case kChunkUninstallName:
    case kChunkBackgroundTitle:
    case kChunkDirRegistryKey:
    case kChunkDirRegistryValue:
    case kChunkDirIniFile:
    case kChunkDirIniSection:
    case kChunkDirIniKey:
    case kChunkDialogTemplates:
    case kChunkFileTable:
    case kChunkBackgroundFont:
    case kChunkUninstallEntry:
      return LoadBody(state, header);
  }
  return kStepGoOn;  // 0x123B, 0x1245 and unknown ids are skipped by their size
}

// The FileData body begins with the u32 count of data bytes in this file;
// the data is complete when they run exactly to the end of the file. The
// volume reader starts from that count.
int ReadFileDataHeader(LoadState& state, uint32_t start) {
  uint8_t raw[4];
  FileDataOffset = start;
  if (FileRead(state.file, raw, 4)) return kStepError;
  FileDataSize = ReadU32Le(raw);
  VolumeDataSize = VolumeBytesLeft = FileDataSize;
  if (FileDataEndsTheFile(state.file, start, FileDataSize, state.fileSize)) state.complete = true;
  return kStepEnd;
}

int LoadChunks(LoadState& state) {
  for (;;) {
    uint8_t raw[kChunkHeaderSize];
    if (FileRead(state.file, raw, kChunkHeaderSize)) return kStepError;
    ChunkHeader header = ParseChunkHeader(raw);
    if (header.size == 0) {  // an empty chunk is never looked at
      if (header.id == kChunkFileData) return kStepEnd;
      continue;
    }
    uint32_t start = FileTell(state.file);
    if (start == kFileBadPosition) return kStepError;
    if (header.id == kChunkFileData) return ReadFileDataHeader(state, start);
    if (!BodyFitsInFile(start, header.size, state.fileSize)) return kStepInvalid;
    state.next = start + header.size;
    int step = LoadChunk(state, header);
    if (step != kStepGoOn) return step;
    if (FileSeekTo(state.file, state.next) != state.next) return kStepError;
  }
}

void ShowInvalidData() {
  const char* text = GetText(kTextGroupMessages, kTextInvalidSetupData);
  if (*text) ShowMessage(text, kBoxOk, kAnswerOk);
}

}  // namespace

int LoadChunkBody(FileHandle file, const ChunkHeader& header, uint8_t*& body, uint32_t& bodySize) {
  int status = ReadChunkBody(file, header, body, bodySize);
  return status == kChunkInvalid ? kChunkReadFailed : status;
}

bool LoadSetupData() {
  ReleaseSetupData();
  if (StubSize() == 0) return false;
  CopyPath(DataFilePath, SetupFilePath);
  LoadState state;
  state.file = FileOpen(DataFilePath, kFileRead);
  if (state.file == kInvalidFile) return false;
  state.fileSize = FileSize(state.file);
  state.next = 0;
  state.complete = false;
  int step = kStepError;
  if (state.fileSize != kFileBadPosition && FileSeekTo(state.file, StubSize()) == StubSize()) {
    step = LoadChunks(state);
  }
  FileClose(state.file);
  if (step == kStepEnd && state.complete) {
    ConvertLoadedTexts();
    return true;
  }
  if (step != kStepError) ShowInvalidData();
  ReleaseSetupData();
  return false;
}

void ReleaseSetupData() {
  for (uint8_t** body : kDataBodies) ReleaseBuffer(*body);
  for (const TextBody& text : kTextBodies) ReleaseBuffer(*text.slot);
  for (uint32_t group = 0; group < kTextGroupCount; ++group) ReleaseTextGroup(group);
  FramePictureSize = BackgroundBitmapSize = DialogTemplatesSize = FileTableSize = UninstallEntrySize = 0;
  FileRecordCount = 0;
  FirstFileRecord = nullptr;
  FileDataOffset = FileDataSize = 0;
  SetupFlags = DirRegistryRoot = 0;
  SinglePage = kSinglePageAbsent;
}
