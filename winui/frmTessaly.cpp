#include "winui/frmTessaly.h"

#include <algorithm>
#include <filesystem>
#include <span>

#include "winui/common_controls.h"
#include "engine/card_line.h"
#include "engine/engine_failure.h"
#include "engine/modCSV.h"
#include "platform/file.h"
#include "session/record_list.h"
#include "session/session.h"
#include "session/user_guide.h"
#include "winui/file_dialogs.h"
#include "winui/frmAbt.h"
#include "winui/start_program.h"
#include "winui/twips_scale.h"
#include "winui/window_basics.h"

namespace tessaly::winui {

using namespace design;

namespace {

constexpr wchar_t kWindowClass[] = L"TessalyMainWindow";
// Runs what other threads handed to the window (RunOnUiThread).
constexpr UINT kRunTasksMessage = WM_APP + 1;
constexpr int kCommandIdBase = 100;
constexpr int kToolbarId = 1;
constexpr int kMdbId = 2;
constexpr int kCsvId = 3;
constexpr int kStatusBarId = 4;

// The toolbar's pictures, from the system's standard set, in the order of the buttons.
constexpr int kButtonPictures[] = {STD_FILEOPEN, STD_REPLACE, STD_FILESAVE};

// `text` shortened in its middle to fit `width` pixels in `dc`'s font.
std::wstring ElideMiddle(HDC dc, const std::wstring& text, int width) {
  auto fits = [&](const std::wstring& candidate) {
    SIZE size{};
    GetTextExtentPoint32W(dc, candidate.c_str(), static_cast<int>(candidate.size()), &size);
    return size.cx <= width;
  };
  if (fits(text)) return text;
  // The most characters kept, half from each end, that still fit.
  size_t low = 0;
  size_t high = text.size();
  auto shortened = [&](size_t kept) {
    const size_t head = (kept + 1) / 2;
    return text.substr(0, head) + L"\u2026" + text.substr(text.size() - (kept - head));
  };
  while (low < high) {
    const size_t mid = (low + high + 1) / 2;
    if (fits(shortened(mid))) {
      low = mid;
    } else {
      high = mid - 1;
    }
  }
  return shortened(low);
}

std::wstring FromUtf16(const std::u16string& text) {
  return std::wstring(text.begin(), text.end());
}

std::string FolderOf(const std::wstring& path) {
  return win32::Utf8(std::filesystem::path(path).parent_path().wstring());
}

std::string ProgramFolder() {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return FolderOf(path);
}

std::string CurrentFolder() {
  std::wstring path(32768, L'\0');
  path.resize(GetCurrentDirectoryW(static_cast<DWORD>(path.size()), path.data()));
  return win32::Utf8(path);
}

std::string OpenInNotepad(const std::string& path) {
  // Notepad would offer to make a missing guide; say it is missing instead.
  if (!StatusAt(path, true)) return "File not found: " + path;
  try {
    StartProgram(NotepadCommandLine(path));
    return {};
  } catch (const Failure& failure) {
    return failure.Description();
  }
}

void Resize(HWND control, int width, int height) {
  SetWindowPos(control, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void AddColumn(HWND list, int column, const std::wstring& header, int width) {
  LVCOLUMNW design{};
  design.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  design.pszText = const_cast<wchar_t*>(header.c_str());
  design.cx = width;
  design.iSubItem = column;
  ListView_InsertColumn(list, column, &design);
}

}  // namespace

int frmTessaly::CommandId(Command command) {
  return kCommandIdBase + static_cast<int>(command);
}

int frmTessaly::PanelIndex(const std::string& key) {
  for (size_t i = 0; i < kStatusPanels.size(); ++i) {
    if (key == kStatusPanels[i].key) return static_cast<int>(i);
  }
  return -1;
}

frmTessaly::frmTessaly(modCSV& csv, Reporter& reporter, FileDialogs& dialogs)
    : csv_(csv),
      reporter_(reporter),
      dialogs_(dialogs),
      panelTexts_(kStatusPanels.size()),
      panelTips_(kStatusPanels.size()) {
  openDocument = OpenInNotepad;
}

frmTessaly::~frmTessaly() {
  about_.reset();
  if (hwnd_) {
    quitWithWindow = false;
    DestroyWindow(hwnd_);
  }
  // A conversion still running ends here; its last reports are dropped.
  session_.reset();
  if (accelerators_) DestroyAcceleratorTable(accelerators_);
  if (font_) DeleteObject(font_);
}

bool frmTessaly::Create() {
  static const ATOM registered = [] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = Instance();
    windowClass.hIcon = LoadIconW(Instance(), MAKEINTRESOURCEW(1));
    windowClass.hIconSm = static_cast<HICON>(
        LoadImageW(Instance(), MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                   GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassExW(&windowClass);
  }();
  if (!registered) return false;
  CreateMenus();
  const std::wstring caption = win32::Wide(kMainCaption);
  hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, caption.c_str(),
                          WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menu, Instance(), this);
  if (!hwnd_) {
    DestroyMenu(menu);
    menu = nullptr;
    return false;
  }
  tasksWindow_ = hwnd_;
  session_ = std::make_unique<Session>(csv_, reporter_, *this);
  return true;
}

LRESULT CALLBACK frmTessaly::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  frmTessaly* window = OwnerOf(hwnd, message, lParam, &frmTessaly::hwnd_);
  if (!window) return DefWindowProcW(hwnd, message, wParam, lParam);
  return Guarded(window->reporter_, [&] { return window->OnMessage(message, wParam, lParam); });
}

LRESULT frmTessaly::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      OnCreate();
      return 0;
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) OnSize();
      return 0;
    case WM_GETMINMAXINFO:
      OnGetMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lParam));
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam));
      return 0;
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_SETCURSOR:
      if (OnSetCursor(lParam)) return TRUE;
      break;
    case WM_CLOSE:
      OnClose();
      return 0;
    case kRunTasksMessage:
      OnRunTasks();
      return 0;
    case WM_NCDESTROY:
      tasksWindow_ = nullptr;
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      Toolbar1 = lvMDB = lvCSV = StatusBar1 = nullptr;
      menu = nullptr;  // destroyed with the window
      if (quitWithWindow) PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void frmTessaly::OnCreate() {
  font_ = MessageFont();
  CreateToolbar();
  CreateLists();
  CreateStatusBar();
  Form_Load();
}

void frmTessaly::CreateMenus() {
  menu = CreateMenu();
  std::vector<ACCEL> keys;
  for (const Menu& menuDesign : kMenus) {
    HMENU popup = CreatePopupMenu();
    for (const MenuItem& item : std::span(menuDesign.items, menuDesign.count)) {
      if (IsSeparator(item)) {
        AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
        continue;
      }
      std::wstring text = win32::Wide(item.caption);
      const auto id = static_cast<UINT>(CommandId(item.command));
      if (item.ctrlKey) {
        text += L"\tCtrl+";
        text += static_cast<wchar_t>(item.ctrlKey);
        keys.push_back({FVIRTKEY | FCONTROL, static_cast<WORD>(item.ctrlKey), static_cast<WORD>(id)});
      }
      AppendMenuW(popup, MF_STRING | (item.enabledAtStart ? MF_ENABLED : MF_GRAYED), id, text.c_str());
    }
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), win32::Wide(menuDesign.caption).c_str());
  }
  accelerators_ = CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size()));
}

void frmTessaly::CreateToolbar() {
  Toolbar1 = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                             WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_TOP, 0, 0,
                             0, 0, hwnd_, reinterpret_cast<HMENU>(kToolbarId), Instance(), nullptr);
  SendMessageW(Toolbar1, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageW(Toolbar1, TB_LOADIMAGES, IDB_STD_SMALL_COLOR, reinterpret_cast<LPARAM>(HINST_COMMCTRL));
  std::vector<TBBUTTON> buttons;
  for (size_t i = 0; i < kToolbarButtons.size(); ++i) {
    TBBUTTON button{};
    button.iBitmap = kButtonPictures[i];
    button.idCommand = CommandId(kToolbarButtons[i].command);
    // As their menu items: the commands only ever enable them.
    button.fsState = Enabled(kToolbarButtons[i].command) ? TBSTATE_ENABLED : 0;
    button.fsStyle = BTNS_BUTTON;
    button.iString = -1;
    button.dwData = reinterpret_cast<DWORD_PTR>(kToolbarButtons[i].key);
    buttons.push_back(button);
  }
  SendMessageW(Toolbar1, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
  SendMessageW(Toolbar1, TB_AUTOSIZE, 0, 0);
}

void frmTessaly::CreateLists() {
  const TwipsScale twips(hwnd_);
  const int top = std::max(Height(WindowRect(Toolbar1)), twips.Y(kToolbarHeight)) +
                  twips.Y(kListsTop - kToolbarHeight);
  const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | LVS_REPORT |
                      LVS_SHOWSELALWAYS | LVS_SINGLESEL;
  // Created in tab order. lvMDB asks for each cell's text as it is drawn, so a list
  // of any length costs what the rows on screen cost.
  lvMDB = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", style | LVS_OWNERDATA,
                          twips.X(kMdbLeft), top, twips.X(kMdbWidth), twips.Y(kListsHeight), hwnd_,
                          reinterpret_cast<HMENU>(kMdbId), Instance(), nullptr);
  lvCSV = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", style, 0, top, twips.X(kCsvWidth),
                          twips.Y(kListsHeight), hwnd_, reinterpret_cast<HMENU>(kCsvId), Instance(),
                          nullptr);
  for (HWND list : {lvMDB, lvCSV}) {
    if (font_) SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  }
  AddColumn(lvCSV, 0, win32::Wide(kCsvColumnHeader), twips.X(kCsvColumnWidth));
}

void frmTessaly::CreateStatusBar() {
  StatusBar1 = CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE | SBARS_TOOLTIPS,
                               0, 0, 0, 0, hwnd_, reinterpret_cast<HMENU>(kStatusBarId), Instance(),
                               nullptr);
  const TwipsScale twips(hwnd_);
  std::vector<int> edges;
  double right = 0;
  for (const StatusPanel& panel : kStatusPanels) {
    right += panel.width;
    edges.push_back(twips.X(right));
  }
  SendMessageW(StatusBar1, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
}

void frmTessaly::Form_Load() {
  const TwipsScale twips(hwnd_);
  RECT mdb{};
  GetWindowRect(lvMDB, &mdb);
  MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&mdb), 2);
  // The client area as designed, with the gap below the lists and the status bar
  // as tall as the system draws it.
  const int statusHeight = std::max(Height(WindowRect(StatusBar1)), twips.Y(kStatusBarHeight));
  RECT frame{0, 0, twips.X(kClientWidth),
             mdb.bottom + twips.Y(kStatusBarTop - kListsTop - kListsHeight) + statusHeight};
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE));
  const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
  AdjustWindowRectEx(&frame, style, TRUE, exStyle);
  SetWindowPos(hwnd_, nullptr, 0, 0, Width(frame), Height(frame),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

  const RECT window = WindowRect(hwnd_);
  mMinWidth = Width(window);
  mMinHeight = Height(window);
  mCsvHeight = Height(WindowRect(lvCSV));
  mMdbWidth = Width(WindowRect(lvMDB));
  mMdbHeight = Height(WindowRect(lvMDB));
}

void frmTessaly::OnSize() {
  if (StatusBar1) SendMessageW(StatusBar1, WM_SIZE, 0, 0);
  if (Toolbar1) SendMessageW(Toolbar1, TB_AUTOSIZE, 0, 0);
  if (mMinWidth == 0) return;  // not loaded yet
  // Extra size is measured from the load size, so back at that size the lists are
  // back at theirs. The system keeps the window from being made smaller (below).
  const RECT window = WindowRect(hwnd_);
  const int extraHeight = std::max(0, Height(window) - mMinHeight);
  const int extraWidth = std::max(0, Width(window) - mMinWidth);
  Resize(lvCSV, Width(WindowRect(lvCSV)), mCsvHeight + extraHeight);
  Resize(lvMDB, mMdbWidth + extraWidth, mMdbHeight + extraHeight);
}

void frmTessaly::OnGetMinMaxInfo(MINMAXINFO& info) const {
  if (mMinWidth == 0) return;
  info.ptMinTrackSize = {mMinWidth, mMinHeight};
}

bool frmTessaly::Enabled(Command command) const {
  switch (command) {
    case Command::kOpen:
      return commands_.open;
    case Command::kParse:
      return commands_.parse;
    case Command::kSaveAs:
      return commands_.saveAs;
    case Command::kExit:
      return commands_.exit;
    case Command::kNotesToJournal:
    case Command::kHelpIndex:
    case Command::kHelpAbout:
      return true;
    case Command::kNone:
      break;
  }
  return false;
}

void frmTessaly::OnCommand(int id) {
  const int index = id - kCommandIdBase;
  if (index <= static_cast<int>(Command::kNone) || index > static_cast<int>(Command::kHelpAbout)) return;
  const auto command = static_cast<Command>(index);
  // A disabled command does nothing, whoever sends it.
  if (Enabled(command)) RunCommand(*this, command);
}

LRESULT frmTessaly::OnNotify(const NMHDR& header) {
  if (header.hwndFrom == lvMDB && header.code == LVN_GETDISPINFOW) {
    LVITEMW& item = reinterpret_cast<NMLVDISPINFOW&>(const_cast<NMHDR&>(header)).item;
    if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0 && session_) {
      const std::u16string& cell =
          session_->Records().Cell(item.iItem, static_cast<size_t>(std::max(0, item.iSubItem)));
      const size_t length = std::min(cell.size(), static_cast<size_t>(item.cchTextMax - 1));
      std::copy_n(cell.begin(), length, item.pszText);
      item.pszText[length] = L'\0';
    }
    return 0;
  }
  if (header.code == TTN_GETDISPINFOW) {
    auto& tip = reinterpret_cast<NMTTDISPINFOW&>(const_cast<NMHDR&>(header));
    for (const ToolbarButton& button : kToolbarButtons) {
      if (static_cast<UINT_PTR>(CommandId(button.command)) == header.idFrom) {
        // A text of its own: the tool tip reads it after the handler returns.
        static std::wstring texts[kToolbarButtons.size()];
        std::wstring& text = texts[&button - kToolbarButtons.data()];
        text = win32::Wide(button.toolTip);
        tip.lpszText = text.data();
        tip.hinst = nullptr;
      }
    }
    return 0;
  }
  return 0;
}

bool frmTessaly::OnSetCursor(LPARAM lParam) {
  if (!busy_ || LOWORD(lParam) != HTCLIENT) return false;
  SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)));  // IDC_WAIT
  return true;
}

void frmTessaly::OnClose() {
  // Closes at once, or at the end of a running conversion.
  mnuExit_Click();
}

void frmTessaly::OnRunTasks() {
  for (;;) {
    std::function<void()> task;
    {
      const std::lock_guard guard(tasksMutex_);
      if (tasks_.empty()) return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
}

bool frmTessaly::PreTranslate(MSG& msg) {
  if (about_ && about_->Window() && IsDialogMessageW(about_->Window(), &msg)) return true;
  if (!hwnd_) return false;
  if (accelerators_ && (msg.hwnd == hwnd_ || IsChild(hwnd_, msg.hwnd)) &&
      TranslateAcceleratorW(hwnd_, accelerators_, &msg)) {
    return true;
  }
  return IsDialogMessageW(hwnd_, &msg) != FALSE;
}

void frmTessaly::ShowFieldNames(const std::vector<std::u16string>& names) {
  FillCSVlv(names);
}

void frmTessaly::ShowRecords(const RecordList& /*records*/) {
  FillTableListView();
}

void frmTessaly::FillCSVlv(const std::vector<std::u16string>& mRecFlds) {
  ListView_DeleteAllItems(lvCSV);
  Trap(reporter_, Icon::Exclamation, [&] {
    for (size_t position = 0; position < kCardColumns; ++position) {
      std::wstring name = FromUtf16(At(mRecFlds, position));
      LVITEMW item{};
      item.mask = LVIF_TEXT;
      item.iItem = static_cast<int>(position);
      item.pszText = name.data();
      ListView_InsertItem(lvCSV, &item);
    }
    return true;
  });
}

void frmTessaly::FillTableListView() {
  const RecordList& records = session_->Records();
  if (ColumnCount(lvMDB) < 1) {
    const TwipsScale twips(hwnd_);
    for (size_t column = 0; column < records.Headers().size(); ++column) {
      AddColumn(lvMDB, static_cast<int>(column), FromUtf16(records.Headers()[column]),
                twips.X(column == 0 ? kIndexColumnWidth : kFieldColumnWidth));
    }
  }
  // The list holds no rows, only their number; nothing stays selected from before.
  // One row at a time: asked for all rows at once, the control visits each of them.
  for (const UINT state : {LVNI_SELECTED, LVNI_FOCUSED}) {
    const int row = ListView_GetNextItem(lvMDB, -1, state);
    if (row >= 0) ListView_SetItemState(lvMDB, row, 0, LVIS_SELECTED | LVIS_FOCUSED);
  }
  ListView_SetItemCountEx(lvMDB, static_cast<int>(std::min<int64_t>(records.Rows(), INT32_MAX)), 0);
  if (records.Rows() > 0) ListView_EnsureVisible(lvMDB, 0, FALSE);
  InvalidateRect(lvMDB, nullptr, TRUE);
}

void frmTessaly::SetPanel(Panel panel, const std::string& text, const std::string& toolTip) {
  const auto index = static_cast<size_t>(panel);
  panelTexts_[index] = win32::Wide(text);
  panelTips_[index] = win32::Wide(toolTip);
  // A panel keeps its width: a long text gives up its middle, the tip has it whole.
  RECT part{};
  SendMessageW(StatusBar1, SB_GETRECT, index, reinterpret_cast<LPARAM>(&part));
  int borders[3] = {};
  SendMessageW(StatusBar1, SB_GETBORDERS, 0, reinterpret_cast<LPARAM>(borders));
  HDC dc = GetDC(StatusBar1);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(StatusBar1, WM_GETFONT, 0, 0)));
  const std::wstring shown = ElideMiddle(dc, panelTexts_[index], Width(part) - 2 * borders[2] - 6);
  SelectObject(dc, old);
  ReleaseDC(StatusBar1, dc);
  SendMessageW(StatusBar1, SB_SETTEXTW, index, reinterpret_cast<LPARAM>(shown.c_str()));
  SendMessageW(StatusBar1, SB_SETTIPTEXTW, index, reinterpret_cast<LPARAM>(panelTips_[index].c_str()));
}

void frmTessaly::SetBusy(bool busy) {
  busy_ = busy;
  POINT cursor{};
  GetCursorPos(&cursor);
  if (WindowFromPoint(cursor) == hwnd_ || IsChild(hwnd_, WindowFromPoint(cursor))) {
    SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(busy ? 32514 : 32512)));  // IDC_WAIT, IDC_ARROW
  }
}

void frmTessaly::EnableCommands(const CommandState& state) {
  commands_ = state;
  for (Command command : {Command::kOpen, Command::kParse, Command::kSaveAs, Command::kExit}) {
    const bool enabled = Enabled(command);
    EnableMenuItem(menu, static_cast<UINT>(CommandId(command)),
                   MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    SendMessageW(Toolbar1, TB_ENABLEBUTTON, static_cast<WPARAM>(CommandId(command)), MAKELPARAM(enabled, 0));
  }
}

std::optional<std::string> frmTessaly::AskOpenPath(const FileChoice& choice) {
  return dialogs_.ShowOpen(choice);
}

std::optional<std::string> frmTessaly::AskSavePath(const FileChoice& choice) {
  return dialogs_.ShowSave(choice);
}

void frmTessaly::RunOnUiThread(std::function<void()> task) {
  {
    const std::lock_guard guard(tasksMutex_);
    tasks_.push_back(std::move(task));
  }
  if (HWND window = tasksWindow_) PostMessageW(window, kRunTasksMessage, 0, 0);
}

void frmTessaly::Quit() {
  if (hwnd_) DestroyWindow(hwnd_);
}

void frmTessaly::mnuFileOpen_Click() {
  session_->Open();
}

void frmTessaly::mnuEditParse_Click() {
  session_->Parse();
}

void frmTessaly::mnuFileSaveAs_Click() {
  session_->SaveAs();
}

void frmTessaly::mnuExit_Click() {
  session_->Close();
}

void frmTessaly::mnuNotesToJournal_Click() {
  if (onNotesToJournal) onNotesToJournal();
}

void frmTessaly::mnuHelpIndex_Click() {
  const std::string problem =
      openDocument ? openDocument(UserGuidePath(CurrentFolder(), ProgramFolder())) : std::string();
  if (!problem.empty()) reporter_.Show(problem, Icon::None);
}

void frmTessaly::mnuHelpAbout_Click() {
  ShowAbout(about_, hwnd_, reporter_);
}

std::wstring ListText(HWND list, int item, int column) {
  std::wstring text(1024, L'\0');
  LVITEMW request{};
  request.iSubItem = column;
  request.pszText = text.data();
  request.cchTextMax = static_cast<int>(text.size());
  const auto length = SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item),
                                   reinterpret_cast<LPARAM>(&request));
  text.resize(static_cast<size_t>(length));
  return text;
}

std::wstring HeaderText(HWND list, int column) {
  std::wstring text(256, L'\0');
  LVCOLUMNW request{};
  request.mask = LVCF_TEXT;
  request.pszText = text.data();
  request.cchTextMax = static_cast<int>(text.size());
  if (!ListView_GetColumn(list, column, &request)) return {};
  text.resize(wcsnlen(text.c_str(), text.size()));
  return text;
}

int ColumnCount(HWND list) {
  return Header_GetItemCount(ListView_GetHeader(list));
}

std::wstring PanelText(HWND statusBar, int index) {
  const auto length = LOWORD(SendMessageW(statusBar, SB_GETTEXTLENGTHW, static_cast<WPARAM>(index), 0));
  std::wstring text(length + 1u, L'\0');
  SendMessageW(statusBar, SB_GETTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  text.resize(length);
  return text;
}

}  // namespace tessaly::winui
