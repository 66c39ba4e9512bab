// Renders the documentation screenshots: the main window connected to the simulated registrator,
// and the status bytes screen over its diagnostic reply. Run under a display server:
//   xvfb-run -a app_screenshots DIR
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <cstdio>

#include "app/main_window.h"
#include "driver/driver.h"
#include "port/memory_registry.h"
#include "sim/bank_terminal.h"
#include "sim/device_server.h"
#include "support/ui_recorder.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kovrix"));
  if (argc != 2) {
    std::fprintf(stderr, "usage: app_screenshots DIR\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  kovrix::sim::DeviceServer server;
  kovrix::sim::BankTerminal terminal;
  if (!server.start() || !terminal.start()) return 1;

  kovrix::MemoryDeviceRegistry registry;
  registry.Add("ttyS0", "Communications Port (ttyS0)").Add("ttyS1", "Communications Port (ttyS1)");
  kovrix::test::UiRecorder ui;
  kovrix::TForm1 window(registry, ui);
  window.State().programDir = QDir::tempPath().toStdString() + "/kovrix-screenshots";
  QDir().mkpath(QString::fromStdString(window.State().programDir));
  window.PresetPorts(QString::fromStdString(server.slavePath()), QString::fromStdString(terminal.slavePath()));
  window.show();
  window.StartupSequence();
  window.SpeedList()->setCurrentText(QStringLiteral("115200"));
  window.ConnectToggle();
  // The pseudo-terminal's path changes from run to run; show a stable name in the picture.
  window.PortBox()->setEditText(QStringLiteral("/dev/pts/0"));
  window.TerminalPortBox()->setEditText(QStringLiteral("/dev/pts/1"));
  QApplication::processEvents();
  const bool mainSaved = window.grab().save(out + QStringLiteral("/main-window.png"));

  bool statusSaved = false;
  ui.onModal[QStringLiteral("StatusBytesScreen")] = [&](QDialog& dialog) {
    dialog.adjustSize();
    QApplication::processEvents();
    statusSaved = dialog.grab().save(out + QStringLiteral("/status-bytes.png"));
  };
  window.CheckRegistratorState();
  window.close();
  for (const QString& message : ui.messages) std::fprintf(stderr, "message: %s\n", message.toLocal8Bit().constData());
  return mainSaved && statusSaved ? 0 : 1;
}
