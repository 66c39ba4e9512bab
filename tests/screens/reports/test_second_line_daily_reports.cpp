#include "screens/reports/second_line_daily_reports.h"

#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;

class SecondLineDailyReportsTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    WithDevice([](sim::DeviceState& s) {
      s.model = "RQM707";
      s.articles = {{5, "A", 100, 0, 1, 0, 0}};
      s.controlTape = {"CHECK 0001", "CHECK 0002"};
    });
    Open(screen);
  }
  std::size_t Articles() {
    return WithDevice([](sim::DeviceState& s) { return s.articles.size(); });
  }

  SecondLineDailyReports screen{context};
};

TEST_F(SecondLineDailyReportsTest, XAndZReportsAsOnTheDailyReportsScreen) {
  WithDevice([](sim::DeviceState& s) { s.shift.open = true; });
  Click(screen.XReportButton());
  Click(screen.ZReportButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0xA1, "482916;1;"}, {0xA1, "482916;0;"}}));
  EXPECT_TRUE(TakeMessages().empty());
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0000");
  EXPECT_TRUE(state.connected);
  EXPECT_NE(Tape().find("Z-ЗВІТ №1"), std::string::npos);

  state.connected = false;
  server.faults().FailCommand(0xA1, sim::err::kPrinter);
  Click(screen.ZReportButton());
  EXPECT_EQ(TakeMessages(), Messages{"Печать дневных отчетов:\n  Ошибка оборудования!\n Ошибка принтера!"});
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0101");
  EXPECT_TRUE(state.connected);  // set before the Z report is sent

  Click(screen.CloseButton());
  EXPECT_FALSE(screen.isVisible());
  Open(screen);
  EXPECT_FALSE(screen.StatusButton()->isEnabled());
  EXPECT_TRUE(screen.ErrorCodeBox()->text().isEmpty());
}

TEST_F(SecondLineDailyReportsTest, UploadThenClearTheTapeAndTheArticleBaseOnlyWhenTicked) {
  screen.ErrorCodeBox()->setText("0107");
  Click(screen.UploadButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0xA1, "482916;5;"}, {0xA1, "482916;2;"}}));
  EXPECT_TRUE(TakeMessages().empty());
  EXPECT_EQ(Articles(), 1u);
  const std::string tape = Tape();
  const auto uploaded = tape.find("КОНТРОЛЬНУ СТРІЧКУ ВИВАНТАЖЕНО: 2");
  ASSERT_NE(uploaded, std::string::npos) << tape;
  EXPECT_LT(uploaded, tape.find("КОНТРОЛЬНУ СТРІЧКУ ОБНУЛЕНО")) << tape;
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0000");

  screen.ClearArticlesBox()->setChecked(true);
  Click(screen.UploadButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0xA1, "482916;5;"}, {0xA1, "482916;2;"}, {0x3B, "482916;"}}));
  EXPECT_TRUE(TakeMessages().empty());
  EXPECT_EQ(Articles(), 0u);
  EXPECT_TRUE(state.connected);
}

TEST_F(SecondLineDailyReportsTest, EachRefusalStopsTheUploadWhereItHappened) {
  screen.ClearArticlesBox()->setChecked(true);

  // A registrator of the first line refuses the upload: the tape is not cleared.
  WithDevice([](sim::DeviceState& s) { s.model = "Veltra KR-23"; });
  Click(screen.UploadButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0xA1, "482916;5;"}}));
  ASSERT_EQ(TakeMessages().size(), 1u);
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0204");
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.controlTape.size(); }), 2u);

  // An open shift: the tape is uploaded but cannot be cleared.
  WithDevice([](sim::DeviceState& s) {
    s.model = "RQM707";
    s.shift.open = true;
  });
  Click(screen.UploadButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0xA1, "482916;5;"}, {0xA1, "482916;2;"}}));
  EXPECT_EQ(TakeMessages(), Messages{"Печать дневных отчетов:\n  Команда не может быть выполнена в данном состоянии "
                                     "регистратора!\nКоманда невыполнима в данном состоянии смены!"});

  // The article base refuses: its own short message.
  WithDevice([](sim::DeviceState& s) { s.shift.open = false; });
  server.faults().FailCommand(0x3B, sim::err::kPassword);
  state.connected = false;
  Click(screen.UploadButton());
  EXPECT_EQ(TakeSent().size(), 3u);
  EXPECT_EQ(TakeMessages(), Messages{"Ошибка "});
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0006");
  EXPECT_EQ(Articles(), 1u);
  EXPECT_TRUE(state.connected);  // set as the action starts

  // No answer to the clearing of the article base: the time-out message.
  server.faults().Clear();
  server.faults().SynBeforeReply(0, 2);  // the two report commands are answered as usual
  server.faults().Queue(sim::LineFault::Drop);
  Click(screen.UploadButton());
  EXPECT_EQ(TakeSent().size(), 3u);
  EXPECT_EQ(TakeMessages(), Messages{"Таймаут устройства! Ошибка!"});
  EXPECT_EQ(Articles(), 1u);
}

TEST_F(SecondLineDailyReportsTest, TheStatusButtonShowsTheUploadOnlyForVersionThreeZeroTwoOrHighAccess) {
  EXPECT_TRUE(screen.UploadButton()->isVisible());  // until the first refresh
  state.connected = true;
  struct Case {
    const char* version;
    const char* level;
    bool shown;
  } cases[] = {{"3.01", "medium", false}, {"3.02", "medium", true}, {"3.01", "high", true},
               {"3.00", "High", false},   {"3.02", "high", true}};
  for (const auto& c : cases) {
    state.protocolVersion = c.version;
    state.accessLevel = c.level;
    screen.ErrorCodeBox()->setText("0101");
    Click(screen.StatusButton());
    EXPECT_EQ(screen.UploadButton()->isVisible(), c.shown) << c.version << " " << c.level;
    EXPECT_TRUE(screen.ClearArticlesBox()->isVisible());
    EXPECT_TRUE(screen.ErrorCodeBox()->text().isEmpty());
  }
  EXPECT_TRUE(TakeSent().empty());  // the refresh sends nothing
  EXPECT_EQ(shell.statusBytesOpened, 0);

  // The button stays enabled only while the connection counts as checked.
  state.connected = false;
  Click(screen.StatusButton());
  EXPECT_FALSE(screen.StatusButton()->isEnabled());
}

}  // namespace
}  // namespace kovrix
