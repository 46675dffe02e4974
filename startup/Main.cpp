// Start-up and shutdown: the single-instance check, the path buffers, the
// run modes, loading the setup data, the wizard, the actions after it, and
// the exit codes.
#include <windows.h>

#include "setupdata/Buffer.h"
#include "setupdata/FileRecord.h"
#include "setupdata/Platform.h"
#include "setupdata/SetupData.h"
#include "install/Launch.h"
#include "startup/Startup.h"
#include "wizard/PageMechanics.h"

char* SetupFilePath;
char* DataFilePath;
char* InstallDir;

static char** const PathBuffers[] = {&SetupFilePath, &DataFilePath, &InstallDir,    &TargetPath,
                                     &WorkPath,      &ErrorFileName, &UninstallerPath};

static void ReleasePathBuffers() {
  for (char** buffer : PathBuffers) ReleaseBuffer(*buffer);
}

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
StartupStatus StartupInit(HINSTANCE instance) {
  if (ActivateOtherCopy()) return kStartupOtherCopy;
  Instance = instance;
  OleInitialize(nullptr);
  CreateControlBrush();
  for (char** buffer : PathBuffers) {
    if (!AllocateZeroed(kPathBufferSize, *buffer)) {
      Shutdown();
      return kStartupNoMemory;
    }
  }
  GetModuleFileNameA(nullptr, SetupFilePath, kPathBufferSize - 1);
  return kStartupReady;
}

void Shutdown() {
  OleUninitialize();
  ReleasePathBuffers();
  ReleasePageResources();
}

static bool QueryIsNT() {
  OSVERSIONINFOA version;
  version.dwOSVersionInfoSize = sizeof(version);
  return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
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
  const StartupStatus status = StartupInit(instance);
  if (status == kStartupOtherCopy) return 0;
  if (status == kStartupNoMemory) return -1;
  ShowCommand = showCommand;
  IsNT = QueryIsNT();
  ParseCommandLine(commandLine);
  if (DeleteSelf) {
    GetModuleFileNameA(nullptr, TargetPath, kPathBufferSize - 1);
    ScheduleAtRestart(nullptr, TargetPath);
  } else if (StartedFromRemovable() && RunFromTempCopy()) {
    Shutdown();
    return 0;
  }
  if (!RegisterBackgroundClass()) return 0;
  ScreenWidth = GetSystemMetrics(SM_CXSCREEN);
  ScreenHeight = GetSystemMetrics(SM_CYSCREEN);
  if (!LoadSetupData()) return -1;
  ResolveDefaultDir();
  if (!CreateBackgroundWindow()) return -1;
  RunWizard();
  InstallScreenSaver();
  CloseBackgroundWindow();
  RunAfterWizard();
  ReleaseSetupData();
  Shutdown();
  return 0;
}
