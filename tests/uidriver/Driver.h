// A UI driver for end-to-end tests: starts a Windows program and works its
// windows the way a person would (find the window, read texts, press
// buttons, type into edits, tick boxes, answer message boxes), then waits
// for its exit code. Every wait polls until the session's timeout; every
// failure throws DriverFailure with a message that names what was missing.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

struct DriverFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct MessageBoxInfo {
  HWND window = nullptr;
  std::string caption;
  std::string text;
};

// Text patterns: exact, or a prefix when the pattern ends with '*'.
bool TextMatches(const std::string& text, const std::string& pattern);

// Program paths given the Unix way ("/work/x.exe") become Z: paths.
std::string WindowsPath(const std::string& path);

class UiSession {
 public:
  UiSession() = default;
  ~UiSession();  // ends a program that is still running
  UiSession(const UiSession&) = delete;
  UiSession& operator=(const UiSession&) = delete;

  // Every wait gives up after this many milliseconds (default 10 s).
  void SetTimeout(DWORD ms) { timeout = ms; }

  // Starts "program args..." (the program is quoted when needed) in the
  // given folder ("" for the driver's own).
  void Start(const std::string& program, const std::string& args, const std::string& folder);

  // Waits for a visible top-level window of the started program (of any
  // program before one is started) with that class and title; an empty
  // class or title matches any. It becomes the current window.
  HWND WaitWindow(const std::string& className, const std::string& title);
  // Waits until the current window is gone (destroyed or hidden).
  void WaitWindowGone();

  // A control by id: in the current window and all its descendants (child
  // dialogs included), then in the program's other top-level windows.
  // Visible controls win over hidden ones. Waits for it to appear.
  HWND Control(int id);
  std::string Text(int id);
  bool Checked(int id);

  // Checks that poll until they hold or the timeout passes.
  void ExpectText(int id, const std::string& pattern);
  void ExpectTitle(const std::string& pattern);
  // The text of the window that holds the control (a child dialog's caption,
  // for one): the frame of a wizard's buttons, say.
  void ExpectParentText(int id, const std::string& pattern);
  // kReadOnly: an edit that takes no typing (ES_READONLY).
  enum State { kEnabled, kVisible, kChecked, kReadOnly };
  void ExpectState(int id, State state, bool on);

  // Presses a button (refused when it or its window is disabled or hidden).
  void Click(int id);
  // Presses the close box: the close system command to the window with
  // control id, or to the current window when id is negative.
  void Close(int id = -1);
  void SetText(int id, const std::string& text);
  // Ticks or clears a check box by clicking it when needed.
  void SetChecked(int id, bool checked);

  // Waits for a message box of the program: a dialog of class "#32770"
  // with a static text (id 0xFFFF, or 100 on some Wine versions) whose
  // owner, if any, it disables.
  MessageBoxInfo WaitMessageBox();
  // Presses IDOK, IDCANCEL, IDYES, ... in the box and waits for it to close.
  void AnswerMessageBox(const MessageBoxInfo& box, int buttonId);
  // Fails if a message box of the program is open right now.
  void ExpectNoMessageBox();

  // Waits for the program to end and returns its exit code.
  DWORD WaitExit();
  void ExpectExit(DWORD code);
  // The same, failing as soon as the program shows a visible top-level
  // window before it ends.
  void ExpectExitUnseen(DWORD code);

  // Waits, answering what is sent to the driver's thread meanwhile.
  void Pause(DWORD ms);

  // The screen (or the current window's rectangle) as a 24-bit BMP file, a
  // BitBlt of the screen's DC: under Wine what the X display shows.
  void Screenshot(const std::string& path, bool windowOnly = false);

  // The current window's tree of windows, one line per window.
  std::string Describe();

 private:
  bool OwnedByProgram(HWND window) const;
  HWND FindControl(int id) const;
  std::string WindowName() const;
  void Settle();
  [[noreturn]] void Fail(const std::string& what) const;

  PROCESS_INFORMATION process = {};
  DWORD processId = 0;
  bool running = false;
  HWND current = nullptr;
  DWORD timeout = 10000;
};
