// The window tests run the real window on Qt's offscreen platform, with the
// converter's temporary folder inside a folder of their own.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include "tessaly/version.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir temp;
  if (temp.isValid()) qputenv("TMPDIR", temp.path().toLocal8Bit());
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(QString::fromUtf8(tessaly::kApplicationTitle));
  QApplication::setApplicationVersion(QStringLiteral("1.2.0"));
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
