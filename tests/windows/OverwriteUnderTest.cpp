// The overwrite rules, compiled into the test program (the destination
// checks come in through ShortcutsUnderTest.cpp).
#include "install/OverwriteRules.cpp"
