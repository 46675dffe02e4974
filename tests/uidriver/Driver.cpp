// setvik-uidriver <script>: works a Windows program the way a person does,
// then waits for its exit code. Exit code 0 when every step passed, 1 when
// one failed (the log names the step and shows the current window), 2 when
// the script cannot be read. One command a line ('#' starts a comment;
// quoted words may hold spaces and \" \\ \n; ids are decimal or 0x hex; a
// text pattern ending in '*' matches by prefix):
//   timeout <s> | sleep <ms> | start <program> [args...]
//   wait-window <class|*> ["title"] (becomes the current window) | wait-gone
//   expect-title "pattern" | expect-text <id> "pattern"
//   expect-enabled|disabled|checked <id>
//   expect-inside <id>   (within the current window's client area)
//   click <id> | uncheck <id> | set-text <id> "text"
//   close [id]   (the close box of the current window, or of the one holding <id>)
//   answer-box <button> ["text" ["caption"]]   (ok, cancel, yes, no or an id)
//   expect-no-box | screenshot <file.bmp> [window]
//   expect-exit <code> | expect-exit-unseen <code>   (unseen: no window shown)
// Another process's windows are read and changed with messages sent with a
// time limit, so that a hung program cannot hang the driver; clicks and
// closes are posted, because a sent click that opens a modal message box
// would only return once that box is closed.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const DWORD kPollMs = 50;
const UINT kSendMs = 2000;

struct Failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) out += c == '\n' ? "\\n" : c == '"' ? "\\\"" : std::string(1, c);
  return out + "\"";
}

// Exact, or a prefix when the pattern ends with '*'.
bool TextMatches(const std::string& text, const std::string& pattern) {
  if (!pattern.empty() && pattern.back() == '*')
    return text.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0;
  return text == pattern;
}

// Paths given the Unix way ("/work/x.exe") become Z: paths.
std::string WindowsPath(const std::string& path) {
  std::string out = !path.empty() && path[0] == '/' ? "Z:" + path : path;
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

// Waits while taking the messages sent to this thread. The driver owns no
// windows of its own, but Wine gives a thread that uses user32 hidden ones;
// a program that ends or changes its active window sends them messages and
// would wait for answers from a driver that merely slept.
void Pause(DWORD ms) {
  for (DWORD start = GetTickCount(), spent = 0; spent < ms; spent = GetTickCount() - start) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent, QS_ALLINPUT);
  }
}

std::string ClassOf(HWND window) {
  char name[256] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendMs, &length)) return "";
  std::vector<char> text(length + 2, '\0');
  DWORD_PTR got = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                      kSendMs, &got);
  return text.data();
}

bool Checked(HWND button) {
  DWORD_PTR state = 0;
  SendMessageTimeoutA(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendMs, &state);
  return state == BST_CHECKED;
}

BOOL CALLBACK Collect(HWND w, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(w);
  return TRUE;
}

// The top-level windows (parent null), or all descendants of a window,
// parents before their children.
std::vector<HWND> WindowsOf(HWND parent) {
  std::vector<HWND> all;
  if (parent)
    EnumChildWindows(parent, Collect, reinterpret_cast<LPARAM>(&all));
  else
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&all));
  return all;
}

// Enabled all the way up to the top-level window, and visible.
bool Usable(HWND window) {
  for (HWND w = window; w && w != GetDesktopWindow(); w = GetAncestor(w, GA_PARENT))
    if (!IsWindowEnabled(w)) return false;
  return IsWindowVisible(window) != FALSE;
}

// A message box: a dialog of class "#32770" with a static text (id 0xFFFF,
// or 100 on some Wine versions) whose owner, if any, it disables.
HWND BoxText(HWND w) {
  if (ClassOf(w) != "#32770" || !IsWindowVisible(w) || !IsWindowEnabled(w)) return nullptr;
  HWND owner = GetWindow(w, GW_OWNER);
  if (owner && IsWindowEnabled(owner)) return nullptr;
  for (int id : {0xFFFF, 100}) {
    HWND text = GetDlgItem(w, id);
    if (text && ClassOf(text) == "Static") return text;
  }
  return nullptr;
}

// A 24-bit BMP of a rectangle of the screen: under Wine what the X display shows.
bool Screenshot(const std::string& path, RECT area) {
  int width = area.right - area.left, height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return false;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as BMP files store rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP picture = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (picture) {
    HGDIOBJ old = SelectObject(memory, picture);
    ok = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY | CAPTUREBLT) != FALSE;
    GdiFlush();
    DWORD size = ((static_cast<DWORD>(width) * 3 + 3) & ~3u) * height;
    const DWORD headers = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    BITMAPFILEHEADER file = {0x4D42, headers + size, 0, 0, headers};  // "BM"
    FILE* out = ok ? fopen(WindowsPath(path).c_str(), "wb") : nullptr;
    ok = out && fwrite(&file, sizeof file, 1, out) == 1 &&
         fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 && fwrite(bits, 1, size, out) == size;
    if (out && fclose(out) != 0) ok = false;
    SelectObject(memory, old);
    DeleteObject(picture);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

struct Step {
  int line = 0;
  std::string text;
  std::vector<std::string> words;  // the command and its arguments, unquoted
  std::vector<bool> quoted;
};

// The program under test and the window the steps work on.
struct Session {
  PROCESS_INFORMATION process = {};
  HWND current = nullptr;
  DWORD timeout = 10000;

  ~Session() {
    if (Running()) TerminateProcess(process.hProcess, 255);
    if (process.hProcess) CloseHandle(process.hProcess);
    if (process.hThread) CloseHandle(process.hThread);
  }
  bool Running() const { return process.hProcess && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT; }

  // The program's windows; before one is started, any program's.
  bool Owned(HWND window) const {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    return !process.hProcess || owner == process.dwProcessId;
  }

  // The one way to wait: polls until done holds, and fails with the text
  // of failure when the timeout passes or the program ends first.
  void WaitFor(const std::function<bool()>& done, const std::function<std::string()>& failure) {
    for (DWORD start = GetTickCount();; Pause(kPollMs)) {
      if (done()) return;
      DWORD code = 0;
      if (process.hProcess && !Running() && GetExitCodeProcess(process.hProcess, &code))
        throw Failure(failure() + " (the program ended with exit code " + std::to_string(static_cast<int>(code)) +
                      ")");
      if (GetTickCount() - start >= timeout) throw Failure(failure() + " after " + std::to_string(timeout) + " ms");
    }
  }

  std::string WindowName() const {
    if (!current) return "no window";
    std::string title = TextOf(current);
    return "window " + Quoted(title.empty() ? ClassOf(current) : title);
  }

  // A control by id in the current window and all its descendants (child
  // dialogs included), then in the program's other top-level windows; a
  // visible one wins over a hidden one.
  HWND FindControl(int id) const {
    std::vector<HWND> roots;
    if (current && IsWindow(current)) roots.push_back(current);
    for (HWND w : WindowsOf(nullptr))
      if (w != current && process.hProcess && Owned(w)) roots.push_back(w);
    HWND hidden = nullptr;
    for (HWND root : roots)
      for (HWND w : WindowsOf(root))
        if (GetDlgCtrlID(w) == id) {
          if (IsWindowVisible(w)) return w;
          if (!hidden) hidden = w;
        }
    return hidden;
  }
  HWND Control(int id) {
    HWND found = nullptr;
    WaitFor([&] { return (found = FindControl(id)) != nullptr; },
            [&] { return "control " + std::to_string(id) + " not found in " + WindowName(); });
    return found;
  }

  HWND FindBox() const {
    for (HWND w : WindowsOf(nullptr))
      if (w != current && Owned(w) && BoxText(w)) return w;
    return nullptr;
  }

  // The program, its path quoted when it holds blanks, and its arguments
  // (those given quoted passed quoted).
  void Start(const Step& step) {
    if (process.hProcess) throw Failure("a program was started already");
    const std::vector<std::string>& w = step.words;
    std::string program = WindowsPath(w[1]);
    std::string command = program.find(' ') != std::string::npos ? Quoted(program) : program;
    for (size_t i = 2; i < w.size(); ++i) command += " " + (step.quoted[i] ? "\"" + w[i] + "\"" : w[i]);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::vector<char> line(command.c_str(), command.c_str() + command.size() + 1);
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      throw Failure("cannot start " + Quoted(command) + " (error " + std::to_string(GetLastError()) + ")");
    WaitForInputIdle(process.hProcess, timeout);
  }

  // Presses a button once it can be pressed, and gives the program a moment
  // to take the posted message (the steps after a click poll anyway).
  void Click(HWND button, const std::string& name) {
    WaitFor([&] { return Usable(button); },
            [&] { return name + " (" + Quoted(TextOf(button)) + ") in " + WindowName() + " cannot be pressed"; });
    PostMessageA(button, BM_CLICK, 0, 0);
    Pause(2 * kPollMs);
  }

  // The current window's controls, one line each.
  std::string Describe() const {
    if (!current || !IsWindow(current)) return "(no window)\n";
    std::string out = ClassOf(current) + " " + Quoted(TextOf(current)) + "\n";
    for (HWND w : WindowsOf(current))
      out += "  " + std::to_string(GetDlgCtrlID(w)) + " " + ClassOf(w) + " " + Quoted(TextOf(w)) +
             (IsWindowVisible(w) ? "" : " hidden") + (IsWindowEnabled(w) ? "" : " disabled") + "\n";
    return out;
  }
};

// The words of a line; false when a quoted one is not closed.
bool SplitLine(const std::string& line, Step& step) {
  for (size_t i = 0; (i = line.find_first_not_of(" \t", i)) != std::string::npos;) {
    bool quoted = line[i] == '"';
    std::string word;
    if (quoted) {
      for (++i; i < line.size() && line[i] != '"'; ++i) {
        char c = line[i];
        if (c == '\\' && i + 1 < line.size()) c = line[++i] == 'n' ? '\n' : line[i];
        word += c;
      }
      if (i++ == line.size()) return false;
    } else {
      size_t end = std::min(line.find_first_of(" \t", i), line.size());
      word = line.substr(i, end - i);
      i = end;
    }
    step.words.push_back(word);
    step.quoted.push_back(quoted);
  }
  return true;
}

const std::map<std::string, int> kButtons = {{"ok", IDOK}, {"cancel", IDCANCEL}, {"yes", IDYES}, {"no", IDNO}};

bool IsNumber(const std::string& word) {
  char* end = nullptr;
  strtol(word.c_str(), &end, 0);
  return !word.empty() && *end == '\0';
}

std::string ControlName(int id) { return "control " + std::to_string(id); }

// Polls until the text that read gives matches the pattern.
void ExpectText(Session& s, const std::string& what, const std::function<std::string()>& read,
                const std::string& pattern) {
  std::string seen;
  s.WaitFor([&] { return TextMatches(seen = read(), pattern); },
            [&] { return what + " reads " + Quoted(seen) + ", expected " + Quoted(pattern); });
}

// Polls until a control is enabled (ticked: false) or ticked, or not.
void ExpectState(Session& s, int id, bool ticked, bool on) {
  s.WaitFor([&] { return (ticked ? Checked(s.Control(id)) : IsWindowEnabled(s.Control(id)) != FALSE) == on; },
            [&] { return ControlName(id) + " in " + s.WindowName() + " is " + (on ? "not " : "") +
                         (ticked ? "ticked" : "enabled"); });
}

// The control's window lies wholly within the current window's client area.
void ExpectInside(Session& s, const Step&, int id) {
  RECT client, control, both;
  HWND c = s.Control(id);
  GetClientRect(s.current, &client);
  MapWindowPoints(s.current, nullptr, reinterpret_cast<POINT*>(&client), 2);
  GetWindowRect(c, &control);
  UnionRect(&both, &client, &control);
  if (!EqualRect(&both, &client)) throw Failure(ControlName(id) + " reaches out of " + s.WindowName());
}

void WaitWindow(Session& s, const Step& step, int) {
  const std::string& type = step.words[1];
  std::string title = step.words.size() > 2 ? step.words[2] : "*";
  s.WaitFor(
      [&] {
        for (HWND top : WindowsOf(nullptr))
          if (IsWindowVisible(top) && s.Owned(top) && (type == "*" || ClassOf(top) == type) &&
              TextMatches(TextOf(top), title))
            return (s.current = top) != nullptr;
        return false;
      },
      [&] { return "no window of class " + type + " titled " + Quoted(title) + " appeared"; });
}

void WaitGone(Session& s, const Step&, int) {
  HWND gone = s.current;
  s.WaitFor([&] { return !IsWindow(gone) || !IsWindowVisible(gone); },
            [&] { return s.WindowName() + " is still there"; });
  s.current = nullptr;
}

void Uncheck(Session& s, const Step&, int id) {
  if (Checked(s.Control(id))) s.Click(s.Control(id), ControlName(id));
  s.WaitFor([&] { return !Checked(s.Control(id)); }, [&] { return ControlName(id) + " did not change"; });
}

void SetText(Session& s, const Step& step, int id) {
  DWORD_PTR ok = 0;
  const std::string& text = step.words[2];
  if (!SendMessageTimeoutA(s.Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                           kSendMs, &ok) ||
      !ok)
    throw Failure(ControlName(id) + " refused the text " + Quoted(text));
}

void Close(Session& s, const Step& step, int id) {
  if (step.words.size() == 1 && !s.current) throw Failure("no current window");
  PostMessageA(step.words.size() == 1 ? s.current : s.Control(id), WM_SYSCOMMAND, SC_CLOSE, 0);
  Pause(2 * kPollMs);
}

void AnswerBox(Session& s, const Step& step, int) {
  const std::vector<std::string>& w = step.words;
  HWND box = nullptr;
  s.WaitFor([&] { return (box = s.FindBox()) != nullptr; }, [] { return std::string("no message box appeared"); });
  std::string caption = TextOf(box), text = TextOf(BoxText(box));
  std::cout << "  box \"" << caption << "\": \"" << text << "\"\n";
  if (w.size() > 2 && !TextMatches(text, w[2]))
    throw Failure("the message box reads " + Quoted(text) + ", expected " + Quoted(w[2]));
  if (w.size() > 3 && !TextMatches(caption, w[3]))
    throw Failure("the message box's caption is " + Quoted(caption) + ", expected " + Quoted(w[3]));
  int id = kButtons.count(w[1]) ? kButtons.at(w[1]) : static_cast<int>(strtol(w[1].c_str(), nullptr, 0));
  HWND button = GetDlgItem(box, id);
  if (!button || !IsWindowVisible(button))
    throw Failure("the message box " + Quoted(text) + " has no button " + std::to_string(id));
  PostMessageA(button, BM_CLICK, 0, 0);
  s.WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); },
            [&] { return "the message box " + Quoted(text) + " did not close"; });
}

void TakeScreenshot(Session& s, const Step& step, int) {
  RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, window;
  if (step.words.size() > 2 && (!s.current || !GetWindowRect(s.current, &window)))
    throw Failure("no current window to take a picture of");
  if (step.words.size() > 2) IntersectRect(&area, &area, &window);
  if (!Screenshot(step.words[1], area)) throw Failure("cannot take a screenshot into " + Quoted(step.words[1]));
}

// Waits for the program's end and checks its exit code; unseen: no window
// of the program may show meanwhile.
void ExpectExit(Session& s, DWORD code, bool unseen) {
  if (!s.process.hProcess) throw Failure("no program was started");
  s.WaitFor(
      [&] {
        for (HWND w : WindowsOf(nullptr))
          if (unseen && s.Owned(w) && IsWindowVisible(w))
            throw Failure("the program showed a window: " + ClassOf(w));
        return !s.Running();
      },
      [] { return std::string("the program is still running"); });
  DWORD got = 0;
  GetExitCodeProcess(s.process.hProcess, &got);
  if (got != code)
    throw Failure("the program ended with exit code " + std::to_string(static_cast<int>(got)) + ", expected " +
                  std::to_string(static_cast<int>(code)));
}

// Each command: the arguments it takes (at least, at most), whether the
// first is a number (an id, a time, a code: the run's id), and its run.
struct Command {
  size_t least, most;
  bool numeric;
  void (*run)(Session& s, const Step& step, int id);
};
const std::map<std::string, Command> kCommands = {
    {"timeout", {1, 1, true, [](Session& s, const Step&, int id) { s.timeout = static_cast<DWORD>(id) * 1000; }}},
    {"sleep", {1, 1, true, [](Session&, const Step&, int ms) { Pause(static_cast<DWORD>(ms)); }}},
    {"start", {1, 100, false, [](Session& s, const Step& step, int) { s.Start(step); }}},
    {"wait-window", {1, 2, false, WaitWindow}},
    {"wait-gone", {0, 0, false, WaitGone}},
    {"expect-title", {1, 1, false, [](Session& s, const Step& step, int) {
       ExpectText(s, "the window's title", [&] { return TextOf(s.current); }, step.words[1]);
     }}},
    {"expect-text", {2, 2, true, [](Session& s, const Step& step, int id) {
       ExpectText(s, ControlName(id) + " in " + s.WindowName(), [&] { return TextOf(s.Control(id)); }, step.words[2]);
     }}},
    {"expect-enabled", {1, 1, true, [](Session& s, const Step&, int id) { ExpectState(s, id, false, true); }}},
    {"expect-disabled", {1, 1, true, [](Session& s, const Step&, int id) { ExpectState(s, id, false, false); }}},
    {"expect-checked", {1, 1, true, [](Session& s, const Step&, int id) { ExpectState(s, id, true, true); }}},
    {"expect-inside", {1, 1, true, ExpectInside}},
    {"click", {1, 1, true, [](Session& s, const Step&, int id) { s.Click(s.Control(id), ControlName(id)); }}},
    {"uncheck", {1, 1, true, Uncheck}},
    {"set-text", {2, 2, true, SetText}},
    {"close", {0, 1, true, Close}},
    {"answer-box", {1, 3, false, AnswerBox}},
    {"expect-no-box", {0, 0, false, [](Session& s, const Step&, int) {
       if (HWND box = s.FindBox()) throw Failure("a message box is open: " + Quoted(TextOf(BoxText(box))));
     }}},
    {"screenshot", {1, 2, false, TakeScreenshot}},
    {"expect-exit", {1, 1, true, [](Session& s, const Step&, int code) { ExpectExit(s, code, false); }}},
    {"expect-exit-unseen", {1, 1, true, [](Session& s, const Step&, int code) { ExpectExit(s, code, true); }}},
};

// Checks a step's arguments; returns an error or "".
std::string CheckStep(const Step& step) {
  const std::string& name = step.words[0];
  auto known = kCommands.find(name);
  if (known == kCommands.end()) return "unknown command " + Quoted(name);
  size_t args = step.words.size() - 1;
  if (args < known->second.least || args > known->second.most) return "wrong number of arguments for " + name;
  bool number = args > 0 && IsNumber(step.words[1]);
  if (known->second.numeric && args > 0 && !number) return Quoted(step.words[1]) + " is not a number";
  if (name == "answer-box" && !number && !kButtons.count(step.words[1]))
    return "unknown button " + Quoted(step.words[1]);
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  std::ifstream file(argc == 2 ? argv[1] : "");
  if (!file) {
    std::cerr << "usage: setvik-uidriver <script file>\n";
    return 2;
  }
  std::vector<Step> steps;
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    Step step;
    step.line = number;
    step.text = line.substr(first);
    std::string problem = SplitLine(line, step) ? CheckStep(step) : "unterminated quoted text";
    if (!problem.empty()) {
      std::cout << "line " << number << ": " << problem << "\n";
      return 2;
    }
    steps.push_back(step);
  }
  Session session;
  for (size_t i = 0; i < steps.size(); ++i) {
    const std::vector<std::string>& w = steps[i].words;
    std::cout << "step " << i + 1 << ": " << steps[i].text << std::endl;
    try {
      kCommands.at(w[0]).run(session, steps[i], w.size() > 1 ? static_cast<int>(strtol(w[1].c_str(), nullptr, 0)) : -1);
    } catch (const Failure& failure) {
      std::cout << "FAILED: step " << i + 1 << " (line " << steps[i].line << "): " << failure.what() << "\n"
                << "current window:\n" << session.Describe() << std::flush;
      return 1;
    }
  }
  std::cout << "all " << steps.size() << " steps passed" << std::endl;
  return 0;
}
