#pragma once
// A main window over an in-memory device registry and the recording UI services, working in a
// directory of its own.

#include <gtest/gtest.h>

#include <QStringList>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "app/main_window.h"
#include "port/memory_registry.h"
#include "support/ui_recorder.h"

namespace kovrix::test {

class MainWindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("kovrix-main-" + std::to_string(::getpid()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    ini = (dir / "fpinit.ini").string();
  }
  void TearDown() override {
    window.reset();
    std::filesystem::remove_all(dir);
  }

  /// Creates the window and runs its start-up sequence; captions are recorded in `captions`.
  MainWindow& Start() {
    window = std::make_unique<MainWindow>(registry, ui);
    window->State().programDir = dir.string();
    QObject::connect(window.get(), &QWidget::windowTitleChanged, [this](const QString& t) { captions << t; });
    window->StartupSequence();
    return *window;
  }

  void WriteIni(const std::string& text) { std::ofstream(ini, std::ios::binary) << text; }
  std::string IniContent() const {
    std::ifstream in(ini, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }

  static QStringList Items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
    return items;
  }

  std::filesystem::path dir;
  std::string ini;
  MemoryDeviceRegistry registry;
  UiRecorder ui;
  QStringList captions;
  std::unique_ptr<MainWindow> window;
};

}  // namespace kovrix::test
