// The process-wide state that start-up owns.
#include "startup/Startup.h"

int ShowCommand = SW_SHOWNORMAL;
bool DeleteSelf;
RunMode Mode;
bool BadSwitch;
char DirArgument[kPathBufferSize];
char LogArgument[kPathBufferSize];
