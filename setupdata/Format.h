// The setup file format: one definition, shared by the stub, which reads it,
// and the authoring tool, which writes it. Anything that changes here changes
// the bytes of every setup; docs/format.md describes the same layout for
// people who write tools around it.
//
// Layout of a setup file:
//
//   0                  the stub; its length is StubSize (carried in the stub)
//   StubSize           ChunkHeader + body, back to back, no alignment
//   ...                further chunks
//   last               FileData chunk (0x7F7F): u32 FileDataSize, then the
//                      files' compressed streams in file-table order; it
//                      runs exactly to the end of the file, or, in a signed
//                      setup, to at most 7 zero bytes before the certificate
//                      table that ends it (setupdata/CertificateTable.h)
//
// A compressed chunk body is a u32 uncompressed size followed by one stream
// of the setup compression format (inflate/Inflater.h); the header's size
// counts that prefix. All numbers are little-endian.
#pragma once

#include <stddef.h>
#include <stdint.h>

// ---------------------------------------------------------------------------
// Little-endian field access. Records are read through these, never by
// casting a struct over raw bytes.

inline uint16_t ReadU16Le(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t ReadU32Le(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline void WriteU16Le(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

inline void WriteU32Le(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

// ---------------------------------------------------------------------------
// The stub's own length. The stub carries a StubMarkRecord in its initialised
// data; the build stamps the stub's file length into it after linking, so a
// setup is made by appending the chunk stream to the stub unchanged. The tag
// lets the stamping step and the authoring tool find the record; it occurs
// exactly once in a stub.

const char kStubMarkTag[16] = "Setvik StubSize";  // 15 characters and a NUL

struct StubMarkRecord {
  char tag[16];
  uint32_t stubSize;  // 0: the program carries no setup data
};
static_assert(sizeof(StubMarkRecord) == 20, "stub mark layout");

// ---------------------------------------------------------------------------
// Chunks.

const uint32_t kChunkHeaderSize = 8;  // u16 id, u16 flags, u32 body size
const uint16_t kChunkCompressed = 0x0001;  // the only flag bit looked at

struct ChunkHeader {
  uint16_t id;
  uint16_t flags;
  uint32_t size;
};

inline ChunkHeader ParseChunkHeader(const uint8_t* p) {
  ChunkHeader h;
  h.id = ReadU16Le(p);
  h.flags = ReadU16Le(p + 2);
  h.size = ReadU32Le(p + 4);
  return h;
}

inline void StoreChunkHeader(uint8_t* p, const ChunkHeader& h) {
  WriteU16Le(p, h.id);
  WriteU16Le(p + 2, h.flags);
  WriteU32Le(p + 4, h.size);
}

enum ChunkId : uint16_t {
  kChunkSetupFlags = 0x1234,        // raw u32
  kChunkDefaultDir = 0x1235,        // text, copied into InstallDir
  kChunkFramePicture = 0x1236,      // bitmap file image
  kChunkBackgroundBitmap = 0x1237,  // bitmap file image
  kChunkUninstallName = 0x1238,     // text
  kChunkBackgroundTitle = 0x1239,   // text
  kChunkTexts = 0x123A,             // own layout: u16 n, then n (u32 size, stream)
  kChunkSkipped123B = 0x123B,
  kChunkDirRegistryRoot = 0x123C,   // raw u32
  kChunkDirRegistryKey = 0x123D,    // text
  kChunkDirRegistryValue = 0x123E,  // text
  kChunkDirIniFile = 0x123F,        // text
  kChunkDirIniSection = 0x1240,     // text
  kChunkDirIniKey = 0x1241,         // text
  kChunkDialogTemplates = 0x1242,   // u32 offset table, then templates
  kChunkFileTable = 0x1243,         // u32 recordCount, then FileRecords
  kChunkSinglePage = 0x1244,        // raw u16; also marks the data complete
  kChunkSkipped1245 = 0x1245,
  kChunkBackgroundFont = 0x1246,    // LOGFONTA, 60 bytes
  kChunkUninstallEntry = 0x1247,    // u32 icon record, then the entry's texts
  kChunkFileData = 0x7F7F,          // u32 FileDataSize, then the streams; last
};

// SetupFlags bits (only the four low bits are looked at).
const uint32_t kFullScreenBackground = 0x1;
const uint32_t kDirChangeable = 0x2;
const uint32_t kSaveDirToRegistry = 0x4;
const uint32_t kSaveDirToIni = 0x8;
// Beyond the four bits above, which every stub reads, newer setups may ask
// for more; a stub that knows none of them ignores them.
const uint32_t kBatchedSteps = 0x10;  // the progress page runs steps in batches of about 30 ms
const uint32_t kPerUserScope = 0x20;   // no elevation; the current user's folders and HKEY_CURRENT_USER
const uint32_t kArchitectureX64 = 0x40;  // 64-bit folders, registry view and system folder; only on 64-bit Windows
const uint32_t kUtf8Texts = 0x80;      // every text and name is UTF-8

const uint16_t kSinglePageAbsent = 0xFFFF;
const uint32_t kBackgroundFontSize = 60;  // sizeof(LOGFONTA)

// ---------------------------------------------------------------------------
// Texts. Group g, index i is "text g/i". Groups 0-5 belong to pages 0-5,
// group 6 holds the caption and the messages, group 7 the button captions.
// A decompressed group is u16 m followed by m NUL-terminated texts.

const uint32_t kTextGroupCount = 9;  // groups beyond the ninth are not read
const uint16_t kTextGroupMessages = 6;
const uint16_t kTextGroupButtons = 7;
const uint16_t kTextInvalidSetupData = 31;  // text 6/31
const uint16_t kTextNeeds64Bit = 32;        // text 6/32: an x64 setup on 32-bit Windows

// ---------------------------------------------------------------------------
// UninstallEntry: what the entry in the list of installed programs shows
// beyond its name. u32 iconRecord, the index in the file table of the file
// whose icon the entry shows (kNoIconRecord: none), then zero-terminated
// texts in this order; a missing or empty text writes no value. A setup
// without the chunk writes none of them.

const uint32_t kNoIconRecord = 0xFFFFFFFFu;
enum UninstallEntryText : uint32_t {
  kEntryPublisher = 0,     // Publisher
  kEntryVersion = 1,       // DisplayVersion
  kEntryAboutUrl = 2,      // URLInfoAbout
  kEntryHelpLink = 3,      // HelpLink
  kUninstallEntryTextCount = 4,
};

// ---------------------------------------------------------------------------
// Dialog templates: u32 offsets from the start of the body, one per template
// number 0-8; each template is copied from its offset to the end of the body
// into a block of this size, so no offset may lie further than this from the
// end of the body.

const uint32_t kDialogTemplateCount = 9;
const uint32_t kDialogTemplateBlockSize = 16384;

// ---------------------------------------------------------------------------
// File table: u32 recordCount, then the records back to back.
//
// FileRecord: fixed head of 26 bytes, then versionBlock (20 bytes, when
// optionFlags & 0x06), then timesBlock (24 bytes, when optionFlags & 0x08),
// then six NUL-terminated strings ending exactly at recordLength.
//
//   0  u32 recordLength     12 u8  registerKind
//   4  u16 installState     13 u8  optionFlags
//   6  u16 iconIndex        14 u32 contentChecksum (stored form)
//   8  u8  destinationKind  18 u32 fileSize
//   9  u8  launchRole       22 u32 packedSize
//  10  u8  trackShared      26     blocks, then strings
//  11  u8  uninstallMode

namespace FileRecordField {
const uint32_t recordLength = 0;
const uint32_t installState = 4;
const uint32_t iconIndex = 6;
const uint32_t destinationKind = 8;
const uint32_t launchRole = 9;
const uint32_t trackShared = 10;
const uint32_t uninstallMode = 11;
const uint32_t registerKind = 12;
const uint32_t optionFlags = 13;
const uint32_t contentChecksum = 14;
const uint32_t fileSize = 18;
const uint32_t packedSize = 22;
}  // namespace FileRecordField

const uint32_t kFileRecordHeadSize = 26;
const uint32_t kVersionBlockSize = 20;
const uint32_t kTimesBlockSize = 24;
const uint32_t kFileRecordStringCount = 6;
const uint32_t kFileTableCountSize = 4;

// optionFlags
const uint8_t kOptionUninstaller = 0x01;
const uint8_t kOptionCheckVersion = 0x02;
const uint8_t kOptionCheckLanguage = 0x04;
const uint8_t kOptionTimes = 0x08;
const uint8_t kOptionVersionBlock = kOptionCheckVersion | kOptionCheckLanguage;

// destinationKind
const uint8_t kDestInstallDir = 0;
const uint8_t kDestWindows = 1;
const uint8_t kDestSharedSystem = 2;
const uint8_t kDestFonts = 3;

// launchRole
const uint8_t kLaunchNone = 0;
const uint8_t kLaunchFinishButton = 1;
const uint8_t kLaunchRunAfter = 2;

// uninstallMode
const uint8_t kUninstallKeep = 0;
const uint8_t kUninstallRemove = 1;
const uint8_t kUninstallExternal = 2;  // no stream in the file data

// registerKind
const uint8_t kRegisterNone = 0;
const uint8_t kRegisterScreenSaver = 1;
const uint8_t kRegisterSelf = 2;

// installState values written at run time (indexes of group-6 texts too).
const uint16_t kStateNone = 0;
const uint16_t kStateReplaced = 23;
const uint16_t kStateInstalled = 25;
const uint16_t kStateReplacing = 27;

// String indexes within a record.
enum FileRecordString {
  kStringFileName = 0,
  kStringGroupName = 1,
  kStringMenuShortcutName = 2,
  kStringMenuShortcutArgs = 3,
  kStringDesktopShortcutName = 4,
  kStringDesktopShortcutArgs = 5,
};

// versionBlock fields (offsets within the block).
const uint32_t kVersionFileMS = 0;
const uint32_t kVersionFileLS = 4;
const uint32_t kVersionProductMS = 8;
const uint32_t kVersionProductLS = 12;
const uint32_t kVersionLanguageId = 16;

// The stored form of contentChecksum is the plain ContentChecksum combined
// with the IntegrityKey by exclusive or; the same operation takes it back.
const uint32_t kIntegrityKey = 0x5E7B1C4Du;

inline uint32_t CombineIntegrityKey(uint32_t checksum) { return checksum ^ kIntegrityKey; }

// Volume files: the setup file's name with its extension replaced by
// ".D%2.2d"; each begins with a u32 data size.
const uint32_t kVolumeHeaderSize = 4;
