// Stand-ins for the wizard's windows until wizard/ defines them: a hidden
// background window of the class "SetvikClass" (so the single-instance check
// already works), no pages, and the closing message drain. Each is a weak
// definition, so the wizard's own definitions replace them at link time;
// delete this file once they are all there.
#include <windows.h>

#include "startup/Startup.h"
#include "wizard/PageMechanics.h"

static LRESULT CALLBACK PendingBackgroundProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(window, message, wParam, lParam);
}

__attribute__((weak)) ATOM RegisterBackgroundClass() {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = PendingBackgroundProcedure;
  windowClass.hInstance = Instance;
  windowClass.lpszClassName = "SetvikClass";
  return RegisterClassA(&windowClass);
}

__attribute__((weak)) int CreateBackgroundWindow() {
  BackgroundWindow = CreateWindowExA(0, "SetvikClass", "", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr, nullptr,
                                     Instance, nullptr);
  return BackgroundWindow != nullptr;
}

__attribute__((weak)) void RunWizard() {}

__attribute__((weak)) void CloseBackgroundWindow() {
  DestroyWindow(BackgroundWindow);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
}
