#include "winui/frmAbt.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <optional>

#include "winui/common_controls.h"

#include "platform/failure.h"
#include "session/about_box.h"
#include "tests/support/recording_reporter.h"
#include "tests/support/test_platform.h"
#include "tests/winui/window_test_support.h"

namespace tessaly::winui {
namespace {

namespace fs = std::filesystem;
using test::ComeForward;
using test::Press;
using test::Pump;
using test::Frame;
using test::Text;

// Knows the system-information program's "PATH" value, if it is given one.
struct FakeRegistry : Registry {
  bool GetKeyValue(int32_t root, const std::string& key, const std::string& name,
                   std::string& value) override {
    const bool known = root == kHKeyLocalMachine && key == kMsInfoKey && name == "PATH" && path;
    value = known ? *path : "";
    return known;
  }
  std::optional<std::string> path;
};

class AboutTest : public testing::Test {
 protected:
  AboutTest() {
    main_ = CreateWindowExW(0, WC_STATICW, L"Main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 50, 800,
                            600, nullptr, nullptr, nullptr, nullptr);
  }
  ~AboutTest() override {
    box_.reset();
    DestroyWindow(main_);
    Pump();
  }

  // The stand-in system answers with version_, or fails when fail_ says so.
  AboutServices Services() {
    AboutServices services;
    services.queryOsVersion = [this]() -> OsVersion {
      if (fail_) throw Failure(5, "No version");
      return version_;
    };
    services.registry = registry_;
    services.start = [this](const std::string& commandLine) {
      started_.push_back(commandLine);
      if (startFails_) throw Failure(err::kFileNotFound, "File not found");
    };
    return services;
  }
  frmAbt& Show() {
    ShowAbout(box_, main_, reporter_, Services());
    ComeForward(box_->Window());
    return *box_;
  }
  // A box made anew, as on the program's first Help > About.
  frmAbt& ShowNew() {
    box_.reset();
    return Show();
  }

  HWND main_ = nullptr;
  std::unique_ptr<frmAbt> box_;
  test::RecordingReporter reporter_;
  OsVersion version_{PlatformNameFromId(2), 1381};
  bool fail_ = false;
  std::shared_ptr<FakeRegistry> registry_ = std::make_shared<FakeRegistry>();
  std::vector<std::string> started_;
  bool startFails_ = false;
};

TEST_F(AboutTest, TextsOfTheBox) {
  frmAbt& box = Show();
  EXPECT_EQ(Text(box.Window()), L"About Orvane Tessaly");
  EXPECT_EQ(Text(box.lblTitle), L"Orvane Tessaly");
  EXPECT_EQ(Text(box.lblVersion), L"Version 1.2.0");
  EXPECT_EQ(Text(box.lblWinVer), L"WinNT");
  EXPECT_EQ(Text(box.lblBuild), L"Build 1381");
  std::wstring maker = win32::Wide(about::MakerLines());
  for (size_t at = maker.find(L'\n'); at != std::wstring::npos; at = maker.find(L'\n', at + 2)) {
    maker.insert(at, L"\r");
  }
  EXPECT_EQ(Text(box.lblDisclaimer), maker);
  EXPECT_TRUE(IsWindowVisible(box.Window()));
  EXPECT_EQ(GetFocus(), box.cmdOK);
  EXPECT_TRUE(reporter_.reports.empty());

  fail_ = true;
  EXPECT_EQ(Text(ShowNew().lblWinVer), L"");
  EXPECT_EQ(Text(box_->lblBuild), L"Build 0");
  ASSERT_EQ(reporter_.Texts(), std::vector<std::string>{"Err 5 No version"});
  EXPECT_EQ(reporter_.reports[0].icon, Icon::Exclamation);
}

TEST_F(AboutTest, EveryTextShowsWholeInsideTheBox) {
  for (const OsVersion& version :
       {version_, OsVersion{"A platform with a rather longer name than Windows NT", INT_MIN}}) {
    version_ = version;
    const frmAbt& box = ShowNew();
    RECT client{};
    GetClientRect(box.Window(), &client);
    std::vector<RECT> placed;
    for (HWND control : {box.lblDisclaimer, box.lblTitle, box.lblVersion, box.lblWinVer,
                         box.lblBuild, box.cmdOK, box.cmdSysInfo}) {
      SCOPED_TRACE(win32::Utf8(Text(control)));
      RECT at = Frame(control);
      MapWindowPoints(nullptr, box.Window(), reinterpret_cast<POINT*>(&at), 2);
      EXPECT_TRUE(at.left >= 0 && at.top >= 0 && at.right <= client.right &&
                  at.bottom <= client.bottom);
      for (const RECT& other : placed) {
        RECT both{};
        EXPECT_FALSE(IntersectRect(&both, &at, &other));
      }
      placed.push_back(at);
      if (control == box.cmdOK || control == box.cmdSysInfo) continue;
      const HWND label = control;
      const std::wstring text = Text(label);
      HDC dc = GetDC(label);
      SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
      RECT needed{};
      DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed,
                DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS);
      ReleaseDC(label, dc);
      EXPECT_LE(needed.right, at.right - at.left);
      EXPECT_LE(needed.bottom, at.bottom - at.top);
    }
  }
}

// Wherever the main window stands, also partly off screen.
TEST_F(AboutTest, CentredOverTheMainWindow) {
  for (const RECT& where : {RECT{100, 50, 900, 650}, RECT{-200, -100, 600, 500}, RECT{-700, -450, 101, 150}}) {
    MoveWindow(main_, where.left, where.top, where.right - where.left, where.bottom - where.top,
               FALSE);
    const RECT main = Frame(main_);
    const RECT box = Frame(ShowNew().Window());
    EXPECT_NEAR(box.left, main.left + (main.right - main.left - (box.right - box.left)) / 2.0, 0.5);
    EXPECT_NEAR(box.top, main.top + (main.bottom - main.top - (box.bottom - box.top)) / 2.0, 0.5);
  }
}

TEST_F(AboutTest, LoadedOnceAndAnewAfterOkOrTheCloseBox) {
  frmAbt& box = Show();
  const HWND window = box.Window();
  const RECT where = Frame(window);
  MoveWindow(main_, 300, 200, 800, 600, FALSE);
  version_ = {"Win95", 2};
  EXPECT_EQ(&Show(), &box);
  EXPECT_EQ(box.Window(), window);
  EXPECT_EQ(Text(box.lblWinVer), L"WinNT");
  const RECT still = Frame(window);
  EXPECT_TRUE(EqualRect(&where, &still));

  SendMessageW(box.cmdOK, BM_CLICK, 0, 0);
  EXPECT_EQ(box.Window(), nullptr);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(&Show(), &box);
  EXPECT_EQ(Text(box.lblWinVer), L"Win95");
  EXPECT_NE(Frame(box.Window()).left, where.left);

  // Loaded anew, nothing of the last box stays, also when the system cannot be asked.
  SendMessageW(box.Window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(box.Window(), nullptr);
  fail_ = true;
  EXPECT_NE(Show().Window(), nullptr);
  EXPECT_EQ(Text(box.lblWinVer), L"");
  EXPECT_EQ(Text(box.lblBuild), L"Build 0");
}

TEST_F(AboutTest, KeysAndSystemInfo) {
  frmAbt& box = Show();
  registry_->path = "C:\\Tools\\info.exe";
  Press(box.Window(), VK_TAB);
  EXPECT_EQ(GetFocus(), box.cmdSysInfo);
  Press(box.Window(), VK_RETURN);  // the focused button
  EXPECT_EQ(started_, std::vector<std::string>{"C:\\Tools\\info.exe"});
  EXPECT_TRUE(reporter_.reports.empty());
  // A program that does not start, or none, is unavailable alike.
  startFails_ = true;
  SendMessageW(box.cmdSysInfo, BM_CLICK, 0, 0);
  registry_->path.reset();
  SendMessageW(box.cmdSysInfo, BM_CLICK, 0, 0);
  EXPECT_EQ(started_.size(), 2u);
  EXPECT_EQ(reporter_.Texts(), std::vector<std::string>(2, kSysInfoUnavailable));
  for (const auto& report : reporter_.reports) EXPECT_EQ(report.icon, Icon::None);

  Press(box.Window(), VK_TAB);
  EXPECT_EQ(GetFocus(), box.cmdOK);
  Press(box.Window(), VK_ESCAPE);
  EXPECT_EQ(box.Window(), nullptr);
  Press(Show().Window(), VK_RETURN);
  EXPECT_EQ(box.Window(), nullptr);
  EXPECT_EQ(started_.size(), 2u);
}

// Unquoted, the path with a blank would start <dir>\Info.exe.
TEST_F(AboutTest, SystemInfoPathIsOnePathBlanksAndAll) {
  const fs::path dir =
      fs::temp_directory_path() / ("tessaly-about-" + std::to_string(test::ProcessId()));
  std::error_code ignored;
  fs::remove_all(dir, ignored);
  fs::create_directories(dir);
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  ASSERT_TRUE(
      CopyFileW((fs::path(system) / L"hostname.exe").c_str(), (dir / L"Info.exe").c_str(), FALSE));
  registry_->path = win32::Utf8((dir / L"Info Tool" / L"x.exe").wstring());
  AboutServices services = Services();
  services.start = nullptr;  // the program's own starter
  ShowAbout(box_, main_, reporter_, services);
  SendMessageW(box_->cmdSysInfo, BM_CLICK, 0, 0);
  EXPECT_EQ(reporter_.Texts(), std::vector<std::string>{kSysInfoUnavailable});
  fs::remove_all(dir, ignored);
}

}  // namespace
}  // namespace tessaly::winui
