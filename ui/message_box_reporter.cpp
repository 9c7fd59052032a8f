#include "ui/message_box_reporter.h"

#include <QMessageBox>

namespace tessaly {

namespace {

QMessageBox::Icon ToBoxIcon(Icon icon) {
  switch (icon) {
    case Icon::Critical:
      return QMessageBox::Critical;
    case Icon::Exclamation:
      return QMessageBox::Warning;
    case Icon::Information:
      return QMessageBox::Information;
    case Icon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

void MessageBoxReporter::Show(const std::string& text, Icon icon) {
  QMessageBox box(ToBoxIcon(icon), QString(), QString::fromStdString(text), QMessageBox::Ok,
                  parent_);
  // Descriptions may hold '<' or '&' from file names; never read them as markup.
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

}  // namespace tessaly
