// Start-up and shutdown: the path buffers, loading the setup data, and the
// exit codes. The wizard and the installation hook in here as they arrive.
#include "startup/Startup.h"

#include "setupdata/Buffer.h"
#include "setupdata/SetupData.h"

char* SetupFilePath;
char* DataFilePath;
char* InstallDir;

static bool AllocatePathBuffers() {
  return AllocateZeroed(kPathBufferSize, SetupFilePath) && AllocateZeroed(kPathBufferSize, DataFilePath) &&
         AllocateZeroed(kPathBufferSize, InstallDir);
}

static void ReleasePathBuffers() {
  ReleaseBuffer(SetupFilePath);
  ReleaseBuffer(DataFilePath);
  ReleaseBuffer(InstallDir);
}

int SetupMain(HINSTANCE instance, const char* commandLine, int showCommand) {
  (void)commandLine;
  (void)showCommand;
  if (!AllocatePathBuffers()) return -1;
  GetModuleFileNameA(instance, SetupFilePath, kPathBufferSize - 1);
  if (!LoadSetupData()) return -1;
  ReleaseSetupData();
  ReleasePathBuffers();
  return 0;
}
