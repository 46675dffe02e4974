// The end of an installation (see UninstallInfo.h): the uninstall log
// appended to the installed uninstaller, the start-menu shortcuts with
// their recording, the entry under the Uninstall key and the remembered
// folder.
//
// The uninstaller must never be left damaged. The log is written only over
// the free 8-byte header that ends a fresh uninstaller file; when any write
// of the log fails, that header is put back and the file cut to its old
// length, so the uninstaller holds its empty log rather than half of one.
// A signed uninstaller is not written at all: its log goes into the file
// beside it, which a failed write removes again.
// The Uninstall key and the UninstallRegKey chunk agree: the chunk is
// written only for a key that was made, and a name too long for the key
// buffer gets neither (cutting it could name another program's entry).
#include "install/UninstallInfo.h"

#include <shlobj.h>
#include <windows.h>

#include "install/InstallStep.h"
#include "install/Shortcuts.h"
#include "setupdata/CertificateTable.h"
#include "setupdata/FileRecord.h"
#include "setupdata/Paths.h"
#include "setupdata/SetupData.h"
#include "setupdata/VolumeReader.h"
#include "uninstlog/UninstallLog.h"
#include "uninstlog/UninstallerFile.h"

// The log being written: the uninstaller file, its length when the
// installation left it (the log's first header goes 8 bytes before that),
// and whether a write has failed.
static FileHandle LogFile = kInvalidFile;
static uint32_t LogStart;
static bool LogFailed;
static uint32_t ShortcutListStart;
static uint32_t ShortcutCount;

static void CheckWrite(int result) {
  if (result) LogFailed = true;
}

// The file beside a signed uninstaller that holds its log instead (its
// name is SeparateLogPath's), or empty while the log goes into the
// uninstaller itself.
static char SeparateLog[kPathBufferSize];

// A signed uninstaller (a certificate table in its PE header) would lose
// its signature with bytes appended: its log goes into a new file beside
// it, which starts with the free header the log then overwrites.
static FileHandle OpenSeparateLog(FileHandle program) {
  uint32_t tableAt;
  SeparateLog[0] = 0;
  if (!FindFileCertificateTable(program, kPeHeadSize, &tableAt) || !SeparateLogPath(UninstallerPath, SeparateLog))
    return kInvalidFile;
  const FileHandle file = FileCreate(SeparateLog);
  LogStart = kChunkHeaderSize;
  if (file != kInvalidFile && FileWrite(file, kFreeLogHeader, kChunkHeaderSize) == 0) return file;
  FileClose(file);
  DeleteFileA(SeparateLog);
  return kInvalidFile;
}

// Opens the uninstaller for the log, positioned at its end. Not when it
// cannot be opened, is shorter than 8 bytes or does not end with the free
// header: writing over other bytes would damage the program.
static FileHandle OpenLog() {
  const FileHandle file = FileOpen(UninstallerPath, kFileReadWrite);
  if (file == kInvalidFile) return file;
  const FileHandle separate = OpenSeparateLog(file);
  if (SeparateLog[0]) {
    FileClose(file);
    return separate;
  }
  uint8_t last[kChunkHeaderSize];
  bool free = FileSeekEnd(file, -static_cast<int32_t>(kChunkHeaderSize)) != kFileBadPosition &&
              FileRead(file, last, kChunkHeaderSize) == 0;
  for (uint32_t i = 0; free && i < kChunkHeaderSize; ++i) free = last[i] == kFreeLogHeader[i];
  LogStart = FileTell(file);
  if (!free || LogStart == kFileBadPosition) {
    FileClose(file);
    return kInvalidFile;
  }
  return file;
}

void TakeBackLog(FileHandle log, uint32_t oldLength) {
  if (FileSeekTo(log, oldLength - kChunkHeaderSize) != kFileBadPosition)
    FileWrite(log, kFreeLogHeader, kChunkHeaderSize);
  if (FileSeekTo(log, oldLength) != kFileBadPosition) SetEndOfFile(reinterpret_cast<HANDLE>(log));
}

// Writes the header of the chunk that began at start (its header included)
// and its u32 count, then returns to the end of the file.
static void CloseCountedChunk(uint16_t id, uint32_t start, uint32_t count) {
  const uint32_t end = FileTell(LogFile);
  if (end == kFileBadPosition || FileSeekTo(LogFile, start) == kFileBadPosition) {
    LogFailed = true;
    return;
  }
  CheckWrite(WriteLogHeader(LogFile, id, end - start - kChunkHeaderSize));
  CheckWrite(WriteLogU32(LogFile, count));
  if (FileSeekTo(LogFile, end) == kFileBadPosition) LogFailed = true;
}

// One UninstallFiles entry for TargetPath (folder built in WorkPath); 1 when
// it was written.
static uint32_t WriteFileEntry(FileHandle log, uint8_t flags) {
  if (LogFailed) return 0;
  const LogEntryResult result = WriteLogFileEntry(log, TargetPath, InstallDir, WorkPath, flags);
  if (result == kLogEntryFailed) LogFailed = true;
  return result == kLogEntryWritten;
}

static uint8_t FileEntryFlags(const uint8_t* record) {
  const uint8_t kind = record[FileRecordField::destinationKind];
  uint8_t flags = 0;
  if (kind != kDestInstallDir && record[FileRecordField::trackShared] == 1) flags |= kLogSharedFile;
  if (kind == kDestFonts) flags |= kLogFontFile;
  if (record[FileRecordField::registerKind] == kRegisterSelf) flags |= kLogRegisteredModule;
  return flags;
}

// UninstallFiles: each installed file that is removed at uninstall, and the
// desktop shortcut of every record that names one, whatever its state.
static void WriteFileList() {
  char desktop[kPathBufferSize];
  const bool hasDesktop = GetSpecialFolder(CSIDL_DESKTOP, desktop);
  uint32_t count = 0;
  CheckWrite(WriteLogU32(LogFile, 0));
  uint8_t* record = FirstFileRecord;
  for (uint32_t i = 0; i < FileRecordCount; ++i, record = NextFileRecord(record)) {
    GetTargetPath(record);
    const uint16_t state = ReadU16Le(record + FileRecordField::installState);
    if ((state == kStateReplaced || state == kStateInstalled) &&
        record[FileRecordField::uninstallMode] == kUninstallRemove)
      count += WriteFileEntry(LogFile, FileEntryFlags(record));
    const char* name = RecordString(record, kStringDesktopShortcutName);
    if (!*name || !hasDesktop) continue;
    if (BuildLinkPath(TargetPath, desktop, name)) count += WriteFileEntry(LogFile, 0);
  }
  if (SeparateLog[0]) {  // the log's own file goes last, with the removal
    CopyPath(TargetPath, SeparateLog);
    count += WriteFileEntry(LogFile, 0);
  }
  CloseCountedChunk(kChunkUninstallFiles, LogStart - kChunkHeaderSize, count);
}

// The recorder of the start-menu pass: one UninstallShortcuts entry.
static void RecordShortcut(HANDLE log, const char* folder, const char* linkName) {
  if (LogFailed) return;
  const FileHandle file = reinterpret_cast<FileHandle>(log);
  if (WriteLogString(file, folder) || WriteLogString(file, linkName)) LogFailed = true;
  else ++ShortcutCount;
}

static bool TableHasMenuShortcut() {
  uint8_t* record = FirstFileRecord;
  for (uint32_t i = 0; i < FileRecordCount; ++i, record = NextFileRecord(record))
    if (*RecordString(record, kStringMenuShortcutName)) return true;
  return false;
}

// The start-menu pass, recorded in UninstallShortcuts when the log is open
// and the table names at least one start-menu shortcut.
static void CreateRecordedShortcuts() {
  const bool recording = LogFile != kInvalidFile && !LogFailed && TableHasMenuShortcut();
  if (recording) {
    ShortcutListStart = FileTell(LogFile);
    ShortcutCount = 0;
    CheckWrite(WriteLogHeader(LogFile, kChunkUninstallShortcuts, 0));
    CheckWrite(WriteLogU32(LogFile, 0));
  }
  CreateMenuShortcuts(recording ? reinterpret_cast<HANDLE>(LogFile) : INVALID_HANDLE_VALUE, RecordShortcut);
  if (recording) CloseCountedChunk(kChunkUninstallShortcuts, ShortcutListStart, ShortcutCount);
}

// A REG_SZ value's size counts its terminating zero, as the registry expects.
static void SetTextValue(HKEY key, const char* name, const char* text) {
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), lstrlenA(text) + 1);
}

static void SetNumberValue(HKEY key, const char* name, DWORD value) {
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

// The installed files' size in KiB, rounded up: what the list of installed
// programs shows as the program's size.
static DWORD InstalledKilobytes() {
  uint64_t bytes = 0;
  uint8_t* record = FirstFileRecord;
  for (uint32_t i = 0; i < FileRecordCount; ++i, record = NextFileRecord(record)) {
    const uint16_t state = ReadU16Le(record + FileRecordField::installState);
    // The uninstaller counts too: it is in place whenever the entry is made.
    if (state == kStateReplaced || state == kStateInstalled || (RecordOptionFlags(record) & kOptionUninstaller))
      bytes += ReadU32Le(record + FileRecordField::fileSize);
  }
  const uint64_t kilobytes = (bytes + 1023) >> 10;
  return kilobytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(kilobytes);
}

static const char* const kEntryValueNames[kUninstallEntryTextCount] = {"Publisher", "DisplayVersion",
                                                                         "URLInfoAbout", "HelpLink"};

// The entry's details beside its name and command (command: the
// uninstaller in quotes): where it is, how big, how to remove it without
// questions, that it offers no change or repair; and what the setup's
// UninstallEntry names: publisher, version, links, the icon's file.
static void WriteEntryDetails(HKEY key, char* command, uint32_t commandSize) {
  char folder[kPathBufferSize];
  CopyPath(folder, InstallDir);
  RemoveBackslash(folder);
  SetTextValue(key, "InstallLocation", folder);
  SetNumberValue(key, "EstimatedSize", InstalledKilobytes());
  if (AppendText(command, commandSize, " /S")) SetTextValue(key, "QuietUninstallString", command);
  SetNumberValue(key, "NoModify", 1);
  SetNumberValue(key, "NoRepair", 1);
  for (uint32_t n = 0; n < kUninstallEntryTextCount; ++n)
    if (*UninstallEntryValue(n)) SetTextValue(key, kEntryValueNames[n], UninstallEntryValue(n));
  const uint32_t icon = UninstallEntryIcon();
  if (icon == kNoIconRecord) return;
  uint8_t* record = FirstFileRecord;
  for (uint32_t i = 0; i < icon; ++i) record = NextFileRecord(record);
  GetTargetPath(record);
  SetTextValue(key, "DisplayIcon", TargetPath);
}

// The entry in the list of installed programs, under the Uninstall key
// named by UninstallName; key receives its path (kUninstallKeyBufferSize
// characters). The command is the uninstaller's path in quotes, so that a
// path with spaces names no other program. False when no key was made.
static bool RegisterUninstaller(char* key) {
  if (!UninstallName || !*UninstallName) return false;
  lstrcpynA(key, kUninstallKeyPrefix, kUninstallKeyBufferSize);
  if (!AppendText(key, kUninstallKeyBufferSize, UninstallName)) return false;
  HKEY handle;
  if (CreateSetupKey(InstallationRoot(), key, &handle) != ERROR_SUCCESS) return false;
  char command[kPathBufferSize + 5] = "\"";
  AppendText(command, sizeof command, UninstallerPath);
  AppendText(command, sizeof command, "\"");
  SetTextValue(handle, "DisplayName", UninstallName);
  SetTextValue(handle, "UninstallString", command);
  WriteEntryDetails(handle, command, sizeof command);
  RegCloseKey(handle);
  return true;
}

// The log, the start-menu shortcuts and the Uninstall key, for a table
// with an uninstaller record.
static void WriteLogAndEntry() {
  LogFailed = false;
  LogFile = OpenLog();
  AddBackslash(InstallDir);
  if (LogFile != kInvalidFile) WriteFileList();
  CreateRecordedShortcuts();
  char key[kUninstallKeyBufferSize];
  const bool registered = RegisterUninstaller(key);
  if (LogFile == kInvalidFile) return;
  if (registered) {
    CheckWrite(WriteLogHeader(LogFile, kChunkUninstallRegKey, lstrlenA(key) + 6));
    uint32_t root = (SetupFlags & kPerUserScope) ? kLogUserRoot : kLogRegistryRoot;
    if (Uses64BitView) root |= kLogView64;
    if (SetupFlags & kUtf8Texts) root |= kLogUtf8;  // cleared when the texts were converted at load
    CheckWrite(WriteLogU32(LogFile, root));
    CheckWrite(WriteLogString(LogFile, key));
  }
  CheckWrite(WriteLogHeader(LogFile, kChunkUninstallEnd, 0));
  if (LogFailed && !SeparateLog[0]) TakeBackLog(LogFile, LogStart);
  FileClose(LogFile);
  if (LogFailed && SeparateLog[0]) DeleteFileA(SeparateLog);
  LogFile = kInvalidFile;
}

// The remembered folder, read back by the next installation. InstallDir has
// no trailing backslash here.
static void SaveInstallDir() {
  if ((SetupFlags & kSaveDirToRegistry) && DirRegistryKey) {
    HKEY key;
    if (CreateSetupKey(FolderMemoryRoot(), DirRegistryKey, &key) == ERROR_SUCCESS) {
      SetTextValue(key, DirRegistryValue, InstallDir);
      RegCloseKey(key);
    }
  }
  if ((SetupFlags & kSaveDirToIni) && DirIniFile && DirIniSection && DirIniKey) {
    WritePrivateProfileStringA(DirIniSection, DirIniKey, InstallDir, DirIniFile);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, DirIniFile);  // flushes the cached copy
  }
}

void WriteUninstallInfo() {
  CloseFileData();
  if (!InstallError) {
    if (UninstallerPath[0]) WriteLogAndEntry();
    else CreateMenuShortcuts(INVALID_HANDLE_VALUE, nullptr);
    RemoveBackslash(InstallDir);
    SaveInstallDir();
    AddBackslash(InstallDir);
  }
  InstallRunning = false;
}
