// kovrix: the service tool's desktop program. `kovrix --simulate` runs a simulated registrator
// and bank terminal inside the program and preselects their ports.

#include <QApplication>
#include <QLocale>
#include <QStringList>
#include <cstdio>
#include <cstring>

#include "app/input_gate.h"
#include "app/main_window.h"
#include "app/qt_translations.h"
#include "app/qt_ui_services.h"
#include "app/simulation.h"
#include "app/window_placement.h"
#include "kovrix_version.h"
#include "port/device_registry.h"

namespace {

// --version and --help answer before the application object exists, so that they work without
// a display (in a terminal, in a package check).
bool AnswerInformationOption(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("kovrix " KOVRIX_VERSION "\n");
      return true;
    }
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::printf(
          "usage: kovrix [--simulate]\n"
          "       kovrix --version | --help\n\n"
          "  --simulate  run a simulated registrator and bank terminal inside the program and\n"
          "              preselect their ports\n"
          "  --version   print the version\n"
          "  --help      print this text\n");
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (AnswerInformationOption(argc, argv)) return 0;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kovrix"));
  kovrix::InputGate::Install();
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
