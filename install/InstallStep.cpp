// The installation loop (see InstallStep.h).
//
// A file is never written over its target: a record's stream is decoded
// into a temporary file beside the target, verified against contentChecksum,
// and only then moved to the target's name. A target that is not there yet
// is created under its own name at once (it is deleted again when the step
// fails), which saves the rename's lookup of a missing name. The old target
// is first renamed to a second free temporary name rather than deleted, so
// that a failing final rename can put it back instead of leaving the user
// without the file; a target that could not have been deleted gets the busy
// handling all the same. A folder standing at a target's path is an error
// for that file.
#include "install/InstallStep.h"

#include "base/Buffer.h"
#include "base/Message.h"
#include "base/PathText.h"
#include "base/RunLog.h"
#include "base/ScheduleAtRestart.h"
#include "base/TextFormat.h"
#include "inflate/Inflater.h"
#include "inflate/OutputSink.h"
#include "install/DestinationCheck.h"
#include "install/OverwriteRules.h"
#include "install/Registrations.h"
#include "install/Shortcuts.h"
#include "setupdata/FileRecord.h"
#include "setupdata/Paths.h"
#include "setupdata/VolumeReader.h"

bool InstallRunning;
int FileIndex = -1;
uint8_t* CurrentRecord;
int InstallError;
bool RestartNeeded;
static const InstallView* View;
static bool DataGivenUp;  // a missing disk was given up on: the file data ends

static const uint32_t kBusyQuestionSize = 1024;
static const uint32_t kAbortRetryIgnoreBox = 2;

static void SetState(uint8_t* record, uint16_t state) { WriteU16Le(record + FileRecordField::installState, state); }
static uint16_t GetState(const uint8_t* record) { return ReadU16Le(record + FileRecordField::installState); }

static void SetError(int error, const char* fileName) {
  InstallError = error;
  lstrcpynA(ErrorFileName, fileName, kPathBufferSize);
}

// Whether a file of that name opens for reading: a temporary name is taken
// then (one that exists but does not open counts as free).
static bool NameOpens(const char* name) {
  const FileHandle existing = FileOpen(name, kFileRead);
  if (existing == kInvalidFile) return false;
  FileClose(existing);
  return true;
}

// Moves the last character of name (a temporary name ending in .$$B or
// later) on until nothing of that name exists. Stops at Z, since the next
// codes would bring separators into the name. False when no free name was
// found.
static bool BumpToAbsentName(char* name) {
  char* last = name + lstrlenA(name) - 1;
  for (;;) {
    if (GetFileAttributesA(name) == INVALID_FILE_ATTRIBUTES) return true;
    if (*last >= 'Z') return false;
    ++*last;
  }
}

// Deleting and renaming a file in use fail with access denied (Windows 95
// family, running programs) or a sharing violation (an open handle).
static bool TargetBusy(DWORD error) { return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION; }

enum SwapResult { kSwapDone, kSwapBusy, kSwapFailed };

// Puts temporary in the place of the existing TargetPath. The old target is
// renamed to a free name beside the temporary file (aside) rather than
// deleted, so that a failing final rename can put it back; once the new
// file is in place the old one is deleted. On the NT family a running
// program or a loaded library can be renamed but not deleted: when the
// set-aside copy refuses the delete, both renames are undone and the target
// counts as busy, exactly as if its delete had failed. Without a free aside
// name the old target is deleted outright. readOnlyAttributes: the old
// target's attributes when it was read-only, else 0.
static SwapResult SwapIntoPlace(const char* temporary, DWORD readOnlyAttributes) {
  char aside[kPathBufferSize];
  lstrcpynA(aside, temporary, kPathBufferSize);
  char* last = aside + lstrlenA(aside) - 1;
  bool named = false;
  if (*last < 'Z') {
    ++*last;
    named = BumpToAbsentName(aside);
  }
  if (!(named ? MoveFileA(TargetPath, aside) : DeleteFileA(TargetPath)))
    return TargetBusy(GetLastError()) ? kSwapBusy : kSwapFailed;
  if (!named) aside[0] = 0;
  if (!MoveFileA(temporary, TargetPath)) {
    // Not detected: the record counts as installed, the old file stays.
    if (aside[0] && MoveFileA(aside, TargetPath) && readOnlyAttributes)
      SetFileAttributesA(TargetPath, readOnlyAttributes);
    DeleteFileA(temporary);
    return kSwapDone;
  }
  if (aside[0] && !DeleteFileA(aside)) {
    if (TargetBusy(GetLastError()) && MoveFileA(TargetPath, temporary)) {
      if (MoveFileA(aside, TargetPath)) return kSwapBusy;
      MoveFileA(temporary, TargetPath);
    }
    ScheduleAtRestart(nullptr, aside);
  }
  if (readOnlyAttributes) SetFileAttributesA(TargetPath, FILE_ATTRIBUTE_READONLY);
  return kSwapDone;
}

void ReplaceTarget(uint8_t* record, const char* temporary) {
  SetState(record, kStateReplacing);
  // Most targets are new: the rename, which refuses to replace anything,
  // puts the file in place at once, and only a refused one asks further.
  if (MoveFileA(temporary, TargetPath)) {
    SetState(record, kStateInstalled);
    LogEvent("installed", TargetPath);
    return;
  }
  const DWORD attributes = GetFileAttributesA(TargetPath);
  if (attributes == INVALID_FILE_ATTRIBUTES) {  // no earlier file, and the rename failed
    DeleteFileA(temporary);
    SetState(record, kStateInstalled);
    return;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {  // a folder in the way: an error for this file
    SetError(kInstallErrorCreate, TargetPath);
    return;
  }
  const DWORD readOnly = (attributes & FILE_ATTRIBUTE_READONLY) ? attributes : 0;
  for (;;) {
    if (readOnly) SetFileAttributesA(TargetPath, attributes & ~FILE_ATTRIBUTE_READONLY);
    const SwapResult result = SwapIntoPlace(temporary, readOnly);
    if (result == kSwapDone) {
      SetState(record, kStateReplaced);
      LogEvent("replaced", TargetPath);
      return;
    }
    if (result == kSwapFailed && !readOnly) {  // neither busy nor read-only: as if absent
      if (!MoveFileA(temporary, TargetPath)) DeleteFileA(temporary);
      SetState(record, kStateInstalled);
      LogEvent("installed", TargetPath);
      return;
    }
    if (ResolveBusyTarget(record, temporary) != kAnswerRetry) break;
  }
  // Abandoned or left to the restart: the target keeps its read-only attribute.
  if (readOnly) SetFileAttributesA(TargetPath, attributes);
}

// True when TargetPath opens and holds the record's content (plain
// contentChecksum).
static bool TargetHoldsContent(const uint8_t* record) {
  const FileHandle existing = FileOpen(TargetPath, kFileRead);
  if (existing == kInvalidFile) return false;
  bool same = false;
  if (FileSize(existing) == ReadU32Le(record + FileRecordField::fileSize))
    same = ComputeFileChecksum(existing) == RecordChecksum(record);
  FileClose(existing);
  return same;
}

int ResolveBusyTarget(uint8_t* record, const char* temporary) {
  const uint8_t kind = record[FileRecordField::destinationKind];
  int answer = kAnswerIgnore;
  if (kind == kDestWindows || kind == kDestSharedSystem) {
    ScheduleAtRestart(TargetPath, temporary);
    RestartNeeded = true;
    SetState(record, kStateReplaced);
    LogEvent("replaced at restart", TargetPath);
    return answer;
  }
  if (kind != kDestFonts && !TargetHoldsContent(record)) {
    lstrcpynA(ErrorFileName, TargetPath, kPathBufferSize);
    char* text;
    if (AllocateBuffer(kBusyQuestionSize, text)) {
      FormatMessageText(text, kBusyQuestionSize, kInstallErrorAbort);
      answer = ShowMessage(text, kAbortRetryIgnoreBox, kAnswerAbort);
      ReleaseBuffer(text);
    }
    if (answer == kAnswerRetry) return answer;
    if (answer != kAnswerAbort) answer = kAnswerIgnore;
  }
  DeleteFileA(temporary);
  if (answer == kAnswerIgnore) {
    SetState(record, kStateReplaced);
    LogEvent("kept, in use", TargetPath);
  }
  return answer;
}

// Creates the temporary file beside TargetPath in WorkPath; kInvalidFile
// with InstallError 17 when no free name fits or it cannot be created.
// Each name is created only if absent, which in the common case takes one
// call; a name that exists is taken when it opens for reading, and the next
// is tried. A name that counted as free only because another program holds
// it unreadable is that program's file: WorkPath is emptied, so that the
// failure exit does not delete it.
static FileHandle CreateTemporaryFile() {
  CreateFolderChain(TargetPath);
  lstrcpynA(WorkPath, TargetPath, kPathBufferSize);
  FileHandle file = kInvalidFile;
  if (ReplaceExtension(WorkPath, ".$$A")) {
    char* last = WorkPath + lstrlenA(WorkPath) - 1;
    for (;;) {
      file = FileCreateNew(WorkPath);
      if (file != kInvalidFile || *last >= 'Z' || !NameOpens(WorkPath)) break;
      ++*last;
    }
  }
  if (file == kInvalidFile) {
    SetError(kInstallErrorCreate, WorkPath);
    WorkPath[0] = 0;
  }
  return file;
}

// The temporary file's sink: it writes each window and keeps the
// ContentChecksum and length of what went through whole, so the file is
// verified as it is written rather than read back. A write that fails or
// comes up short spoils the check.
class VerifyingSink : public OutputSink {
 public:
  explicit VerifyingSink(FileHandle output) : file(output), checksum(0), length(0), whole(true) {}
  bool IsReady() override { return true; }
  bool Write(const uint8_t* data, uint32_t size) override {
    if (FileWrite(file, data, size)) whole = false;
    checksum = ContentChecksum(checksum, data, size);
    length += size;
    return true;
  }
  // True when what was written is the record's content; else InstallError 21.
  bool Holds(const uint8_t* record) const {
    if (whole && length == ReadU32Le(record + FileRecordField::fileSize) && checksum == RecordChecksum(record))
      return true;
    SetError(kInstallErrorChecksum, TargetPath);
    return false;
  }

 private:
  FileHandle file;
  uint32_t checksum;
  uint32_t length;
  bool whole;
};

// A record with a stream: the write decision, then the stream consumed,
// and when the decision says so written to a temporary file, verified and
// put in place. False on failure.
static bool PlaceFile(uint8_t* record, int inUse) {
  const uint8_t options = RecordOptionFlags(record);
  const uint32_t packedSize = ReadU32Le(record + FileRecordField::packedSize);
  InstallError = 0;
  Inflater inflater;
  const int decision = ShouldWriteFile(record, inUse);
  if (decision != kWriteFile) {
    inflater.DecodeToFile(kInvalidFile, InputHandle, packedSize, FillInput);
    if (decision == kKeepSameVersion) SetState(record, kStateReplaced);
    LogEvent(decision == kKeepSameVersion ? "kept, same version" : "kept", TargetPath);
    return true;
  }
  // A target that is not there yet is written under its own name, created
  // only if absent: nothing is replaced, so nothing needs setting aside, and
  // a failure deletes the file (WorkPath) as it would a temporary one.
  FileHandle file = kInvalidFile;
  if (!inUse) {
    CreateFolderChain(TargetPath);
    file = FileCreateNew(TargetPath);
  }
  const bool direct = file != kInvalidFile;
  if (direct) {
    lstrcpynA(WorkPath, TargetPath, kPathBufferSize);
  } else {
    file = CreateTemporaryFile();
    if (file == kInvalidFile) return false;
  }
  VerifyingSink sink(file);
  inflater.DecodeToSink(sink, InputHandle, packedSize, FillInput);
  if (options & kOptionTimes) {
    // creation, last access, last write: three FILETIMEs, read in place.
    const FILETIME* times = reinterpret_cast<const FILETIME*>(RecordTimesBlock(record));
    SetFileTime(reinterpret_cast<HANDLE>(file), times, times + 1, times + 2);
  }
  FileClose(file);
  if (!(options & kOptionUninstaller) && !sink.Holds(record)) return false;
  if (direct) {
    SetState(record, kStateInstalled);
    LogEvent("installed", TargetPath);
  } else if (inUse) {
    ScheduleAtRestart(TargetPath, WorkPath);
    RestartNeeded = true;
    LogEvent("replaced at restart", TargetPath);
  } else {
    ReplaceTarget(record, WorkPath);
  }
  if (GetState(record) != kStateReplacing) return true;
  if (!InstallError) SetError(kInstallErrorAbort, TargetPath);  // else a folder in the way (17)
  return false;
}

// Whether TargetPath ends with the record's file name (for a shared system
// file, the name without its folders) after a backslash. A folder and name
// that do not fit in a path buffer give a path cut short, which can still
// take a temporary name ("some.configuration.txt" cut after
// "some.configuration"); such a file would be installed under a wrong name.
static bool TargetPathWhole(const uint8_t* record) {
  const char* name = RecordString(record, kStringFileName);
  if (record[FileRecordField::destinationKind] == kDestSharedSystem) {
    for (const char* p = name; *p; ++p)
      if (*p == '\\') name = p + 1;
  }
  const int length = lstrlenA(TargetPath);
  const int nameLength = lstrlenA(name);
  if (length < nameLength || lstrcmpA(TargetPath + length - nameLength, name)) return false;
  return length == nameLength || TargetPath[length - nameLength - 1] == '\\';
}

// Whether record is the uninstaller that gets the uninstall log. The log
// calls the installation folder ".", and an uninstaller takes "." for the
// folder it lies in; so only an uninstaller placed directly in the
// installation folder gets a log. One elsewhere is installed as any other
// file, and the installation then has no uninstall information.
static bool IsLogKeeper(const uint8_t* record) {
  if (!(RecordOptionFlags(record) & kOptionUninstaller) || record[FileRecordField::destinationKind] != kDestInstallDir ||
      record[FileRecordField::uninstallMode] == kUninstallExternal)
    return false;
  for (const char* p = RecordString(record, kStringFileName); *p; ++p)
    if (*p == '\\' || *p == '/') return false;
  return true;
}

// A failed step in the log: the error (the group-6 text's number) and its
// file. Returns false, the step's result.
static bool LogFailure() {
  char event[16];
  FormatTextNumber(event, sizeof event, "failed %d", InstallError);
  LogEvent(event, ErrorFileName);
  return false;
}

// One record from its target path to its progress value: the file put in
// place (or its stream passed over), its follow-up actions, its launch
// roles and desktop shortcut. False when the step failed.
static bool InstallRecord(uint8_t* record) {
  WorkPath[0] = 0;
  const int inUse = GetTargetPath(record);
  View->showCurrentFile(TargetPath);
  if (IsLogKeeper(record)) lstrcpynA(UninstallerPath, TargetPath, kPathBufferSize);
  const uint32_t percent = (static_cast<uint32_t>(FileIndex) + 1) * 100 / FileRecordCount;
  if (record[FileRecordField::uninstallMode] != kUninstallExternal) {
    if (!TargetPathWhole(record)) {
      SetError(kInstallErrorCreate, TargetPath);
      return LogFailure();
    }
    if (!PlaceFile(record, inUse)) {
      if (WorkPath[0]) DeleteFileA(WorkPath);
      return LogFailure();
    }
    if (RecordOptionFlags(record) & kOptionUninstaller) SetState(record, kStateNone);
    RunFollowUpActions(record);
  }
  const uint8_t role = record[FileRecordField::launchRole];
  if (role == kLaunchFinishButton) LaunchRecord = record;
  if (role == kLaunchRunAfter) RunAfterRecord = record;
  CreateDesktopShortcut(record);
  View->setProgress(percent);
  return true;
}

// The volume reader gave up on a missing disk (after its question, or
// unattended at once); the view is told, and the step then ends the loop.
static void GiveUpOnData() {
  DataGivenUp = true;
  if (View->abandon) View->abandon();
}

bool StartInstallation(const InstallView* view) {
  View = view;
  InstallError = 0;
  FileIndex = -1;
  CurrentRecord = FirstFileRecord;
  DataGivenUp = false;
  if (!OpenFileData(GiveUpOnData)) {
    SetError(kInstallErrorOpen, DataFilePath);
    LogFailure();
    return false;
  }
  InstallRunning = true;
  return true;
}

bool InstallNextFile() {
  ++FileIndex;
  if (static_cast<uint32_t>(FileIndex) >= FileRecordCount) return false;
  uint8_t* record = CurrentRecord;
  CurrentRecord = NextFileRecord(record);
  SetState(record, kStateNone);
  const bool stepped = InstallRecord(record);
  if (!DataGivenUp) return stepped;
  // Without the rest of the file data no later record can be installed:
  // the installation stops, naming the volume that could not be opened.
  SetError(kInstallErrorOpen, DataFilePath);
  if (stepped) LogFailure();  // a step that failed has told the log already
  return false;
}
