// The test program's message box (MessageScript.cpp), the portable core's
// MessageBoxHandler from the start: it notes every box it is asked to show
// and answers from ScriptedAnswers, front first; when the script is empty it
// answers at once, Yes to a Yes/No box and OK otherwise, so that no test
// waits for a click. A test that runs start-up, which installs the wizard's
// box, puts it back.
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
int ScriptedMessageBox(const char* text, uint32_t boxType);
