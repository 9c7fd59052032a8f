#include "winui/frmExFolders.h"

#include <algorithm>
#include <optional>

#include "winui/common_controls.h"

#include "engine/modCSV.h"
#include "session/notes_to_journal.h"
#include "winui/twips_scale.h"
#include "winui/window_basics.h"

namespace tessaly::winui {

namespace {

constexpr wchar_t kWindowClass[] = L"TessalyExchangeFolders";
// Checks the contact box once the focus has moved on; posted, as no message box
// may open while the focus is changing.
constexpr UINT kValidateContactMessage = WM_APP + 1;
constexpr UINT_PTR kContactSubclass = 1;
constexpr int kContactId = 10;
constexpr int kJournalId = 11;
constexpr int kStatusBarId = 12;
constexpr int kLabelId = -1;

constexpr double kClientWidth = 5235;
constexpr double kStatusBarTop = 1500;
constexpr double kStatusBarHeight = 315;

struct PanelDesign {
  const char* key;
  const wchar_t* text;
  double width;
};
constexpr PanelDesign kPanels[] = {
    {"Stat", L"Enter Outlook unique folder names.", 3585},
    {"Contact", L"", 800},
    {"Journal", L"", 800},
};

int PanelIndex(const std::string& key) {
  for (size_t i = 0; i < std::size(kPanels); ++i) {
    if (key == kPanels[i].key) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

frmExFolders::frmExFolders(const std::shared_ptr<outlook::NameSpace>& mOlNs, Reporter& reporter)
    : mOlNs_(mOlNs), reporter_(reporter) {}

frmExFolders::~frmExFolders() {
  EnableOwner();
  if (hwnd_) DestroyWindow(hwnd_);
}

bool frmExFolders::Create(HWND owner) {
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
  if (!registered || hwnd_) return false;
  owner_ = owner;
  // Owned, so not on the task bar.
  if (!CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kWindowClass, L"Exchange folders",
                       WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, 0, 0, 0, 0, owner,
                       nullptr, Instance(), this)) {
    return false;
  }
  // The client area as designed, with the status bar as tall as the system draws it.
  const TwipsScale twips(hwnd_);
  SendMessageW(StatusBar1, WM_SIZE, 0, 0);
  RECT bar{};
  GetWindowRect(StatusBar1, &bar);
  RECT frame{
      0, 0, twips.X(kClientWidth),
      twips.Y(kStatusBarTop) + std::max<int>(bar.bottom - bar.top, twips.Y(kStatusBarHeight))};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)));
  SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  PlaceCentred(hwnd_, owner);
  return true;
}

void frmExFolders::RunModal() {
  if (!hwnd_) return;
  if (owner_ && IsWindowEnabled(owner_)) {
    EnableWindow(owner_, FALSE);
    ownerDisabled_ = true;
  }
  ShowWindow(hwnd_, SW_SHOW);
  MSG msg;
  while (hwnd_) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) {
      // The thread's own loop has to see it too.
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (!IsDialogMessageW(hwnd_, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  EnableOwner();
  if (owner_ && IsWindowVisible(owner_)) SetActiveWindow(owner_);
}

void frmExFolders::EnableOwner() {
  if (ownerDisabled_ && IsWindow(owner_)) EnableWindow(owner_, TRUE);
  ownerDisabled_ = false;
}

LRESULT CALLBACK frmExFolders::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  frmExFolders* dialog = OwnerOf(hwnd, message, lParam, &frmExFolders::hwnd_);
  if (!dialog) return DefWindowProcW(hwnd, message, wParam, lParam);
  return Guarded(dialog->reporter_, [&] { return dialog->OnMessage(message, wParam, lParam); });
}

LRESULT frmExFolders::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      OnCreate();
      return 0;
    case WM_SIZE:
      if (StatusBar1) SendMessageW(StatusBar1, WM_SIZE, 0, 0);
      return 0;
    case WM_COMMAND:
      // OK, Cancel, Enter and Esc do nothing: only the close box closes the dialog.
      return 0;
    case DM_GETDEFID:
      return MAKELRESULT(IDOK, DC_HASDEFID);
    case WM_ACTIVATE:
      OnActivate(LOWORD(wParam) != WA_INACTIVE);
      return 0;
    case kValidateContactMessage:
      OnValidateContact();
      return 0;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_NCDESTROY:
      OnNcDestroy();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void frmExFolders::OnCreate() {
  font_ = MessageFont();
  const TwipsScale twips(hwnd_);
  auto add = [&](DWORD exStyle, const wchar_t* windowClass, const wchar_t* text, DWORD style,
                 int id, double left, double top, double width, double height) {
    return AddControl(hwnd_, font_, exStyle, windowClass, text, style, id, left, top, width, height);
  };
  // Created in tab order.
  OKButton = add(0, WC_BUTTONW, L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, 3900, 120, 1215, 375);
  CancelButton =
      add(0, WC_BUTTONW, L"Cancel", WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL, 3900, 600, 1215, 375);
  const DWORD edit = WS_TABSTOP | ES_AUTOHSCROLL;
  txtContactFolder = add(WS_EX_CLIENTEDGE, WC_EDITW, L"", edit, kContactId, 120, 300, 3615, 315);
  txtJournalFolder = add(WS_EX_CLIENTEDGE, WC_EDITW, L"", edit, kJournalId, 120, 1020, 3615, 315);
  const DWORD label = SS_LEFT | SS_NOPREFIX;
  Label1 = add(0, WC_STATICW, L"Contact Folder", label, kLabelId, 180, 60, 1335, 315);
  Label2 = add(0, WC_STATICW, L"Journal Folder", label, kLabelId, 180, 780, 1395, 255);
  // Placed along the bottom by itself; the panels keep their widths.
  StatusBar1 = CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                               hwnd_, reinterpret_cast<HMENU>(kStatusBarId), Instance(), nullptr);
  int edges[std::size(kPanels)] = {};
  double right = 0;
  for (size_t i = 0; i < std::size(kPanels); ++i) {
    right += kPanels[i].width;
    edges[i] = twips.X(right);
  }
  SendMessageW(StatusBar1, SB_SETPARTS, std::size(edges), reinterpret_cast<LPARAM>(edges));
  for (size_t i = 0; i < std::size(kPanels); ++i) {
    SendMessageW(StatusBar1, SB_SETTEXTW, i, reinterpret_cast<LPARAM>(kPanels[i].text));
  }
  SetWindowSubclass(txtContactFolder, ContactProc, kContactSubclass,
                    reinterpret_cast<DWORD_PTR>(this));
  focus_ = OKButton;
}

LRESULT CALLBACK frmExFolders::ContactProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR /*id*/, DWORD_PTR data) {
  auto* dialog = reinterpret_cast<frmExFolders*>(data);
  if (message == WM_KILLFOCUS) {
    // Only a move to another control of this dialog checks; switching windows does not.
    const auto next = reinterpret_cast<HWND>(wParam);
    if (next && next != edit && dialog->hwnd_ && IsChild(dialog->hwnd_, next)) {
      PostMessageW(dialog->hwnd_, kValidateContactMessage, 0, 0);
    }
  } else if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(edit, ContactProc, kContactSubclass);
  }
  return DefSubclassProc(edit, message, wParam, lParam);
}

void frmExFolders::OnValidateContact() {
  // A report's message box runs a message loop of its own; leaving the box again
  // meanwhile is checked once that report is done.
  if (validating_) {
    validateAgain_ = true;
    return;
  }
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{validating_};
  validating_ = true;
  do {
    validateAgain_ = false;
    bool cancel = false;
    txtContactFolder_Validate(cancel);
  } while (validateAgain_ && hwnd_);
}

void frmExFolders::txtContactFolder_Validate(bool& /*Cancel*/) {
  const std::optional<int32_t> count =
      ContactFolderCount(mOlNs_, win32::Utf8(WindowText(txtContactFolder)), reporter_);
  if (!hwnd_) return;  // closed while the failure was shown
  if (count) {
    const std::wstring text = std::to_wstring(*count);
    SendMessageW(StatusBar1, SB_SETTEXTW, PanelIndex("Contact"),
                 reinterpret_cast<LPARAM>(text.c_str()));
  } else if (IsWindowVisible(hwnd_) && GetActiveWindow() != hwnd_) {
    // A message box may hand the activation to its own owner instead.
    SetActiveWindow(hwnd_);
  }
}

std::wstring frmExFolders::PanelText(const std::string& key) const {
  const int index = PanelIndex(key);
  if (index < 0 || !StatusBar1) return {};
  const auto length = LOWORD(SendMessageW(StatusBar1, SB_GETTEXTLENGTHW, index, 0));
  std::wstring text(length + 1u, L'\0');
  SendMessageW(StatusBar1, SB_GETTEXTW, index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(length);
  return text;
}

void frmExFolders::OnActivate(bool active) {
  if (!active) {
    HWND focus = GetFocus();
    if (focus && IsChild(hwnd_, focus)) focus_ = focus;
  } else if (focus_ && IsChild(hwnd_, focus_)) {
    SetFocus(focus_);
  }
}

void frmExFolders::OnClose() {
  // The owner is enabled first, so that it, not another program, is activated next.
  EnableOwner();
  DestroyWindow(hwnd_);
}

void frmExFolders::OnNcDestroy() {
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  hwnd_ = nullptr;
  OKButton = CancelButton = txtContactFolder = txtJournalFolder = Label1 = Label2 = StatusBar1 =
      nullptr;
  focus_ = nullptr;
  if (font_) DeleteObject(font_);
  font_ = nullptr;
}

void NotesToJournal(modCSV& csv, Reporter& reporter, HWND owner) {
  if (!ConnectOutlook(csv, reporter)) return;
  frmExFolders dialog(csv.mOlNs(), reporter);
  if (!dialog.Create(owner)) {
    reporter.Show("The Exchange folders dialog cannot be shown (system error " +
                      std::to_string(GetLastError()) + ").",
                  Icon::Critical);
    return;
  }
  dialog.RunModal();
}

}  // namespace tessaly::winui
