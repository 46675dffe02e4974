// The test double for base/Message.h (see PlatformDouble.h).
#include "tests/support/PlatformDouble.h"

#include <stdio.h>
#include <stdlib.h>

#include <deque>

namespace {

std::deque<int> queue;
std::function<void(const PlatformDouble::ShownMessage&)> action;
std::vector<PlatformDouble::ShownMessage> record;

int ScriptedMessageBox(const char* text, uint32_t boxType) {
  if (record.size() >= 10000) {
    fprintf(stderr, "PlatformDouble: more than 10000 message boxes; last: %s\n", text ? text : "");
    abort();
  }
  // OK; OK, Cancel; Abort, Retry, Ignore (Abort is 3); Yes, No, Cancel; Yes, No; Retry, Cancel.
  const int defaults[] = {kAnswerOk, kAnswerCancel, 3, kAnswerCancel, kAnswerYes, kAnswerCancel};
  int answer = (boxType & 0x0F) < 6 ? defaults[boxType & 0x0F] : kAnswerOk;
  if (!queue.empty()) answer = queue.front(), queue.pop_front();
  record.push_back({text ? text : "", boxType, answer});
  if (action) action(PlatformDouble::ShownMessage(record.back()));
  return answer;
}

// Every program that links the double answers its boxes from the start.
[[maybe_unused]] const bool kInstalled = (MessageBoxHandler = ScriptedMessageBox, true);

}  // namespace

namespace PlatformDouble {

void Reset() {
  queue.clear();
  record.clear();
  action = nullptr;
  MessageBoxHandler = ScriptedMessageBox;
}
void Answer(std::initializer_list<int> answers) { queue.insert(queue.end(), answers); }
void OnShow(std::function<void(const ShownMessage&)> run) { action = std::move(run); }
const std::vector<ShownMessage>& Shown() { return record; }
std::vector<std::string> ShownTexts() {
  std::vector<std::string> texts;
  for (const ShownMessage& m : record) texts.push_back(m.text);
  return texts;
}

}  // namespace PlatformDouble
