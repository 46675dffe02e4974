// Control ids of the UI driver's test program.
#pragma once

#define IDD_FRAME 100
#define IDD_PAGE 101

// Frame dialog: the wizard's Back, Next and Cancel ids, a text, a check
// box, a button that shows an OK box, and the area that holds the page.
#define IDC_BACK 1007
#define IDC_TEXT 1000
#define IDC_CHECK 1002
#define IDC_PAGEAREA 1006
#define IDC_NOTE 1008
#define IDC_HIDDEN 1009

// The modeless child page.
#define IDC_PAGETEXT 1010
#define IDC_PAGECHECK 1011
#define IDC_PAGEBUTTON 1012
