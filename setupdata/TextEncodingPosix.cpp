// The authoring tool shows a UTF-8 setup's texts as they are stored.
#include "setupdata/SetupData.h"

void ConvertLoadedTexts() {}
