// The uninstaller program's own file, shared by the uninstaller (which reads
// it), the authoring tool (which writes its texts) and the tests.
//
// Layout of setvik-uninst.exe as a setup installs it:
//
//   0              the program; its length is programSize, which the build
//                  stamps into its UninstallerMarkRecord
//   programSize    zero or one UninstallerTexts chunk (0x1250, flags 0):
//                  u16 count, then count NUL-terminated texts
//   then           the free header 7F 7F 00 00 00 00 00 00 (as shipped), or
//                  the uninstall log (UninstallLog.h) that the setup wrote
//                  over that header, running to the end of the file
//
// A signed uninstaller (setupdata/CertificateTable.h) keeps the free header
// and ends, after at most 7 zero bytes, with its certificate table: the
// signature covers every byte before the table, so the setup writes the log
// into the file beside it (SeparateLogPath) instead, in the same format.
//
// The program as built ends at programSize; `setvik build` adds the texts
// chunk and the free header when it packs the uninstaller into a setup.
//
// Also here: turning a log entry into a full path, with the checks that keep
// a changed log from naming anything outside the folders it is allowed to.
#pragma once

#include <stdint.h>

#include "setupdata/SetupData.h"
#include "uninstlog/UninstallLog.h"

// The uninstaller's mark: its own tag, so that neither program's mark is
// taken for the other's. It occurs exactly once in the uninstaller.
const char kUninstallerMarkTag[16] = "Setvik UninSize";  // 15 characters and a NUL

struct UninstallerMarkRecord {
  char tag[16];
  uint32_t programSize;  // 0: not stamped
};
static_assert(sizeof(UninstallerMarkRecord) == 20, "uninstaller mark layout");

const uint16_t kChunkUninstallerTexts = 0x1250;

// The uninstaller's texts, by index in the UninstallerTexts chunk. None is
// formatted: they are shown as they stand.
enum UninstallerText {
  kTextCaption = 0,       // caption of every message box
  kTextConfirm = 1,       // question before anything is removed
  kTextDone = 2,          // everything was removed
  kTextDoneRestart = 3,   // removed, but files in use go at the next restart
  kTextIncomplete = 4,    // some items could not be removed
  kTextDamaged = 5,       // the log is damaged or names forbidden places
  kTextNoLog = 6,         // the program was never installed by a setup
  kTextBadArguments = 7,  // unknown command-line argument
  kUninstallerTextCount = 8,
};
const uint32_t kUninstallerTextMaxLength = 1023;

// The English texts the program carries.
extern const char* const kDefaultUninstallerTexts[kUninstallerTextCount];

// Exit codes (the Windows installer's standard values).
const uint32_t kExitRemoved = 0;
const uint32_t kExitInvalidArguments = 87;       // ERROR_INVALID_PARAMETER
const uint32_t kExitCancelled = 1602;            // ERROR_INSTALL_USEREXIT
const uint32_t kExitIncomplete = 1603;           // ERROR_INSTALL_FAILURE
const uint32_t kExitNoValidLog = 1610;           // ERROR_BAD_CONFIGURATION
const uint32_t kExitRestartNeeded = 3010;        // ERROR_SUCCESS_REBOOT_REQUIRED

enum UninstallerFileStatus {
  kUninstallerInstalled = 0,     // a valid log follows the program's own data
  kUninstallerNotInstalled = 1,  // the file ends with the free header: no log
  kUninstallerDamaged = 2,       // no mark, a bad texts chunk, or a log the reader refuses
  kUninstallerLogBeside = 3,     // signed, ending with the free header: the log is in SeparateLogPath
};

struct UninstallerLayout {
  const char* texts[kUninstallerTextCount];  // into the file's bytes or the defaults
  uint32_t logOffset;                        // where the log (or free header) begins
  UninstallLogStatus logStatus;              // what the reader said of the log
};

// Reads the uninstaller file's bytes: its own texts (the defaults where the
// chunk has none) and the place of the log, which ReadUninstallLog accepts
// when the result is kUninstallerInstalled. texts point into data, which
// must outlive them.
UninstallerFileStatus ReadUninstallerFile(const uint8_t* data, uint32_t size, uint32_t programSize,
                                          UninstallerLayout* layout);

// The file that holds the log of a signed uninstaller: its path with the
// extension replaced by ".dat" (".dat" appended when the name has none), so
// C:\App\uninstall.exe keeps its log in C:\App\uninstall.dat. Into out
// (kPathBufferSize bytes); false when it does not fit.
bool SeparateLogPath(const char* program, char* out);

// Where the mark record begins: the first place that holds the whole tag
// and room for the length after it. False when there is none.
bool FindUninstallerMark(const uint8_t* data, uint32_t size, uint32_t* markAt);

// The uninstaller file as `setvik build` packs it, into out (capacity
// bytes): the program's first programSize bytes, an UninstallerTexts chunk
// with the kUninstallerTextCount texts, and the free header; *size receives
// its length. False when it does not fit or a text is too long or holds a
// NUL.
bool WriteUninstallerFile(const uint8_t* program, uint32_t programSize, const char* const* texts, uint8_t* out,
                          uint32_t capacity, uint32_t* size);

// The body of an UninstallerTexts chunk, as `setvik build` writes it.
// False when a text is longer than kUninstallerTextMaxLength or holds a NUL.
bool BuildUninstallerTexts(const char* const* texts, uint32_t count, uint8_t* body, uint32_t capacity,
                           uint32_t* size);

// --- Paths of log entries ------------------------------------------------------

// The name rule of the log: what every folder, name and key of a log entry
// must satisfy for the uninstaller to act on the log at all. `setvik build`
// checks the names it writes into a setup with the same function, so that
// no setup can write a log its uninstaller refuses.
enum LogNameRule {
  kLogNamePart,  // one part of a path: not empty, no trailing dot or blank
                 // (so not "." or ".."), no control character, none of
                 // \ / : * ? " < > |
  kLogNamePath,  // one or more such parts, separated by single backslashes
  kLogNameKey,   // the key below the Uninstall key: one key, not empty, no
                 // control character, no backslash
};
bool IsLogName(LogText text, LogNameRule rule);

// out (kPathBufferSize bytes) = the folder a log entry names: "." is base
// (the uninstaller's own folder, no trailing backslash), ".\sub" base and
// sub, anything else must be an absolute folder ("C:\..." or
// "\\server\share\..."). Refused (false): a relative folder of another
// form; an empty, "." or ".." part after the drive or in sub; a slash, a
// colon past the drive, a control character; a result of 260 characters
// or more.
bool ResolveLogFolder(const char* base, LogText folder, char* out);

// Appends "\" and name to path (kPathBufferSize bytes). Refused: a name
// with a slash, colon or control character, "." or "..", a result that
// does not fit.
bool AppendLogName(char* path, LogText name);

// The path of a file entry: ResolveLogFolder(base, folder), then
// AppendLogName(name).
bool LogFilePath(const char* base, LogText folder, LogText name, char* path);
// The path of a shortcut entry: an absolute folder and a .lnk name.
bool LogShortcutPath(LogText folder, LogText name, char* path);
// True when the log is valid and every entry of it names a path that the
// removal may touch (base: the folder "." stands for); nothing is changed.
bool CheckLogPaths(const uint8_t* log, uint32_t size, const char* base);

// True when the text ends with ".lnk" (in any case): the only files that
// the shortcut list may name.
bool IsShortcutName(LogText name);

// True when path lies strictly below folder (compared without regard to
// ASCII case): folder, a backslash, at least one more character.
bool IsBelowFolder(const char* path, const char* folder);

// Cuts path at its last backslash (the backslash becomes the end); false
// when there is none or it would leave a drive root ("C:") or nothing.
bool CutLastPart(char* path);

// The folder of a program's path: cut at the last backslash, a drive root
// left as "C:" (which "." then stands for, and which is never removed).
// False when the path has no backslash past its first character.
bool CutFileName(char* path);
// True for a drive root left by CutFileName ("C:").
bool IsDriveRoot(const char* folder);

// True when the key of UninstallRegKey names one key below the Uninstall
// key: the prefix, then a name that passes kLogNameKey.
bool IsUninstallKeyName(LogText key);
