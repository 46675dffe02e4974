// What the portable core calls but does not implement itself. The setup
// program defines these in wizard/ and install/; host programs and tests
// link a small double (tests/support/PlatformDouble.cpp, or the authoring
// tool's own).
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

// A message box with caption text 6/0 and the given type; returns the
// answer.
int ShowMessage(const char* text, uint32_t boxType);

// The wizard's page result (2 = Cancel) and the records remembered for the
// actions after the wizard; the volume reader's give-up path sets and clears
// them the way the progress page's own Cancel does.
extern int PageResult;
extern uint8_t* LaunchRecord;
extern uint8_t* RunAfterRecord;
extern uint8_t* ScreenSaverRecord;
const int kPageResultCancel = 2;
