// A scriptable stand-in for the message box that the Windows program gives
// the portable core (base/Message.h): every box it is asked to show is
// recorded and answered from a queue. It is the core's MessageBoxHandler
// from the start of any program that links it. When the queue is empty a box is answered the way that ends it: Cancel
// where the box has one, else its first button (OK, Abort, Yes). A run that
// shows more than 10,000 boxes since the last Reset aborts, so a prompt loop
// cannot hang a test.
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

// Forgets the queue, the record and the action; installs the double as
// MessageBoxHandler again.
void Reset();
// Appends answers to the queue, returned in order by the next boxes.
void Answer(std::initializer_list<int> answers);
// Runs before each box is answered (for example to put a missing volume in
// place when the disk prompt appears); Reset removes it.
void OnShow(std::function<void(const ShownMessage&)> action);
// Every box shown since the last Reset, in order.
const std::vector<ShownMessage>& Shown();
// Texts of the boxes shown, in order.
std::vector<std::string> ShownTexts();

}  // namespace PlatformDouble
