#pragma once

// The Open and Save as dialogs. The window asks through this interface so that
// tests can answer in place of the user.

#include <optional>
#include <string>
#include <vector>

#include "platform/reporter.h"
#include "platform/win32.h"
#include "session/session_view.h"

namespace tessaly::winui {

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // The chosen path (UTF-8), or nothing when the user cancels.
  virtual std::optional<std::string> ShowOpen(const FileChoice& choice) = 0;
  virtual std::optional<std::string> ShowSave(const FileChoice& choice) = 0;
};

// "CSV (*.csv)", "All (*.*)" as the dialog's filter: each name, a NUL, its
// patterns, a NUL, and a NUL at the end.
std::wstring DialogFilter(const std::vector<std::string>& filters);

// The common dialogs. Like one common dialog reused for every command, the Open
// dialog offers the file chosen last. A failure of a dialog itself is reported
// with the critical icon and counts as a cancel.
class CommonFileDialogs : public FileDialogs {
 public:
  CommonFileDialogs(Reporter& reporter, HWND owner = nullptr) : reporter_(reporter), owner_(owner) {}
  void SetOwner(HWND owner) { owner_ = owner; }

  std::optional<std::string> ShowOpen(const FileChoice& choice) override;
  std::optional<std::string> ShowSave(const FileChoice& choice) override;

 private:
  std::optional<std::string> Run(const FileChoice& choice, bool save);

  Reporter& reporter_;
  HWND owner_;
  std::wstring last_;
};

}  // namespace tessaly::winui
