// Renders the documentation screenshots: the main window connected to the simulated registrator,
// the status bytes screen over its diagnostic reply, and every screen the menus reach (for each
// model family whose menus lead to other screens) as DIR/screens/<objectName>.png. Run under a
// display server with a laptop-sized screen:
//   xvfb-run -a -s "-screen 0 1366x768x24" app_screenshots DIR
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QPixmap>
#include <cstdio>
#include <memory>
#include <set>

#include "app/main_window.h"
#include "ini/private_profile.h"
#include "app/qt_translations.h"
#include "app/window_placement.h"
#include "driver/driver.h"
#include "monitor/frame_monitor.h"
#include "port/memory_registry.h"
#include "screens/programming/device_profile_screen.h"
#include "sim/bank_terminal.h"
#include "sim/device_server.h"
#include "support/menu_screens.h"
#include "support/ui_recorder.h"

namespace {

// A model family of the registrator, and the initialisation-file keys that choose screens.
struct Config {
  const char* model;
  const char* extendedTax;
  const char* level;
};

constexpr Config kConfigs[] = {
    {"Veltra KR-23", "0", "medium"},
    {"RQM707", "1", "high"},
    {"Veltra KR-12", "0", "medium"},
};

bool Save(QWidget& window, const QString& path) {
  QApplication::processEvents();
  const bool saved = window.grab().save(path);
  if (!saved) std::fprintf(stderr, "app_screenshots: cannot save %s\n", path.toLocal8Bit().constData());
  return saved;
}

// The profile screen comparing the registrator with a profile that differs in two fields: the
// registrator's own profile is saved, two values changed in the file, and the file compared.
bool SaveProfileComparison(kovrix::MainWindow& window, kovrix::test::UiRecorder& ui, const QString& out) {
  auto* screen = window.findChild<kovrix::DeviceProfileScreen*>();
  if (screen == nullptr) return false;
  const QString path = QDir::tempPath() + QStringLiteral("/kovrix-screenshot-profile.json");
  screen->show();
  ui.fileNames = {path};
  screen->SaveButton()->click();
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  nlohmann::ordered_json profile = nlohmann::ordered_json::parse(file.readAll().toStdString(), nullptr, false);
  file.close();
  if (!profile.is_object()) return false;
  if (profile.contains("idDev") && profile["idDev"].is_number_integer()) profile["idDev"] = profile["idDev"].get<long long>() + 1;
  if (profile.contains("decimalPoint") && profile["decimalPoint"].is_number_integer()) {
    profile["decimalPoint"] = profile["decimalPoint"].get<int>() == 2 ? 3 : 2;
  }
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  file.write(QByteArray::fromStdString(profile.dump(2)));
  file.close();
  ui.fileNames = {path};
  screen->CompareButton()->click();
  ui.messages.clear();
  const bool saved = Save(*screen, out + QStringLiteral("/screens/profile-comparison.png"));
  screen->hide();
  QFile::remove(path);
  return saved;
}

// A main window connected to a fresh simulated registrator of the configuration's model.
struct Session {
  kovrix::sim::DeviceServer server;
  kovrix::sim::BankTerminal terminal;
  kovrix::MemoryDeviceRegistry registry;
  kovrix::test::UiRecorder ui;
  std::unique_ptr<kovrix::MainWindow> window;

  explicit Session(const Config& config) : server(kovrix::sim::Registrator(kovrix::sim::FactoryState(config.model))) {}

  bool Start(const Config& config, const QString& programDir) {
    if (!server.start() || !terminal.start()) return false;
    registry.Add("ttyS0", "Communications Port (ttyS0)").Add("ttyS1", "Communications Port (ttyS1)");
    kovrix::UseSerialLine(kovrix::MakeSerialLine());
    window = std::make_unique<kovrix::MainWindow>(registry, ui);
    window->State().programDir = programDir.toStdString();
    QDir(programDir).removeRecursively();
    QDir().mkpath(programDir);
    window->PresetPorts(QString::fromStdString(server.slavePath()), QString::fromStdString(terminal.slavePath()));
    kovrix::CentreOnParentScreen(*window);
    window->show();
    window->StartupSequence();
    const std::string& ini = window->State().iniPath;
    kovrix::WritePrivateProfileString("Fiscal Printer", "ExtendedTax", config.extendedTax, ini);
    kovrix::WritePrivateProfileString("Priority", "Level", config.level, ini);
    window->SpeedList()->setCurrentText(QStringLiteral("115200"));
    window->ConnectToggle();
    // The pseudo-terminal's path changes from run to run; show a stable name in the pictures.
    window->PortBox()->setEditText(QStringLiteral("/dev/pts/0"));
    window->TerminalPortBox()->setEditText(QStringLiteral("/dev/pts/1"));
    QApplication::processEvents();
    return window->State().connected;
  }

  ~Session() {
    if (window) window->close();
    window.reset();
    kovrix::CloseComPort();
  }
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kovrix"));
  kovrix::InstallQtTranslations(QLocale(QStringLiteral("ru_RU")));
  if (argc != 2) {
    std::fprintf(stderr, "usage: app_screenshots DIR\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  const QString screens = out + QStringLiteral("/screens");
  QDir().mkpath(screens);
  const QString programDir = QDir::tempPath() + QStringLiteral("/kovrix-screenshots");

  bool ok = true;
  std::set<QString> saved;
  for (const Config& config : kConfigs) {
    Session session(config);
    if (!session.Start(config, programDir)) {
      std::fprintf(stderr, "app_screenshots: no connection to the simulated %s\n", config.model);
      return 1;
    }
    kovrix::MainWindow& window = *session.window;
    if (&config == &kConfigs[0]) {
      ok = Save(window, out + QStringLiteral("/main-window.png")) && ok;
      session.ui.onModal[QStringLiteral("StatusBytesScreen")] = [&](QDialog& dialog) {
        ok = Save(dialog, out + QStringLiteral("/status-bytes.png")) && ok;
      };
      window.CheckRegistratorState();
      session.ui.onModal.clear();
    }
    auto keep = [&](QWidget& screen) {
      if (!saved.insert(screen.objectName()).second) return;
      ok = Save(screen, screens + QStringLiteral("/") + screen.objectName() + QStringLiteral(".png")) && ok;
    };
    keep(window);
    kovrix::test::VisitMenuScreens(window, session.ui, [&](const QString&, QDialog& screen) {
      keep(screen);
      if (auto* monitor = qobject_cast<kovrix::FrameMonitor*>(&screen)) {
        monitor->Variables().Open();
        keep(monitor->Variables());
      }
    });
    if (&config == &kConfigs[0]) ok = SaveProfileComparison(window, session.ui, out) && ok;
    session.ui.onAnyModal = [&](QDialog& screen) { keep(screen); };
    window.CheckRegistratorState();
    session.ui.onAnyModal = nullptr;
    for (const QString& message : session.ui.messages) {
      std::fprintf(stderr, "%s: message: %s\n", config.model, message.toLocal8Bit().constData());
    }
  }
  std::fprintf(stderr, "app_screenshots: %zu screens saved in %s\n", saved.size(), screens.toLocal8Bit().constData());
  return ok ? 0 : 1;
}
