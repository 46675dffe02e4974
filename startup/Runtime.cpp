// The little the stub needs of a C++ runtime, without the C runtime's start-up
// code: the raw entry point, and the allocation hooks that virtual
// destructors refer to. Objects in the stub live on the stack or in buffers
// from base/Buffer.h; operator new is never called.
#include <windows.h>

#include "base/Buffer.h"
#include "base/CommandLine.h"
#include "startup/Startup.h"

void operator delete(void* block) noexcept { FreeRaw(block); }
void operator delete(void* block, unsigned int) noexcept { FreeRaw(block); }
extern "C" void __cxa_pure_virtual() { ExitProcess(static_cast<UINT>(-1)); }

// The linker's symbol at the start of the program's image: its instance
// handle, without asking the system for it.
extern "C" IMAGE_DOS_HEADER __ImageBase;

extern "C" void WinMainCRTStartup() {
  STARTUPINFOA startup;
  startup.cb = sizeof(startup);
  GetStartupInfoA(&startup);
  int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
  const char* arguments = SkipProgramName(GetCommandLineA());
  ExitProcess(static_cast<UINT>(SetupMain(reinterpret_cast<HINSTANCE>(&__ImageBase), arguments, show)));
}
