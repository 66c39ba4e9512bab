#pragma once
// The frame monitor opened against the simulated registrator, with its initialisation file and
// script files in a temporary directory. Texts are compared as UTF-8.

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <string>
#include <vector>

#include "driver/codepage.h"
#include "monitor/frame_monitor.h"
#include "support/sim_screen_fixture.h"

namespace kovrix::test {

class MonitorFixture : public SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    ASSERT_TRUE(dir.isValid());
    state.iniPath = Path("fpinit.ini");
    Open(monitor);
  }

  /// Answers the path of a file in the temporary directory (UTF-8).
  std::string Path(const std::string& name) const { return (dir.path() + "/").toStdString() + name; }

  /// Writes a script file from UTF-8 lines, in cp1251 with CR LF line ends; answers its path.
  QString WriteScript(const std::string& name, const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines) bytes += Utf8ToCp1251(line) + "\r\n";
    QFile file(QString::fromStdString(Path(name)));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
    return file.fileName();
  }

  /// Chooses a script file through "Открыть файл".
  void ChooseScript(const QString& path) {
    ui.fileNames.push_back(path);
    Click(monitor.OpenFileButton());
  }

  /// Answers the trace lines added since the last call (UTF-8, control characters kept).
  std::vector<std::string> TakeTrace() {
    const QString text = monitor.Trace()->toPlainText();
    std::vector<std::string> lines;
    if (!text.isEmpty()) {
      for (const QString& line : text.split(u'\n')) lines.push_back(line.toStdString());
    }
    if (lines.size() < traceSeen_) traceSeen_ = 0;  // the trace was emptied
    std::vector<std::string> fresh(lines.begin() + static_cast<std::ptrdiff_t>(traceSeen_), lines.end());
    traceSeen_ = lines.size();
    return fresh;
  }

  /// Answers the commands the simulator received since the last call, without their data.
  std::vector<int> TakeCommands() {
    std::vector<int> codes;
    for (const Sent& sent : TakeSent()) codes.push_back(sent.command);
    return codes;
  }

  QTemporaryDir dir;
  FrameMonitor monitor{context};

 private:
  std::size_t traceSeen_ = 0;
};

}  // namespace kovrix::test
