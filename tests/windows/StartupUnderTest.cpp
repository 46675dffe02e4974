// The start-up, page-mechanics and restart code that the Windows tests
// exercise, compiled into the test program together with what the stub's
// entry point would otherwise provide: the stub mark, the three buffers the
// loader knows, and the message box and page result (a message box here
// answers at once from a script, so no test waits for a click).
#include "install/ScheduleAtRestart.cpp"
#include "startup/ProcessState.cpp"
#include "startup/RunModes.cpp"
#include "wizard/PageMechanics.cpp"

#include "setupdata/Platform.h"
#include "tests/windows/MessageScript.h"

StubMarkRecord StubMark = {"Setvik StubSize", 0};
char* SetupFilePath;
char* DataFilePath;
char* InstallDir;

int PageResult;
uint8_t* LaunchRecord;
uint8_t* RunAfterRecord;
uint8_t* ScreenSaverRecord;

std::vector<ShownMessage> ShownMessages;
std::deque<int> ScriptedAnswers;

int ShowMessage(const char* text, uint32_t boxType) {
  ShownMessages.push_back({text, boxType});
  if (ScriptedAnswers.empty()) return (boxType & 0x0F) == 0x04 ? kAnswerYes : kAnswerOk;
  const int answer = ScriptedAnswers.front();
  ScriptedAnswers.pop_front();
  return answer;
}
