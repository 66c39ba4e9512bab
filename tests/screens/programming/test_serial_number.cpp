#include "screens/programming/serial_number.h"

#include "sim/model/values.h"
#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;

TEST(DeviceDateAndTimeChecks, OnlyRealDatesAndTimesOfDigitsPass) {
  for (const char* good : {"010100", "290224", "311299"}) EXPECT_NO_THROW(CheckDeviceDate(good)) << good;
  for (const char* bad : {"", "31129", "3112999", "300223", "321299", "01 224", "0a0224"}) {
    EXPECT_THROW(CheckDeviceDate(bad), InputError) << bad;
  }
  for (const char* good : {"0000", "2359"}) EXPECT_NO_THROW(CheckDeviceTime(good)) << good;
  for (const char* bad : {"2400", "1260", "930", "09:30"}) EXPECT_THROW(CheckDeviceTime(bad), InputError) << bad;
  try {
    CheckDeviceTime("2400");
  } catch (const InputError& e) {
    EXPECT_EQ(e.message, "'2400' is not a valid time");
  }
}

class SerialNumberTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    screen.SetClock([] { return QDateTime(QDate(2026, 3, 5), QTime(9, 4, 59)); });
    Open(screen);
  }

  SerialNumberScreen screen{context};
};

TEST_F(SerialNumberTest, SetsTheClockRestartsAndProgramsTheSerialNumberOnce) {
  server.setBootTime(std::chrono::milliseconds(0));
  EXPECT_EQ(screen.DateBox()->text(), "050326");
  EXPECT_EQ(screen.TimeBox()->text(), "0904");
  EXPECT_TRUE(screen.Notice()->isHidden());
  Click(screen.SetDateTimeButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x20, "482916;050326;0904;"}, {0xF3, "482916;"}}));
  EXPECT_TRUE(TakeMessages().empty());
  EXPECT_FALSE(screen.Notice()->isHidden());
  EXPECT_EQ(screen.Notice()->text(), "Подождите пока ККМ перезагрузиться, затем продолжайте");
  EXPECT_EQ(server.withDevice([](sim::Registrator& r) { return sim::DateText(r.device().Now()); }), "050326");

  screen.SerialBox()->setText("KR23A000777");
  Click(screen.SetSerialButton());
  EXPECT_TRUE(screen.Notice()->isHidden());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x41, "482916;KR23A000777;"}}));
  EXPECT_EQ(TakeMessages(), Messages{"Успешно. Заводской номер установлен!"});
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.serial; }), "KR23A000777");

  // The registrator takes its serial number once.
  screen.SerialBox()->setText("KR23A000778");
  Click(screen.SetSerialButton());
  EXPECT_EQ(TakeMessages(), Messages{"Заводской номер не установлен!"});
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.serial; }), "KR23A000777");
}

TEST_F(SerialNumberTest, RefusalsAndBadInputsStopTheStep) {
  // Six characters are too few; seven are sent.
  screen.SerialBox()->setText("123456");
  Click(screen.SetSerialButton());
  EXPECT_EQ(TakeMessages(), Messages{"Неверное количество символов в номере! \n Заводской номер не установлен!"});
  EXPECT_TRUE(TakeSent().empty());

  // A refused clock is neither followed by the restart nor by the notice.
  server.faults().FailCommand(0x20, sim::err::kDateFormat);
  Click(screen.SetDateTimeButton());
  server.faults().Clear();
  server.faults().Queue(sim::LineFault::Drop);
  Click(screen.SetDateTimeButton());
  EXPECT_EQ(TakeMessages(), (Messages{"Ошибка установки времени!", "Таймаут устройства! Ошибка!"}));
  EXPECT_EQ(TakeSent().size(), 2u);
  EXPECT_TRUE(screen.Notice()->isHidden());

  // A date or time that is not one stops before the first command.
  screen.DateBox()->setText("310226");
  Click(screen.SetDateTimeButton());
  screen.DateBox()->setText("050326");
  screen.TimeBox()->setText("9:30");
  Click(screen.SetDateTimeButton());
  EXPECT_EQ(TakeMessages(), (Messages{"'310226' is not a valid date", "'9:30' is not a valid time"}));
  EXPECT_TRUE(TakeSent().empty());

  // While the registrator boots after its restart it does not answer.
  screen.TimeBox()->setText("0930");
  server.setBootTime(std::chrono::hours(1));
  Click(screen.SetDateTimeButton());
  screen.SerialBox()->setText("1234567");
  Click(screen.SetSerialButton());
  EXPECT_EQ(TakeMessages(), Messages{"Таймаут устройства! Ошибка!"});
  EXPECT_EQ(TakeSent().back().command, 0x41);
}

}  // namespace
}  // namespace kovrix
