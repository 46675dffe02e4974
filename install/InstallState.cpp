// Records remembered during the installation for the actions after the
// wizard.
#include "setupdata/Platform.h"

uint8_t* LaunchRecord;
uint8_t* RunAfterRecord;
uint8_t* ScreenSaverRecord;
