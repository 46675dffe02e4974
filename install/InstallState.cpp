// Records remembered during the installation for the actions after the
// wizard (see InstallStep.h).
#include "install/InstallStep.h"

uint8_t* LaunchRecord;
uint8_t* RunAfterRecord;
uint8_t* ScreenSaverRecord;

void ForgetLaunchRecords() {
  LaunchRecord = nullptr;
  RunAfterRecord = nullptr;
  ScreenSaverRecord = nullptr;
}
