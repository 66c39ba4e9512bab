#include "screens/programming/date_time.h"

#include "sim/model/values.h"
#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;

class DateAndTimeTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    screen.SetClock([] { return QDateTime(QDate(2007, 3, 5), QTime(9, 4, 59)); });
    Open(screen);
  }
  std::string DeviceClock() {
    return server.withDevice([](sim::Registrator& r) {
      return sim::DateText(r.device().Now()) + " " + sim::TimeText(r.device().Now());
    });
  }

  DateAndTime screen{context};
};

TEST_F(DateAndTimeTest, ActivationShowsNowAndSetSendsTheDateWithoutPoints) {
  EXPECT_EQ(screen.DateBox()->text(), "05.03.07");
  EXPECT_EQ(screen.TimeBox()->text(), "0904");
  EXPECT_FALSE(screen.StatusButton()->isEnabled());

  Click(screen.SetButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x20, "482916;050307;0904;"}}));
  EXPECT_EQ(TakeMessages(), Messages{"Успешно!"});
  EXPECT_EQ(DeviceClock(), "050307 0904");
  EXPECT_TRUE(screen.StatusButton()->isEnabled());
  Click(screen.StatusButton());
  EXPECT_EQ(shell.statusBytesOpened, 1);

  Click(screen.ExitButton());
  EXPECT_FALSE(screen.isVisible());
  EXPECT_FALSE(screen.StatusButton()->isEnabled());
}

TEST_F(DateAndTimeTest, ReadShowsTheDeviceClockInTheBoxes) {
  server.withDevice([](sim::Registrator& r) { r.device().SetNow(*sim::ParseDeviceDate("311299", "2359")); });
  Click(screen.ReadButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x21, "482916;"}}));
  EXPECT_EQ(TakeMessages(), Messages{"Успешно!"});
  EXPECT_EQ(screen.DateBox()->text(), "31.12.99");
  EXPECT_EQ(screen.TimeBox()->text(), "2359");
  EXPECT_TRUE(screen.StatusButton()->isEnabled());
}

TEST_F(DateAndTimeTest, RefusalsAndSilenceHaveTheirOwnMessagesAndChangeNothing) {
  struct Case {
    QPushButton* button;
    bool silent;
    const char* message;
  } cases[] = {
      {screen.SetButton(), false, "Ошибка установки времени!"},
      {screen.ReadButton(), false, "Ошибка чтения времени!"},
      {screen.SetButton(), true, "Таймаут устройства! Ошибка!"},
      {screen.ReadButton(), true, "Таймаут устройства! Ошибка!"},
  };
  for (const auto& c : cases) {
    if (c.silent) {
      server.faults().Queue(sim::LineFault::Drop);
    } else {
      server.faults().FailCommand(0x20, sim::err::kTimeFormat);
      server.faults().FailCommand(0x21, sim::err::kPrinter);
    }
    Click(c.button);
    EXPECT_EQ(TakeMessages(), Messages{c.message});
    EXPECT_EQ(screen.DateBox()->text(), "05.03.07");
    EXPECT_FALSE(screen.StatusButton()->isEnabled());
    server.faults().Clear();
  }
  // A typed time the registrator cannot read is refused by it, not by the screen.
  screen.TimeBox()->setText("2460");
  Click(screen.SetButton());
  EXPECT_EQ(TakeSent().back(), (Sent{0x20, "482916;050307;2460;"}));
  EXPECT_EQ(TakeMessages(), Messages{"Ошибка установки времени!"});
}

}  // namespace
}  // namespace kovrix
