// The dialog tests run the real dialogs on Qt's offscreen platform.

#include <gtest/gtest.h>

#include <QApplication>

#include "tessaly/version.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(QString::fromUtf8(tessaly::kApplicationTitle));
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
