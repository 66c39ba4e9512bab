// Prints the time of the long service transfers through the real screens against the simulated
// registrator paced at 115200 baud: 64 KiB of fiscal memory and the internal software image,
// each as a ratio to the pure wire time of the request and reply bytes exchanged. A measurement,
// not a test.

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <functional>

#include "app/screen.h"
#include "driver/driver.h"
#include "screens/service/firmware_reading.h"
#include "screens/service/fiscal_memory.h"
#include "sim/device_server.h"
#include "support/fake_shell.h"
#include "support/ui_recorder.h"

using namespace kovrix;

namespace {

constexpr int kBaud = 115200;

struct Measured {
  double seconds = 0;
  std::size_t lineBytes = 0;
  int exchanges = 0;
  qint64 fileBytes = 0;
  QString message;
};

// Runs transfers. Both screens let events run exactly once per exchange but the last of each
// transfer (after each fiscal memory chunk, before each packet), so the driver's record is counted
// there, and once more per transfer: when it reports its end.
Measured Run(test::UiRecorder& ui, const std::function<void()>& start, const QString& file) {
  Measured m;
  const auto count = [&] {
    const ReplyRecord* r = LatestRecord();
    m.lineBytes += r->sentFrame.size() + r->rawReply.size();
    ++m.exchanges;
  };
  ui.onEvents = count;
  ui.onMessage = [&](const QString&) { count(); };
  ui.messages.clear();
  const auto t0 = std::chrono::steady_clock::now();
  start();
  m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  ui.onEvents = nullptr;
  ui.onMessage = nullptr;
  m.fileBytes = QFile(file).size();
  m.message = ui.messages.empty() ? QString() : ui.messages.back();
  return m;
}

void Print(const char* what, const Measured& m) {
  const double wire = static_cast<double>(m.lineBytes) * 10.0 / kBaud;
  std::printf("%s: %lld bytes into the file, %d exchanges, %zu line bytes; measured %.3f s, wire %.3f s at %d "
              "baud, ratio %.4f, %.0f us a exchange beyond the wire time (\"%s\")\n",
              what, static_cast<long long>(m.fileBytes), m.exchanges, m.lineBytes, m.seconds, wire, kBaud,
              m.seconds / wire, (m.seconds - wire) / m.exchanges * 1e6, m.message.toStdString().c_str());
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  sim::DeviceServer server;
  if (!server.start()) return 1;
  UseSerialLine(MakeSerialLine());
  if (OpenComPort(server.slavePath(), kBaud) != 0) return 1;
  // "unpaced" as the argument measures the same transfers without pacing: the host's own time.
  const bool paced = !(argc == 2 && QByteArray(argv[1]) == "unpaced");
  if (paced) server.setPace(kBaud);
  QTemporaryDir dir;

  ConnectionState state;
  test::UiRecorder ui;
  test::FakeShell shell;
  ScreenContext context{state, ui, shell};

  FiscalMemory memory(context);
  memory.show();
  QApplication::processEvents();
  memory.AddressBox()->setText("0");
  memory.CountBox()->setText("65536");
  const QString image = dir.filePath("memory.bin");
  ui.fileNames.push_back(image);
  Print("fiscal memory, 64 KiB", Run(ui, [&] { memory.ReadButton()->click(); }, image));

  FirmwareReading firmware(context);
  firmware.show();
  QApplication::processEvents();
  // The image is small: ten readings in a row give a steadier figure.
  const QString hex = dir.filePath("fw.HEX");
  constexpr int kReadings = 10;
  for (int i = 0; i < kReadings; ++i) ui.fileNames.push_back(hex);
  Print("internal software, 10 readings", Run(ui, [&] {
          for (int i = 0; i < kReadings; ++i) firmware.ReadButton()->click();
        }, hex));

  CloseComPort();
  server.stop();
  return 0;
}
