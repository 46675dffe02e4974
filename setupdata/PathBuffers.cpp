// The path buffers (see PathBuffers.h).
#include "setupdata/PathBuffers.h"

#include "base/Buffer.h"

char* SetupFilePath;
char* DataFilePath;
char* InstallDir;
char* TargetPath;
char* WorkPath;
char* ErrorFileName;
char* UninstallerPath;

static char** const PathBuffers[] = {&SetupFilePath, &DataFilePath,  &InstallDir,     &TargetPath,
                                     &WorkPath,      &ErrorFileName, &UninstallerPath};

bool AllocatePathBuffers() {
  for (char** buffer : PathBuffers) {
    if (!AllocateZeroed(kPathBufferSize, *buffer)) {
      ReleasePathBuffers();
      return false;
    }
  }
  return true;
}

void ReleasePathBuffers() {
  for (char** buffer : PathBuffers) {
    ReleaseBuffer(*buffer);
  }
}
