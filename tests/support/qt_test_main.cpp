// Test runner for the widget tests: one QApplication for the whole run, on the offscreen platform
// unless the environment chooses another (test discovery runs without the test environment).
#include <gtest/gtest.h>

#include <QApplication>

#include "app/input_gate.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // As in the program: input made during a device exchange is dropped.
  kovrix::InputGate::Install();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
