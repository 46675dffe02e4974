// The scenario-script commands, one a line ('#' starts a comment line;
// words in double quotes may hold spaces and \" \\ \n; ids are decimal or
// 0x hex; a text pattern ending in '*' matches by prefix):
//   timeout <s> | sleep <ms> | workdir <folder> | start <program> [args...]
//   time-mark <name>                    log the tick count (for timings)
//   wait-window <class|*> ["title"]     becomes the current window
//   wait-gone                           the current window is gone
//   expect-title "pattern" | expect-text <id> "pattern"
//   expect-parent-text <id> "pattern"   the window holding <id>
//   expect-enabled|disabled|visible|hidden|checked|unchecked|readonly|writable <id>
//   click <id> | check <id> | uncheck <id> | set-text <id> "text"
//   close [id]                          the close box of the current window,
//                                       or of the one holding <id> (0: a dialog)
//   answer-box <button> ["text" ["caption"]]
//                                       wait for a message box, check it,
//                                       press ok, cancel, yes, no, ... or an id
//   expect-no-box
//   screenshot <file.bmp> [window]      the screen (or the current window)
//   expect-exit <code> | expect-exit-unseen <code>  (unseen: no window shown)
#include "tests/uidriver/Script.h"

#include <ctype.h>
#include <stdlib.h>

#include <map>

#include "tests/uidriver/Driver.h"

namespace {

bool SplitLine(const std::string& line, ScriptStep& step) {
  for (size_t i = 0; i < line.size();) {
    if (isspace(static_cast<unsigned char>(line[i]))) {
      ++i;
      continue;
    }
    std::string word;
    bool quoted = line[i] == '"';
    if (quoted) {
      for (++i;; ) {
        if (i >= line.size()) return false;
        char c = line[i++];
        if (c == '"') break;
        if (c == '\\' && i < line.size()) c = line[i] == 'n' ? (++i, '\n') : line[i++];
        word += c;
      }
    } else {
      while (i < line.size() && !isspace(static_cast<unsigned char>(line[i]))) word += line[i++];
    }
    step.words.push_back(word);
    step.quoted.push_back(quoted);
  }
  return true;
}

// Arguments allowed; a first argument that is a number (an id, a time).
struct Command {
  size_t minArgs, maxArgs;
  bool numeric;
};
const std::map<std::string, Command> kCommands = {
    {"timeout", {1, 1, true}},          {"workdir", {1, 1, false}},         {"start", {1, 100, false}},
    {"wait-window", {1, 2, false}},     {"wait-gone", {0, 0, false}},       {"expect-title", {1, 1, false}},
    {"expect-text", {2, 2, true}},      {"expect-parent-text", {2, 2, true}}, {"click", {1, 1, true}},
    {"set-text", {2, 2, true}},         {"check", {1, 1, true}},            {"uncheck", {1, 1, true}},
    {"answer-box", {1, 3, false}},      {"expect-no-box", {0, 0, false}},   {"screenshot", {1, 2, false}},
    {"sleep", {1, 1, true}},            {"expect-exit", {1, 1, true}},      {"expect-exit-unseen", {1, 1, true}},
    {"close", {0, 1, true}},            {"time-mark", {1, 1, false}},
};
// expect-<on>/expect-<off> pairs.
const std::map<std::string, std::pair<UiSession::State, bool>> kStates = {
    {"expect-enabled", {UiSession::kEnabled, true}},   {"expect-disabled", {UiSession::kEnabled, false}},
    {"expect-visible", {UiSession::kVisible, true}},   {"expect-hidden", {UiSession::kVisible, false}},
    {"expect-checked", {UiSession::kChecked, true}},   {"expect-unchecked", {UiSession::kChecked, false}},
    {"expect-readonly", {UiSession::kReadOnly, true}}, {"expect-writable", {UiSession::kReadOnly, false}},
};

bool IsNumber(const std::string& word) {
  char* end = nullptr;
  strtol(word.c_str(), &end, 0);
  return !word.empty() && *end == '\0';
}

int ButtonId(const std::string& word) {
  static const std::map<std::string, int> names = {{"ok", IDOK},       {"cancel", IDCANCEL}, {"abort", IDABORT},
                                                   {"retry", IDRETRY}, {"ignore", IDIGNORE}, {"yes", IDYES},
                                                   {"no", IDNO}};
  auto it = names.find(word);
  if (it != names.end()) return it->second;
  return IsNumber(word) ? static_cast<int>(strtol(word.c_str(), nullptr, 0)) : -1;
}

// Checks the arguments of a step; returns an error or "".
std::string CheckArguments(const ScriptStep& step) {
  const std::string& name = step.words[0];
  Command shape{1, 1, true};
  if (!kStates.count(name)) {
    auto command = kCommands.find(name);
    if (command == kCommands.end()) return "unknown command \"" + name + "\"";
    shape = command->second;
  }
  size_t args = step.words.size() - 1;
  if (args < shape.minArgs || args > shape.maxArgs) return "wrong number of arguments for " + name;
  if (shape.numeric && args > 0 && !IsNumber(step.words[1])) return "\"" + step.words[1] + "\" is not a number";
  if (name == "screenshot" && args == 2 && step.words[2] != "window")
    return "screenshot takes \"window\" or nothing after the file";
  if (name == "answer-box" && ButtonId(step.words[1]) < 0) return "unknown button \"" + step.words[1] + "\"";
  return "";
}

void Run(UiSession& session, const ScriptStep& step, std::string& folder, std::ostream& log) {
  const std::vector<std::string>& w = step.words;
  const std::string& name = w[0];
  int id = w.size() > 1 ? static_cast<int>(strtol(w[1].c_str(), nullptr, 0)) : -1;
  auto state = kStates.find(name);
  if (state != kStates.end()) {
    session.ExpectState(id, state->second.first, state->second.second);
  } else if (name == "timeout") {
    session.SetTimeout(static_cast<DWORD>(id) * 1000);
  } else if (name == "workdir") {
    folder = w[1];
  } else if (name == "start") {
    std::string args;
    for (size_t i = 2; i < w.size(); ++i) args += (i > 2 ? " " : "") + (step.quoted[i] ? "\"" + w[i] + "\"" : w[i]);
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
    session.ExpectParentText(id, w[2]);
  } else if (name == "expect-text") {
    session.ExpectText(id, w[2]);
  } else if (name == "click") {
    session.Click(id);
  } else if (name == "close") {
    session.Close(id);
  } else if (name == "set-text") {
    session.SetText(id, w[2]);
  } else if (name == "check" || name == "uncheck") {
    session.SetChecked(id, name == "check");
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
  } else if (name == "sleep") {
    session.Pause(static_cast<DWORD>(id));
  } else if (name == "expect-exit") {
    session.ExpectExit(static_cast<DWORD>(id));
  } else if (name == "expect-exit-unseen") {
    session.ExpectExitUnseen(static_cast<DWORD>(id));
  }
}

}  // namespace

bool ParseScript(std::istream& in, std::vector<ScriptStep>& steps, std::string& error) {
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    ScriptStep step;
    step.line = number;
    step.text = line.substr(first);
    std::string problem = SplitLine(line, step) ? CheckArguments(step) : "unterminated quoted text";
    if (!problem.empty()) {
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
