// Stand-ins for the wizard's windows until wizard/ defines them: a hidden
// background window of the class "SetvikClass" (so the single-instance check
// already works), no pages, and the closing message drain. Delete this file
// when the wizard's background window and driver define these.
#include <windows.h>

#include "install/InstallStep.h"
#include "startup/Startup.h"
#include "wizard/PageMechanics.h"

static LRESULT CALLBACK PendingBackgroundProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(window, message, wParam, lParam);
}

ATOM RegisterBackgroundClass() {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = PendingBackgroundProcedure;
  windowClass.hInstance = Instance;
  windowClass.lpszClassName = "SetvikClass";
  return RegisterClassA(&windowClass);
}

int CreateBackgroundWindow() {
  BackgroundWindow = CreateWindowExA(0, "SetvikClass", "", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr, nullptr,
                                     Instance, nullptr);
  return BackgroundWindow != nullptr;
}

void CloseBackgroundWindow() {
  DestroyWindow(BackgroundWindow);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
}
