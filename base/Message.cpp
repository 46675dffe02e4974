// The message box's handler (see Platform.h).
#include "base/Message.h"

MessageBoxFunction MessageBoxHandler;

int ShowMessage(const char* text, uint32_t boxType) { return MessageBoxHandler ? MessageBoxHandler(text, boxType) : 0; }
