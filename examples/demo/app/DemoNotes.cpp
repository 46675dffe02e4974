// Demo Notes: the small program that the example setup installs. It shows a
// window with a note pad and reads its readme from the folder it lies in.
#include <windows.h>

static const char kClassName[] = "DemoNotesWindow";

static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  static HWND editor;
  switch (message) {
    case WM_CREATE: {
      editor = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                               WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL, 0, 0, 0, 0, window,
                               nullptr, nullptr, nullptr);
      char path[MAX_PATH];
      DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
      while (length && path[length - 1] != '\\') --length;
      lstrcpyA(path + length, "readme.txt");
      HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
      if (file != INVALID_HANDLE_VALUE) {
        static char text[16384];
        DWORD got = 0;
        ReadFile(file, text, sizeof(text) - 1, &got, nullptr);
        text[got] = '\0';
        SetWindowTextA(editor, text);
        CloseHandle(file);
      }
      return 0;
    }
    case WM_SIZE:
      MoveWindow(editor, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(1));
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kClassName;
  RegisterClassA(&wc);
  HWND window = CreateWindowA(kClassName, "Demo Notes", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 480, 360,
                              nullptr, nullptr, instance, nullptr);
  ShowWindow(window, show);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
