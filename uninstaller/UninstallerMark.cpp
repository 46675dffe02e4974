// This program's own length, stamped after linking (tools/stamp-stub.sh
// with the uninstaller's tag), so the texts and the log are found right
// behind the program without any search at run time.
#include "uninstaller/Uninstaller.h"

// Marked used, and read through ProgramSize: nothing in the program writes
// it, and link-time optimisation would otherwise fold it to 0.
__attribute__((used)) UninstallerMarkRecord UninstallerMark = {"Setvik UninSize", 0};

uint32_t ProgramSize() { return *static_cast<volatile uint32_t*>(&UninstallerMark.programSize); }
