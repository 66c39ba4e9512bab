// Test runner for the window placement tests: the offscreen platform with a 1366x768 laptop
// screen and a narrow 1024x600 screen at its right, and Qt's translations as the program loads them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLocale>

#include "app/qt_translations.h"
#include "support/menu_screens.h"

int main(int argc, char** argv) {
  const QString config = kovrix::test::UseVirtualScreens({QRect(0, 0, 1366, 768), QRect(1366, 0, 1024, 600)});
  QApplication app(argc, argv);
  if (!config.isEmpty()) QFile::remove(config);  // the platform has read it
  QApplication::setApplicationName(QStringLiteral("Kovrix"));
  kovrix::InstallQtTranslations(QLocale::system());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
