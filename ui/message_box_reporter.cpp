#include "ui/message_box_reporter.h"

#include <QCheckBox>
#include <QMessageBox>

#include "session/status_texts.h"

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

void MessageBoxReporter::ShowAt(const std::string& text, Icon icon, const LineRef& where) {
  Show(text + "\n" + status::LineOf(where), icon);
}

bool MessageBoxReporter::ShowCard(const std::string& text, Icon icon, const CardRef& card) {
  QString cardLine = QStringLiteral("Card %1, line %2").arg(card.ordinal).arg(card.line);
  if (!card.name.empty()) cardLine += QStringLiteral(": ") + QString::fromStdString(card.name);
  QMessageBox box(ToBoxIcon(icon), QString(), QString::fromStdString(text) + u'\n' + cardLine,
                  QMessageBox::Ok, parent_);
  box.setTextFormat(Qt::PlainText);
  auto* noMore = new QCheckBox(QStringLiteral("Show no more card errors for this conversion"));
  box.setCheckBox(noMore);  // the box owns it
  box.exec();
  return !noMore->isChecked();
}

}  // namespace tessaly
