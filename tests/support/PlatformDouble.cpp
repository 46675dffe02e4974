// The test double for base/Message.h (see PlatformDouble.h).
#include "tests/support/PlatformDouble.h"

#include <stdio.h>
#include <stdlib.h>

#include <deque>

namespace {

const size_t kMaxMessages = 10000;

std::deque<int>& Queue() {
  static std::deque<int> queue;
  return queue;
}

std::function<void(const PlatformDouble::ShownMessage&)>& Action() {
  static std::function<void(const PlatformDouble::ShownMessage&)> action;
  return action;
}

std::vector<PlatformDouble::ShownMessage>& Record() {
  static std::vector<PlatformDouble::ShownMessage> record;
  return record;
}

// OK; OK, Cancel; Abort, Retry, Ignore (Abort is 3); Yes, No, Cancel; Yes, No; Retry, Cancel.
int DefaultAnswer(uint32_t boxType) {
  const int answers[] = {kAnswerOk, kAnswerCancel, 3, kAnswerCancel, kAnswerYes, kAnswerCancel};
  return (boxType & 0x0F) < 6 ? answers[boxType & 0x0F] : kAnswerOk;
}

}  // namespace

static int ScriptedMessageBox(const char* text, uint32_t boxType) {
  if (Record().size() >= kMaxMessages) {
    fprintf(stderr, "PlatformDouble: more than %zu message boxes; last: %s\n", kMaxMessages, text ? text : "");
    abort();
  }
  int answer = DefaultAnswer(boxType);
  if (!Queue().empty()) {
    answer = Queue().front();
    Queue().pop_front();
  }
  Record().push_back({text ? text : "", boxType, answer});
  if (Action()) {
    const PlatformDouble::ShownMessage shown = Record().back();
    Action()(shown);
  }
  return answer;
}

namespace PlatformDouble {

void Reset() {
  Queue().clear();
  Record().clear();
  Action() = nullptr;
  MessageBoxHandler = ScriptedMessageBox;
}

// Every program that links the double answers its boxes from the start.
[[maybe_unused]] static const bool kInstalled = (MessageBoxHandler = ScriptedMessageBox, true);

void Answer(std::initializer_list<int> answers) { Queue().insert(Queue().end(), answers); }
void OnShow(std::function<void(const ShownMessage&)> action) { Action() = std::move(action); }
const std::vector<ShownMessage>& Shown() { return Record(); }

std::vector<std::string> ShownTexts() {
  std::vector<std::string> texts;
  for (const ShownMessage& m : Record()) texts.push_back(m.text);
  return texts;
}

}  // namespace PlatformDouble
