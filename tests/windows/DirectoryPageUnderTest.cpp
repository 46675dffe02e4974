// The directory page and the folder browser compiled into the test
// program, with the driver's calls (page jumps, template blocks) under
// names of their own so that they cannot meet another test's.
#define GoToPage DirectoryPageGoToPage
#define LoadDialogTemplate DirectoryPageLoadTemplate
#define FreeDialogTemplate DirectoryPageFreeTemplate
#include "wizard/DirectoryPage.cpp"
#include "wizard/FolderBrowser.cpp"

void DirectoryPageGoToPage(int) {}
void* DirectoryPageLoadTemplate(uint32_t) { return nullptr; }
void DirectoryPageFreeTemplate(void*) {}
