// The UI driver over the plain Win32 window calls. Another process's
// windows are read and changed with messages: WM_GETTEXT, WM_SETTEXT and
// BM_GETCHECK are sent (with a time limit, so a hung program cannot hang
// the driver); BM_CLICK is posted, because a click may open a modal
// message box, and a sent click would only return once that box is closed.
#include "tests/uidriver/Driver.h"

#include <stdio.h>

#include <vector>

namespace {

const DWORD kPollMs = 50;
const UINT kSendMs = 2000;

// Waits for the handle (or just the time when there is none) while taking
// the messages sent to this thread. The driver owns no windows of its own,
// but Wine gives a thread that uses user32 hidden ones; a program that ends
// or changes its active window sends them messages and would wait for
// answers from a driver that merely slept.
bool PumpWait(HANDLE handle, DWORD ms) {
  DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    DWORD spent = GetTickCount() - start;
    if (spent >= ms) return handle && WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
    DWORD got = MsgWaitForMultipleObjects(handle ? 1 : 0, handle ? &handle : nullptr, FALSE, ms - spent,
                                          QS_ALLINPUT);
    if (handle && got == WAIT_OBJECT_0) return true;
  }
}

template <typename Check>
bool PollUntil(DWORD timeout, Check check) {
  DWORD start = GetTickCount();
  for (;;) {
    if (check()) return true;
    if (GetTickCount() - start >= timeout) return false;
    PumpWait(nullptr, kPollMs);
  }
}

std::string ClassOf(HWND window) {
  char name[256] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string WindowText(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendMs, &length))
    return std::string();
  std::vector<char> text(length + 2, '\0');
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, kSendMs, &got))
    return std::string();
  return std::string(text.data());
}

BOOL CALLBACK Collect(HWND w, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(w);
  return TRUE;
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> all;
  EnumWindows(Collect, reinterpret_cast<LPARAM>(&all));
  return all;
}

// All descendants, parents before their children.
std::vector<HWND> Descendants(HWND window) {
  std::vector<HWND> all;
  EnumChildWindows(window, Collect, reinterpret_cast<LPARAM>(&all));
  return all;
}

// Enabled and visible all the way up to the top-level window.
bool Usable(HWND window) {
  for (HWND w = window; w && w != GetDesktopWindow(); w = GetAncestor(w, GA_PARENT))
    if (!IsWindowEnabled(w)) return false;
  return IsWindowVisible(window) != FALSE;
}

HWND BoxTextControl(HWND box) {
  for (int id : {0xFFFF, 100}) {
    HWND text = GetDlgItem(box, id);
    if (text && ClassOf(text) == "Static") return text;
  }
  return nullptr;
}

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '"') out += "\\\"";
    else out += c;
  }
  return out + "\"";
}

bool WriteBmp(const std::string& path, int width, int height, const void* bits, DWORD bitsSize) {
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = bitsSize;
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + bitsSize;
  FILE* out = fopen(path.c_str(), "wb");
  if (!out) return false;
  bool ok = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&info, sizeof info, 1, out) == 1 &&
            fwrite(bits, 1, bitsSize, out) == bitsSize;
  return fclose(out) == 0 && ok;
}

}  // namespace

bool TextMatches(const std::string& text, const std::string& pattern) {
  if (!pattern.empty() && pattern.back() == '*')
    return text.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0;
  return text == pattern;
}

std::string WindowsPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string out = "Z:" + path;
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

UiSession::~UiSession() {
  if (running && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process.hProcess, 255);
  if (process.hProcess) CloseHandle(process.hProcess);
  if (process.hThread) CloseHandle(process.hThread);
}

void UiSession::Fail(const std::string& what) const { throw DriverFailure(what); }

void UiSession::Start(const std::string& program, const std::string& args, const std::string& folder) {
  if (running) {
    if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) Fail("a program is already running");
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    process = {};
    running = false;
  }
  std::string exe = WindowsPath(program);
  std::string command = exe.find(' ') != std::string::npos ? "\"" + exe + "\"" : exe;
  if (!args.empty()) command += " " + args;
  std::string where = WindowsPath(folder);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      where.empty() ? nullptr : where.c_str(), &startup, &process))
    Fail("cannot start " + Quoted(command) + (where.empty() ? "" : " in " + Quoted(where)) + " (error " +
         std::to_string(GetLastError()) + ")");
  processId = process.dwProcessId;
  running = true;
  current = nullptr;
  WaitForInputIdle(process.hProcess, timeout);
}

bool UiSession::OwnedByProgram(HWND window) const {
  if (!running) return true;
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  return owner == processId;
}


std::string UiSession::WindowName() const {
  if (!current) return "no window";
  std::string title = WindowText(current);
  return "window " + Quoted(title.empty() ? ClassOf(current) : title);
}

HWND UiSession::WaitWindow(const std::string& className, const std::string& title) {
  HWND found = nullptr;
  bool ended = false;
  PollUntil(timeout, [&] {
    for (HWND w : TopLevelWindows()) {
      if (!IsWindowVisible(w) || !OwnedByProgram(w)) continue;
      if (!className.empty() && ClassOf(w) != className) continue;
      if (!title.empty() && !TextMatches(WindowText(w), title)) continue;
      found = w;
      return true;
    }
    ended = running && WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
    return ended;
  });
  std::string wanted = "window" + (className.empty() ? "" : " of class " + className) +
                       (title.empty() ? "" : " titled " + Quoted(title));
  if (!found) {
    DWORD code = 0;
    if (ended && GetExitCodeProcess(process.hProcess, &code))
      Fail("the program ended (exit code " + std::to_string(static_cast<int>(code)) + ") while waiting for a " +
           wanted);
    Fail("no " + wanted + " appeared within " + std::to_string(timeout) + " ms");
  }
  current = found;
  return found;
}

void UiSession::WaitWindowGone() {
  if (!current) Fail("no current window");
  if (!PollUntil(timeout, [&] { return !IsWindow(current) || !IsWindowVisible(current); }))
    Fail(WindowName() + " is still there after " + std::to_string(timeout) + " ms");
  current = nullptr;
}

HWND UiSession::FindControl(int id) const {
  std::vector<HWND> roots;
  if (current && IsWindow(current)) roots.push_back(current);
  for (HWND w : TopLevelWindows())
    if (w != current && running && OwnedByProgram(w)) roots.push_back(w);
  HWND hidden = nullptr;
  for (HWND root : roots) {
    for (HWND w : Descendants(root)) {
      if (GetDlgCtrlID(w) != id) continue;
      if (IsWindowVisible(w)) return w;
      if (!hidden) hidden = w;
    }
  }
  return hidden;
}

HWND UiSession::Control(int id) {
  HWND found = nullptr;
  PollUntil(timeout, [&] { return (found = FindControl(id)) != nullptr; });
  if (!found) Fail("control " + std::to_string(id) + " not found in " + WindowName());
  return found;
}

std::string UiSession::Text(int id) { return WindowText(Control(id)); }

bool UiSession::Checked(int id) {
  DWORD_PTR state = 0;
  SendMessageTimeoutA(Control(id), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendMs, &state);
  return state == BST_CHECKED;
}

void UiSession::ExpectText(int id, const std::string& pattern) {
  std::string seen;
  if (!PollUntil(timeout, [&] { return TextMatches(seen = Text(id), pattern); }))
    Fail("control " + std::to_string(id) + " in " + WindowName() + " reads " + Quoted(seen) + ", expected " +
         Quoted(pattern));
}

void UiSession::ExpectTitle(const std::string& pattern) {
  if (!current) Fail("no current window");
  std::string seen;
  if (!PollUntil(timeout, [&] { return TextMatches(seen = WindowText(current), pattern); }))
    Fail("the window's title is " + Quoted(seen) + ", expected " + Quoted(pattern));
}

void UiSession::ExpectParentText(int id, const std::string& pattern) {
  std::string seen;
  if (!PollUntil(timeout, [&] { return TextMatches(seen = WindowText(GetParent(Control(id))), pattern); }))
    Fail("the window that holds control " + std::to_string(id) + " reads " + Quoted(seen) + ", expected " +
         Quoted(pattern));
}

void UiSession::ExpectState(int id, State state, bool on) {
  static const char* const words[][2] = {
      {"disabled", "enabled"}, {"hidden", "visible"}, {"not ticked", "ticked"}, {"writable", "read-only"}};
  auto now = [&] {
    HWND w = Control(id);
    switch (state) {
      case kEnabled: return IsWindowEnabled(w) != FALSE;
      case kVisible: return IsWindowVisible(w) != FALSE;
      case kChecked: return Checked(id);
      default: return (GetWindowLongA(w, GWL_STYLE) & ES_READONLY) != 0;
    }
  };
  if (!PollUntil(timeout, [&] { return now() == on; }))
    Fail("control " + std::to_string(id) + " in " + WindowName() + " is " + words[state][!on]);
}

// Gives the program a moment to take a posted message. The steps after a
// click poll anyway; a sent WM_NULL is no help here, since a window that the
// click destroys can hold it until the send's time limit.
void UiSession::Settle() { PumpWait(nullptr, 2 * kPollMs); }

void UiSession::Click(int id) {
  HWND button = Control(id);
  // A button that is being enabled (after a page change, say) gets its
  // chance; one that stays disabled cannot be pressed.
  if (!PollUntil(timeout, [&] { return Usable(button); }))
    Fail("control " + std::to_string(id) + " (" + Quoted(WindowText(button)) + ") in " + WindowName() +
         " cannot be pressed: it or its window is disabled or hidden");
  PostMessageA(button, BM_CLICK, 0, 0);
  Settle();
}

void UiSession::Close(int id) {
  if (id < 0 && !current) Fail("no current window");
  HWND window = id < 0 ? current : Control(id);
  PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  Settle();
}

void UiSession::SetText(int id, const std::string& text) {
  HWND edit = Control(id);
  DWORD_PTR ok = 0;
  if (!SendMessageTimeoutA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, kSendMs,
                           &ok) ||
      !ok)
    Fail("control " + std::to_string(id) + " in " + WindowName() + " refused the text " + Quoted(text));
}

void UiSession::SetChecked(int id, bool checked) {
  if (Checked(id) == checked) return;
  Click(id);
  if (!PollUntil(timeout, [&] { return Checked(id) == checked; }))
    Fail("control " + std::to_string(id) + " in " + WindowName() + " did not become " +
         (checked ? "ticked" : "clear") + " when clicked");
}

MessageBoxInfo UiSession::WaitMessageBox() {
  MessageBoxInfo box;
  bool ended = false;
  PollUntil(timeout, [&] {
    for (HWND w : TopLevelWindows()) {
      if (w == current || !OwnedByProgram(w) || ClassOf(w) != "#32770") continue;
      if (!IsWindowVisible(w) || !IsWindowEnabled(w)) continue;
      HWND text = BoxTextControl(w);
      HWND owner = GetWindow(w, GW_OWNER);
      if (!text || (owner && IsWindowEnabled(owner))) continue;
      box.window = w;
      box.caption = WindowText(w);
      box.text = WindowText(text);
      return true;
    }
    ended = running && WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
    return ended;
  });
  if (!box.window)
    Fail(ended ? std::string("the program ended while waiting for a message box")
               : "no message box appeared within " + std::to_string(timeout) + " ms");
  return box;
}

void UiSession::ExpectNoMessageBox() {
  DWORD saved = timeout;
  timeout = 0;
  MessageBoxInfo box;
  try {
    box = WaitMessageBox();
  } catch (const DriverFailure&) {
    timeout = saved;
    return;
  }
  timeout = saved;
  Fail("a message box is open: " + Quoted(box.caption) + ": " + Quoted(box.text));
}

void UiSession::AnswerMessageBox(const MessageBoxInfo& box, int buttonId) {
  HWND button = GetDlgItem(box.window, buttonId);
  if (!button || !IsWindowVisible(button)) {
    std::string have;
    for (HWND w : Descendants(box.window))
      if (ClassOf(w) == "Button" && IsWindowVisible(w))
        have += " " + std::to_string(GetDlgCtrlID(w)) + " " + Quoted(WindowText(w));
    Fail("the message box " + Quoted(box.text) + " has no button " + std::to_string(buttonId) +
         " (it has:" + have + ")");
  }
  PostMessageA(button, BM_CLICK, 0, 0);
  if (!PollUntil(timeout, [&] { return !IsWindow(box.window) || !IsWindowVisible(box.window); }))
    Fail("the message box " + Quoted(box.text) + " did not close after button " + std::to_string(buttonId));
}

void UiSession::Pause(DWORD ms) { PumpWait(nullptr, ms); }

DWORD UiSession::WaitExit() {
  if (!running) Fail("no program was started");
  if (!PumpWait(process.hProcess, timeout))
    Fail("the program is still running after " + std::to_string(timeout) + " ms");
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  return code;
}

void UiSession::ExpectExit(DWORD code) {
  DWORD got = WaitExit();
  if (got != code)
    Fail("the program ended with exit code " + std::to_string(static_cast<int>(got)) + ", expected " +
         std::to_string(static_cast<int>(code)));
}

void UiSession::ExpectExitUnseen(DWORD code) {
  if (!running) Fail("no program was started");
  bool ended = PollUntil(timeout, [&] {
    for (HWND w : TopLevelWindows())
      if (OwnedByProgram(w) && IsWindowVisible(w)) Fail("the program showed a window: " + ClassOf(w));
    return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
  });
  if (!ended) Fail("the program is still running after " + std::to_string(timeout) + " ms");
  ExpectExit(code);
}

void UiSession::Screenshot(const std::string& path, bool windowOnly) {
  RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (windowOnly) {
    RECT window;
    if (!current || !GetWindowRect(current, &window)) Fail("no current window to take a picture of");
    IntersectRect(&area, &area, &window);
  }
  int width = area.right - area.left;
  int height = area.bottom - area.top;
  if (width <= 0 || height <= 0) Fail("the current window is off the screen");
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as BMP files store rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP picture = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = picture != nullptr;
  if (ok) {
    HGDIOBJ old = SelectObject(memory, picture);
    ok = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY | CAPTUREBLT) != FALSE;
    GdiFlush();
    DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    if (ok) ok = WriteBmp(WindowsPath(path), width, height, bits, stride * height);
    SelectObject(memory, old);
    DeleteObject(picture);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (!ok) Fail("cannot take a screenshot into " + Quoted(path));
}

std::string UiSession::Describe() {
  if (!current || !IsWindow(current)) return "(no window)\n";
  std::string out = ClassOf(current) + " " + Quoted(WindowText(current)) + "\n";
  for (HWND w : Descendants(current)) {
    int depth = 0;
    for (HWND p = GetParent(w); p && p != current; p = GetParent(p)) ++depth;
    out += std::string(2 * depth + 2, ' ') + std::to_string(GetDlgCtrlID(w)) + " " + ClassOf(w) + " " +
           Quoted(WindowText(w)) + (IsWindowVisible(w) ? "" : " hidden") +
           (IsWindowEnabled(w) ? "" : " disabled") + "\n";
  }
  return out;
}
