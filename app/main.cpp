// kovrix: the service tool's desktop program. `kovrix --simulate` runs a simulated registrator
// and bank terminal inside the program and preselects their ports.

#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QStandardPaths>
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
          "usage: kovrix [--simulate [--tape FILE]] [--user-folder]\n"
          "       kovrix --version | --help\n\n"
          "  --simulate   run a simulated registrator and bank terminal inside the program and\n"
          "               preselect their ports\n"
          "  --tape FILE  append the simulated registrator's printed tape to FILE (cp1251)\n"
          "  --user-folder\n"
          "               work in the user's own Kovrix folder (Documents/Kovrix, made when\n"
          "               missing): fpinit.ini, the session log and the files go there\n"
          "  --version    print the version\n"
          "  --help       print this text\n");
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
  const QStringList arguments = QApplication::arguments();
  const bool simulate = arguments.contains(QStringLiteral("--simulate"));
  const qsizetype tapeAt = arguments.indexOf(QStringLiteral("--tape"));
  QString tape;
  if (tapeAt >= 0) {
    if (!simulate || tapeAt + 1 >= arguments.size()) {
      std::fprintf(stderr, "kovrix: --tape FILE goes with --simulate\n");
      return 2;
    }
    tape = arguments.at(tapeAt + 1);
  }

  // The Start menu's entries start the tool here, since its own folder may not be the user's to
  // write in.
  if (arguments.contains(QStringLiteral("--user-folder"))) {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QStringLiteral("/Kovrix");
    // Without it the tool stays where it was started; the start-up sequence then says what it
    // cannot write.
    if (!QDir().mkpath(folder) || !QDir::setCurrent(folder)) {
      std::fprintf(stderr, "kovrix: cannot work in %s; staying where started\n", folder.toUtf8().constData());
    }
  }

  kovrix::QtUiServices ui;
  kovrix::MainWindow window(kovrix::SystemDeviceRegistry(), ui);
  ui.SetFallbackParent(&window);

  kovrix::Simulation simulation;
  if (simulate) {
    const QByteArray tapeUtf8 = tape.toUtf8();
    if (!tape.isEmpty() && !simulation.WriteTapeTo(std::u8string(tapeUtf8.begin(), tapeUtf8.end()))) {
      std::fprintf(stderr, "kovrix: cannot open the tape file %s\n", tapeUtf8.constData());
      return 2;
    }
    if (simulation.Start()) {
      window.PresetPorts(simulation.RegistratorPort(), simulation.TerminalPort());
    } else {
      std::fprintf(stderr, "kovrix: the simulated devices cannot serve (no pseudo-terminal or loopback port); starting without them\n");
    }
  }
  kovrix::CentreOnParentScreen(window);
  window.show();
  return QApplication::exec();
}
