// The setup data: the chunk stream appended to the stub, loaded once at
// start-up and read-only afterwards (but for the fields the installation
// writes back into the file table, and InstallDir, which pages rewrite).
//
// Everything here is process-wide state with one owner, the loader. A value
// the setup did not carry is absent: a null pointer, 0 for the two words,
// kSinglePageAbsent for SinglePage.
#pragma once

#include <stdint.h>

#include "base/FileAccess.h"
#include "setupdata/Format.h"
#include "setupdata/PathBuffers.h"

// The stub's own length, stamped into its initialised data by the build
// (setupdata/StubMark.cpp). Host programs set stubSize to the length of the
// stub of the setup they load.
extern StubMarkRecord StubMark;
inline uint32_t StubSize() { return StubMark.stubSize; }


// Settings.
extern uint32_t SetupFlags;
extern uint32_t DirRegistryRoot;
extern uint16_t SinglePage;

// Loaded bodies (each NUL-guarded: one zero byte follows the body, so a text
// body is always terminated) and their sizes in bytes.
extern uint8_t* FramePicture;
extern uint32_t FramePictureSize;
extern uint8_t* BackgroundBitmap;
extern uint32_t BackgroundBitmapSize;
extern char* UninstallName;
extern char* BackgroundTitle;
extern char* DirRegistryKey;
extern char* DirRegistryValue;
extern char* DirIniFile;
extern char* DirIniSection;
extern char* DirIniKey;
extern uint8_t* BackgroundFont;      // LOGFONTA; present only when 60 bytes long
extern uint8_t* UninstallEntry;  // the UninstallEntry body; read through UninstallEntryValue
extern uint32_t UninstallEntrySize;
extern uint8_t* DialogTemplates;
extern uint32_t DialogTemplatesSize;

// The file table: its buffer, the record count and the first record (inside
// the buffer). The loader has checked every record: each lies inside the
// body, is at least as long as its head, blocks and six strings, and has its
// six strings terminated inside it.
extern uint8_t* FileTable;
extern uint32_t FileTableSize;
extern uint32_t FileRecordCount;
extern uint8_t* FirstFileRecord;

// The file data: offset of the FileData body in the setup file, and the
// value of its leading u32 (the data bytes that follow in this file).
extern uint32_t FileDataOffset;
extern uint32_t FileDataSize;

// Text groups 0-8 of the TextTable: each buffer holds u16 m and m texts; the
// loader has checked that the m texts are terminated inside the group.
extern uint8_t* TextGroups[kTextGroupCount];
extern uint32_t TextGroupSizes[kTextGroupCount];

// Reads every chunk but the file data into memory. True: usable. False: the
// run ends; text 6/31 has been shown when the data is invalid and the text
// exists. Called once, with SetupFilePath, DataFilePath and InstallDir
// allocated.
bool LoadSetupData();

// A setup with Utf8Texts whose UTF-8 code page the system ignores
// (GetACP() is not 65001): every text and name converted in place to the
// ANSI code page, a character it lacks as '?', and Utf8Texts cleared, so
// that the flag always tells how the loaded texts are encoded. Run by
// LoadSetupData once the data is complete; does nothing for other setups
// and off Windows.
void ConvertLoadedTexts();

// Reads one chunk body; the file is positioned just after its header.
// Status 0: success, the caller owns *body (size in *bodySize, one guard
// zero byte after it). 1: a read failed or was short, or a compressed body
// does not decode to its declared size. 5: no memory.
enum ChunkLoadStatus { kChunkLoaded = 0, kChunkReadFailed = 1, kChunkNoMemory = 5 };
int LoadChunkBody(FileHandle file, const ChunkHeader& header, uint8_t*& body, uint32_t& bodySize);

// Releases every loaded body, the text groups and the file table, leaving
// each pointer null and each setting at its initial value.
void ReleaseSetupData();

// Text g/i: a pointer into its group, or the shared empty text when the
// group or the index is absent. Valid until ReleaseSetupData.
const char* GetText(uint32_t group, uint32_t index);
// The UninstallEntry chunk's values: text n (kEntryPublisher, ...), the
// empty text when the setup carries none or the body ends before it; and
// the icon's record, kNoIconRecord when there is none or it names no record.
const char* UninstallEntryValue(uint32_t n);
uint32_t UninstallEntryIcon();

// Text 6/n into out (size bytes), always terminated and cut to fit. A text
// holding "%s" is a format whose first "%s" takes ErrorFileName and whose
// "%%" is a percent sign; every other percent sequence stays as it is. A
// text without "%s" is copied unchanged.
void FormatMessageText(char* out, uint32_t size, uint32_t n);
