// The wizard's chrome compiled into the test program: the picture checks,
// the background window's painting pieces and the frame dialog's drawing
// and placement (the page mechanics, message box and page result come in
// through StartupUnderTest.cpp).
#include "wizard/BackgroundWindow.cpp"
#include "wizard/FrameDialog.cpp"
#include "wizard/Picture.cpp"
