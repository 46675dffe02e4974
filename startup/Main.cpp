// Start-up and shutdown: the path buffers, the command line, the
// single-instance check, the run modes, loading the setup data, the wizard
// (or, with /QUIET, the installation without a window), the actions after
// it, and the exit codes.
//
// Unattended (/QUIET, /PASSIVE) the setup asks nothing: every question
// takes the answer that risks nothing (base/Message.h), the destination
// gets the directory page's checks before anything is written, nothing is
// launched or run afterwards, and the exit code says how it went.
#include <windows.h>

#include "base/Message.h"
#include "base/RunLog.h"
#include "base/ScheduleAtRestart.h"
#include "install/DestinationCheck.h"
#include "install/InstallStep.h"
#include "install/Launch.h"
#include "install/UninstallInfo.h"
#include "setupdata/Paths.h"
#include "setupdata/SetupData.h"
#include "startup/Startup.h"
#include "wizard/PageMechanics.h"
#include "wizard/Wizard.h"

const uint32_t kTextOverwriteReadOnly = 7;  // 6/7, the confirmation page's question

// Brings the window of a running copy (or its open message box) to the
// front.
static void ActivateOtherCopy(HWND other) {
  HWND popup = GetLastActivePopup(other);
  BringWindowToTop(other);
  if (IsIconic(other)) ShowWindow(other, SW_RESTORE);
  if (popup != other) BringWindowToTop(popup);
}

// Without its path buffers no part of the program can run, and there is no
// text yet to explain why: the run ends at once, with -1, after releasing
// whatever was already made.
StartupStatus StartupInit() {
  MessageBoxHandler = WizardMessageBox;
  OleInitialize(nullptr);
  CreateControlBrush();
  if (!AllocatePathBuffers()) {
    Shutdown();
    return kStartupNoMemory;
  }
  GetModuleFileNameA(nullptr, SetupFilePath, kPathBufferSize - 1);
  return kStartupReady;
}

void Shutdown() {
  OleUninitialize();
  ReleasePathBuffers();
  ReleasePageResources();
}

// True when the program file lies on a removable drive. A path that does not
// begin with a drive letter (a network path) is asked about as a whole.
static bool StartedFromRemovable() {
  GetModuleFileNameA(nullptr, TargetPath, kPathBufferSize - 1);
  if (TargetPath[0] && TargetPath[1] == ':') TargetPath[3] = 0;
  return GetDriveTypeA(TargetPath) == DRIVE_REMOVABLE;
}

// Installs the screen saver that the installation put in place.
static void InstallScreenSaver() {
  if (!ScreenSaverRecord) return;
  GetTargetPath(ScreenSaverRecord);
  char command[kPathBufferSize + 40];
  lstrcpynA(command, "rundll32 desk.cpl,InstallScreenSaver ", sizeof command);
  AppendText(command, sizeof command, TargetPath);
  WinExec(command, SW_SHOWNORMAL);
}

// The directory page's checks for an unattended run, answered the safe way:
// a missing folder is created, too little space fails, read-only targets
// are overwritten as the confirmation page would after its question (they
// stay read-only).
static bool AcceptDestination() {
  if (!EnterInstallDir() || CheckDestinationAsking() != kDestinationReady) return false;
  if (ReadOnlyTargetsFound) ShowMessage(GetText(kTextGroupMessages, kTextOverwriteReadOnly), kBoxYesNo, kAnswerYes);
  return true;
}

static void ShowNoFile(const char*) {}
static void ShowNoProgress(uint32_t) {}
static const InstallView kQuietView = {ShowNoFile, ShowNoProgress, nullptr};

// /QUIET: the progress page's work without the page.
static void InstallQuietly() {
  if (!StartInstallation(&kQuietView)) return;
  while (InstallNextFile()) {
  }
  WriteUninstallInfo();
}

// An unattended run's exit code once the installation is over: a failure,
// a loop that did not reach its end (Cancel, the window closed), success.
static int UnattendedResult() {
  if (InstallError) return kExitFailure;
  if (FileIndex < static_cast<int>(FileRecordCount)) return kExitCancelled;
  return RestartNeeded ? kExitRestartNeeded : kExitSuccess;
}

// The run after the command line; the exit code. A run that cannot go on
// ends with interactiveCode, or unattended with 1603.
static int RunSetup(HINSTANCE instance, const char* commandLine) {
  if (*LogArgument && !OpenRunLog(LogArgument) && Unattended) return kExitInvalidArgument;
  if (BadSwitch && Unattended) {
    LogEvent("invalid command line", commandLine);
    return kExitInvalidArgument;
  }
  if (HWND other = FindWindowA("SetvikClass", nullptr)) {
    if (Unattended) return kExitAnotherSetup;
    ActivateOtherCopy(other);
    return 0;
  }
  int copyExitCode;
  if (DeleteSelf) {
    GetModuleFileNameA(nullptr, TargetPath, kPathBufferSize - 1);
    ScheduleAtRestart(nullptr, TargetPath);
  } else if (StartedFromRemovable() && RunFromTempCopy(&copyExitCode)) {
    return copyExitCode;
  }
  const int failed = Unattended ? kExitFailure : -1;
  if (!RegisterBackgroundClass(instance)) return Unattended ? kExitFailure : 0;
  if (!LoadSetupData()) return failed;
  if (!FindWindowsWidth()) {  // a 64-bit application on 32-bit Windows
    ShowMessage(GetText(kTextGroupMessages, kTextNeeds64Bit), kBoxOk, 0);
    ReleaseSetupData();
    return kExitFailure;
  }
  ResolveDefaultDir();
  if (*DirArgument) {
    CopyPath(InstallDir, DirArgument);
    AddBackslash(InstallDir);
  }
  if (Unattended && !AcceptDestination()) return kExitFailure;
  // The background window exists in quiet mode too, hidden: it is how a
  // second setup finds this one running.
  if (!CreateBackgroundWindow()) return failed;
  if (Mode == kRunQuiet) InstallQuietly();
  else RunWizard(Mode == kRunPassive);
  if (!Unattended) InstallScreenSaver();
  CloseBackgroundWindow();
  if (!Unattended) RunAfterWizard(RunAfterChecked != 0);
  ReleaseSetupData();
  return Unattended ? UnattendedResult() : 0;
}

int SetupMain(HINSTANCE instance, const char* commandLine, int showCommand) {
  if (StartupInit() == kStartupNoMemory) return -1;
  ShowCommand = showCommand;
  FindWindowsFamily();
  ParseCommandLine(commandLine);
  Unattended = Mode != kRunInteractive;
  const int exitCode = RunSetup(instance, commandLine);
  CloseRunLog(exitCode);
  Shutdown();
  return exitCode;
}
