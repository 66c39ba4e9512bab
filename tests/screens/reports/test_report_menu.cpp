// The "Отчеты" menu of the main window against registrators of both model lines.

#include <QTest>

#include "app/main_window_fixture.h"
#include "driver/driver.h"
#include "sim/device_server.h"

namespace kovrix {
namespace {

class ReportMenuTest : public test::MainWindowFixture {
 protected:
  void TearDown() override {
    Stop();
    MainWindowFixture::TearDown();
  }
  void Stop() {
    CloseComPort();
    window.reset();
    server.reset();
  }

  /// Connects the window to a registrator of the model.
  MainWindow& ConnectTo(const std::string& model) {
    UseSerialLine(MakeSerialLine());
    server = std::make_unique<sim::DeviceServer>(sim::Registrator(sim::FactoryState(model)));
    EXPECT_TRUE(server->start());
    MainWindow& w = Start();
    w.PortBox()->setEditText(QString::fromStdString(server->slavePath()));
    QTest::mouseClick(w.ConnectButton(), Qt::LeftButton);
    ui.ClearRecord();
    return w;
  }

  std::unique_ptr<sim::DeviceServer> server;
};

TEST_F(ReportMenuTest, EachModelLineOpensItsOwnDailyReportsAndEveryOtherReportEntryWorks) {
  struct Case {
    const char* model;
    const char* daily;
    const char* other;
    const char* screen;
  } cases[] = {{"RQM707", "Печать дневных отчетов RQM707", "Печать дневных отчетов", "SecondLineDailyReports"},
               {"Veltra KR-23", "Печать дневных отчетов", "Печать дневных отчетов RQM707", "DailyReports"}};
  for (const auto& c : cases) {
    MainWindow& w = ConnectTo(c.model);
    EXPECT_FALSE(w.Action(c.other)->isEnabled()) << c.model;
    for (const char* entry : {"Информация о свободных ресурсах и статусе", c.daily, "Печать периодического отчета ",
                              "Отчет по реализованным товарам", "Печать дополнительных дневных отчетов"}) {
      ASSERT_TRUE(w.Action(entry)->isEnabled()) << c.model << " " << entry;
      w.Action(entry)->trigger();
    }
    EXPECT_EQ(ui.modalShown, (std::vector<QString>{"FreeResources", c.screen, "PeriodicReport", "GoodsSoldReport",
                                                   "AdditionalReports"}))
        << c.model;
    Stop();
  }
}

TEST_F(ReportMenuTest, TheSecondLineScreenWorksAgainstItsRegistrator) {
  MainWindow& w = ConnectTo("RQM707");
  ui.onModal["SecondLineDailyReports"] = [](QDialog& d) {
    for (auto* b : d.findChildren<QPushButton*>()) {
      if (b->text() == "Выгрузка и обнуления контрольной ленты") QTest::mouseClick(b, Qt::LeftButton);
    }
  };
  w.Action("Печать дневных отчетов RQM707")->trigger();
  EXPECT_TRUE(ui.messages.empty());
  const auto entries = server->journal().Entries();
  ASSERT_GE(entries.size(), 2u);
  EXPECT_EQ(entries[entries.size() - 2].data, "482916;5;");
  EXPECT_EQ(entries.back().data, "482916;2;");
}

}  // namespace
}  // namespace kovrix
