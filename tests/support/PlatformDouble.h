// A scriptable stand-in for the message box that the Windows program gives
// the portable core (base/Message.h), installed as MessageBoxHandler from
// the start of any program that links it. Every box is recorded and
// answered from a queue; with the queue empty, the way that ends it (Cancel
// where the box has one, else its first button). More than 10,000 boxes
// since the last Reset abort the run, so a prompt loop cannot hang a test.
#pragma once

#include <stdint.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/Message.h"

namespace PlatformDouble {

struct ShownMessage {
  std::string text;
  uint32_t boxType;
  int answer;
};

// Forgets the queue, the record and the action; installs the double again.
void Reset();
// Appends answers to the queue, returned in order by the next boxes.
void Answer(std::initializer_list<int> answers);
// Runs before each box is answered (e.g. to put a missing volume in place).
void OnShow(std::function<void(const ShownMessage&)> action);
// Every box shown since the last Reset, in order, and their texts.
const std::vector<ShownMessage>& Shown();
std::vector<std::string> ShownTexts();

}  // namespace PlatformDouble
