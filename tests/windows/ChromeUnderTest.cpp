// The wizard's chrome compiled into the test program: the picture checks,
// the background window's painting pieces, the frame dialog's drawing and
// placement, and the finish and text pages (the page mechanics, message box
// and page result come in through StartupUnderTest.cpp, the launching and
// destination checks through the other *UnderTest.cpp files).
// The driver's jump is the tests' own (the uninstall writer's test notes
// it under the real name).
#define GoToPage ChromeGoToPage
#include "wizard/BackgroundWindow.cpp"
#include "wizard/FrameDialog.cpp"
#include "wizard/Picture.cpp"
#include "wizard/FinishPage.cpp"
#include "wizard/TextPages.cpp"

// The driver's jump, as the pages see it.
void ChromeGoToPage(int page) {
  PageIndex = page - 1;
  PageResult = kPageResultNext;
}
