// A look at dialog templates the way the wizard shows them: loads a packed
// DialogTemplates body (tools/dialogs/dialog-pack), creates the frame dialog
// from template 0 (windowed) or 1 (full screen) over a background window,
// places one page at the frame's control 1006 with sample texts, and stays
// up for a few seconds so that a screenshot can be taken. It writes the
// screen rectangle worth keeping to a file.
//
//   dialog-view.exe body.bin view seconds rect.txt
//   view: frame | page<n> | full<n> | confirm | browser     (n = 2..6, 8)
//
// Built by hand, not part of the build:
//   i686-w64-mingw32-g++ -O1 -static-libgcc -static-libstdc++ -mwindows
//       -o dialog-view.exe tools/dialogs/dialog-view.cpp -lcomdlg32 -lgdi32
// tools/dialogs/dialog-screenshots.sh runs it under Wine for every template.
#include <windows.h>
#include <commdlg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

unsigned char* Body;
DWORD BodySize;
HWND Background, Frame, Page;
bool FullScreen;
int PageTemplate = -1;
bool Confirmation;
const char* RectFile;

// The same copy the wizard makes: from the template's offset to the end of
// the body, at most 16,384 bytes, into a fresh zero-filled block.
HGLOBAL LoadTemplate(int n) {
  DWORD offset = Body[4 * n] | Body[4 * n + 1] << 8 | Body[4 * n + 2] << 16 | (DWORD)Body[4 * n + 3] << 24;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 16384);
  void* p = GlobalLock(block);
  DWORD size = BodySize - offset < 16384 ? BodySize - offset : 16384;
  memcpy(p, Body + offset, size);
  GlobalUnlock(block);
  return block;
}

void FillSolid(HDC dc, int x, int y, int w, int h, COLORREF colour) {
  RECT r = {x, y, x + w, y + h};
  SetBkColor(dc, colour);
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, "", 0, nullptr);
}

void DrawSunkenEdge(HDC dc, RECT r, bool fill) {
  int w = r.right - r.left, h = r.bottom - r.top;
  if (fill) FillSolid(dc, r.left + 1, r.top + 1, w - 2, h - 2, GetSysColor(COLOR_BTNFACE));
  FillSolid(dc, r.left, r.top, w - 1, 1, GetSysColor(COLOR_BTNSHADOW));
  FillSolid(dc, r.left, r.top, 1, h - 1, GetSysColor(COLOR_BTNSHADOW));
  FillSolid(dc, r.left, r.bottom - 1, w, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
  FillSolid(dc, r.right - 1, r.top, 1, h, GetSysColor(COLOR_BTNHIGHLIGHT));
}

bool ControlRect(HWND dialog, int id, RECT& r) {
  HWND control = GetDlgItem(dialog, id);
  if (!control) return false;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return true;
}

// The frame's painting: the separator as a filled sunken edge, and a sample
// picture filling the picture panel, with its sunken edge.
void PaintFrame(HWND frame) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(frame, &ps);
  RECT r;
  if (ControlRect(frame, 1012, r)) DrawSunkenEdge(dc, r, true);
  if (ControlRect(frame, 1011, r)) {
    int h = r.bottom - r.top;
    for (int y = 0; y < h; ++y) {
      int t = 255 * y / (h > 1 ? h - 1 : 1);
      FillSolid(dc, r.left, r.top + y, r.right - r.left, 1, RGB(40 + t / 4, 90 + t / 3, 160 - t / 3));
    }
    DrawSunkenEdge(dc, r, false);
  }
  EndPaint(frame, &ps);
}

// The progress page's bar, drawn as the page draws it, at 42 %.
void PaintBar(HWND page, HDC dc) {
  const int percent = 42;
  RECT r;
  if (!ControlRect(page, 1009, r)) return;
  int w = r.right - r.left, h = r.bottom - r.top;
  RECT whole = r;
  DrawSunkenEdge(dc, whole, true);
  HBRUSH brush = CreateSolidBrush(GetSysColor(COLOR_ACTIVECAPTION));
  int s = h / 2, left = 1, right = s + 1;
  do {
    RECT block = {r.left + left, r.top + 2, r.left + right, r.top + h - 2};
    FillRect(dc, &block, brush);
    left = left + s + 2;
    right = left + s;
  } while (right < w && right < percent * w / 100);
  DeleteObject(brush);
}

struct PageTexts {
  const char* title;
  const char* texts[4];
};

PageTexts TextsFor(int n) {
  switch (n) {
    case 2:
      return {"Destination Folder",
              {"Setup will install Demo Paint in the following folder.",
               "To install in a different folder, type its name or click Browse.",
               "The folder is created if it does not exist yet.", ""}};
    case 3:
      return {"Information",
              {"Demo Paint 2.1\r\n\r\nWhat is new in this version:\r\n\r\n- Brushes that follow the pressure of a "
               "graphics tablet.\r\n- Layers can be grouped and hidden together.\r\n- Pictures open twice as fast as "
               "before.\r\n\r\nKnown problems:\r\n\r\nPrinting to some older printers leaves a white border "
               "around the picture. Choose \"Fit to page\" in the print settings to avoid it.\r\n\r\nDemo Paint "
               "needs Windows 95 or later and 8 MB of memory.\r\n\r\nThank you for choosing Demo Paint.",
               "Click Next when you have read the information above.", "", ""}};
    case 4:
      return {"Installing",
              {"Installing file:", "Please wait while Setup installs Demo Paint on your computer.", "", ""}};
    case 5:
      if (Confirmation) {
        return {"Ready to Install",
                {"Setup is now ready to install Demo Paint on your computer.",
                 "The files will be installed in the folder C:\\Program Files\\Demo Paint.",
                 "Click Install to begin, or Back to review or change the settings.", ""}};
      }
      return {"Welcome",
              {"Welcome to the setup of Demo Paint 2.1. This program installs Demo Paint on your computer.",
               "It is strongly recommended that you close all other programs before you continue.",
               "Click Next to continue, or Cancel to leave the setup.", ""}};
    case 6:
      return {"Setup Complete",
              {"Demo Paint has been installed on your computer.",
               "To read the release notes now, click the button below.",
               "Select the box below to start Demo Paint when you close the setup.", ""}};
    default:
      return {"", {"", "", "", ""}};
  }
}

void SetCaptions(const char* title) {
  char caption[256];
  if (FullScreen) {
    SetWindowTextA(Background, "Demo Paint Setup");
    if (title[0]) SetWindowTextA(Frame, title);
  } else {
    wsprintfA(caption, title[0] ? "Demo Paint Setup - %s" : "Demo Paint Setup", title);
    SetWindowTextA(Background, caption);
  }
}

void SetButtons(int mask, const char* next, const char* cancel) {
  EnableWindow(GetDlgItem(Frame, 1007), (mask & 1) != 0);
  EnableWindow(GetDlgItem(Frame, 1), (mask & 2) != 0);
  EnableWindow(GetDlgItem(Frame, 2), (mask & 4) != 0);
  SetDlgItemTextA(Frame, 1007, "< Back");
  SetDlgItemTextA(Frame, 1, next);
  SetDlgItemTextA(Frame, 2, cancel);
}

// What SetupPage and each page's own set-up do to the controls.
void SetUpPage(HWND page) {
  RECT area;
  GetWindowRect(GetDlgItem(Frame, 1006), &area);
  MapWindowPoints(nullptr, Frame, reinterpret_cast<POINT*>(&area), 1);
  SetWindowPos(page, nullptr, area.left, area.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  PageTexts t = TextsFor(PageTemplate);
  SetCaptions(t.title);
  for (int i = 0; i < 4; ++i) {
    if (GetDlgItem(page, 1000 + i)) SetDlgItemTextA(page, 1000 + i, t.texts[i]);
  }
  switch (PageTemplate) {
    case 2:
      SetDlgItemTextA(page, 1004, "C:\\Program Files\\Demo Paint");
      SetDlgItemTextA(page, 1017, "Space required:");
      SetDlgItemTextA(page, 1016, "12 MB");
      SetDlgItemTextA(page, 1018, "Space available:");
      SetDlgItemTextA(page, 1019, "1843 MB");
      SetButtons(7, "Next >", "Cancel");
      break;
    case 4:
      SetDlgItemTextA(page, 1008, "C:\\Program Files\\Demo Paint\\Brushes\\watercolour.brs");
      SetDlgItemTextA(page, 1010, "42%");
      SetButtons(4, "Next >", "Stop");
      break;
    case 5:
      SetButtons(Confirmation ? 7 : 6, Confirmation ? "Install" : "Next >", "Cancel");
      break;
    case 6:
      SetDlgItemTextA(page, 1003, "");
      SetDlgItemTextA(page, 1014, "Release Notes");
      SetDlgItemTextA(page, 1015, "Start Demo Paint");
      CheckDlgButton(page, 1015, BST_CHECKED);
      ShowWindow(GetDlgItem(page, 1014), SW_SHOW);
      ShowWindow(GetDlgItem(page, 1015), SW_SHOW);
      SetButtons(2, "Next >", "Cancel");
      break;
    case 8: {
      char name[100];
      GetDlgItemTextA(page, 1005, name, sizeof name);
      SetWindowTextA(FullScreen ? Frame : Background, name);
      SetButtons(4, "Next >", "Cancel");
      break;
    }
    default:
      SetButtons(7, "Next >", "Cancel");
      break;
  }
}

INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) {
    SetUpPage(page);
    return TRUE;
  }
  if (message == WM_PAINT && PageTemplate == 4) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(page, &ps);
    PaintBar(page, dc);
    EndPaint(page, &ps);
    return TRUE;
  }
  return FALSE;
}

// Centres the frame on the screen, within the background window.
INT_PTR CALLBACK FrameProc(HWND frame, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) {
    RECT outer, own;
    GetWindowRect(Background, &outer);
    GetWindowRect(frame, &own);
    int w = own.right - own.left, h = own.bottom - own.top;
    int x = GetSystemMetrics(SM_CXSCREEN) / 2 - w / 2, y = GetSystemMetrics(SM_CYSCREEN) / 2 - h / 2;
    int mx = outer.right - outer.left - w, my = outer.bottom - outer.top - h;
    x = (x < mx ? x : mx) < 0 ? 0 : (x >= mx ? mx : x);
    y = (y < my ? y : my) < 0 ? 0 : (y >= my ? my : y);
    SetWindowPos(frame, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    PostMessageA(frame, WM_NCACTIVATE, 1, 0);
    return TRUE;
  }
  if (message == WM_PAINT) {
    PaintFrame(frame);
    return TRUE;
  }
  return FALSE;
}

// The full-screen background: the blue gradient the wizard paints.
LRESULT CALLBACK BackgroundProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT && FullScreen) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    int height = client.bottom > 0 ? client.bottom : 1;
    for (int y = 0; y < client.bottom; ++y) {
      FillSolid(dc, 0, y, client.right, 1, RGB(0, 0, 255 - 255 * y / height * y / height));
    }
    SetBkMode(dc, TRANSPARENT);
    HFONT font = CreateFontA(-36, 0, 0, 0, FW_BOLD, TRUE, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Times New Roman");
    HGDIOBJ old = SelectObject(dc, font);
    SetTextColor(dc, RGB(0, 0, 0));
    TextOutA(dc, 14, 14, "Demo Paint 2.1", 14);
    SetTextColor(dc, RGB(255, 255, 255));
    TextOutA(dc, 10, 10, "Demo Paint 2.1", 14);
    SelectObject(dc, old);
    DeleteObject(font);
    EndPaint(window, &ps);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

char BrowsePath[MAX_PATH];

UINT_PTR CALLBACK BrowserHook(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message != WM_INITDIALOG) return 0;
  SetDlgItemTextA(dialog, 101, BrowsePath);
  SetWindowTextA(dialog, "Choose a Folder");
  SetDlgItemTextA(dialog, 1009, "Folder:");
  SetDlgItemTextA(dialog, 1091, "Drives:");
  SetDlgItemTextA(dialog, 1, "OK");
  SetDlgItemTextA(dialog, 2, "Cancel");
  HWND parent = GetParent(dialog);
  RECT p, own;
  if (parent) {
    GetWindowRect(parent, &p);
  } else {
    SetRect(&p, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  }
  GetWindowRect(dialog, &own);
  int x = p.left + (p.right - p.left - (own.right - own.left)) / 2;
  int y = p.top + (p.bottom - p.top - (own.bottom - own.top)) / 2;
  SetWindowPos(dialog, nullptr, x < 0 ? 0 : x, y < 0 ? 0 : y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  return 1;
}

void WriteRect(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  if (FILE* out = fopen(RectFile, "w")) {
    fprintf(out, "%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
    fclose(out);
  }
}

void CALLBACK EndView(HWND, UINT, UINT_PTR, DWORD) { ExitProcess(0); }

void OpenFolderBrowser() {
  char fileName[MAX_PATH] = "";
  strcpy(BrowsePath, "C:\\windows");
  HGLOBAL block = LoadTemplate(7);
  OPENFILENAMEA ofn;
  memset(&ofn, 0, sizeof ofn);
  ofn.lStructSize = 76;
  ofn.hwndOwner = Page;
  ofn.hInstance = reinterpret_cast<HINSTANCE>(GlobalLock(block));
  ofn.lpstrFilter = "*.*\0*.*\0";
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = fileName;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrInitialDir = BrowsePath;
  ofn.Flags = OFN_ENABLEHOOK | OFN_ENABLETEMPLATEHANDLE;
  ofn.lpfnHook = BrowserHook;
  if (!GetSaveFileNameA(&ofn)) {
    fprintf(stderr, "GetSaveFileName failed: %lx\n", CommDlgExtendedError());
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  FILE* in = fopen(argv[1], "rb");
  if (!in) return 1;
  Body = static_cast<unsigned char*>(malloc(65536));
  BodySize = static_cast<DWORD>(fread(Body, 1, 65536, in));
  fclose(in);
  const char* view = argv[2];
  RectFile = argv[4];
  FullScreen = strncmp(view, "full", 4) == 0;
  if (strncmp(view, "page", 4) == 0 || FullScreen) PageTemplate = atoi(view + 4);
  if (strcmp(view, "confirm") == 0) PageTemplate = 5, Confirmation = true;
  if (strcmp(view, "browser") == 0) PageTemplate = 2;

  WNDCLASSA wc = {};
  wc.lpfnWndProc = BackgroundProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "DialogViewBackground";
  RegisterClassA(&wc);
  DWORD style = FullScreen ? WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN : WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  Background = CreateWindowA("DialogViewBackground", "Demo Paint Setup", style, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                             GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, wc.hInstance, nullptr);

  HGLOBAL frameBlock = LoadTemplate(FullScreen ? 1 : 0);
  Frame = CreateDialogIndirectParamA(wc.hInstance, static_cast<LPCDLGTEMPLATEA>(GlobalLock(frameBlock)), Background,
                                     FrameProc, 0);
  if (!Frame) return 3;
  if (!FullScreen) {
    RECT r;
    GetWindowRect(Frame, &r);
    AdjustWindowRectEx(&r, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, FALSE, 0);
    SetWindowPos(Background, nullptr, 40, 40, r.right - r.left, r.bottom - r.top, SWP_NOZORDER);
    SetWindowPos(Frame, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  }
  ShowWindow(Background, FullScreen ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
  UpdateWindow(Background);
  if (PageTemplate >= 0) {
    HGLOBAL pageBlock = LoadTemplate(PageTemplate);
    Page = CreateDialogIndirectParamA(wc.hInstance, static_cast<LPCDLGTEMPLATEA>(GlobalLock(pageBlock)), Frame,
                                      PageProc, 0);
    if (!Page) return 4;
  }
  if (FullScreen) {
    if (FILE* out = fopen(RectFile, "w")) {
      fprintf(out, "%dx%d+0+0\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
      fclose(out);
    }
  } else {
    WriteRect(Background);
  }
  SetTimer(nullptr, 0, atoi(argv[3]) * 1000, EndView);
  if (strcmp(view, "browser") == 0) {
    OpenFolderBrowser();
    return 0;
  }
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (IsDialogMessageA(Frame, &msg) || (Page && IsDialogMessageA(Page, &msg))) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
