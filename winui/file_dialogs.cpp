#include "winui/file_dialogs.h"

#include "winui/common_controls.h"
#include "platform/failure.h"

namespace tessaly::winui {

namespace {

// Room for the longest path Windows takes.
constexpr size_t kPathRoom = 32768;
// CommDlgExtendedError's numbers are not the run time's; reported past them.
constexpr int32_t kDialogFailureBase = 20000;

}  // namespace

std::wstring DialogFilter(const std::vector<std::string>& filters) {
  std::wstring filter;
  for (const std::string& entry : filters) {
    const size_t open = entry.rfind('(');
    const size_t close = entry.rfind(')');
    const std::string patterns = open != std::string::npos && close != std::string::npos && close > open
                                     ? entry.substr(open + 1, close - open - 1)
                                     : "*.*";
    filter += win32::Wide(entry) + L'\0' + win32::Wide(patterns) + L'\0';
  }
  return filter + L'\0';
}

std::optional<std::string> CommonFileDialogs::ShowOpen(const FileChoice& choice) {
  return Run(choice, false);
}

std::optional<std::string> CommonFileDialogs::ShowSave(const FileChoice& choice) {
  return Run(choice, true);
}

std::optional<std::string> CommonFileDialogs::Run(const FileChoice& choice, bool save) {
  std::wstring file(kPathRoom, L'\0');
  const std::wstring proposed = choice.fileName.empty() ? last_ : win32::Wide(choice.fileName);
  file.replace(0, std::min(proposed.size(), kPathRoom - 1), proposed, 0, kPathRoom - 1);
  const std::wstring filter = DialogFilter(choice.filters);
  const std::wstring title = win32::Wide(choice.title);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner_;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = static_cast<DWORD>(choice.filterIndex + 1);
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(kPathRoom);
  dialog.lpstrTitle = title.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  // Saving over an existing file is confirmed, opening a missing one refused.
  dialog.Flags |= save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST;
  const BOOL chosen = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
  if (!chosen) {
    if (const DWORD error = CommDlgExtendedError()) {
      ReportFailure(reporter_,
                    Failure(kDialogFailureBase + static_cast<int32_t>(error & 0xFFFF),
                            "The file dialog could not be shown (error " + std::to_string(error) + ")"),
                    Icon::Critical);
    }
    return std::nullopt;
  }
  file.resize(wcsnlen(file.c_str(), file.size()));
  last_ = file;
  return win32::Utf8(file);
}

}  // namespace tessaly::winui
