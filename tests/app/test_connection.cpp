#include <QTest>
#include <QElapsedTimer>
#include <QTimer>
#include <cerrno>
#include <fstream>
#include <future>

#include "ini/private_profile.h"
#include "driver/driver.h"
#include "driver/network_serial_line.h"
#include "driver/resolver.h"
#include "app/simulation.h"
#include "main_window_fixture.h"
#include "screens/sales/fiscal_receipt.h"
#include "screens/programming/registrator_params.h"
#include "sim/bank_terminal.h"
#include "sim/device_server.h"
#ifndef _WIN32
#include "support/ser2net_bridge.h"  // the converter is a Linux program
#endif

namespace kovrix {
namespace {

// A resolver that answers no name until the test ends, with the connect bound set to connectMs:
// every name then costs the whole bound.
class HangingResolver {
 public:
  explicit HangingResolver(int connectMs) : saved_(GetNetworkLineTiming()) {
    SetNetworkLineTiming({connectMs, saved_.negotiateMs});
    std::shared_future<void> released = answer_->get_future().share();
    net::SetResolverForTests([released](const std::string&, int) {
      released.wait_for(std::chrono::seconds(20));
      return net::Resolution{{}, "name not resolved (late)"};
    });
  }
  ~HangingResolver() {
    answer_->set_value();
    net::SetResolverForTests(nullptr);
    SetNetworkLineTiming(saved_);
  }
  HangingResolver(const HangingResolver&) = delete;
  HangingResolver& operator=(const HangingResolver&) = delete;

 private:
  NetworkLineTiming saved_;
  std::shared_ptr<std::promise<void>> answer_ = std::make_shared<std::promise<void>>();
};

// The main window against a simulated registrator on a pseudo-terminal.
class ConnectionTest : public test::MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    UseSerialLine(MakeSerialLine());  // a fresh process link for each test
  }
  void TearDown() override {
    CloseComPort();
    MainWindowFixture::TearDown();
    server.reset();
  }

  /// Starts a registrator of the model and the window, with the registrator's port typed in.
  MainWindow& StartWith(const std::string& model, const std::string& version = "3.01") {
    server = std::make_unique<sim::DeviceServer>(sim::Registrator(sim::FactoryState(model, version)));
    EXPECT_TRUE(server->start());
    port = QString::fromStdString(server->slavePath());
    MainWindow& w = Start();
    w.PortBox()->setEditText(port);
    ui.ClearRecord();
    return w;
  }
  void Press(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
  std::vector<int> Commands() const {
    std::vector<int> codes;
    for (const auto& e : server->journal().Entries()) codes.push_back(e.command);
    return codes;
  }
  std::string Ini(const char* section, const char* key) const {
    return GetPrivateProfileString(section, key, "<none>", 300, ini);
  }

  std::unique_ptr<sim::DeviceServer> server;
  QString port;
};

TEST_F(ConnectionTest, ModelDependentSettingsForEachModel) {
  struct Case {
    const char* model;
    bool widthList;
    const char* width;            // number box text, or the list's text
    bool modemCaptions;           // status byte 5 bits 0/1 renamed, two menu entries hidden
    bool smallFontControl, paper57;
    bool secondLine;
  } cases[] = {
      {"Veltra KR-12", false, "32", true, true, false, false},
      {"Veltra KR-23", true, "40", false, false, true, false},
      {"Veltra KR-25", true, "42", false, false, true, false},
      {"Veltra KR-26", false, "40", false, false, false, false},
      {"QX53 QX71", false, "36", false, false, false, false},
      {"QX41-M", false, "38", true, false, false, false},
      {"RQM707", false, "40", false, false, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.model);
    MainWindow& w = StartWith(c.model);
    int dailyOpened = 0, rqmOpened = 0;
    w.BindMenuEntry("Печать дневных отчетов", [&] { ++dailyOpened; });
    w.BindMenuEntry("Печать дневных отчетов RQM707", [&] { ++rqmOpened; });
    w.SpeedList()->setCurrentText("19200");
    Press(w.ConnectButton());

    EXPECT_TRUE(ui.messages.empty());
    const ConnectionState& s = w.State();
    EXPECT_TRUE(s.connected);
    EXPECT_EQ(s.modelName, c.model);
    EXPECT_EQ(s.protocolVersion, "3.01");
    EXPECT_EQ(s.accessLevel, "medium");
    EXPECT_EQ(s.paperWidth.listShown, c.widthList);
    EXPECT_EQ(c.widthList ? s.paperWidth.listText : s.paperWidth.numberText, c.width);
    EXPECT_EQ(w.StatusBytes().BitBox(5, 0)->text().startsWith("(1)Блокировка"), c.modemCaptions);
    EXPECT_EQ(w.Action("Параметры связи")->isVisible(), !c.modemCaptions);
    EXPECT_EQ(w.Action("Установить и прочитать ID_DEV")->isVisible(), !c.modemCaptions);
    EXPECT_FALSE(s.registratorParams.smallFontReceiptShown);
    EXPECT_EQ(s.registratorParams.smallFontControlShown, c.smallFontControl);
    EXPECT_EQ(s.registratorParams.paper57Shown, c.paper57);
    EXPECT_EQ(s.registratorParams.speedIndex, 7);
    EXPECT_EQ(s.secondModelLine, c.secondLine);
    EXPECT_EQ(w.Action("Печать дневных отчетов RQM707")->isEnabled(), c.secondLine);
    EXPECT_EQ(w.Action("Печать дневных отчетов")->isEnabled(), !c.secondLine);
    EXPECT_EQ(w.StatusText(), QStringLiteral("   Модель:%1,    Версия:3.01,     %2.")
                                  .arg(c.model, QString::fromStdString(server->withDevice([](auto& d) { return d.state().serial; }))));
    EXPECT_EQ(Ini("Communication", "Port"), port.toStdString());
    EXPECT_EQ(Ini("Communication", "Speed"), "19200");
    EXPECT_EQ(Commands(), std::vector<int>{0x80});
    EXPECT_EQ(server->journal().Entries().at(0).data, "482916;");
    EXPECT_EQ(w.IndicatorColor(), QColor(0, 255, 0));
    EXPECT_EQ(w.ConnectButton()->text(), "Отключить");
    EXPECT_FALSE(w.PortBox()->isEnabled());
    EXPECT_TRUE(w.Action("Продажа")->isEnabled());
    EXPECT_TRUE(w.Action("Фискальный чек")->isEnabled()) << "an entry with its screen is enabled";
    EXPECT_FALSE(UsbLinkActive());
    EXPECT_FALSE(w.UsbButton()->isVisibleTo(&w));

    Press(w.ConnectButton());  // disconnect
    EXPECT_FALSE(TheLink().IsOpen());
    EXPECT_FALSE(s.connected);
    EXPECT_EQ(w.IndicatorColor(), QColor(255, 0, 0));
    EXPECT_EQ(w.ConnectButton()->text(), "Подключить");
    EXPECT_TRUE(w.PortBox()->isEnabled());
    EXPECT_TRUE(w.SpeedList()->isEnabled());
    EXPECT_FALSE(w.StateButton()->isEnabled());
    EXPECT_FALSE(w.Action("Продажа")->isEnabled());
    EXPECT_EQ(w.StatusText(), "");
  }
}

TEST_F(ConnectionTest, ServiceModeShowsInTheStatusBarAtConnectButNotAtTheStateCheck) {
  MainWindow& w = StartWith("Veltra KR-23");
  server->withDevice([](sim::Registrator& r) {
    r.state().paymentTypes.resize(4);
    return 0;
  });
  server->faults().ForceStatusBit(0, 0, true);
  Press(w.ConnectButton());
  EXPECT_TRUE(w.StatusText().endsWith(". Сервис.реж.")) << w.StatusText().toStdString();
  EXPECT_EQ(w.State().paymentTypeCount, 4);

  w.State().connected = false;
  bool bitShown = false;
  ui.onModal["StatusBytesScreen"] = [&](QDialog&) { bitShown = w.StatusBytes().BitBox(0, 0)->isChecked(); };
  Press(w.StateButton());
  EXPECT_TRUE(w.StatusText().endsWith(".")) << w.StatusText().toStdString();
  EXPECT_FALSE(w.StatusText().contains("Сервис"));
  EXPECT_EQ(ui.modalShown, std::vector<QString>{"StatusBytesScreen"});
  EXPECT_TRUE(bitShown);
  EXPECT_TRUE(w.State().connected);
  EXPECT_EQ(Commands(), (std::vector<int>{0x80, 0x80}));
}

TEST_F(ConnectionTest, StateCheckWithoutReplyStopsAndWithAnErrorStillOpensTheScreen) {
  MainWindow& w = StartWith("Veltra KR-23");
  Press(w.ConnectButton());
  TheLink().SetTiming({/*silencePasses*/ 2, /*readTimeoutMs*/ 5, /*repeatWaitMs*/ 1, /*usbRepeatWaitMs*/ 1});
  TheLink().SetSleeper([](int) {});
  SetRepeatCount(0);
  w.State().connected = false;

  server->faults().FailCommand(0x80, sim::err::kPassword);
  Press(w.StateButton());
  EXPECT_EQ(ui.messages, std::vector<QString>{"Проверка состояния регистратора:\n  Неверный пароль доступа!"});
  EXPECT_EQ(ui.modalShown, std::vector<QString>{"StatusBytesScreen"});
  EXPECT_TRUE(w.State().connected);

  ui.ClearRecord();
  w.State().connected = false;
  server->faults().Clear();
  server->faults().Queue(sim::LineFault::Drop, 5);
  Press(w.StateButton());
  EXPECT_EQ(ui.messages, std::vector<QString>{"Проверка состояния регистратора:\n  Таймаут устройства! Ошибка!"});
  EXPECT_TRUE(ui.modalShown.empty());
  EXPECT_FALSE(w.State().connected);
}

// A registrator slow to answer the first command of the connect: the second click, made while
// the tool waits, is dropped rather than run afterwards (it would disconnect at once).
TEST_F(ConnectionTest, ASlowConnectClickedTwiceEndsConnected) {
  MainWindow& w = StartWith("Veltra KR-23");
  TheLink().SetTiming({/*silencePasses*/ 10, /*readTimeoutMs*/ 30, /*repeatWaitMs*/ 0, /*usbRepeatWaitMs*/ 0});
  server->faults().SynBeforeReply(400);
  QTimer::singleShot(120, w.ConnectButton(), [&] { Press(w.ConnectButton()); });
  Press(w.ConnectButton());
  QTest::qWait(400);
  EXPECT_TRUE(TheLink().IsOpen());
  EXPECT_EQ(w.ConnectButton()->text(), "Отключить");
  EXPECT_TRUE(ui.messages.empty()) << (ui.messages.empty() ? "" : ui.messages.front().toStdString());
}

TEST_F(ConnectionTest, VersionOverrideFromTheFile) {
  const std::pair<const char*, const char*> cases[] = {{"2", "3.00"}, {"0", "2.01"}, {"3", "3.01"}, {"7", ""}, {"-1", "4.00"}};
  for (const auto& [value, expected] : cases) {
    SCOPED_TRACE(value);
    WriteIni(std::string("[UkrVer]\nVersion=") + value + "\n");
    MainWindow& w = StartWith("Veltra KR-23", "4.00");
    Press(w.ConnectButton());
    EXPECT_EQ(w.State().versionOverride, std::atoi(value));
    EXPECT_EQ(w.State().protocolVersion, expected);
    Press(w.ConnectButton());
  }
}

TEST_F(ConnectionTest, FailuresAtConnect) {
  WriteIni("[Communication]\nPort=ttyS7\nSpeed=4800\n");
  MainWindow& w = StartWith("Veltra KR-12");
  const QString missing = QString::fromStdString((dir / "no-such-port").string());
  w.PortBox()->setEditText(missing);
  Press(w.ConnectButton());
  EXPECT_EQ(ui.messages, std::vector<QString>{"Невозможно подключить порт\n  " + missing +
                                              ": нет такого устройства (имя порта неверно или адаптер отключён)"});
  EXPECT_EQ(w.IndicatorColor(), QColor(255, 0, 0));
  EXPECT_FALSE(w.Action("Продажа")->isEnabled());
  EXPECT_TRUE(w.PortBox()->isEnabled());

  // The diagnostic command refused: the port stays open with the connected look, the file and
  // the model settings stay as they were.
  ui.ClearRecord();
  server->faults().FailCommand(0x80, sim::err::kPassword);
  w.PortBox()->setEditText(port);
  Press(w.ConnectButton());
  EXPECT_EQ(ui.messages, std::vector<QString>{"Проверка состояния регистратора:\n  Неверный пароль доступа!"});
  EXPECT_TRUE(TheLink().IsOpen());
  EXPECT_EQ(w.IndicatorColor(), QColor(0, 255, 0));
  EXPECT_TRUE(w.StateButton()->isEnabled());
  EXPECT_FALSE(w.State().connected);
  EXPECT_EQ(w.State().modelName, "");
  EXPECT_EQ(w.State().paperWidth.numberText, "40");
  EXPECT_EQ(Ini("Communication", "Port"), "ttyS7");
  EXPECT_EQ(Ini("Communication", "Speed"), "4800");
  EXPECT_EQ(w.StatusText(), "");

  // A port closed behind the window's back (by a screen) still disconnects.
  CloseComPort();
  Press(w.ConnectButton());
  EXPECT_EQ(w.IndicatorColor(), QColor(255, 0, 0));
  EXPECT_TRUE(w.PortBox()->isEnabled());
}

TEST_F(ConnectionTest, APortOfTheFileThatIsNotListedIsTheOneConnected) {
  server = std::make_unique<sim::DeviceServer>();
  ASSERT_TRUE(server->start());
  registry.Add("ttyS0", "Serial (ttyS0)");
  WriteIni("[Communication]\nPort=" + server->slavePath() + "\nSpeed=115200\n");
  MainWindow& w = Start();
  EXPECT_EQ(w.PortBox()->currentText().toStdString(), server->slavePath());
  Press(w.ConnectButton());
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_TRUE(w.State().connected);
  EXPECT_EQ(Commands(), std::vector<int>{0x80});
  EXPECT_EQ(Ini("Communication", "Port"), server->slavePath());
}

// A converter's network port typed into the port box: a refused one names the address and the
// reason and leaves the file alone; one that answers is connected and kept in the file.
TEST_F(ConnectionTest, ATypedNetworkPortConnectsAndIsKeptInTheFile) {
  UseSerialLine(MakeSerialLine());  // the program's own line, which takes network names
  server = std::make_unique<sim::DeviceServer>();
  ASSERT_TRUE(server->startTcp("127.0.0.1", 0));
  WriteIni("[Communication]\nPort=ttyS7\nSpeed=4800\n");
  MainWindow& w = Start();
  sim::DeviceServer closed;
  ASSERT_TRUE(closed.startTcp("127.0.0.1", 0));
  const std::string refused = closed.slavePath();
  closed.stop();
  w.PortBox()->setEditText(QString::fromStdString(refused));
  Press(w.ConnectButton());
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].toStdString(),
            "Невозможно подключить порт\n  " + refused.substr(6) + ": соединение отклонено");
  EXPECT_EQ(w.IndicatorColor(), QColor(255, 0, 0));
  EXPECT_EQ(Ini("Communication", "Port"), "ttyS7");

  ui.ClearRecord();
  w.PortBox()->setEditText(QString::fromStdString(server->slavePath()));
  Press(w.ConnectButton());
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_TRUE(w.State().connected);
  EXPECT_EQ(Commands(), std::vector<int>{0x80});
  EXPECT_EQ(Ini("Communication", "Port"), server->slavePath());
}

// A network port that cannot be connected is told in Russian: a name written wrongly, and a
// resolver that does not answer within the connect bound.
TEST_F(ConnectionTest, ANetworkPortThatCannotBeConnectedIsToldInRussian) {
  const HangingResolver resolver(/*connectMs*/ 200);
  MainWindow& w = Start();
  const std::pair<const char*, const char*> cases[] = {
      {"tcp://converter.lan", "tcp://converter.lan: не указан номер порта (нужно УЗЕЛ:ПОРТ)"},
      {"TCP://converter.lan:70000", "TCP://converter.lan:70000: номер порта должен быть от 1 до 65535"},
      {"rfc2217://[fe80::1:4001", "rfc2217://[fe80::1:4001: после адреса IPv6 нет закрывающей скобки «]»"},
      {"tcp://hang.lan:4001", "hang.lan:4001: имя узла не найдено: служба имён не ответила за 200 мс"},
  };
  for (const auto& [typed, reason] : cases) {
    ui.ClearRecord();
    w.PortBox()->setEditText(QString::fromUtf8(typed));
    Press(w.ConnectButton());
    EXPECT_EQ(ui.messages, std::vector<QString>{"Невозможно подключить порт\n  " + QString::fromUtf8(reason)});
    EXPECT_EQ(w.IndicatorColor(), QColor(255, 0, 0));
  }
}

// A converter's name that takes its time to resolve does not freeze the window: its timers run
// (and with them its repainting) all through the wait, and a click meanwhile is dropped, not
// run as a second connect afterwards.
TEST_F(ConnectionTest, TheWindowKeepsRunningWhileAConverterNameResolves) {
  const HangingResolver resolver(/*connectMs*/ 600);
  MainWindow& w = Start();
  w.PortBox()->setEditText(QStringLiteral("tcp://slow.lan:4001"));
  ui.ClearRecord();
  QElapsedTimer clock;
  std::vector<qint64> ticks;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    ticks.push_back(clock.elapsed());
    if (ticks.size() == 3) QTest::mouseClick(w.ConnectButton(), Qt::LeftButton);
  });
  clock.start();
  timer.start(30);
  Press(w.ConnectButton());
  const qint64 waited = clock.elapsed();
  timer.stop();

  EXPECT_GE(waited, 550);
  ASSERT_GE(ticks.size(), 10u) << "timers stood still for " << waited << " ms";
  qint64 longestGap = ticks.front();
  for (std::size_t i = 1; i < ticks.size(); ++i) longestGap = std::max(longestGap, ticks[i] - ticks[i - 1]);
  EXPECT_LT(longestGap, 200);
  QTest::qWait(50);
  EXPECT_EQ(ui.messages.size(), 1u);  // one connect, one message
  EXPECT_EQ(w.IndicatorColor(), QColor(255, 0, 0));
}

// A port lost during work: a command that could not go out says so, and so does one sent into a
// device file that has vanished; connecting again then names the missing device.
TEST_F(ConnectionTest, APortLostDuringWorkIsToldAsLostNotAsASilentRegistrator) {
  MainWindow& w = StartWith("Veltra KR-23");
  TheLink().SetTiming({/*silencePasses*/ 2, /*readTimeoutMs*/ 5, /*repeatWaitMs*/ 1, /*usbRepeatWaitMs*/ 1});
  TheLink().SetSleeper([](int) {});
  Press(w.ConnectButton());
  ASSERT_TRUE(w.State().connected);
  const QString heading = QStringLiteral("Проверка состояния регистратора:\n  Таймаут устройства! Ошибка!\n");
  const QString notSent = QStringLiteral(
      "Порт закрыт или потерян: команда не отправлена.\n"
      "Подключите порт заново в главном окне (\"Отключить\", затем \"Подключить\").");

  CloseComPort();  // closed behind the window's back, as a failed reopen after a speed change leaves it
  ui.ClearRecord();
  Press(w.StateButton());
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], heading + notSent);
  Press(w.ConnectButton());  // disconnect
  Press(w.ConnectButton());
  ASSERT_TRUE(w.State().connected);

  server->stop();  // the device file goes, as when an adapter is pulled out
  ui.ClearRecord();
  Press(w.StateButton());
  ASSERT_EQ(ui.messages.size(), 1u);
  // The line refuses the frame: nothing was sent, and the window says so.
  EXPECT_EQ(ui.messages[0], heading + notSent);
  Press(w.ConnectButton());  // disconnect
  ui.ClearRecord();
  Press(w.ConnectButton());
  EXPECT_EQ(ui.messages, std::vector<QString>{"Невозможно подключить порт\n  " + port +
                                              ": нет такого устройства (имя порта неверно или адаптер отключён)"});
}

TEST_F(ConnectionTest, AConnectWithoutAnswerSaysSoInTheStatusBarUntilACommandIsAnswered) {
  MainWindow& w = StartWith("Veltra KR-23");
  TheLink().SetTiming({/*silencePasses*/ 2, /*readTimeoutMs*/ 5, /*repeatWaitMs*/ 1, /*usbRepeatWaitMs*/ 1});
  TheLink().SetSleeper([](int) {});
  const QString note = QStringLiteral("   Регистратор не отвечает: нажмите \"Отключить\", проверьте порт и скорость.");
  const QColor amber(255, 192, 0);

  // Refused with an error code: the registrator is there, the status bar stays empty.
  server->faults().FailCommand(0x80, sim::err::kPassword);
  Press(w.ConnectButton());
  EXPECT_EQ(w.StatusText(), "");
  Press(w.ConnectButton());  // disconnect
  server->faults().Clear();

  // Nothing answers: the port stays open (menus, "Отключить"), but the indicator is amber, not
  // green, and the status bar says what to do; both are set before the message box shows.
  server->faults().Queue(sim::LineFault::Drop, 10);
  ui.onMessage = [&](const QString&) {
    EXPECT_EQ(w.IndicatorColor(), amber);
    EXPECT_EQ(w.StatusText(), note);
  };
  Press(w.ConnectButton());
  ui.onMessage = nullptr;
  EXPECT_EQ(ui.messages.back(), "Проверка состояния регистратора:\n  Таймаут устройства! Ошибка!");
  EXPECT_EQ(w.IndicatorColor(), amber);
  EXPECT_EQ(w.ConnectButton()->text(), "Отключить");
  EXPECT_TRUE(w.Action("Продажа")->isEnabled());
  EXPECT_FALSE(w.State().connected);
  EXPECT_EQ(w.StatusText(), note);

  // A command that again gets no answer keeps the note; the first answered one (from any
  // screen: here straight through the driver) takes it away.
  ExecuteCommand(0x21, "");
  QTest::qWait(400);
  EXPECT_EQ(w.StatusText(), note);
  EXPECT_EQ(w.IndicatorColor(), amber);
  server->faults().Clear();
  ExecuteCommand(0x21, "");
  EXPECT_TRUE(QTest::qWaitFor([&] { return w.StatusText().isEmpty(); }, 2000));
  EXPECT_EQ(w.IndicatorColor(), QColor(0, 255, 0));

  // The state button without answer says so too; its later success shows the model line.
  server->faults().Queue(sim::LineFault::Drop, 10);
  Press(w.StateButton());
  EXPECT_EQ(w.StatusText(), note);
  EXPECT_EQ(w.IndicatorColor(), amber);
  server->faults().Clear();
  Press(w.StateButton());
  EXPECT_TRUE(w.StatusText().startsWith("   Модель:Veltra KR-23")) << w.StatusText().toStdString();
  EXPECT_EQ(w.IndicatorColor(), QColor(0, 255, 0));
  QTest::qWait(400);
  EXPECT_TRUE(w.StatusText().startsWith("   Модель:Veltra KR-23")) << "the answered note does not wipe the model line";
}

TEST_F(ConnectionTest, TheSimulatedRegistratorPaysByCardThroughTheSimulatedTerminal) {
  Simulation simulation;
  EXPECT_FALSE(simulation.WriteTapeTo(dir)) << "a directory is no tape file";
  ASSERT_TRUE(simulation.WriteTapeTo(dir / "tape.txt"));
  ASSERT_TRUE(simulation.Start());
  window = std::make_unique<MainWindow>(registry, ui);
  window->State().programDir = dir.string();
  window->PresetPorts(simulation.RegistratorPort(), simulation.TerminalPort());
  window->StartupSequence();
  ui.ClearRecord();
  MainWindow& w = *window;
  EXPECT_EQ(w.TerminalIndicatorColor(), QColor(0, 128, 0)) << "the simulated terminal is prepared at start";
  Press(w.ConnectButton());
  ASSERT_TRUE(w.State().connected);
  ASSERT_TRUE(UsesCardPath(1, w.State().protocolVersion, w.State().elJournal)) << w.State().protocolVersion;

  // A shop operator's card payment, through the menu, with nothing set up beforehand.
  // No article file is picked: the receipt sells a typed line.
  ui.onModal["FiscalReceipt"] = [](QDialog& dialog) {
    auto& receipt = static_cast<FiscalReceipt&>(dialog);
    QApplication::processEvents();
    QTest::mouseClick(receipt.OpenButton(), Qt::LeftButton);
    receipt.ArticleLineBox()->setText("7;Chai;12.50;0;1;");
    receipt.PriceBox()->setText("12.50");
    QTest::mouseClick(receipt.SellButton(), Qt::LeftButton);
    receipt.PaymentTypeList()->setCurrentText("1");
    receipt.PaymentAmountBox()->setText("12.50");
    QTest::mouseClick(receipt.PayButton(), Qt::LeftButton);
  };
  w.Action("Фискальный чек")->trigger();
  EXPECT_EQ(ui.messages, std::vector<QString>{});
  ASSERT_EQ(simulation.Terminal().purchases().size(), 1u);
  EXPECT_EQ(simulation.Terminal().purchases()[0].fields.at("05"), "1250");
  std::vector<int> codes;
  for (const auto& e : simulation.Registrator().journal().Entries()) codes.push_back(e.command);
  EXPECT_NE(std::find(codes.begin(), codes.end(), 0x78), codes.end());
  EXPECT_EQ(std::find(codes.begin(), codes.end(), 0x67), codes.end());
  // The printed tape also went, line by line, into the tape file.
  std::string printed;
  for (const std::string& line : simulation.Registrator().tape()) printed += line + "\n";
  std::ifstream tapeFile(dir / "tape.txt", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(tapeFile), {}), printed);
  EXPECT_NE(printed.find("Chai"), std::string::npos) << printed;
  window.reset();
}

TEST_F(ConnectionTest, TheUsbPortMakesAUsbLinkAndRecoveryRestartsTheDevice) {
  server = std::make_unique<sim::DeviceServer>();
  ASSERT_TRUE(server->start());
  const std::string path = server->slavePath();
  registry.Add("ttyS0", "Serial (ttyS0)", "s0").Add("ttyACM0", "STMicroelectronics Virtual COM Port (" + path + ")", "usb1");
  MainWindow& w = Start();
  ASSERT_EQ(w.UsbPortName(), path);
  w.PortBox()->setEditText(QString::fromStdString(path));
  ui.ClearRecord();
  Press(w.ConnectButton());
  EXPECT_TRUE(UsbLinkActive());
  EXPECT_TRUE(w.UsbButton()->isVisibleTo(&w));

  registry.disableOutcome = StateChange::NotApplied;
  Press(w.UsbButton());
  EXPECT_EQ(registry.changes, (std::vector<std::string>{"disable usb1", "enable usb1"}));
  EXPECT_EQ(ui.messages, std::vector<QString>{"Устройство не удалено (SetupDiCallInstaller)!"});
  EXPECT_FALSE(TheLink().IsOpen());
  EXPECT_EQ(w.IndicatorColor(), QColor(255, 0, 0));
  EXPECT_EQ(w.ConnectButton()->text(), "Подключить");
  EXPECT_TRUE(w.Action("Продажа")->isEnabled()) << "the menus stay as they were";
  EXPECT_FALSE(w.PortBox()->isEnabled());
  EXPECT_TRUE(w.UsbButton()->isEnabled());
  EXPECT_EQ(w.UsbPortName(), path);

  Press(w.ConnectButton());  // the indicator is red: connects again
  EXPECT_TRUE(TheLink().IsOpen());
  EXPECT_TRUE(w.State().connected);
  EXPECT_TRUE(UsbLinkActive());
}

TEST_F(ConnectionTest, ClosingTheWindowWhileConnectedEndsTheLogSession) {
  const std::string log = (dir / "session.log").string();
  WriteIni("[LogFile]\nLog=1\nLogName=" + log + "\n");
  MainWindow& w = StartWith("Veltra KR-23");
  Press(w.ConnectButton());
  ASSERT_TRUE(TheLink().IsOpen());
  w.close();
  EXPECT_FALSE(TheLink().IsOpen());
  std::ifstream in(log, std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(content.find("\xca\xee\xed\xe5\xf6 \xd1\xe5\xe0\xed\xf1\xe0"), std::string::npos) << "the end entry";
  SetLogFileName("");
}

// A speed the line does not know: refused by a pseudo-terminal; the loopback TCP port the simulator
// serves on Windows has no line speed.
#ifdef _WIN32
constexpr int kOddSpeedError = 0;
#else
constexpr int kOddSpeedError = EINVAL;
#endif

TEST_F(ConnectionTest, BankTerminalPortIsTriedAndReleased) {
  sim::BankTerminal terminal;
  ASSERT_TRUE(terminal.start());
  MainWindow& w = StartWith("Veltra KR-23");
  struct Case {
    QString port;
    QString speed;
    int lastError;
    const char* message;
  } cases[] = {
      {QString::fromStdString(terminal.slavePath()), "115200", 0, nullptr},
      {QString::fromStdString((dir / "absent").string()), "9600", ENOENT, nullptr},
      {QString::fromStdString(terminal.slavePath()), "12345", kOddSpeedError, nullptr},
      {QString::fromStdString(terminal.slavePath()), "fast", -1, "'fast' is not a valid integer value"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.speed.toStdString());
    ui.ClearRecord();
    w.TerminalPortBox()->setEditText(c.port);
    w.TerminalSpeedBox()->setEditText(c.speed);
    Press(w.TerminalButton());
    if (c.message) {
      EXPECT_EQ(ui.messages, std::vector<QString>{c.message});
      EXPECT_EQ(w.TerminalIndicatorColor(), QColor(255, 0, 0));
      continue;
    }
    const TerminalPortSettings& t = w.State().terminal;
    EXPECT_EQ(t.path, c.port.toStdString());
    EXPECT_EQ(t.lastError, c.lastError);
    EXPECT_EQ(t.baudRate, c.speed.toInt());
    EXPECT_EQ(t.readTotalTimeoutConstant, 5000);
    EXPECT_EQ(w.TerminalIndicatorColor(), QColor(0, 128, 0)) << "the trial does not decide the outcome";
    EXPECT_EQ(w.TerminalButton()->text(), "Отключить");
    EXPECT_FALSE(w.TerminalPortBox()->isEnabled());
    Press(w.TerminalButton());
    EXPECT_EQ(w.TerminalIndicatorColor(), QColor(255, 0, 0));
    EXPECT_EQ(w.TerminalButton()->text(), "Подключить");
    EXPECT_TRUE(w.TerminalSpeedBox()->isEnabled());
  }
}

TEST_F(ConnectionTest, MenuEntriesOpenTheirScreens) {
  MainWindow& w = StartWith("Veltra KR-23");
  EXPECT_FALSE(w.Action("Команды")->isEnabled());
  Press(w.ConnectButton());
  ui.onModal["TForm14"] = [](QDialog& console) { EXPECT_EQ(console.windowTitle(), "Тест команд"); };
  w.Action("Тест команд")->trigger();
  w.Action("О программе...")->trigger();
  for (const char* entry : {"Печать дневных отчетов", "Печать нефискального чека", "Дата и время",
                            "Позиция десятичной точки", "Установить и прочитать ID_DEV", "Запуск скрипта"}) {
    ASSERT_TRUE(w.Action(entry)->isEnabled()) << entry;
    w.Action(entry)->trigger();
  }
  EXPECT_EQ(ui.modalShown, (std::vector<QString>{"TForm14", "TForm3", "DailyReports", "NonFiscalReceipt", "TForm27",
                                                 "TForm32", "TForm50", "TForm28"}));
  ui.modalShown.clear();
  for (const char* entry : {"Программировать товары", "Фискальный чек", "Служебное внесение и изъятие денег",
                            "Аннулирование и закрытие чека", "Копия фискальных чеков по сквозным номерам"}) {
    ASSERT_TRUE(w.Action(entry)->isEnabled()) << entry;
    w.Action(entry)->trigger();
  }
  EXPECT_EQ(ui.modalShown,
            (std::vector<QString>{"ArticleLoading", "FiscalReceipt", "CashInOut", "ReceiptRecovery", "ReceiptCopy"}));
}

TEST_F(ConnectionTest, FiscalParameterAndModemEntriesChooseTheirScreen) {
  MainWindow& w = StartWith("Veltra KR-12");
  std::vector<std::string> opened;
  w.BindFiscalParameterScreens([&] { opened.push_back("standard"); }, [&] { opened.push_back("extended"); });
  QDialog shortReport;
  shortReport.setObjectName("TForm44");
  w.BindModemScreens(shortReport, [&] { opened.push_back("general"); });
  Press(w.ConnectButton());

  struct Case {
    const char* extendedTax;  // nullptr: key missing
    const char* level;
    const char* screen;
  } cases[] = {{nullptr, "medium", "standard"}, {"1", "medium", "extended"}, {"0", "high", "extended"},
               {"2", "High", nullptr},        {"2", "high", "extended"}};
  for (const auto& c : cases) {
    opened.clear();
    ui.ClearRecord();
    WritePrivateProfileString("Fiscal Printer", "ExtendedTax", c.extendedTax ? c.extendedTax : "", ini);
    w.State().accessLevel = c.level;
    w.Action("Чтение и программирование")->trigger();
    if (c.screen) {
      EXPECT_EQ(opened, std::vector<std::string>{c.screen}) << c.level;
      EXPECT_TRUE(ui.messages.empty());
    } else {
      EXPECT_TRUE(opened.empty());
      EXPECT_EQ(ui.messages, std::vector<QString>{"Ошибка в ini-файле. Параметр ExtendedTax!"});
    }
  }

  opened.clear();
  QString captionWhileOpen;
  ui.onModal["TForm44"] = [&](QDialog& d) { captionWhileOpen = d.windowTitle(); };
  w.Action("Состояние модема")->trigger();
  EXPECT_EQ(captionWhileOpen, "Состояние модема для Veltra KR-12");
  EXPECT_EQ(shortReport.windowTitle(), "Состояние модема для ");
  w.State().modelName = "Veltra KR-23";
  w.Action("Состояние модема")->trigger();
  EXPECT_EQ(opened, std::vector<std::string>{"general"});
}

TEST_F(ConnectionTest, ServiceTransferEntriesOpenTheirScreens) {
  MainWindow& w = StartWith("Veltra KR-23");
  Press(w.ConnectButton());
  ui.onModal["TForm7"] = [](QDialog& s) { EXPECT_EQ(s.windowTitle(), "Чтение/запись/обнуление фискальной памяти"); };
  ui.onModal["TForm45"] = [](QDialog& s) { EXPECT_EQ(s.windowTitle(), "Чтение ПО"); };
  ui.onModal["LogoProgramming"] = [](QDialog& s) { EXPECT_EQ(s.windowTitle(), "Программирования логотипа"); };
  for (const char* entry : {"Загрузка логотипа", "Фискальная память", "Чтение внутреннего ПО"}) {
    ASSERT_TRUE(w.Action(entry)->isEnabled()) << entry;
    w.Action(entry)->trigger();
  }
  EXPECT_EQ(ui.modalShown, (std::vector<QString>{"LogoProgramming", "TForm7", "TForm45"}));
}

}  // namespace
}  // namespace kovrix

namespace kovrix {
namespace {

TEST_F(ConnectionTest, ASpeedWrittenToTheRegistratorMovesTheMainWindowAndTheNextConnect) {
  MainWindow& w = StartWith("Veltra KR-23");
  Press(w.ConnectButton());
  ASSERT_EQ(w.SpeedText(), "9600");
  ui.onModal["TForm26"] = [this](QDialog& dialog) {
    auto* screen = qobject_cast<RegistratorParameters*>(&dialog);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->SpeedList()->currentText(), "9600");  // the speed of the connect
    QTest::mouseClick(screen->ReadButton(), Qt::LeftButton);
    screen->SpeedList()->setCurrentText("38400");
    QTest::mouseClick(screen->WriteButton(), Qt::LeftButton);
  };
  ui.ClearRecord();
  w.Action("Параметры регистратора")->trigger();
  EXPECT_EQ(ui.messages, (std::vector<QString>{"Успешно!", "Успешно!"}));
  EXPECT_EQ(w.SpeedText(), "38400");
  EXPECT_EQ(Ini("Communication", "Speed"), "38400");

  // The registrator now hears only 38400: a reconnect from the window's own list gets through.
  Press(w.ConnectButton());
  ui.ClearRecord();
  Press(w.ConnectButton());
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(w.IndicatorColor(), QColor(0, 255, 0));
  EXPECT_TRUE(w.State().connected);
}

#ifndef _WIN32
// The same speed change with the registrator behind a converter on the network (ser2net, RFC 2217):
// the screen's reopening of the port moves the converter's line to the new speed.
TEST_F(ConnectionTest, ASpeedWrittenToARegistratorBehindAConverterMovesTheConvertersLine) {
  if (test::Ser2netBridge::Program().empty()) GTEST_SKIP() << test::Ser2netBridge::kMissing;
  UseSerialLine(MakeSerialLine());
  MainWindow& w = StartWith("Veltra KR-23");
  test::Ser2netBridge bridge;
  ASSERT_TRUE(bridge.Start(server->slavePath(), test::Ser2netBridge::Mode::Rfc2217)) << bridge.why();
  w.PortBox()->setEditText(QString::fromStdString(bridge.PortName()));
  Press(w.ConnectButton());
  ASSERT_TRUE(w.State().connected) << (ui.messages.empty() ? "" : ui.messages[0].toStdString());
  EXPECT_EQ(server->hostBaud(), 9600);
  ui.onModal["TForm26"] = [](QDialog& dialog) {
    auto* screen = qobject_cast<RegistratorParameters*>(&dialog);
    ASSERT_NE(screen, nullptr);
    QTest::mouseClick(screen->ReadButton(), Qt::LeftButton);
    screen->SpeedList()->setCurrentText("38400");
    QTest::mouseClick(screen->WriteButton(), Qt::LeftButton);
  };
  ui.ClearRecord();
  w.Action("Параметры регистратора")->trigger();
  EXPECT_EQ(ui.messages, (std::vector<QString>{"Успешно!", "Успешно!"}));
  EXPECT_EQ(server->hostBaud(), 38400);
  EXPECT_EQ(ExecuteCommand(0x21, "482916;")->errorText, "0000");
  CloseComPort();
}
#endif

}  // namespace
}  // namespace kovrix
