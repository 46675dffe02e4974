// What the stub's start-up defines and host tests stand in for: the stub
// mark, whose stubSize a test sets to the length of its fake stub, and the
// path buffers, which a test allocates before it loads a setup.
#include "setupdata/SetupData.h"

StubMarkRecord StubMark = {"Setvik StubSize", 0};

char* SetupFilePath;
char* DataFilePath;
char* InstallDir;
