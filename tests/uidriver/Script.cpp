// The scenario-script commands (words in double quotes may hold spaces;
// \" \\ and \n work inside them; '#' starts a comment line; ids are decimal
// or 0x hex; a text pattern ending in '*' matches by prefix):
//   timeout <seconds>                  waits give up after this (default 10)
//   workdir <folder>                   working folder for the next start
//   start <program> [args...]          start the program
//   wait-window <class|*> ["title"]    wait for a top-level window; current
//   wait-gone                          wait until the current window is gone
//   expect-title "pattern"
//   expect-parent-text <id> "pattern" the text of the window holding <id>
//   expect-text <id> "pattern"
//   expect-enabled <id> | expect-disabled <id>
//   expect-visible <id> | expect-hidden <id>
//   expect-checked <id> | expect-unchecked <id>
//   expect-readonly <id> | expect-writable <id>
//   click <id>                         press a button
//   close [id]                         the close box (system command close)
//                                      of the current window, or of the
//                                      window with this id (0: a dialog)
//   set-text <id> "text"               replace an edit's text
//   check <id> | uncheck <id>          tick or clear a check box
//   answer-box <button> ["text" ["caption"]]
//                                      wait for a message box, check its
//                                      text and caption, press ok, cancel,
//                                      yes, no, abort, retry, ignore or an id
//   expect-no-box                      no message box is open
//   screenshot <file.bmp> [window]     the whole screen (or only the
//                                      current window), 24-bit BMP
//   sleep <milliseconds>
//   time-mark <name>                   note the tick count under name (for timings)
//   expect-exit <code>                 wait for the program to end
//   expect-exit-unseen <code>          the same, and no visible window of
//                                      the program may appear meanwhile
#include "tests/uidriver/Script.h"

#include <ctype.h>
#include <stdlib.h>

#include <map>

#include "tests/uidriver/Driver.h"

namespace {

bool SplitLine(const std::string& line, ScriptStep& step, std::string& error) {
  size_t i = 0;
  while (i < line.size()) {
    if (isspace(static_cast<unsigned char>(line[i]))) {
      ++i;
      continue;
    }
    std::string word;
    bool quoted = line[i] == '"';
    if (quoted) {
      ++i;
      for (;;) {
        if (i >= line.size()) {
          error = "unterminated quoted text";
          return false;
        }
        char c = line[i++];
        if (c == '"') break;
        if (c == '\\' && i < line.size()) {
          char e = line[i++];
          word += e == 'n' ? '\n' : e == 't' ? '\t' : e;
        } else {
          word += c;
        }
      }
    } else {
      while (i < line.size() && !isspace(static_cast<unsigned char>(line[i]))) word += line[i++];
    }
    step.words.push_back(word);
    step.quoted.push_back(quoted);
  }
  return true;
}

struct Command {
  size_t minArgs, maxArgs;
};

const std::map<std::string, Command>& Commands() {
  static const std::map<std::string, Command> table = {
      {"timeout", {1, 1}},          {"workdir", {1, 1}},          {"start", {1, 100}},
      {"wait-window", {1, 2}},      {"wait-gone", {0, 0}},        {"expect-title", {1, 1}},
      {"expect-text", {2, 2}},      {"expect-enabled", {1, 1}},   {"expect-disabled", {1, 1}},
      {"expect-visible", {1, 1}},   {"expect-hidden", {1, 1}},    {"expect-checked", {1, 1}},
      {"expect-unchecked", {1, 1}}, {"click", {1, 1}},            {"set-text", {2, 2}},
      {"check", {1, 1}},            {"uncheck", {1, 1}},          {"answer-box", {1, 3}},
      {"expect-no-box", {0, 0}},    {"screenshot", {1, 2}},       {"sleep", {1, 1}},
      {"expect-exit", {1, 1}},      {"expect-exit-unseen", {1, 1}},      {"expect-readonly", {1, 1}},
      {"expect-writable", {1, 1}},  {"close", {0, 1}},            {"expect-parent-text", {2, 2}},
      {"time-mark", {1, 1}},
  };
  return table;
}

bool ParseNumber(const std::string& word, long& value) {
  if (word.empty()) return false;
  char* end = nullptr;
  value = strtol(word.c_str(), &end, 0);
  return *end == '\0';
}

int ButtonId(const std::string& word) {
  static const std::map<std::string, int> names = {{"ok", IDOK},       {"cancel", IDCANCEL}, {"abort", IDABORT},
                                                   {"retry", IDRETRY}, {"ignore", IDIGNORE}, {"yes", IDYES},
                                                   {"no", IDNO}};
  auto it = names.find(word);
  if (it != names.end()) return it->second;
  long id;
  return ParseNumber(word, id) ? static_cast<int>(id) : -1;
}

// Checks the numeric arguments of a step; returns an error or "".
std::string CheckArguments(const ScriptStep& step) {
  const std::string& name = step.words[0];
  auto command = Commands().find(name);
  if (command == Commands().end()) return "unknown command \"" + name + "\"";
  size_t args = step.words.size() - 1;
  if (args < command->second.minArgs || args > command->second.maxArgs)
    return "wrong number of arguments for " + name;
  long value;
  bool numeric = name == "timeout" || name == "sleep" || name == "expect-exit" || name == "expect-exit-unseen" ||
                 (name != "start" && name != "workdir" && name != "wait-window" && name != "expect-title" &&
                  name != "time-mark" &&
                  name != "answer-box" && name != "screenshot" && args > 0);
  if (numeric && !ParseNumber(step.words[1], value)) return "\"" + step.words[1] + "\" is not a number";
  if (name == "screenshot" && args == 2 && step.words[2] != "window")
    return "screenshot takes \"window\" or nothing after the file";
  if (name == "answer-box" && ButtonId(step.words[1]) < 0) return "unknown button \"" + step.words[1] + "\"";
  return "";
}

int Id(const ScriptStep& step, size_t i) { return static_cast<int>(strtol(step.words[i].c_str(), nullptr, 0)); }

void Run(UiSession& session, const ScriptStep& step, std::string& folder, std::ostream& log) {
  const std::vector<std::string>& w = step.words;
  const std::string& name = w[0];
  if (name == "timeout") {
    session.SetTimeout(static_cast<DWORD>(Id(step, 1)) * 1000);
  } else if (name == "workdir") {
    folder = w[1];
  } else if (name == "start") {
    std::string args;
    for (size_t i = 2; i < w.size(); ++i) {
      if (!args.empty()) args += ' ';
      args += step.quoted[i] ? "\"" + w[i] + "\"" : w[i];
    }
    session.Start(w[1], args, folder);
  } else if (name == "time-mark") {
    log << "time-mark " << w[1] << ": " << GetTickCount() << " ms\n";
  } else if (name == "wait-window") {
    session.WaitWindow(w[1] == "*" ? "" : w[1], w.size() > 2 ? w[2] : "");
  } else if (name == "wait-gone") {
    session.WaitWindowGone();
  } else if (name == "expect-title") {
    session.ExpectTitle(w[1]);
  } else if (name == "expect-parent-text") {
    session.ExpectParentText(Id(step, 1), w[2]);
  } else if (name == "expect-text") {
    session.ExpectText(Id(step, 1), w[2]);
  } else if (name == "expect-enabled" || name == "expect-disabled") {
    session.ExpectEnabled(Id(step, 1), name == "expect-enabled");
  } else if (name == "expect-visible" || name == "expect-hidden") {
    session.ExpectVisible(Id(step, 1), name == "expect-visible");
  } else if (name == "expect-checked" || name == "expect-unchecked") {
    session.ExpectChecked(Id(step, 1), name == "expect-checked");
  } else if (name == "expect-readonly" || name == "expect-writable") {
    session.ExpectReadOnly(Id(step, 1), name == "expect-readonly");
  } else if (name == "click") {
    session.Click(Id(step, 1));
  } else if (name == "close") {
    session.Close(w.size() > 1 ? Id(step, 1) : -1);
  } else if (name == "set-text") {
    session.SetText(Id(step, 1), w[2]);
  } else if (name == "check" || name == "uncheck") {
    session.SetChecked(Id(step, 1), name == "check");
  } else if (name == "answer-box") {
    MessageBoxInfo box = session.WaitMessageBox();
    log << "  box \"" << box.caption << "\": \"" << box.text << "\"\n";
    if (w.size() > 2 && !TextMatches(box.text, w[2]))
      throw DriverFailure("the message box reads \"" + box.text + "\", expected \"" + w[2] + "\"");
    if (w.size() > 3 && !TextMatches(box.caption, w[3]))
      throw DriverFailure("the message box's caption is \"" + box.caption + "\", expected \"" + w[3] + "\"");
    session.AnswerMessageBox(box, ButtonId(w[1]));
  } else if (name == "expect-no-box") {
    session.ExpectNoMessageBox();
  } else if (name == "screenshot") {
    session.Screenshot(w[1], w.size() > 2);
    log << "  " << GetSystemMetrics(SM_CXSCREEN) << "x" << GetSystemMetrics(SM_CYSCREEN) << " into " << w[1]
        << "\n";
  } else if (name == "sleep") {
    session.Pause(static_cast<DWORD>(Id(step, 1)));
  } else if (name == "expect-exit") {
    session.ExpectExit(static_cast<DWORD>(Id(step, 1)));
  } else if (name == "expect-exit-unseen") {
    session.ExpectExitUnseen(static_cast<DWORD>(Id(step, 1)));
  }
}

}  // namespace

bool ParseScript(std::istream& in, std::vector<ScriptStep>& steps, std::string& error) {
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    ScriptStep step;
    step.line = number;
    step.text = line.substr(first);
    std::string problem;
    if (!SplitLine(line, step, problem) || !(problem = CheckArguments(step)).empty()) {
      error = "line " + std::to_string(number) + ": " + problem;
      return false;
    }
    steps.push_back(step);
  }
  return true;
}

int RunScript(const std::vector<ScriptStep>& steps, std::ostream& log) {
  UiSession session;
  std::string folder;
  for (size_t i = 0; i < steps.size(); ++i) {
    const ScriptStep& step = steps[i];
    log << "step " << i + 1 << ": " << step.text << std::endl;
    try {
      Run(session, step, folder, log);
    } catch (const DriverFailure& failure) {
      log << "FAILED: step " << i + 1 << " (line " << step.line << "): " << failure.what() << "\n";
      log << "current window:\n" << session.Describe() << std::flush;
      return 1;
    }
  }
  log << "all " << steps.size() << " steps passed" << std::endl;
  return 0;
}
