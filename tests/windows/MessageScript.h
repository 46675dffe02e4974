// The test program's ShowMessage (StartupUnderTest.cpp) notes every box it
// is asked to show and answers from ScriptedAnswers, front first; when the
// script is empty it answers at once, Yes to a Yes/No box and OK otherwise,
// so that no test waits for a click.
#pragma once

#include <stdint.h>

#include <deque>
#include <string>
#include <vector>

struct ShownMessage {
  std::string text;
  uint32_t boxType;
};

extern std::vector<ShownMessage> ShownMessages;
extern std::deque<int> ScriptedAnswers;
