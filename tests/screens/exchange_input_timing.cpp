// Measures what the user sees while the registrator is silent: the X report of the daily reports
// screen against the simulated registrator, which drops the request, so that the link waits out its
// whole silence (50 reads of 100 ms). The clicks are real window-system input made by xdotool: the
// first starts the report, five more come during the wait. Prints how soon a repaint asked for during
// the wait is done, and how many X reports the registrator received. Run under an X server
// (xvfb-run); --no-gate measures the program without its input gate. A measurement, not a test.

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPainter>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/input_gate.h"
#include "driver/driver.h"
#include "screens/reports/daily_reports.h"
#include "sim/device_server.h"
#include "support/fake_shell.h"
#include "support/ui_recorder.h"

using namespace kovrix;

namespace {

class PaintProbe : public QWidget {
 public:
  QElapsedTimer clock;
  std::vector<qint64> painted;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter(this).fillRect(rect(), painted.size() % 2 ? Qt::white : Qt::lightGray);
    painted.push_back(clock.elapsed());
  }
};

void RunFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const bool gate = !QApplication::arguments().contains(QStringLiteral("--no-gate"));
  if (gate) InputGate::Install();

  sim::DeviceServer server;
  if (!server.start()) return 1;
  if (OpenComPort(server.slavePath(), 115200) != 0) return 1;
  SetRepeatCount(0);
  server.withDevice([](sim::Registrator& r) { r.state().shift.open = true; });

  ConnectionState state;
  test::UiRecorder ui;
  test::FakeShell shell;
  ScreenContext context{state, ui, shell};
  DailyReports screen{context};
  screen.show();
  PaintProbe probe;
  probe.resize(200, 60);
  probe.move(0, 0);
  probe.show();
  RunFor(500);

  server.faults().Queue(sim::LineFault::Drop);
  const QPoint at = screen.XReportButton()->mapToGlobal(screen.XReportButton()->rect().center());
  QProcess::startDetached(QStringLiteral("xdotool"),
                          {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                           QStringLiteral("click"), QStringLiteral("1"), QStringLiteral("sleep"), QStringLiteral("0.8"),
                           QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("5"),
                           QStringLiteral("--delay"), QStringLiteral("700"), QStringLiteral("1")});

  // Repaints asked for every 50 ms from another timer's point of view; when the program does not
  // let events run, the timer itself is late, and that lateness counts too.
  probe.clock.start();
  std::vector<qint64> asked;
  qint64 reportStart = -1, reportEnd = -1;
  QObject::connect(screen.XReportButton(), &QPushButton::pressed, [&] {
    if (reportStart < 0) reportStart = probe.clock.elapsed();
  });
  ui.onMessage = [&](const QString&) {
    if (reportEnd < 0) reportEnd = probe.clock.elapsed();
  };
  QTimer ask;
  qint64 nextAsk = 0;
  QObject::connect(&ask, &QTimer::timeout, [&] {
    const qint64 now = probe.clock.elapsed();
    for (; nextAsk <= now; nextAsk += 50) asked.push_back(nextAsk);
    probe.update();
  });
  ask.start(50);
  RunFor(9000);
  ask.stop();

  // Latency of the repaints asked for while the report waited.
  std::vector<qint64> latency;
  for (qint64 a : asked) {
    if (reportStart < 0 || a < reportStart || (reportEnd >= 0 && a > reportEnd)) continue;
    const auto p = std::lower_bound(probe.painted.begin(), probe.painted.end(), a);
    if (p != probe.painted.end()) latency.push_back(*p - a);
  }
  std::sort(latency.begin(), latency.end());
  int reports = 0;
  for (const auto& e : server.journal().Entries()) reports += e.command == 0xA1;
  std::printf("input gate %s: the X report waited %lld ms; %zu repaints asked during the wait, done after "
              "median %lld ms, max %lld ms; clicks: 1 + 5 during the wait; X reports received: %d "
              "(clicks run afterwards: %d); input events dropped: %ld\n",
              gate ? "on" : "off", static_cast<long long>(reportEnd - reportStart), latency.size(),
              latency.empty() ? -1LL : static_cast<long long>(latency[latency.size() / 2]),
              latency.empty() ? -1LL : static_cast<long long>(latency.back()), reports, reports - 1,
              InputGate::Instance().DroppedCount());
  CloseComPort();
  server.stop();
  return 0;
}
