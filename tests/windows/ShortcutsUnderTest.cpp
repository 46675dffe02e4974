// The shortcut, registration and launch code that the Windows tests
// exercise, with the destination checks that provide CreateFolderChain.
#include "install/DestinationCheck.cpp"
#include "install/Launch.cpp"
#include "install/Registrations.cpp"
#include "install/Shortcuts.cpp"
