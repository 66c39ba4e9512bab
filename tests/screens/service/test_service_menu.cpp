#include <QTest>

#include "app/main_window_fixture.h"
#include "driver/driver.h"
#include "screens/service/service_counters.h"
#include "sim/device_server.h"

namespace kovrix {
namespace {

// The main window against a simulated registrator.
class ServiceMenuTest : public test::MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    UseSerialLine(MakeSerialLine());
    ASSERT_TRUE(server.start());
  }
  void TearDown() override {
    CloseComPort();
    MainWindowFixture::TearDown();
    server.stop();
  }

  /// Starts the window and connects it to the simulator.
  MainWindow& Connected() {
    MainWindow& w = Start();
    w.PortBox()->setEditText(QString::fromStdString(server.slavePath()));
    QTest::mouseClick(w.ConnectButton(), Qt::LeftButton);
    EXPECT_TRUE(TheLink().IsOpen());
    EXPECT_EQ(w.IndicatorColor(), QColor(0, 255, 0));
    ui.ClearRecord();
    return w;
  }

  sim::DeviceServer server;
};

TEST_F(ServiceMenuTest, EachEntryOpensItsScreenAndTheModemEntryFollowsTheModel) {
  MainWindow& w = Connected();
  QString shortCaption;
  ui.onModal["TForm44"] = [&](QDialog& d) { shortCaption = d.windowTitle(); };
  for (const char* entry : {"Состояние модема", "Последний сеанс связи с эквайером", "Техническое обслуживание",
                            "Служебные счетчики"}) {
    ASSERT_TRUE(w.Action(entry)->isEnabled()) << entry;
    w.Action(entry)->trigger();
  }
  w.State().modelName = "QX41";
  w.Action("Состояние модема")->trigger();
  EXPECT_EQ(ui.modalShown,
            (std::vector<QString>{"TForm51", "TForm53", "ServiceReminder", "ServiceCounters", "TForm44"}));
  EXPECT_EQ(shortCaption, "Состояние модема для QX41");
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ServiceMenuTest, TheUsbStorageCounterLeavesTheMainWindowDisconnected) {
  MainWindow& w = Connected();

  ui.onModal["ServiceCounters"] = [](QDialog& dialog) {
    auto& counters = static_cast<ServiceCounters&>(dialog);
    counters.CounterList()->setCurrentIndex(3);
    counters.ValueBox()->setText("1");
    QTest::mouseClick(counters.SetButton(), Qt::LeftButton);
    EXPECT_FALSE(counters.isVisible());
  };
  ASSERT_TRUE(w.Action("Служебные счетчики")->isEnabled());
  w.Action("Служебные счетчики")->trigger();
  EXPECT_EQ(ui.modalShown, std::vector<QString>{"ServiceCounters"});
  EXPECT_EQ(ui.messages, std::vector<QString>{"Успешно!"});
  EXPECT_FALSE(TheLink().IsOpen());
  EXPECT_EQ(w.IndicatorColor(), QColor(255, 0, 0));
  EXPECT_EQ(w.ConnectButton()->text(), "Подключить");
  EXPECT_TRUE(w.PortBox()->isEnabled());
  EXPECT_TRUE(w.SpeedList()->isEnabled());
  EXPECT_FALSE(w.StateButton()->isEnabled());
  EXPECT_EQ(w.StatusText(), "");
  for (const char* menu : {"Продажа", "Отчеты", "Команды", "Утилиты", "Фискальные параметры", "Запуск скрипта"}) {
    EXPECT_FALSE(w.Action(menu)->isEnabled()) << menu;
  }
}

}  // namespace
}  // namespace kovrix
