#include "winui/frmTessaly.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "winui/common_controls.h"

#include "engine/modCSV.h"
#include "platform/file_seam.h"
#include "session/session.h"
#include "session/twips.h"
#include "tests/support/export_lines.h"
#include "tests/support/main_window_behaviour.h"
#include "tests/support/recording_reporter.h"
#include "tests/winui/window_test_support.h"
#include "winui/file_dialogs.h"
#include "winui/frmAbt.h"
#include "winui/message_box_reporter.h"

namespace tessaly::winui {
namespace {

using design::Command;
using test::kAda;
using test::kAlan;

std::string Narrow(const std::wstring& text) {
  return win32::Utf8(text);
}

// Answers the next dialog once, then Cancel.
struct ScriptedDialogs : FileDialogs {
  std::optional<std::string> ShowOpen(const FileChoice& choice) override {
    asked.push_back(choice);
    return std::exchange(open, std::nullopt);
  }
  std::optional<std::string> ShowSave(const FileChoice& choice) override {
    asked.push_back(choice);
    return std::exchange(save, std::nullopt);
  }
  std::optional<std::string> open, save;
  std::vector<FileChoice> asked;
};

void Pump(frmTessaly& window) {
  test::Pump([&](MSG& msg) { return window.PreTranslate(msg); });
}

void WaitForConversion(frmTessaly& window) {
  while (window.session().Converting()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    Pump(window);
  }
  Pump(window);
}

test::Rect RectIn(HWND control, HWND parent) {
  RECT r{};
  GetWindowRect(control, &r);
  if (parent) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// The window with the common controls as a user drives and reads it.
class WinWindowDriver : public test::MainWindowDriver {
 public:
  WinWindowDriver(frmTessaly& window, ScriptedDialogs& dialogs) : window_(window), dialogs_(dialogs) {}

  std::string Caption() override {
    wchar_t text[256] = {};
    GetWindowTextW(window_.Window(), text, 256);
    return Narrow(text);
  }
  std::vector<test::MenuSeen> Menus() override {
    std::vector<test::MenuSeen> menus;
    HMENU bar = GetMenu(window_.Window());
    for (int m = 0; m < GetMenuItemCount(bar); ++m) {
      test::MenuSeen menu{MenuText(bar, m), {}};
      HMENU popup = GetSubMenu(bar, m);
      for (int i = 0; i < GetMenuItemCount(popup); ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE;
        GetMenuItemInfoW(popup, static_cast<UINT>(i), TRUE, &info);
        if (info.fType & MFT_SEPARATOR) {
          menu.items.push_back({"-", "", true});
          continue;
        }
        const std::string text = MenuText(popup, i);
        const size_t tab = text.find('\t');
        menu.items.push_back({text.substr(0, tab), tab == std::string::npos ? "" : text.substr(tab + 1),
                              !(info.fState & MFS_GRAYED)});
      }
      menus.push_back(menu);
    }
    return menus;
  }
  std::vector<test::ButtonSeen> Buttons() override {
    std::vector<test::ButtonSeen> buttons;
    const auto count = SendMessageW(window_.Toolbar1, TB_BUTTONCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
      TBBUTTON button{};
      SendMessageW(window_.Toolbar1, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&button));
      buttons.push_back({reinterpret_cast<const char*>(button.dwData), ToolTip(button.idCommand),
                         SendMessageW(window_.Toolbar1, TB_ISBUTTONENABLED,
                                      static_cast<WPARAM>(button.idCommand), 0) != 0});
    }
    return buttons;
  }
  std::vector<std::string> PanelKeys() override {
    std::vector<std::string> keys;
    const auto parts = SendMessageW(window_.StatusBar1, SB_GETPARTS, 0, 0);
    for (const auto& panel : design::kStatusPanels) {
      if (frmTessaly::PanelIndex(panel.key) < parts) keys.push_back(panel.key);
    }
    return keys;
  }
  std::string PanelText(const std::string& key) override {
    return Narrow(winui::PanelText(window_.StatusBar1, frmTessaly::PanelIndex(key)));
  }
  std::string PanelTip(const std::string& key) override {
    wchar_t tip[1024] = {};
    SendMessageW(window_.StatusBar1, SB_GETTIPTEXTW,
                 MAKEWPARAM(frmTessaly::PanelIndex(key), 1024), reinterpret_cast<LPARAM>(tip));
    return Narrow(tip);
  }
  std::vector<std::string> FieldNames() override {
    std::vector<std::string> names;
    for (int i = 0; i < ListView_GetItemCount(window_.lvCSV); ++i) {
      names.push_back(Narrow(ListText(window_.lvCSV, i, 0)));
    }
    return names;
  }
  std::string CsvHeader() override { return Narrow(HeaderText(window_.lvCSV, 0)); }
  std::vector<std::string> Headers() override {
    std::vector<std::string> headers;
    for (int c = 0; c < ColumnCount(window_.lvMDB); ++c) headers.push_back(Narrow(HeaderText(window_.lvMDB, c)));
    return headers;
  }
  int64_t Rows() override { return ListView_GetItemCount(window_.lvMDB); }
  std::string Cell(int64_t row, int column) override {
    return Narrow(ListText(window_.lvMDB, static_cast<int>(row), column));
  }

  void AnswerOpen(std::optional<std::string> path) override { dialogs_.open = std::move(path); }
  void AnswerSave(std::optional<std::string> path) override { dialogs_.save = std::move(path); }
  // As the menu does: WM_COMMAND with the item's identifier.
  void ChooseMenuItem(const std::string& caption) override {
    HMENU bar = GetMenu(window_.Window());
    for (int m = 0; m < GetMenuItemCount(bar); ++m) {
      HMENU popup = GetSubMenu(bar, m);
      for (int i = 0; i < GetMenuItemCount(popup); ++i) {
        const std::string text = MenuText(popup, i);
        if (text.substr(0, text.find('\t')) == caption) {
          SendMessageW(window_.Window(), WM_COMMAND, GetMenuItemID(popup, i), 0);
          Pump(window_);
          return;
        }
      }
    }
    ADD_FAILURE() << "no menu item " << caption;
  }
  // A mouse click in the middle of the button.
  void ClickButton(const std::string& key) override {
    const auto count = SendMessageW(window_.Toolbar1, TB_BUTTONCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
      TBBUTTON button{};
      SendMessageW(window_.Toolbar1, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&button));
      if (key != reinterpret_cast<const char*>(button.dwData)) continue;
      RECT r{};
      SendMessageW(window_.Toolbar1, TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r));
      const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
      SendMessageW(window_.Toolbar1, WM_MOUSEMOVE, 0, at);
      SendMessageW(window_.Toolbar1, WM_LBUTTONDOWN, MK_LBUTTON, at);
      SendMessageW(window_.Toolbar1, WM_LBUTTONUP, 0, at);
      Pump(window_);
      return;
    }
    ADD_FAILURE() << "no button " << key;
  }
  // Ctrl held while the key goes down and up, through the program's message loop.
  void TypeCtrl(char key) override {
    SetFocus(window_.lvCSV);
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    PostMessageW(window_.lvCSV, WM_KEYDOWN, static_cast<WPARAM>(key), 1);
    PostMessageW(window_.lvCSV, WM_KEYUP, static_cast<WPARAM>(key), 0xC0000001);
    Pump(window_);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
  }
  void WaitWhileConverting(const std::function<void()>& meanwhile) override {
    while (window_.session().Converting()) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
      Pump(window_);
      if (meanwhile) meanwhile();
    }
    Pump(window_);
  }
  void AskToClose() override { SendMessageW(window_.Window(), WM_CLOSE, 0, 0); }
  bool Shows() override { return window_.Window() && IsWindowVisible(window_.Window()); }
  bool Busy() override { return window_.Busy(); }
  void ListFieldNames(const std::vector<std::u16string>& names) override { window_.FillCSVlv(names); }
  void OpenGuideWith(std::function<std::string(const std::string& path)> open) override {
    window_.openDocument = std::move(open);
  }

  void ResizeWindow(int width, int height) override {
    SetWindowPos(window_.Window(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
    Pump(window_);
  }
  test::Rect WindowRect() override { return RectIn(window_.Window(), nullptr); }
  test::Rect CsvRect() override { return RectIn(window_.lvCSV, window_.Window()); }
  test::Rect MdbRect() override { return RectIn(window_.lvMDB, window_.Window()); }

  // What the button's tool tip would show, asked as the tool tip asks.
  std::string ToolTip(int id) {
    NMTTDISPINFOW request{};
    request.hdr.hwndFrom = reinterpret_cast<HWND>(SendMessageW(window_.Toolbar1, TB_GETTOOLTIPS, 0, 0));
    request.hdr.idFrom = static_cast<UINT_PTR>(id);
    request.hdr.code = TTN_GETDISPINFOW;
    SendMessageW(window_.Window(), WM_NOTIFY, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&request));
    return request.lpszText ? Narrow(request.lpszText) : std::string();
  }

 private:
  static std::string MenuText(HMENU menu, int position) {
    wchar_t text[256] = {};
    GetMenuStringW(menu, static_cast<UINT>(position), text, 256, MF_BYPOSITION);
    return Narrow(text);
  }

  frmTessaly& window_;
  ScriptedDialogs& dialogs_;
};

class WinWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    folder = std::filesystem::temp_directory_path() /
             ("winui-" + std::to_string(GetCurrentProcessId()) + "-" +
              testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    window.quitWithWindow = false;
    ASSERT_TRUE(window.Create()) << "no window: does Wine have an X display (DISPLAY)?";
    ShowWindow(window.Window(), SW_SHOWNORMAL);
    UpdateWindow(window.Window());
    Pump(window);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }

  std::string WriteCards(const std::string& name, const std::vector<test::Card>& cards) {
    return test::WriteCards(folder / name, cards);
  }
  void Choose(Command command) {
    SendMessageW(window.Window(), WM_COMMAND, static_cast<WPARAM>(frmTessaly::CommandId(command)), 0);
    Pump(window);
  }
  void Open(const std::string& path) { dialogs.open = path, Choose(Command::kOpen); }
  void Parse() { Choose(Command::kParse), WaitForConversion(window); }

  std::filesystem::path folder;
  test::RecordingReporter reporter;
  modCSV csv{reporter};
  ScriptedDialogs dialogs;
  frmTessaly window{csv, reporter, dialogs};
};

TEST_F(WinWindowTest, LooksAsDesigned) {
  WinWindowDriver driver(window, dialogs);
  test::ExpectLooksAsDesigned(driver);
  // Report view; lvMDB holds no rows of its own, only their number.
  for (HWND list : {window.lvCSV, window.lvMDB}) {
    EXPECT_EQ(GetWindowLongW(list, GWL_STYLE) & LVS_TYPEMASK, LVS_REPORT);
  }
  EXPECT_TRUE(GetWindowLongW(window.lvMDB, GWL_STYLE) & LVS_OWNERDATA);
  EXPECT_FALSE(GetWindowLongW(window.lvCSV, GWL_STYLE) & LVS_OWNERDATA);
}

TEST_F(WinWindowTest, CommandsByMenuButtonAndShortcut) {
  WinWindowDriver driver(window, dialogs);
  test::RunCommandSteps(driver, folder, reporter);
  // The dialogs as the commands set them up.
  ASSERT_GE(dialogs.asked.size(), 2u);
  EXPECT_EQ(dialogs.asked[0].title, "Open Orvane Card export file...");
  EXPECT_EQ(dialogs.asked[0].fileName, "");
  const FileChoice& save = dialogs.asked[3];
  EXPECT_EQ(save.title, "Save MDB Card data file...");
  EXPECT_EQ(save.fileName, "OrvaneCard.mdb");
  EXPECT_EQ(DialogFilter(save.filters), std::wstring(L"MDB (*.mdb)\0*.mdb\0All (*.*)\0*.*\0\0", 33));
}

TEST_F(WinWindowTest, LayoutRule) {
  WinWindowDriver driver(window, dialogs);
  test::RunResizeSteps(driver);
}

// Column widths are the design's twips at the display's resolution.
TEST_F(WinWindowTest, ColumnsInTwips) {
  HDC dc = GetDC(window.Window());
  const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
  ReleaseDC(window.Window(), dc);
  EXPECT_EQ(ListView_GetColumnWidth(window.lvCSV, 0), TwipsToPixels(1755, dpi));
  Open(WriteCards("cards.csv", {kAda, kAlan}));
  Parse();
  ASSERT_EQ(ColumnCount(window.lvMDB), 42);
  EXPECT_EQ(ListView_GetColumnWidth(window.lvMDB, 0), TwipsToPixels(600, dpi));
  EXPECT_EQ(ListView_GetColumnWidth(window.lvMDB, 41), TwipsToPixels(1000, dpi));
}

// A long listing is read as it is shown: its last rows are there at once, and a
// later listing replaces it under the same columns.
TEST_F(WinWindowTest, LongListingsAndTheirEnd) {
  std::vector<test::Card> cards(3000, kAlan);
  cards.back() = kAda;
  Open(WriteCards("many.csv", cards));
  Parse();
  ASSERT_EQ(ListView_GetItemCount(window.lvMDB), 3000);
  ListView_EnsureVisible(window.lvMDB, 2999, FALSE);
  UpdateWindow(window.lvMDB);
  EXPECT_EQ(Narrow(ListText(window.lvMDB, 2999, 4)), "Lovelace");
  EXPECT_EQ(Narrow(ListText(window.lvMDB, 1500, 2)), "Alan");
  EXPECT_EQ(Narrow(ListText(window.lvMDB, 3000, 2)), "");  // past the end

  ListView_SetItemState(window.lvMDB, 2999, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  Open(WriteCards("one.csv", {kAda}));
  Parse();
  EXPECT_EQ(ListView_GetItemCount(window.lvMDB), 1);
  EXPECT_EQ(ListView_GetSelectedCount(window.lvMDB), 0u);  // nothing of the last listing stays selected
  EXPECT_EQ(ColumnCount(window.lvMDB), 42);
  EXPECT_EQ(Narrow(ListText(window.lvMDB, 0, 4)), "Lovelace");
  EXPECT_TRUE(reporter.reports.empty());
}

TEST_F(WinWindowTest, SaveAsUnderTheHourglass) {
  WinWindowDriver driver(window, dialogs);
  test::RunSaveAs(driver, folder, reporter);
}

TEST_F(WinWindowTest, FailuresAreReportedWithTheirIcons) {
  WinWindowDriver driver(window, dialogs);
  test::RunFailureReports(driver, reporter);
}

TEST_F(WinWindowTest, ProgressWhileConverting) {
  WinWindowDriver driver(window, dialogs);
  test::RunProgressWhileConverting(driver, folder);
}

TEST_F(WinWindowTest, CloseDuringConversionWaitsForItsEnd) {
  WinWindowDriver driver(window, dialogs);
  test::RunCloseDuringConversion(driver, folder);
  EXPECT_EQ(window.Window(), nullptr);
  EXPECT_FALSE(csv.mDbOpen());
  EXPECT_FALSE(csv.mCardFileOpen());
}

// A name too long for its panel gives up its middle; the tip keeps it whole.
TEST_F(WinWindowTest, LongNamesInPanels) {
  WinWindowDriver driver(window, dialogs);
  const std::string name = "contacts-" + std::string(80, 'x') + ".csv";
  window.SetPanel(Panel::kCsvFile, name, "C:\\" + name);
  const std::string shown = driver.PanelText("CSVfile");
  EXPECT_EQ(shown.rfind("contacts-", 0), 0u) << shown;
  EXPECT_EQ(shown.substr(shown.size() - 4), ".csv") << shown;
  EXPECT_LT(shown.size(), name.size());
  EXPECT_EQ(driver.PanelTip("CSVfile"), "C:\\" + name);
}

// Ctrl+A loads one About box however often it is chosen.
TEST_F(WinWindowTest, OneAboutBox) {
  WinWindowDriver driver(window, dialogs);
  driver.TypeCtrl('A');
  ASSERT_NE(window.AboutBox(), nullptr);
  HWND box = window.AboutBox()->Window();
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(IsWindowVisible(box));
  driver.ChooseMenuItem("&About");
  EXPECT_EQ(window.AboutBox()->Window(), box);
  EXPECT_NE(GetWindow(box, GW_OWNER), window.Window());  // modeless, apart from the main window
}

// The system's boxes, answered as a user would: each text whole, the card or the
// line below it, and the check box that ends the card messages of this conversion.
class BoxAnswerer {
 public:
  BoxAnswerer() {
    self_ = this;
    timer_ = SetTimer(nullptr, 0, 20, &BoxAnswerer::Tick);
  }
  ~BoxAnswerer() {
    KillTimer(nullptr, timer_);
    self_ = nullptr;
  }
  std::vector<std::string> seen;

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (self_) EnumThreadWindows(GetCurrentThreadId(), &BoxAnswerer::Answer, 0);
  }
  static BOOL CALLBACK Answer(HWND box, LPARAM) {
    wchar_t className[64] = {};
    GetClassNameW(box, className, 64);
    if (std::wstring(className) != L"#32770" || !IsWindowVisible(box)) return TRUE;
    std::string texts;
    HWND check = nullptr;
    EnumChildWindows(box, &BoxAnswerer::Read, reinterpret_cast<LPARAM>(&texts));
    EnumChildWindows(box, &BoxAnswerer::FindCheck, reinterpret_cast<LPARAM>(&check));
    wchar_t title[128] = {};
    GetWindowTextW(box, title, 128);
    self_->seen.push_back(Narrow(title) + ": " + texts);
    if (check) SendMessageW(check, BM_CLICK, 0, 0);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return FALSE;
  }
  static BOOL CALLBACK Read(HWND control, LPARAM texts) {
    wchar_t className[64] = {};
    GetClassNameW(control, className, 64);
    wchar_t text[1024] = {};
    GetWindowTextW(control, text, 1024);
    auto& all = *reinterpret_cast<std::string*>(texts);
    if (std::wstring(className) == L"Static" && text[0]) all += (all.empty() ? "" : " | ") + Narrow(text);
    return TRUE;
  }
  static BOOL CALLBACK FindCheck(HWND control, LPARAM found) {
    const auto style = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
    wchar_t text[256] = {};
    GetWindowTextW(control, text, 256);
    if ((style == BS_AUTOCHECKBOX || style == BS_CHECKBOX) && Narrow(text) == kNoMoreCardErrors) {
      *reinterpret_cast<HWND*>(found) = control;
    }
    return TRUE;
  }

  static inline BoxAnswerer* self_ = nullptr;
  UINT_PTR timer_ = 0;
};

TEST_F(WinWindowTest, TheSystemsMessageBoxes) {
  MessageBoxReporter boxes;
  modCSV converter(boxes);
  frmTessaly own(converter, boxes, dialogs);
  own.quitWithWindow = false;
  ASSERT_TRUE(own.Create());
  boxes.SetOwner(own.Window());
  ShowWindow(own.Window(), SW_SHOWNORMAL);
  BoxAnswerer answerer;

  const std::string tooLong(56, 'x');
  dialogs.open = WriteCards("refused.csv", {kAlan, {{3, "Lovelace"}, {18, tooLong}}, {{18, tooLong}}});
  SendMessageW(own.Window(), WM_COMMAND, static_cast<WPARAM>(frmTessaly::CommandId(Command::kOpen)), 0);
  SendMessageW(own.Window(), WM_COMMAND, static_cast<WPARAM>(frmTessaly::CommandId(Command::kParse)), 0);
  WaitForConversion(own);
  EXPECT_EQ(Narrow(PanelText(own.StatusBar1, 1)), "Translation complete.");
  EXPECT_EQ(converter.LastRun().cardsFailed, 2);
  ASSERT_EQ(answerer.seen.size(), 1u) << testing::PrintToString(answerer.seen);
  const std::string& box = answerer.seen[0];
  EXPECT_EQ(box.rfind("Orvane Tessaly: ", 0), 0u) << box;
  EXPECT_NE(box.find("Err 3163 The text for field 'Company' is 56 characters long; the field holds at "
                     "most 55.\nCard 2, line 3: Lovelace"),
            std::string::npos)
      << box;

  answerer.seen.clear();
  dialogs.open = WriteCards("contacts.csv", {});
  std::ofstream(folder / "contacts.csv", std::ios::binary)
      << test::Crlf({test::HeaderLine(), "x", test::RecordLine(kAda)});
  SendMessageW(own.Window(), WM_COMMAND, static_cast<WPARAM>(frmTessaly::CommandId(Command::kOpen)), 0);
  SendMessageW(own.Window(), WM_COMMAND, static_cast<WPARAM>(frmTessaly::CommandId(Command::kParse)), 0);
  WaitForConversion(own);
  EXPECT_EQ(Narrow(PanelText(own.StatusBar1, 1)), "Translation incomplete.");
  ASSERT_EQ(answerer.seen.size(), 2u) << testing::PrintToString(answerer.seen);
  EXPECT_NE(answerer.seen[1].find("Err -2147220502 Problem parsing line!\nLine 2 of contacts.csv"),
            std::string::npos)
      << answerer.seen[1];
}

}  // namespace
}  // namespace tessaly::winui
