// The process-wide state that start-up owns besides the three buffers the
// loader knows (startup/Main.cpp).
#include "startup/Startup.h"

HINSTANCE Instance;
int ShowCommand = SW_SHOWNORMAL;
bool IsNT;
bool DeleteSelf;
char* TargetPath;
char* WorkPath;
char* ErrorFileName;
char* UninstallerPath;
int ScreenWidth;
int ScreenHeight;
uint32_t RunAfterChecked = 1;
