// This program's own length, stamped after linking (tools/stamp-stub.sh
// with the uninstaller's tag), so the texts and the log are found right
// behind the program without any search at run time.
#include "uninstaller/Uninstaller.h"

UninstallerMarkRecord UninstallerMark = {"Setvik UninSize", 0};
