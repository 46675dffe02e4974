// A UTF-8 setup on a Windows that ignores its manifest's UTF-8 code page
// (see SetupData.h, ConvertLoadedTexts): every text and name is converted
// to the ANSI code page in place. No text grows: a character takes at
// least as many bytes in UTF-8 as in any ANSI code page, so each converted
// text is written at or before the place it was read from, and the texts
// of a group or a record stay back to back.
#include <windows.h>

#include "base/Buffer.h"
#include "setupdata/FileRecord.h"
#include "setupdata/SetupData.h"

// The terminated UTF-8 text at in, converted, at out (out <= in); returns
// the bytes written, terminator included. A character the code page lacks
// becomes '?' (never a look-alike: a name must not turn into another name),
// which no file name may hold, so such a file fails to be created. Left as
// it is when the conversion fails.
static uint32_t ConvertText(const char* in, char* out) {
  const int length = lstrlenA(in) + 1;
  WCHAR* wide;
  int written = 0;
  if (AllocateBuffer(static_cast<uint32_t>(length) * 2, wide)) {
    const int count = MultiByteToWideChar(CP_UTF8, 0, in, length, wide, length);
    if (count) written = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, count, out, length, "?", nullptr);
    ReleaseBuffer(wide);
  }
  if (written) return static_cast<uint32_t>(written);
  for (int i = 0; i < length; ++i) out[i] = in[i];
  return static_cast<uint32_t>(length);
}

// count texts back to back from in, converted to out (out <= in); the
// bytes written.
static uint32_t ConvertTexts(const uint8_t* in, uint8_t* out, uint32_t count) {
  uint32_t from = 0, to = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const char* text = reinterpret_cast<const char*>(in + from);
    from += lstrlenA(text) + 1;
    to += ConvertText(text, reinterpret_cast<char*>(out + to));
  }
  return to;
}

// Each record's head and blocks move up to its new place, its strings
// follow converted, and recordLength is set to what the record now takes.
static void ConvertFileTable() {
  uint8_t* in = FirstFileRecord;
  uint8_t* out = FirstFileRecord;
  for (uint32_t i = 0; i < FileRecordCount; ++i) {
    const uint32_t length = ReadU32Le(in);
    const uint32_t head = RecordStringsOffset(RecordOptionFlags(in));
    for (uint32_t k = 0; k < head; ++k) out[k] = in[k];
    const uint32_t strings = ConvertTexts(in + head, out + head, kFileRecordStringCount);
    WriteU32Le(out, head + strings);
    in += length;
    out += head + strings;
  }
  FileTableSize = static_cast<uint32_t>(out - FileTable);
}

void ConvertLoadedTexts() {
  if (!(SetupFlags & kUtf8Texts) || GetACP() == CP_UTF8) return;
  for (uint32_t g = 0; g < kTextGroupCount; ++g)
    if (TextGroups[g])
      TextGroupSizes[g] = 2 + ConvertTexts(TextGroups[g] + 2, TextGroups[g] + 2, ReadU16Le(TextGroups[g]));
  char* const texts[] = {UninstallName, BackgroundTitle, DirRegistryKey, DirRegistryValue,
                         DirIniFile,    DirIniSection,   DirIniKey,      InstallDir};
  for (char* text : texts)
    if (text) ConvertText(text, text);
  // The UninstallEntry's texts, as many as its body holds.
  uint32_t count = 0;
  for (uint32_t at = 4; UninstallEntry && count < kUninstallEntryTextCount && at < UninstallEntrySize; ++count)
    at += lstrlenA(reinterpret_cast<char*>(UninstallEntry + at)) + 1;
  if (count) UninstallEntrySize = 4 + ConvertTexts(UninstallEntry + 4, UninstallEntry + 4, count);
  if (FileTable) ConvertFileTable();
  SetupFlags &= ~kUtf8Texts;  // the texts are in the ANSI code page now
}
