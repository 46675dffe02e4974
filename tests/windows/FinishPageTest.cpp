// The finish page's two views and the confirmation page's question, on
// pages made from a small in-memory template with the controls the pages
// use (no frame dialog: its buttons are simply absent).
#include "install/DestinationCheck.h"
#include "install/InstallStep.h"
#include "tests/windows/PathBuffersTest.h"
#include "wizard/PageMechanics.h"

namespace {

// A popup dialog template: statics 1000 to 1003 at y = 0, 40, 80, 120 (each
// 32 units high), button 1014 at y = 60 and check box 1015 at y = 100.
std::vector<WORD> FinishTemplate() {
  std::vector<WORD> t;
  auto dword = [&](DWORD v) { t.push_back(LOWORD(v)), t.push_back(HIWORD(v)); };
  const struct {
    WORD id, y, kind;
    DWORD style;
  } items[] = {{1000, 0, 0x82, 0}, {1001, 40, 0x82, 0}, {1014, 60, 0x80, BS_PUSHBUTTON},
               {1002, 80, 0x82, 0}, {1015, 100, 0x80, BS_AUTOCHECKBOX}, {1003, 120, 0x82, 0}};
  dword(WS_POPUP);
  dword(0);
  t.push_back(6);
  for (WORD v : {0, 0, 220, 170, 0, 0, 0}) t.push_back(v);  // x y cx cy, menu, class, title
  for (const auto& item : items) {
    if (t.size() % 2) t.push_back(0);
    dword(WS_CHILD | WS_VISIBLE | item.style);
    dword(0);
    for (WORD v : {WORD(0), item.y, WORD(200), WORD(item.kind == 0x82 ? 32 : 14), item.id, WORD(0xFFFF), item.kind})
      t.push_back(v);
    t.push_back(0);  // title
    t.push_back(0);  // creation data
  }
  return t;
}

class FinishPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTextGroup(kPageFinish, {"Setup Complete", "Installed.", "", "Tick to start.", "Failed:\n%s", "", "&Start now",
                               "Restart!"});
    std::vector<std::string> messages(23);
    messages[7] = "Replace read-only?";
    messages[21] = "%s is damaged.";
    messages[22] = "Access to %s is denied.";
    SetTextGroup(kTextGroupMessages, messages);
    PageIndex = kPageFinish;
    lstrcpynA(fileName, "C:\\x.dll", sizeof fileName);
    ErrorFileName = fileName;
    InstallError = 0;
    RestartNeeded = false;
    RunAfterChecked = 1;
    LaunchRecord = RunAfterRecord = ScreenSaverRecord = nullptr;
    Script({});
  }
  void TearDown() override {
    if (page) DestroyWindow(page);
    for (uint32_t g : {3u, 5u, 6u}) SetTextGroup(g, {});
    TestFileTable::Clear();
    ErrorFileName = nullptr;
  }
  void Open(DLGPROC procedure = FinishPage) {
    const std::vector<WORD> t = FinishTemplate();
    page = CreateDialogIndirectParamA(nullptr, reinterpret_cast<LPCDLGTEMPLATEA>(t.data()), nullptr, procedure, 0);
    ASSERT_NE(page, nullptr);
  }
  std::string Text(int id) {
    char text[512] = "";
    GetDlgItemTextA(page, id, text, sizeof text);
    return text;
  }
  bool Shown(int id) { return (GetWindowLongA(GetDlgItem(page, id), GWL_STYLE) & WS_VISIBLE) != 0; }
  RECT Rect(int id) {
    RECT r;
    GetWindowRect(GetDlgItem(page, id), &r);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  HWND page = nullptr;
  char fileName[kPathBufferSize];
  uint8_t record[4] = {};
};

TEST_F(FinishPageTest, ErrorViewSaysWhyAndForgetsWhatWouldRunAfterwards) {
  InstallError = kInstallErrorChecksum;
  RestartNeeded = true;
  LaunchRecord = RunAfterRecord = ScreenSaverRecord = record;
  Open();
  EXPECT_EQ(Text(1000), "Failed:\nC:\\x.dll is damaged.");
  EXPECT_EQ(Text(1003), "");  // not the bare format
  EXPECT_FALSE(Shown(1001));
  EXPECT_FALSE(Shown(1002));
  EXPECT_FALSE(Shown(1014));
  EXPECT_FALSE(Shown(1015));
  EXPECT_EQ(Rect(1000).bottom, Rect(1002).bottom);  // grown over both
  EXPECT_FALSE(RestartNeeded);  // no restart button after a failure
  EXPECT_EQ(LaunchRecord, nullptr);
  EXPECT_EQ(RunAfterRecord, nullptr);
  EXPECT_EQ(ScreenSaverRecord, nullptr);
}

TEST_F(FinishPageTest, RefusedReplacementIsAnErrorButKeepsTheRestart) {
  TestRecord busy = Named("busy.dll");
  TestFileTable table;
  table.Set({TestRecord{}, busy});
  WriteU16Le(table.Record(1) + FileRecordField::installState, kStateReplacing);
  RestartNeeded = true;
  Open();
  EXPECT_EQ(InstallError, kInstallErrorAbort);
  EXPECT_EQ(Text(1000), "Failed:\nAccess to C:\\x.dll is denied.");
  EXPECT_TRUE(RestartNeeded);
}

// A run-after box without launch button and without text 5/2 moves up into
// the button's place, its sentence into 1001; the restart notice then goes
// to 1002.
TEST_F(FinishPageTest, RunAfterBoxTakesTheLaunchButtonsPlace) {
  RunAfterRecord = record;
  RestartNeeded = true;
  RunAfterChecked = 0;
  Open();
  EXPECT_EQ(Text(1000), "Installed.");
  EXPECT_FALSE(Shown(1014));
  EXPECT_TRUE(Shown(1015));
  EXPECT_EQ(Text(1015), "&Start now");
  EXPECT_EQ(SendDlgItemMessageA(page, 1015, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(Rect(1015).top, Rect(1014).top);
  EXPECT_EQ(Text(1001), "Tick to start.");
  EXPECT_EQ(Text(1002), "Restart!");
  EXPECT_EQ(Text(1003), "");
  // Ticking the box is remembered; Next ends the page as Cancel.
  SendDlgItemMessageA(page, 1015, BM_SETCHECK, BST_CHECKED, 0);
  SendMessageA(page, WM_COMMAND, 1015, 0);
  EXPECT_EQ(RunAfterChecked, 1u);
  PageResult = 0;
  EXPECT_EQ(SendMessageA(page, WM_COMMAND, kControlNext, 0), 1);
  EXPECT_EQ(PageResult, kPageResultCancel);
}

TEST_F(FinishPageTest, PlainSuccessEmptiesTheLastLine) {
  SetTextGroup(kPageFinish, {"Done", "Installed.", "Intro", "Tick", "Failed:\n%s", "&Open", "&Start", "Restart!"});
  Open();
  EXPECT_EQ(Text(1000), "Installed.");
  EXPECT_EQ(Text(1001), "Intro");
  EXPECT_FALSE(Shown(1014));
  EXPECT_FALSE(Shown(1015));
  EXPECT_EQ(Text(1003), "");
}

TEST_F(FinishPageTest, ConfirmationAsksAboutReadOnlyTargets) {
  PageIndex = kPageConfirmation;
  SetTextGroup(kPageConfirmation, {"Ready", "", "Into %s.", "", ""});
  char folder[kPathBufferSize] = "C:\\Program Files\\App\\";
  char* saved = InstallDir;
  InstallDir = folder;
  Open(ConfirmationPage);
  EXPECT_EQ(Text(1001), "Into C:\\Program Files\\App.");
  EXPECT_STREQ(InstallDir, "C:\\Program Files\\App\\");
  ReadOnlyTargetsFound = false;
  EXPECT_EQ(SendMessageA(page, WM_COMMAND, kControlNext, 0), 0);  // the frame goes on
  EXPECT_TRUE(ShownMessages.empty());
  ReadOnlyTargetsFound = true;
  ScriptedAnswers = {kAnswerNo, kAnswerYes};
  EXPECT_EQ(SendMessageA(page, WM_COMMAND, kControlNext, 0), 1);  // the page stays
  EXPECT_EQ(SendMessageA(page, WM_COMMAND, kControlNext, 0), 0);
  ASSERT_EQ(ShownMessages.size(), 2u);
  EXPECT_EQ(ShownMessages[0].text, "Replace read-only?");
  EXPECT_EQ(ShownMessages[0].boxType, kBoxYesNo);
  ReadOnlyTargetsFound = false;
  InstallDir = saved;
}

}  // namespace
