// The test program's message box (see MessageScript.h), installed as the
// portable core's MessageBoxHandler before any test runs.
#include "tests/windows/MessageScript.h"

#include "base/Message.h"

std::vector<ShownMessage> ShownMessages;
std::deque<int> ScriptedAnswers;

int ScriptedMessageBox(const char* text, uint32_t boxType) {
  ShownMessages.push_back({text, boxType});
  if (ScriptedAnswers.empty()) return (boxType & 0x0F) == 0x04 ? kAnswerYes : kAnswerOk;
  const int answer = ScriptedAnswers.front();
  ScriptedAnswers.pop_front();
  return answer;
}

[[maybe_unused]] static const bool kInstalled = (MessageBoxHandler = ScriptedMessageBox, true);
