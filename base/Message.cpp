// The message box's handler, and the unattended answers (see Message.h).
#include "base/Message.h"

#include "base/RunLog.h"

MessageBoxFunction MessageBoxHandler;
bool Unattended;

// The log's events by message-box result: OK 1, Cancel 2, Abort 3, Retry 4,
// Ignore 5, Yes 6, No 7.
static const char* const kAnsweredEvents[] = {
    "question, not answered", "question, answered OK",     "question, answered Cancel", "question, answered Abort",
    "question, answered Retry", "question, answered Ignore", "question, answered Yes",    "question, answered No"};

int ShowMessage(const char* text, uint32_t boxType, int unattendedAnswer) {
  int answer = unattendedAnswer;
  if (!Unattended) answer = MessageBoxHandler ? MessageBoxHandler(text, boxType) : 0;
  LogEvent(boxType == kBoxOk ? "message" : kAnsweredEvents[answer >= 1 && answer <= 7 ? answer : 0], text);
  return answer;
}
