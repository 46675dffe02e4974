// Start-up and shutdown: the single-instance check, the path buffers, the
// run modes, loading the setup data, the wizard, the actions after it, and
// the exit codes.
#include <windows.h>

#include "install/InstallStep.h"
#include "install/Launch.h"
#include "base/ScheduleAtRestart.h"
#include "setupdata/Paths.h"
#include "base/Message.h"
#include "setupdata/SetupData.h"
#include "startup/Startup.h"
#include "wizard/PageMechanics.h"
#include "wizard/Wizard.h"

// Brings the window of a running copy (or its open message box) to the
// front. True when there is one.
static bool ActivateOtherCopy() {
  HWND other = FindWindowA("SetvikClass", nullptr);
  if (!other) return false;
  HWND popup = GetLastActivePopup(other);
  BringWindowToTop(other);
  if (IsIconic(other)) ShowWindow(other, SW_RESTORE);
  if (popup != other) BringWindowToTop(popup);
  return true;
}

// Without its path buffers no part of the program can run, and there is no
// text yet to explain why: the run ends at once, with -1, after releasing
// whatever was already made.
StartupStatus StartupInit() {
  if (ActivateOtherCopy()) return kStartupOtherCopy;
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

int SetupMain(HINSTANCE instance, const char* commandLine, int showCommand) {
  const StartupStatus status = StartupInit();
  if (status == kStartupOtherCopy) return 0;
  if (status == kStartupNoMemory) return -1;
  ShowCommand = showCommand;
  FindWindowsFamily();
  ParseCommandLine(commandLine);
  if (DeleteSelf) {
    GetModuleFileNameA(nullptr, TargetPath, kPathBufferSize - 1);
    ScheduleAtRestart(nullptr, TargetPath);
  } else if (StartedFromRemovable() && RunFromTempCopy()) {
    Shutdown();
    return 0;
  }
  if (!RegisterBackgroundClass(instance)) return 0;
  if (!LoadSetupData()) return -1;
  ResolveDefaultDir();
  if (!CreateBackgroundWindow()) return -1;
  RunWizard();
  InstallScreenSaver();
  CloseBackgroundWindow();
  RunAfterWizard(RunAfterChecked != 0);
  ReleaseSetupData();
  Shutdown();
  return 0;
}
