#include "ui/file_dialogs.h"

#include <QFileDialog>
#include <QFileInfo>

namespace tessaly {

std::optional<QString> QtFileDialogs::ShowOpen(const FileDialogOptions& options) {
  return Run(options, false);
}

std::optional<QString> QtFileDialogs::ShowSave(const FileDialogOptions& options) {
  return Run(options, true);
}

std::optional<QString> QtFileDialogs::Run(const FileDialogOptions& options, bool save) {
  QFileDialog dialog(parent_, options.title);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  // Saving over an existing file is confirmed by the dialog (its default).
  dialog.setNameFilters(options.filters);
  if (options.filterIndex >= 0 && options.filterIndex < options.filters.size()) {
    dialog.selectNameFilter(options.filters.at(options.filterIndex));
  }
  if (!last_.isEmpty()) dialog.setDirectory(QFileInfo(last_).absolutePath());
  if (!options.fileName.isEmpty()) {
    dialog.selectFile(options.fileName);
  } else if (!last_.isEmpty()) {
    dialog.selectFile(QFileInfo(last_).fileName());
  }
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  last_ = chosen.first();
  return last_;
}

}  // namespace tessaly
