// The example setup's uninstaller, a stand-in until Setvik has its own: the
// setup installs it as its uninstaller, appends the uninstall log to it and
// lists it among the installed programs. Started, it only says what it is;
// `setvik log Uninstall.exe` shows the log it carries.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  MessageBoxA(nullptr,
              "This example uninstaller removes nothing: it only carries the uninstall log "
              "that the setup appended to it.",
              "Demo Notes 1.2", MB_OK | MB_ICONINFORMATION);
  return 0;
}
