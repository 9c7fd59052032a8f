#include "winui/frmAbt.h"

#include <algorithm>
#include <vector>

#include "winui/common_controls.h"

#include "platform/failure.h"
#include "session/about_box.h"
#include "tessaly/version.h"
#include "winui/start_program.h"
#include "winui/twips_scale.h"
#include "winui/window_basics.h"

namespace tessaly::winui {

namespace {

constexpr wchar_t kWindowClass[] = L"TessalyAboutBox";
// Not IDCANCEL, which Esc sends.
constexpr int kSysInfoId = 100;
constexpr int kLabelId = -1;

constexpr double kClientWidth = 5460;
constexpr double kClientHeight = 3555;

struct Design {
  double left, top, width, height;
};
// In the order of frmAbt::Controls().
constexpr Design kDesigns[] = {
    {4020, 2625, 1185, 360},  // cmdOK
    {4020, 3075, 1185, 345},  // cmdSysInfo
    {255, 2625, 3630, 825},   // lblDisclaimer
    {900, 120, 3285, 240},    // lblTitle
    {900, 360, 2625, 225},    // lblVersion
    {4380, 120, 1035, 195},   // lblWinVer
    {4020, 360, 1395, 195},   // lblBuild
};
constexpr size_t kButtons = 2;

void SetText(HWND window, const std::string& text) {
  SetWindowTextW(window, win32::Wide(text).c_str());
}

// Static controls break lines at CR LF only.
std::string WithCrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

// The registry's value is one path, blanks and all, unless its program is quoted:
// unquoted, CreateProcessW would first try C:\Program.exe for C:\Program Files\...
void StartRegistryCommand(const std::string& commandLine) {
  StartProgram(!commandLine.empty() && commandLine.front() == '"' ? commandLine
                                                                  : '"' + commandLine + '"');
}

// The size `control`'s text takes in its font; a button adds room for its frame.
SIZE TextRoom(HWND control, bool label, const TwipsScale& twips) {
  const std::wstring text = WindowText(control);
  HDC dc = GetDC(control);
  auto font = reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0));
  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  RECT extent{};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &extent,
            DT_CALCRECT | DT_LEFT | DT_EXPANDTABS | (label ? DT_NOPREFIX : 0));
  if (old) SelectObject(dc, old);
  ReleaseDC(control, dc);
  if (label) return {extent.right, extent.bottom};
  return {extent.right + twips.X(180), extent.bottom + twips.Y(90)};
}

}  // namespace

frmAbt::frmAbt(Reporter& reporter, AboutServices services)
    : reporter_(reporter), services_(std::move(services)) {}

frmAbt::~frmAbt() {
  if (hwnd_) DestroyWindow(hwnd_);
  if (hiddenOwner_) DestroyWindow(hiddenOwner_);
}

std::array<HWND, 7> frmAbt::Controls() const {
  return {cmdOK, cmdSysInfo, lblDisclaimer, lblTitle, lblVersion, lblWinVer, lblBuild};
}

void frmAbt::Show(HWND mainWindow) {
  if (!hwnd_ && !Load(mainWindow)) return;
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
}

bool frmAbt::Load(HWND mainWindow) {
  static const ATOM registered = [] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = Instance();
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassExW(&windowClass);
  }();
  if (registered && !hiddenOwner_) {
    hiddenOwner_ = CreateWindowExW(0, WC_STATICW, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                   Instance(), nullptr);
  }
  if (!registered || !hiddenOwner_ ||
      !CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kWindowClass, L"",
                       WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, 0, 0, 0, 0,
                       hiddenOwner_, nullptr, Instance(), this)) {
    reporter_.Show(
        "The About box cannot be shown (system error " + std::to_string(GetLastError()) + ").",
        Icon::Critical);
    return false;
  }
  Form_Load(mainWindow);
  return true;
}

LRESULT CALLBACK frmAbt::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  frmAbt* box = OwnerOf(hwnd, message, lParam, &frmAbt::hwnd_);
  if (!box) return DefWindowProcW(hwnd, message, wParam, lParam);
  return Guarded(box->reporter_, [&] { return box->OnMessage(message, wParam, lParam); });
}

LRESULT frmAbt::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      OnCreate();
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case DM_GETDEFID:
      return MAKELRESULT(IDOK, DC_HASDEFID);
    case WM_ACTIVATE:
      OnActivate(LOWORD(wParam) != WA_INACTIVE);
      return 0;
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_CLOSE:
      cmdOK_Click();
      return 0;
    case WM_NCDESTROY:
      OnNcDestroy();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void frmAbt::OnCreate() {
  font_ = MessageFont();
  auto add = [&](const wchar_t* windowClass, const wchar_t* text, DWORD style, int id,
                 const Design& at) {
    return AddControl(hwnd_, font_, 0, windowClass, text, style, id, at.left, at.top, at.width,
                      at.height);
  };
  // Created in tab order. Labels show '&' as it is.
  cmdOK = add(WC_BUTTONW, L"&OK", WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, kDesigns[0]);
  cmdSysInfo =
      add(WC_BUTTONW, L"&System Info...", WS_TABSTOP | BS_PUSHBUTTON, kSysInfoId, kDesigns[1]);
  const DWORD label = SS_LEFT | SS_NOPREFIX;
  lblDisclaimer = add(WC_STATICW, L"", label, kLabelId, kDesigns[2]);
  lblTitle = add(WC_STATICW, L"", label, kLabelId, kDesigns[3]);
  lblVersion = add(WC_STATICW, L"", label, kLabelId, kDesigns[4]);
  lblWinVer = add(WC_STATICW, L"", label, kLabelId, kDesigns[5]);
  lblBuild = add(WC_STATICW, L"", label, kLabelId, kDesigns[6]);
  focus_ = cmdOK;
}

void frmAbt::Form_Load(HWND mainWindow) {
  const std::string title = kApplicationTitle;
  SetText(hwnd_, about::Caption(title));
  SetText(lblVersion, about::VersionText());
  SetText(lblTitle, title);
  SetText(lblDisclaimer, WithCrLf(about::MakerLines()));
  // A box loaded anew knows nothing of the last one.
  WinVer.clear();
  mOsVer = {};
  GetWinVersion();
  SetText(lblWinVer, WinVer);
  SetText(lblBuild, about::BuildText(mOsVer.BuildNumber));
  // Centred once its size is known, which the texts decide.
  FitToTexts();
  PlaceCentred(hwnd_, mainWindow);
}

// The design sizes suit a narrower font than many systems have. A control too small
// for its text grows to the right and down, and the box grows to hold it.
void frmAbt::FitToTexts() {
  const TwipsScale twips(hwnd_);
  struct Placed {
    HWND control;
    bool label;
    RECT design;
    RECT now;
  };
  std::vector<Placed> all;
  const std::array<HWND, 7> controls = Controls();
  for (size_t i = 0; i < controls.size(); ++i) {
    const Design& at = kDesigns[i];
    const RECT design{twips.X(at.left), twips.Y(at.top), twips.X(at.left) + twips.X(at.width),
                      twips.Y(at.top) + twips.Y(at.height)};
    const bool label = i >= kButtons;
    const SIZE room = TextRoom(controls[i], label, twips);
    all.push_back({controls[i],
                   label,
                   design,
                   {design.left, design.top, design.left + std::max<int>(Width(design), room.cx),
                    design.top + std::max<int>(Height(design), room.cy)}});
  }
  // The buttons stand one above the other, as wide as each other.
  const int buttonWidth = std::max(Width(all[0].now), Width(all[1].now));
  for (size_t i = 0; i < kButtons; ++i) all[i].now.right = all[i].now.left + buttonWidth;

  // What a grown control comes too near moves right or down, keeping its design
  // distance up to 135 twips across and 90 down; lines of labels may stack as lines
  // of text do. The design says who lies beside or below whom, so moves go only
  // right or down and come to an end.
  for (bool moved = true; moved;) {
    moved = false;
    for (const Placed& from : all) {
      for (Placed& to : all) {
        const bool rowsMeet =
            from.design.top < to.design.bottom && to.design.top < from.design.bottom;
        const bool columnsMeet =
            from.design.left < to.design.right && to.design.left < from.design.right;
        POINT least{to.now.left, to.now.top};
        if (rowsMeet && to.design.left >= from.design.right) {
          const int gap = std::min<int>(to.design.left - from.design.right, twips.X(135));
          least.x = std::max<int>(least.x, from.now.right + gap);
        } else if (columnsMeet && to.design.top >= from.design.bottom) {
          const int gap = from.label && to.label
                              ? 0
                              : std::min<int>(to.design.top - from.design.bottom, twips.Y(90));
          least.y = std::max<int>(least.y, from.now.bottom + gap);
        }
        if (least.x != to.now.left || least.y != to.now.top) {
          OffsetRect(&to.now, least.x - to.now.left, least.y - to.now.top);
          moved = true;
        }
      }
    }
  }

  // Each control keeps its design margin to the box's right and bottom edges, up to
  // the 255 twips the buttons have.
  const int designWidth = twips.X(kClientWidth);
  const int designHeight = twips.Y(kClientHeight);
  RECT client{0, 0, designWidth, designHeight};
  for (const Placed& placed : all) {
    MoveWindow(placed.control, placed.now.left, placed.now.top, Width(placed.now),
               Height(placed.now), FALSE);
    client.right = std::max<int>(
        client.right,
        placed.now.right + std::min<int>(designWidth - placed.design.right, twips.X(255)));
    client.bottom = std::max<int>(
        client.bottom,
        placed.now.bottom + std::min<int>(designHeight - placed.design.bottom, twips.Y(255)));
  }
  AdjustWindowRectEx(&client, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)));
  SetWindowPos(hwnd_, nullptr, 0, 0, Width(client), Height(client),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmAbt::GetWinVersion() {
  try {
    mOsVer = services_.queryOsVersion();
    if (!mOsVer.PlatformName.empty()) WinVer = mOsVer.PlatformName;
  } catch (const Failure& failure) {
    ReportFailure(reporter_, failure, Icon::Exclamation);
  }
}

void frmAbt::StartSysInfo() {
  if (!services_.registry) services_.registry = CreateSystemRegistry();
  const CommandStarter& start =
      services_.start ? services_.start : CommandStarter(StartRegistryCommand);
  tessaly::StartSysInfo(*services_.registry, start, reporter_);
}

void frmAbt::cmdOK_Click() {
  if (hwnd_) DestroyWindow(hwnd_);
}

void frmAbt::cmdSysInfo_Click() {
  StartSysInfo();
}

void frmAbt::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  // Esc closes the box as OK does.
  if (id == IDOK || id == IDCANCEL) {
    cmdOK_Click();
  } else if (id == kSysInfoId) {
    cmdSysInfo_Click();
  }
}

void frmAbt::OnActivate(bool active) {
  if (!active) {
    HWND focus = GetFocus();
    if (focus && IsChild(hwnd_, focus)) focus_ = focus;
  } else if (focus_ && IsChild(hwnd_, focus_)) {
    SetFocus(focus_);
  }
}

void frmAbt::OnPaint() {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(hwnd_, &paint);
  // The etched rule above the maker's lines, spanning a box grown for its texts too.
  const TwipsScale twips(hwnd_);
  RECT client{};
  GetClientRect(hwnd_, &client);
  const int right = client.right - twips.X(kClientWidth - 5340);
  HPEN gray = CreatePen(PS_SOLID, 1, RGB(128, 128, 128));
  HPEN white = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
  HGDIOBJ old = SelectObject(dc, gray);
  MoveToEx(dc, twips.X(90), twips.Y(2445), nullptr);
  LineTo(dc, right + 1, twips.Y(2445));
  // Two pixels wide as two rows, so that it lies below the gray line, not across it.
  SelectObject(dc, white);
  for (int row = 0; row < 2; ++row) {
    MoveToEx(dc, twips.X(105), twips.Y(2460) + row, nullptr);
    LineTo(dc, right + 1, twips.Y(2460) + row);
  }
  SelectObject(dc, old);
  DeleteObject(gray);
  DeleteObject(white);
  EndPaint(hwnd_, &paint);
}

void frmAbt::OnNcDestroy() {
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  hwnd_ = nullptr;
  cmdOK = cmdSysInfo = lblDisclaimer = lblTitle = lblVersion = lblWinVer = lblBuild = nullptr;
  focus_ = nullptr;
  if (font_) DeleteObject(font_);
  font_ = nullptr;
}

void ShowAbout(std::unique_ptr<frmAbt>& box, HWND mainWindow, Reporter& reporter,
               AboutServices services) {
  if (!box) box = std::make_unique<frmAbt>(reporter, std::move(services));
  box->Show(mainWindow);
}

}  // namespace tessaly::winui
