// Scenario scripts for the UI driver: one step per line, so shell tests can
// drive a program without compiling C++. See Script.cpp for the commands.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

struct ScriptStep {
  int line = 0;
  std::string text;                 // the line as written, for the log
  std::vector<std::string> words;   // command and arguments, quotes removed
  std::vector<bool> quoted;         // which words were quoted
};

// Splits a script into steps; on a syntax error returns false with a message
// naming the line.
bool ParseScript(std::istream& in, std::vector<ScriptStep>& steps, std::string& error);

// Runs the steps, printing each; returns 0 when all passed, 1 after the
// first failure (reported as "step N (line L): ...").
int RunScript(const std::vector<ScriptStep>& steps, std::ostream& log);
