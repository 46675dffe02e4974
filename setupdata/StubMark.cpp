// The stub's own length. The build stamps the linked program's file length
// into stubSize (tools/stamp-stub.sh), so the loader finds the chunk stream
// right behind the stub and nothing is searched for at run time.
#include "setupdata/SetupData.h"

// Marked used: the program itself never writes stubSize, and link-time
// optimisation would otherwise fold it to 0 or drop the tag.
__attribute__((used)) StubMarkRecord StubMark = {"Setvik StubSize", 0};
