// Message boxes. Every text the setup reports and every question it asks
// goes through ShowMessage; the program above the portable core fills in
// MessageBoxHandler before anything is shown: the setup a box owned by its
// wizard with caption text 6/0, the authoring tool a line on standard
// error, the tests a scripted double.
//
// An unattended setup (/QUIET, /PASSIVE) asks nobody: each place that asks
// names the answer that risks nothing, and ShowMessage takes it without a
// box. Either way the text and the answer go to the /LOG file.
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
// Set by start-up for /QUIET and /PASSIVE: no box is shown.
extern bool Unattended;

// The handler's answer to text in a box of boxType (0 while none is set),
// or unattendedAnswer without a box when Unattended is set. A notice (an
// OK box) passes kAnswerOk.
int ShowMessage(const char* text, uint32_t boxType, int unattendedAnswer);
