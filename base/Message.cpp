// The message box's handler, and the unattended answers (see Message.h).
#include "base/Message.h"

#include "base/PathText.h"
#include "base/RunLog.h"

MessageBoxFunction MessageBoxHandler;
bool Unattended;

// The answers by message-box result: OK 1, Cancel 2, Abort 3, Retry 4,
// Ignore 5, Yes 6, No 7; 0 for none.
static const char kAnswers[8][7] = {"none", "OK", "Cancel", "Abort", "Retry", "Ignore", "Yes", "No"};

int ShowMessage(const char* text, uint32_t boxType, int unattendedAnswer) {
  int answer = unattendedAnswer;
  if (!Unattended) answer = MessageBoxHandler ? MessageBoxHandler(text, boxType) : 0;
  char event[32] = "message";
  if (boxType != kBoxOk) {
    CopyText(event, sizeof event, "question, answered ");
    AppendText(event, sizeof event, kAnswers[answer >= 1 && answer <= 7 ? answer : 0]);
  }
  LogEvent(event, text);
  return answer;
}
