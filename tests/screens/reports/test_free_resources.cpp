#include "screens/reports/free_resources.h"

#include "driver/reply.h"
#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;

class FreeResourcesTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    WithDevice([](sim::DeviceState& s) {
      s.serial = "AB12345";
      s.emergencyResets = 2;
      s.shift.open = true;
      s.shift.openedAt = *sim::ParseDeviceDate("150624", "0930");
      s.shift.totals.receipts = 12;
      s.articles = {{5, "A", 100, 0, 1, 0, 0}, {6, "B", 100, 0, 1, 0, 0}};
    });
    Open(screen);
  }
  std::vector<bool> Ticks() const {
    std::vector<bool> ticks;
    for (int f = 1; f <= 6; ++f) ticks.push_back(screen.PermissionBox(f)->isChecked());
    return ticks;
  }
  QStringList Values() const {
    QStringList values;
    for (int f = 7; f <= 12; ++f) values << screen.ValueBox(f)->text();
    return values;
  }

  FreeResources screen{context};
};

TEST_F(FreeResourcesTest, TheTwelveControlsShowTheRegistratorsOwnState) {
  EXPECT_FALSE(screen.StatusButton()->isEnabled());
  Click(screen.ReportButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0xA0, "482916;"}}));
  EXPECT_EQ(TakeMessages(), Messages{"Информация о свободных ресурсах и статусе - Успешно!"});
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0000");
  // Not fiscalised with a serial number, the shift open: fiscal numbers and taxes are locked.
  EXPECT_EQ(Ticks(), (std::vector<bool>{true, true, false, false, false, true}));
  // The shift's date and time are shown as the registrator sends them.
  EXPECT_EQ(Values(), (QStringList{"2", "2046", "150624", "0930", "9998", "2988"}));
  EXPECT_TRUE(screen.StatusButton()->isEnabled());
  Click(screen.StatusButton());
  EXPECT_EQ(shell.statusBytesOpened, 1);

  // A refusal keeps what was shown.
  server.faults().FailCommand(0xA0, sim::err::kPrinter);
  Click(screen.ReportButton());
  EXPECT_EQ(TakeMessages(),
            Messages{"Информация о свободных ресурсах и статусе:\n  Ошибка оборудования!\n Ошибка принтера!"});
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0101");
  EXPECT_EQ(Values()[1], "2046");

  Click(screen.CloseButton());
  EXPECT_FALSE(screen.StatusButton()->isEnabled());
  Open(screen);
  EXPECT_TRUE(screen.ErrorCodeBox()->text().isEmpty());
  EXPECT_FALSE(screen.StatusButton()->isEnabled());
}

TEST_F(FreeResourcesTest, OnlyTheIntegerOneTicksAndAShortReplyLeavesTheRestEmpty) {
  for (const auto& [field, granted] : std::vector<std::pair<std::string, bool>>{
           {"1", true}, {" 1", true}, {"01", true}, {"0", false}, {"2", false}, {"", false}, {"1a", false}, {"-1", false}}) {
    EXPECT_EQ(PermissionGranted(field), granted) << field;
  }

  Click(screen.ReportButton());  // fills every control first
  ReplyRecord reply;
  reply.fields = {"0", "1", "2", "1", "1", "1", "7"};
  reply.fieldCount = 7;
  screen.ShowResources(reply);
  EXPECT_EQ(Ticks(), (std::vector<bool>{false, true, false, true, true, true}));
  EXPECT_EQ(Values(), (QStringList{"7", "", "", "", "", ""}));

  screen.ShowResources(ReplyRecord{});
  EXPECT_EQ(Ticks(), std::vector<bool>(6, false));
  EXPECT_EQ(Values(), QStringList(6, QString()));
}

}  // namespace
}  // namespace kovrix
