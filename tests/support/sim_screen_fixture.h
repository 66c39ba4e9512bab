#pragma once
// Screens against the simulated registrator: the simulator serves a pseudo-terminal (a loopback
// TCP port on Windows), the process's driver link opens it with shrunk timing and no repeats, and the screen works with
// the recording UI services and a main-window double. Texts are compared as UTF-8.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <string>
#include <vector>

#include "support/fake_shell.h"
#include "app/screen.h"
#include "driver/codepage.h"
#include "driver/driver.h"
#include "sim/device_server.h"
#include "support/ui_recorder.h"

namespace kovrix::test {

/// One request as the simulator received it: command code and data text (UTF-8).
struct Sent {
  int command = 0;
  std::string data;
  bool operator==(const Sent&) const = default;
};

inline void PrintTo(const Sent& s, std::ostream* os) { *os << std::hex << s.command << std::dec << " \"" << s.data << "\""; }

class SimScreenFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.start());
    UseSerialLine(MakeSerialLine());
    // Replies from the simulator's thread take milliseconds; 300 ms of silence means none comes.
    TheLink().SetTiming({/*silencePasses*/ 10, /*readTimeoutMs*/ 30, /*repeatWaitMs*/ 0, /*usbRepeatWaitMs*/ 0});
    TheLink().SetSleeper([](int) {});
    SetRepeatCount(0);
    ASSERT_EQ(OpenComPort(server.slavePath(), 115200), 0);
  }
  void TearDown() override {
    CloseComPort();
    server.stop();
  }

  /// Opens a screen and leaves it open (its activation runs).
  static void Open(Screen& screen) {
    screen.show();
    QApplication::processEvents();
  }
  static void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

  /// Answers the requests received since the last call, in order.
  std::vector<Sent> TakeSent() {
    std::vector<Sent> out;
    const auto entries = server.journal().Entries();
    for (std::size_t i = seen_; i < entries.size(); ++i) {
      out.push_back({entries[i].command, Cp1251ToUtf8(entries[i].data)});
    }
    seen_ = entries.size();
    return out;
  }
  /// Answers the messages shown since the last call (UTF-8), and forgets them.
  std::vector<std::string> TakeMessages() {
    std::vector<std::string> out;
    for (const QString& m : ui.messages) out.push_back(m.toStdString());
    ui.messages.clear();
    ui.titles.clear();
    return out;
  }
  /// Answers the printed tape (UTF-8) as one text, a line break after each line.
  std::string Tape() {
    std::string text;
    for (const std::string& line : server.tape()) text += Cp1251ToUtf8(line) + "\n";
    return text;
  }
  template <class F>
  auto WithDevice(F&& f) {
    return server.withDevice([&](sim::Registrator& r) { return f(r.state()); });
  }

  sim::DeviceServer server;
  ConnectionState state;
  UiRecorder ui;
  FakeShell shell;
  ScreenContext context{state, ui, shell};

 private:
  std::size_t seen_ = 0;
};

}  // namespace kovrix::test
