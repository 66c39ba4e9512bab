// kovrix: the service tool's desktop program. `kovrix --simulate` runs a simulated registrator
// and bank terminal inside the program and preselects their ports.

#include <QApplication>
#include <QLocale>
#include <QStringList>
#include <cstdio>

#include "app/main_window.h"
#include "app/qt_translations.h"
#include "app/qt_ui_services.h"
#include "app/simulation.h"
#include "app/window_placement.h"
#include "port/device_registry.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kovrix"));
  kovrix::InstallQtTranslations(QLocale::system());
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
  kovrix::CentreOnParentScreen(window);
  window.show();
  return QApplication::exec();
}
