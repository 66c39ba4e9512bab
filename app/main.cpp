// kovrix: the service tool's desktop program. `kovrix --simulate` runs a simulated registrator
// and bank terminal inside the program and preselects their ports.

#include <QApplication>
#include <QScreen>
#include <cstdio>
#include <QStringList>

#include "app/main_window.h"
#include "app/qt_ui_services.h"
#include "app/simulation.h"
#include "port/device_registry.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kovrix"));
  const bool simulate = QApplication::arguments().contains(QStringLiteral("--simulate"));

  kovrix::QtUiServices ui;
  kovrix::TForm1 window(kovrix::SystemDeviceRegistry(), ui);
  ui.SetFallbackParent(&window);

  kovrix::Simulation simulation;
  if (simulate) {
    if (simulation.Start()) {
      window.PresetPorts(simulation.RegistratorPort(), simulation.TerminalPort());
    } else {
      std::fprintf(stderr, "kovrix: no pseudo-terminal for the simulated devices; starting without them\n");
    }
  }
  window.show();
  window.move(window.screen()->availableGeometry().center() - window.rect().center());
  return QApplication::exec();
}
