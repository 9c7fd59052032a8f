#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <optional>

namespace tessaly {

struct FileDialogOptions {
  QString title;
  // Each entry is one filter, e.g. "CSV (*.csv)".
  QStringList filters;
  // Zero-based index of the filter selected when the dialog opens.
  int filterIndex = 0;
  // Proposed file name; empty offers what the dialog held last.
  QString fileName;
};

// The Open and Save as dialogs. The window asks through this interface so that
// tests can answer in place of the user.
class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // The chosen path, or nothing when the user cancels.
  virtual std::optional<QString> ShowOpen(const FileDialogOptions& options) = 0;
  virtual std::optional<QString> ShowSave(const FileDialogOptions& options) = 0;
};

// The toolkit's file dialogs. Like one common dialog reused for every command,
// it remembers the last chosen file and starts there next time.
class QtFileDialogs : public FileDialogs {
 public:
  explicit QtFileDialogs(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  std::optional<QString> ShowOpen(const FileDialogOptions& options) override;
  std::optional<QString> ShowSave(const FileDialogOptions& options) override;

 private:
  std::optional<QString> Run(const FileDialogOptions& options, bool save);

  QPointer<QWidget> parent_;
  QString last_;
};

}  // namespace tessaly
