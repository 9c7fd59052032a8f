#include "winui/frmExFolders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "winui/common_controls.h"

#include "engine/modCSV.h"
#include "outlook/folder_store.h"
#include "tests/support/recording_reporter.h"
#include "tests/support/standin_outlook.h"
#include "tests/support/test_platform.h"
#include "tests/winui/window_test_support.h"

namespace tessaly::winui {
namespace {

namespace fs = std::filesystem;
using test::ComeForward;
using test::Press;
using test::Pump;

// A stand-in store's folder, named as its id; type 2 holds contacts.
std::string Folder(const std::string& id, int type, int count, const std::string& folders = "") {
  return R"({"entryId": ")" + id + R"(", "name": ")" + id + R"(", "defaultItemType": )" +
         std::to_string(type) + R"(, "itemCount": )" + std::to_string(count) + R"(, "folders": [)" +
         folders + "]}";
}
const std::string kStore =
    R"({"stores": [{"root": )" +
    Folder("ROOT", 0, 0, Folder("00000000EMPTY", 2, 0) + ", " + Folder("00000000FULL", 2, 312)) +
    "}]}";

// What a timer saw of an open folder dialog before it closed it.
struct Seen {
  HWND owner = nullptr;
  bool dialog = false;
  bool ownerEnabled = true;
  std::wstring typeFirst;  // typed into the contact box, which is then left
  bool typed = false;
  std::wstring count;  // the "Contact" panel's text after that
} seen;

void CALLBACK CloseTheDialog(HWND, UINT, UINT_PTR, DWORD) {
  HWND dialog = FindWindowW(nullptr, L"Exchange folders");
  if (!dialog || !IsWindowVisible(dialog)) return;
  seen.dialog = true;
  seen.ownerEnabled = IsWindowEnabled(seen.owner) != FALSE;
  // The controls in tab order; the check runs from the dialog's own loop.
  HWND contact = FindWindowExW(dialog, nullptr, WC_EDITW, nullptr);
  if (!seen.typeFirst.empty() && !seen.typed) {
    SetFocus(contact);
    SetWindowTextW(contact, seen.typeFirst.c_str());
    SetFocus(FindWindowExW(dialog, contact, WC_EDITW, nullptr));
    seen.typed = true;
    return;
  }
  HWND bar = FindWindowExW(dialog, nullptr, STATUSCLASSNAMEW, nullptr);
  wchar_t count[32] = {};
  if (LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, 1, 0)) < std::size(count)) {
    SendMessageW(bar, SB_GETTEXTW, 1, reinterpret_cast<LPARAM>(count));
  }
  seen.count = count;
  PostMessageW(dialog, WM_CLOSE, 0, 0);
}

class ExFoldersTest : public testing::Test {
 protected:
  ExFoldersTest() {
    owner_ = CreateWindowExW(0, WC_STATICW, L"Main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 50, 800,
                             600, nullptr, nullptr, nullptr, nullptr);
    seen = Seen{};
    seen.owner = owner_;
  }
  ~ExFoldersTest() override {
    if (timer_) KillTimer(nullptr, timer_);
    test::SetEnv(outlook::kStoreVariable, "");
    DestroyWindow(owner_);
    Pump();
    std::error_code ignored;
    fs::remove(store_, ignored);
  }

  void UseStore(const std::string& json) {
    std::ofstream(store_, std::ios::binary) << json;
    test::SetEnv(outlook::kStoreVariable, win32::Utf8(store_.wstring()));
    ns_ = outlook::CreateOutlookApplication()->GetNamespace("MAPI");
  }
  // Shown as RunModal shows it, without its loop.
  void Open(frmExFolders& dialog) {
    ASSERT_TRUE(dialog.Create(owner_));
    ShowWindow(dialog.Window(), SW_SHOW);
    ComeForward(dialog.Window());
  }
  // Types `text` into the contact box and moves the focus on to the journal box.
  static void Leave(frmExFolders& dialog, const std::string& text) {
    SetFocus(dialog.txtContactFolder);
    SetWindowTextW(dialog.txtContactFolder, win32::Wide(text).c_str());
    SetFocus(dialog.txtJournalFolder);
    Pump();
  }
  void CloseDialogsByTimer() { timer_ = SetTimer(nullptr, 0, 20, CloseTheDialog); }

  HWND owner_ = nullptr;
  UINT_PTR timer_ = 0;
  const fs::path store_ =
      fs::temp_directory_path() / ("tessaly-store-" + std::to_string(test::ProcessId()) + ".json");
  std::shared_ptr<outlook::NameSpace> ns_;  // not connected until a store is used
  test::RecordingReporter reporter_;
};

TEST_F(ExFoldersTest, OpensWithItsPanelsAndOnlyTheCloseBoxClosesIt) {
  frmExFolders dialog(ns_, reporter_);
  Open(dialog);
  EXPECT_EQ(dialog.PanelText("Stat"), L"Enter Outlook unique folder names.");
  EXPECT_EQ(dialog.PanelText("Contact"), L"");
  EXPECT_EQ(dialog.PanelText("Journal"), L"");
  EXPECT_EQ(GetFocus(), dialog.OKButton);
  for (HWND next :
       {dialog.CancelButton, dialog.txtContactFolder, dialog.txtJournalFolder, dialog.OKButton}) {
    Press(dialog.Window(), VK_TAB);
    EXPECT_EQ(GetFocus(), next);
  }
  // Tabbing out of the contact box checked it, with Outlook not connected.
  ASSERT_EQ(reporter_.reports.size(), 1u);
  EXPECT_EQ(reporter_.reports[0].text.rfind("Err 91 ", 0), 0u) << reporter_.reports[0].text;
  EXPECT_EQ(reporter_.reports[0].icon, Icon::Critical);

  SendMessageW(dialog.OKButton, BM_CLICK, 0, 0);
  SendMessageW(dialog.CancelButton, BM_CLICK, 0, 0);
  for (HWND focus : {dialog.OKButton, dialog.txtJournalFolder}) {
    SetFocus(focus);
    Press(dialog.Window(), VK_RETURN);
    Press(dialog.Window(), VK_ESCAPE);
  }
  ASSERT_NE(dialog.Window(), nullptr);
  EXPECT_TRUE(IsWindowVisible(dialog.Window()));
  SendMessageW(dialog.Window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(dialog.Window(), nullptr);
  EXPECT_EQ(reporter_.reports.size(), 1u);
}

TEST_F(ExFoldersTest, LeavingTheContactBoxShowsItsItemCount) {
  UseStore(kStore);
  frmExFolders dialog(ns_, reporter_);
  Open(dialog);
  // Nothing typed and an unknown id find no folder and keep the last count.
  const std::pair<const char*, const wchar_t*> lookups[] = {
      {"", L""}, {"00000000EMPTY", L"0"}, {"  00000000FULL  ", L"312"}, {"00000000NONE", L"312"}};
  for (const auto& [text, count] : lookups) {
    Leave(dialog, text);
    EXPECT_EQ(dialog.PanelText("Contact"), count) << text;
    EXPECT_EQ(GetFocus(), dialog.txtJournalFolder);
  }
  ASSERT_EQ(reporter_.reports.size(), 2u);
  for (const auto& report : reporter_.reports) {
    EXPECT_EQ(report.text.rfind("Err -2147221233 ", 0), 0u) << report.text;
    EXPECT_EQ(report.icon, Icon::Critical);
  }

  // Neither the journal box nor leaving for another window looks anything up, and
  // coming back to the dialog is no leaving either.
  SetWindowTextW(dialog.txtJournalFolder, L"ROOT");
  SetFocus(dialog.txtContactFolder);
  SetWindowTextW(dialog.txtContactFolder, L"00000000EMPTY");
  SetFocus(owner_);
  Pump();
  SetActiveWindow(dialog.Window());
  Pump();
  EXPECT_EQ(GetFocus(), dialog.txtContactFolder);
  EXPECT_EQ(dialog.PanelText("Contact"), L"312");
  EXPECT_EQ(reporter_.reports.size(), 2u);
}

// A message box runs its own message loop while it shows a failure.
TEST_F(ExFoldersTest, WhileAFailureIsShown) {
  UseStore(kStore);
  frmExFolders dialog(ns_, reporter_);
  Open(dialog);
  // Leaving the box again is checked after the first report, not inside it.
  int depth = 0;
  int deepest = 0;
  reporter_.whenShown = [&] {
    deepest = std::max(deepest, ++depth);
    if (reporter_.reports.size() == 1) Leave(dialog, "00000000NONE");
    --depth;
  };
  Leave(dialog, "00000000NONE");
  EXPECT_EQ(reporter_.reports.size(), 2u);
  EXPECT_EQ(deepest, 1);

  // Closed meanwhile, the dialog is left alone afterwards.
  reporter_.whenShown = [&] { SendMessageW(dialog.Window(), WM_CLOSE, 0, 0); };
  Leave(dialog, "00000000NONE");
  EXPECT_EQ(dialog.Window(), nullptr);
  EXPECT_EQ(reporter_.reports.size(), 3u);
}

TEST_F(ExFoldersTest, RunModalEndsWithTheDialogOrAQuit) {
  {
    frmExFolders dialog(ns_, reporter_);
    ASSERT_TRUE(dialog.Create(owner_));
    PostMessageW(dialog.Window(), WM_CLOSE, 0, 0);
    dialog.RunModal();
    EXPECT_EQ(dialog.Window(), nullptr);
    EXPECT_TRUE(IsWindowEnabled(owner_));
    EXPECT_EQ(GetActiveWindow(), owner_);
  }
  {
    // The thread's loop still gets the quit message.
    frmExFolders dialog(ns_, reporter_);
    ASSERT_TRUE(dialog.Create(owner_));
    PostQuitMessage(7);
    dialog.RunModal();
    EXPECT_TRUE(IsWindowEnabled(owner_));
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
  }
  {
    // An owner disabled before stays disabled.
    EnableWindow(owner_, FALSE);
    frmExFolders dialog(ns_, reporter_);
    ASSERT_TRUE(dialog.Create(owner_));
    PostMessageW(dialog.Window(), WM_CLOSE, 0, 0);
    dialog.RunModal();
    EXPECT_FALSE(IsWindowEnabled(owner_));
  }
}

// With no folder store named and no Outlook registered.
TEST_F(ExFoldersTest, NotesToJournalShowsTheDialogOnlyWithOutlook) {
  modCSV csv(reporter_);
  CloseDialogsByTimer();
  NotesToJournal(csv, reporter_, owner_);
  EXPECT_FALSE(seen.dialog);
  ASSERT_EQ(reporter_.reports.size(), 1u);
  EXPECT_EQ(reporter_.reports[0].text.rfind("Err 429 Outlook is not available (", 0), 0u)
      << reporter_.reports[0].text;
  EXPECT_EQ(reporter_.reports[0].icon, Icon::Exclamation);
  EXPECT_EQ(csv.mOlNs(), nullptr);

  UseStore(kStore);
  NotesToJournal(csv, reporter_, owner_);
  EXPECT_TRUE(seen.dialog);
  EXPECT_FALSE(seen.ownerEnabled);
  EXPECT_TRUE(IsWindowEnabled(owner_));
  EXPECT_NE(csv.mOlNs(), nullptr);
  EXPECT_EQ(reporter_.reports.size(), 1u);
}

// As tessaly.exe runs it: Outlook reached through its automation interface.
TEST_F(ExFoldersTest, NotesToJournalReachesOutlookThroughItsAutomationInterface) {
  test::StandInOutlook outlook;
  std::string why;
  if (!outlook.Register(why)) GTEST_SKIP() << why;
  outlook.Serve(kStore);
  modCSV csv(reporter_);
  seen.typeFirst = L"  00000000FULL ";
  CloseDialogsByTimer();
  NotesToJournal(csv, reporter_, owner_);
  EXPECT_TRUE(seen.dialog);
  EXPECT_TRUE(seen.typed);
  EXPECT_EQ(seen.count, L"312");
  EXPECT_TRUE(reporter_.reports.empty());
  std::cout << "Notes to Journal through the automation interface: the dialog showed "
            << win32::Utf8(seen.count) << " items for the folder typed\n";

  // Gone from the system: the command says so, shows no dialog, keeps the last
  // connection.
  outlook.Unregister();
  seen = Seen{};
  seen.owner = owner_;
  NotesToJournal(csv, reporter_, owner_);
  EXPECT_FALSE(seen.dialog);
  ASSERT_EQ(reporter_.reports.size(), 1u);
  EXPECT_EQ(reporter_.reports[0].text,
            "Err 429 Outlook is not available (\"Outlook.Application\" is not registered on this "
            "computer).");
  EXPECT_EQ(reporter_.reports[0].icon, Icon::Exclamation);
  EXPECT_NE(csv.mOlNs(), nullptr);
  csv.SetOlNs(nullptr);
  csv.SetOlApp(nullptr);
  EXPECT_EQ(outlook.LiveObjects(), 0);
}

}  // namespace
}  // namespace tessaly::winui
