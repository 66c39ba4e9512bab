#include <QTest>
#include <unistd.h>

#include "main_window_fixture.h"

namespace kovrix {
namespace {

using test::MainWindowFixture;
using StartupTest = MainWindowFixture;

const char kUsbName[] = "STMicroelectronics Virtual COM Port (ttyACM0)";

TEST_F(StartupTest, FirstStartCreatesTheFileAndFallsBackToTheFirstPortAnd9600) {
  registry.Add("ttyS0", "Serial (ttyS0)").Add("ttyS1", "Serial (ttyS1)").Add("ttyACM0", kUsbName);
  MainWindow& w = Start();

  EXPECT_EQ(ui.messages, (std::vector<QString>{QStringLiteral("Файл fpinit.ini отсутствует.\n Создание файла!")}));
  EXPECT_EQ(IniContent(),
            "[CountryMode]\r\nCountry code=0\r\n\r\n[Fiscal Printer]\r\nExtendedTax=1\r\n\r\n"
            "[LogFile]\r\nLog=0\r\nLogName=kovrix.log\r\n");
  const QStringList ports{"ttyS0", "ttyS1", "ttyACM0"};
  EXPECT_EQ(Items(w.PortBox()), ports);
  EXPECT_EQ(Items(w.TerminalPortBox()), ports);
  EXPECT_EQ(w.PortBox()->currentText(), "ttyS0");
  EXPECT_EQ(w.SpeedList()->currentText(), "9600");
  EXPECT_EQ(w.TerminalPortBox()->currentText(), "ttyS0");
  EXPECT_EQ(w.TerminalSpeedBox()->currentText(), "115200");
  EXPECT_FALSE(w.TerminalGroup()->isVisibleTo(&w));
  EXPECT_TRUE(w.ConnectButton()->isEnabled());
  EXPECT_TRUE(w.CloseButton()->isEnabled());
  EXPECT_TRUE(w.Action("О программе...")->isEnabled());
  EXPECT_EQ(w.UsbPortName(), "ttyACM0");
  EXPECT_EQ(captions, (QStringList{"Проверка портов: ttyS0", "Проверка портов: ttyS1", "Проверка портов: ttyACM0",
                                    "Тестирование USB устройств: Шаг 1", "Тестирование USB устройств: Шаг 2",
                                    "Тестирование USB устройств: Шаг 3", "Kovrix"}));
  EXPECT_EQ(ui.pausedMs, 3 * 200 + 3 * 100 + 1000);
  EXPECT_EQ(w.State().iniPath, ini);
  // A typed port or speed confirmed with Enter is used as typed, not added to the list.
  for (QComboBox* box : {w.PortBox(), w.TerminalPortBox(), w.TerminalSpeedBox()}) {
    const int count = box->count();
    box->setEditText("ttyX9");
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(box->count(), count);
    EXPECT_EQ(box->currentText(), "ttyX9");
  }

  ui.ClearRecord();
  w.StartupSequence();  // runs once only
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(ui.pausedMs, 0);
}

TEST_F(StartupTest, PreselectionFromTheFile) {
  registry.Add("ttyS0", "a (ttyS0)").Add("ttyUSB0", "b (ttyUSB0)").Add("ttyUSB123", "c (ttyUSB123)")
      .Add("ttyUSB12345", "d (ttyUSB12345)");
  struct Case {
    const char* port;
    const char* speed;
    const char* terminal;
    const char* expectedPort;
    const char* expectedSpeed;
    bool terminalShown;
  } cases[] = {
      {"ttyUSB0", "57600", "x", "ttyUSB0", "57600", true},
      {"ttyusb0", "14400", "", "ttyUSB0", "9600", false},       // letter case ignored when no exact match
      {"ttyUSB12345", "115200", "COM1", "ttyUSB12345", "115200", true},  // taken whole, however long
      // A port the enumeration does not list is taken as written: a stable name, a pseudo-terminal.
      {"ttyS9", "", nullptr, "ttyS9", "9600", false},
      {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A9XK3B-if00-port0", "19200", nullptr,
       "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A9XK3B-if00-port0", "19200", false},
      {"/dev/pts/7", "", nullptr, "/dev/pts/7", "9600", false},
      {"", "abc", "COM2", "ttyS0", "9600", true},
  };
  for (const auto& c : cases) {
    std::string text = std::string("[Communication]\nPort=") + c.port + "\nSpeed=" + c.speed + "\n";
    if (c.terminal) text += std::string("Terminal=") + c.terminal + "\n";
    WriteIni(text);
    ui.ClearRecord();
    MainWindow& w = Start();
    EXPECT_TRUE(ui.messages.empty()) << c.port;
    EXPECT_EQ(w.PortBox()->currentText(), c.expectedPort) << c.port;
    EXPECT_EQ(w.SpeedList()->currentText(), c.expectedSpeed) << c.speed;
    EXPECT_EQ(w.TerminalGroup()->isVisibleTo(&w), c.terminalShown) << c.port;
  }
}

TEST_F(StartupTest, UsbScanFindsTheFirstMatchingDeviceOrNone) {
  struct Case {
    std::vector<std::pair<const char*, const char*>> devices;
    const char* usb;
    int steps;
  } cases[] = {
      {{}, "", 1},
      {{{"ttyS0", "Serial (ttyS0)"}, {"ttyS1", "Serial (ttyS1)"}}, "", 3},
      {{{"ttyS0", "Serial (ttyS0)"}, {"ttyACM1", "STMicroelectronics Virtual COM Port (ttyACM1)"}, {"ttyACM0", kUsbName}},
       "ttyACM1", 2},
  };
  for (const auto& c : cases) {
    registry.devices.clear();
    for (const auto& [port, name] : c.devices) registry.Add(port, name);
    captions.clear();
    MainWindow& w = Start();
    EXPECT_EQ(w.UsbPortName(), c.usb);
    EXPECT_EQ(captions.filter("Тестирование USB устройств").size(), c.steps);
    EXPECT_EQ(w.PortBox()->count(), static_cast<int>(c.devices.size()));
    if (c.devices.empty()) {
      EXPECT_EQ(w.PortBox()->currentIndex(), -1);
      EXPECT_EQ(w.SpeedList()->currentText(), "9600");
    }
  }
}

}  // namespace
}  // namespace kovrix
