// Message boxes. Every text the setup reports goes through ShowMessage; the
// program above the portable core fills in MessageBoxHandler before anything
// is shown: the setup a box owned by its wizard with caption text 6/0, the
// authoring tool a line on standard error, the tests a scripted double.
#pragma once

#include <stdint.h>

// Message-box types and answers used by the core.
const uint32_t kBoxOk = 0x40;           // OK, information icon
const uint32_t kBoxYesNo = 0x24;        // Yes and No, question icon
const uint32_t kBoxOkCancel = 0x41;     // OK and Cancel, information icon
const int kAnswerOk = 1;
const int kAnswerCancel = 2;
const int kAnswerYes = 6;
const int kAnswerNo = 7;

typedef int (*MessageBoxFunction)(const char* text, uint32_t boxType);
extern MessageBoxFunction MessageBoxHandler;

// The handler's answer to text in a box of boxType; 0 while none is set.
int ShowMessage(const char* text, uint32_t boxType);
