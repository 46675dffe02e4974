// The message box of the portable core, as the command-line tool answers
// it: messages go to standard error, and a request for a disk the tool
// cannot find is answered by giving up, so a missing volume ends a verify or
// an extract with a clear message instead of waiting.
#include <stdio.h>

#include "authoring/cli/Commands.h"
#include "base/Message.h"

int ToolMessageBox(const char* text, uint32_t boxType) {
  if (text && *text) {  // the setup's own text: its control characters shown, not obeyed
    fputs("setvik: setup says: ", stderr);
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; ++c) {
      if (*c < 0x20 || *c == 0x7F) fprintf(stderr, "\\x%02X", *c);
      else fputc(*c, stderr);
    }
    fputc('\n', stderr);
  }
  switch (boxType & 0x0F) {
    case 0x1: return kAnswerCancel;  // OK/Cancel: the disk prompt
    case 0x4: return kAnswerYes;     // Yes/No: yes, give up
    default: return kAnswerOk;
  }
}
