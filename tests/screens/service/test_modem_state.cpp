#include "screens/service/last_acquirer.h"
#include "screens/service/modem_state.h"
#include "screens/service/modem_state_short.h"
#include "sim/model/values.h"
#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;

const char* const kTimeout = "Таймаут устройства! Ошибка!";
const char* const kModemError = "Состояние модема. Ошибка!";

sim::DeviceTime At(const char* ddmmyy, const char* hhmm) { return *sim::ParseDeviceDate(ddmmyy, hhmm); }

TEST(ModemReportFields, StateByteTakesEachNibbleByItsPosition) {
  struct Case {
    const char* field;
    int bits;
  } cases[] = {{"8C", 0x8C}, {"F8", 0xF8}, {"00", 0x00}, {"8z", 0x80}, {"z8", 0x08},
               {"8c", 0x80}, {"8", 0x80},  {"", 0x00},   {"1F7", 0x1F}};
  for (const auto& c : cases) EXPECT_EQ(ModemStateBits(c.field), c.bits) << c.field;
}

TEST(ModemReportFields, StampsGetTheirSeparatorsOnlyWhenComplete) {
  struct Case {
    const char* field;
    const char* shown;
  } cases[] = {{"2611251530", "26-11-25 15:30"}, {"0101000000", "01-01-00 00:00"}, {"", ""}, {"261125", "261125"}};
  for (const auto& c : cases) EXPECT_EQ(ModemStampText(c.field).toStdString(), c.shown) << c.field;
}

class ModemStateTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    Open(screen);
  }
  std::string Checked() {
    std::string ticks;
    for (int bit = 7; bit >= 0; --bit) ticks += screen.StateBox(bit)->isChecked() ? '1' : '0';
    return ticks;
  }

  ModemState screen{context};
};

TEST_F(ModemStateTest, ReportShowsTheStateBitsAndDatesAndPrintsOnlyWhenAsked) {
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0000");
  // Undelivered documents for more than 72 hours block the device: state byte 8C.
  const sim::DeviceTime first = sim::LocalWallClock() - 73 * 3600;
  WithDevice([&](sim::DeviceState& s) {
    s.modem = {};
    s.modem.personalised = false;
    s.modem.ethernet = false;
    s.modem.technicalRegistration = false;
    s.modem.undelivered = 2;
    s.modem.firstUndelivered = first;
    s.idDevSet = true;
  });
  for (int bit = 0; bit < 8; ++bit) screen.StateBox(bit)->setChecked(true);
  Click(screen.ReportButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0xEA, "482916;0;"}}));
  EXPECT_TRUE(TakeMessages().empty());
  EXPECT_EQ(Checked(), "10001100");
  EXPECT_EQ(screen.StateBox(7)->text(), "Есть данные для отправки");
  EXPECT_EQ(screen.FirstUndeliveredDateBox()->text().toStdString(), sim::DateText(first));
  EXPECT_EQ(screen.FirstUndeliveredTimeBox()->text().toStdString(), sim::TimeText(first));
  EXPECT_EQ(screen.PersonalisationDateBox()->text(), "");
  EXPECT_EQ(Tape(), "");

  // The documents passed on and the modem personalised: the block and the dates go.
  WithDevice([&](sim::DeviceState& s) {
    s.modem.undelivered = 0;
    s.modem.personalised = true;
    s.modem.personalisedAt = At("150124", "1030");
  });
  screen.PrintBox()->setChecked(true);
  Click(screen.ReportButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0xEA, "482916;1;"}}));
  EXPECT_TRUE(TakeMessages().empty());
  EXPECT_EQ(Checked(), "00101000");
  EXPECT_EQ(screen.FirstUndeliveredDateBox()->text(), "");
  EXPECT_EQ(screen.PersonalisationDateBox()->text(), "150124");
  EXPECT_EQ(screen.PersonalisationTimeBox()->text(), "1030");
  EXPECT_NE(Tape().find("СТАН МОДЕМА"), std::string::npos) << Tape();
}

TEST_F(ModemStateTest, RefusalAndSilenceLeaveTheReportAsItWas) {
  Click(screen.ReportButton());
  ASSERT_EQ(screen.PersonalisationDateBox()->text(), "150124");
  const std::string ticks = Checked();

  server.faults().FailCommand(0xEA, sim::err::kPassword);
  Click(screen.ReportButton());
  EXPECT_EQ(TakeMessages(), (Messages{kModemError}));
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0006");

  server.faults().Clear();
  server.faults().Queue(sim::LineFault::Drop);
  Click(screen.ReportButton());
  EXPECT_EQ(TakeMessages(), (Messages{kTimeout}));
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0006");
  EXPECT_EQ(screen.PersonalisationDateBox()->text(), "150124");
  EXPECT_EQ(Checked(), ticks);
}

class ModemStateShortTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    WithDevice([](sim::DeviceState& s) {
      s.model = "Veltra KR-12";
      s.idDev = 4660;
      s.modem.personalisedAt = At("261125", "1530");
      s.modem.undelivered = 3;
      s.modem.firstUndelivered = At("011225", "0915");
    });
    Open(screen);
  }
  std::vector<std::string> Boxes() {
    std::vector<std::string> texts;
    for (QLineEdit* box : {screen.ModemNumberBox(), screen.PersonalisedBox(), screen.BlockExpectedBox(),
                           screen.FirstPendingBox(), screen.PendingCountBox()}) {
      texts.push_back(box->text().toStdString());
    }
    return texts;
  }

  ModemStateShort screen{context};
};

TEST_F(ModemStateShortTest, ReportShowsTheStampsAsDateAndTime) {
  Click(screen.ReportButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0xEA, "482916;"}}));
  EXPECT_TRUE(TakeMessages().empty());
  EXPECT_EQ(Boxes(), (std::vector<std::string>{"4660", "26-11-25 15:30", "04-12-25 09:15", "01-12-25 09:15", "3"}));
}

TEST_F(ModemStateShortTest, RefusalAndSilenceAreReportedAndLeaveNoEarlierData) {
  const std::vector<std::string> empty(5);
  Click(screen.ReportButton());
  server.faults().FailCommand(0xEA, sim::err::kPassword);
  Click(screen.ReportButton());
  EXPECT_EQ(TakeMessages(), (Messages{kModemError}));
  EXPECT_EQ(Boxes(), empty);

  server.faults().Clear();
  Click(screen.ReportButton());
  server.faults().Queue(sim::LineFault::Drop);
  Click(screen.ReportButton());
  EXPECT_EQ(TakeMessages(), (Messages{kTimeout}));
  EXPECT_EQ(Boxes(), empty);
}

class LastAcquirerTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    WithDevice([](sim::DeviceState& s) { s.lastAcquirer = At("150624", "1000"); });
    Open(screen);
  }

  LastAcquirerSession screen{context};
};

TEST_F(LastAcquirerTest, ShowsTheLastSessionAndReportsRefusalAndSilence) {
  EXPECT_TRUE(screen.DateBox()->isReadOnly());
  Click(screen.RunButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0xFC, "482916;"}}));
  EXPECT_TRUE(TakeMessages().empty());
  EXPECT_EQ(screen.DateBox()->text(), "150624");
  EXPECT_EQ(screen.TimeBox()->text(), "1000");
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0000");

  // A refusal shows what the reply held (nothing here) and its code; no earlier date stays.
  server.faults().FailCommand(0xFC, sim::err::kPassword);
  Click(screen.RunButton());
  EXPECT_EQ(TakeMessages(), (Messages{kModemError}));
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0006");
  EXPECT_EQ(screen.DateBox()->text(), "");

  server.faults().Clear();
  Click(screen.RunButton());
  server.faults().Queue(sim::LineFault::Drop);
  Click(screen.RunButton());
  EXPECT_EQ(TakeMessages(), (Messages{kTimeout}));
  EXPECT_EQ(screen.DateBox()->text(), "");
  EXPECT_EQ(screen.TimeBox()->text(), "");
}

}  // namespace
}  // namespace kovrix
