// The message box through which the setup reports everything: caption text
// 6/0, owned by the frontmost setup window when there is one.
#include <windows.h>

#include "setupdata/Platform.h"
#include "setupdata/SetupData.h"

int PageResult;

int ShowMessage(const char* text, uint32_t boxType) {
  return MessageBoxA(nullptr, text, GetText(kTextGroupMessages, 0), boxType);
}
