#include "screens/reports/daily_reports.h"

#include "driver/commands.h"
#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;

class DailyReportsTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    Open(screen);
  }

  DailyReports screen{context};
};

TEST_F(DailyReportsTest, XAndZReportsSendTheirSelectorAndOnlyZClosesTheShift) {
  WithDevice([](sim::DeviceState& s) { s.shift.open = true; });
  Click(screen.XReportButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0xA1, "482916;1;"}}));
  EXPECT_TRUE(WithDevice([](sim::DeviceState& s) { return s.shift.open && s.zNumber == 0; }));

  Click(screen.ZReportButton());
  Click(screen.ZReportButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0xA1, "482916;0;"}, {0xA1, "482916;0;"}}));
  EXPECT_TRUE(WithDevice([](sim::DeviceState& s) { return !s.shift.open && s.zNumber == 2; }));
  const std::string tape = Tape();
  EXPECT_NE(tape.find("X-ЗВІТ"), std::string::npos) << tape;
  EXPECT_NE(tape.find("Z-ЗВІТ №1"), std::string::npos) << tape;
  EXPECT_NE(tape.find("Z-ЗВІТ №2"), std::string::npos) << tape;

  EXPECT_TRUE(TakeMessages().empty());
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0000");
  EXPECT_TRUE(state.connected);
  EXPECT_EQ(state.lastReply, LatestRecord());
}

// A Z report whose reply is lost is never printed twice: the reply is asked for again with the
// same SEQ at once, and, when the registrator stays silent, at the operator's next click; a new Z
// after other commands went out is sent only after a question that says one may be printed.
TEST_F(DailyReportsTest, AZReportWithALostReplyIsNeverPrintedTwice) {
  const std::string timeout = "Печать дневных отчетов:\n  Таймаут устройства! Ошибка!";
  const std::string recovered = "Ответ регистратора был потерян и получен повторно: отчет напечатан один раз.";
  auto zOnTape = [this] {
    const std::string tape = Tape();
    int n = 0;
    for (auto at = tape.find("Z-ЗВІТ №"); at != std::string::npos; at = tape.find("Z-ЗВІТ №", at + 1)) ++n;
    return n;
  };
  // The reply lost once: asked again at once.
  server.faults().Aim(0xA1, sim::LineFault::Mute, 1);
  Click(screen.ZReportButton());
  EXPECT_EQ(TakeMessages(), Messages{recovered});
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0000");
  EXPECT_EQ(zOnTape(), 1);

  // Silent for every try of this click: the outcome stays unknown and the screen says what to do.
  server.faults().Aim(0xA1, sim::LineFault::Mute, 0);
  Click(screen.ZReportButton());
  const Messages shown = TakeMessages();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], timeout);
  EXPECT_EQ(shown[1].rfind("Ответ на Z-отчет потерян", 0), 0u) << shown[1];
  EXPECT_EQ(zOnTape(), 2);
  // The next click, the X report's as well as the Z report's, asks the registrator for the same
  // frame first and sends nothing new: no second report, and the message names what was printed.
  server.faults().Clear();
  TakeSent();
  Click(screen.XReportButton());
  EXPECT_EQ(TakeMessages(), Messages{"Ответ на предыдущую команду (Z-отчет) был потерян и получен повторно: команда "
                                     "выполнена один раз. Новая команда не отправлена: нажмите кнопку еще раз, если "
                                     "она нужна."});
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0xA1, "482916;0;"}}));
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0000");
  EXPECT_EQ(zOnTape(), 2);
  EXPECT_TRUE(ui.questions.empty());

  // Lost again, then another command goes out (the main window's state check): a new Z only
  // after the question, and not when declined.
  server.faults().Aim(0xA1, sim::LineFault::Mute, 0);
  Click(screen.ZReportButton());
  TakeMessages();
  server.faults().Clear();
  int err = 0;
  GetDiagnosticInfo(kDefaultPassword, err);
  TakeSent();
  ui.answers = {false};
  Click(screen.ZReportButton());
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_TRUE(ui.questions[0].startsWith(QStringLiteral("Ответ на предыдущий Z-отчет был потерян")));
  EXPECT_TRUE(TakeSent().empty());
  EXPECT_EQ(zOnTape(), 3);
}

TEST_F(DailyReportsTest, ARefusedZReportShowsItsCodeAndStillCountsTheConnectionChecked) {
  WithDevice([](sim::DeviceState& s) {
    s.receipt.kind = sim::kTextReceipt;  // the Z report is refused while a receipt is open
    s.receipt.state = sim::kTextOpen;
  });
  screen.PasswordBox()->setText("111111");
  Click(screen.XReportButton());
  EXPECT_EQ(TakeMessages(), Messages{"Печать дневных отчетов:\n  Неверный пароль доступа!"});
  EXPECT_FALSE(state.connected);  // an X report sets it only on success

  screen.PasswordBox()->setText("482916");
  Click(screen.ZReportButton());
  EXPECT_EQ(TakeMessages(),
            Messages{"Печать дневных отчетов:\n  Ошибка работы с продажами!\n Неверное состояние документа!"});
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "000B");
  EXPECT_TRUE(state.connected);
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.zNumber; }), 0);
}

TEST_F(DailyReportsTest, AnOverlongPasswordSendsNothingAndNeverReadsThePreviousReply) {
  server.faults().FailCommand(0xA1, sim::err::kPrinter);
  Click(screen.XReportButton());
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0101");
  TakeSent();
  TakeMessages();

  screen.PasswordBox()->setText(QString(300, u'1'));
  Click(screen.XReportButton());
  Click(screen.ControlTapeButton());
  EXPECT_TRUE(TakeSent().empty());
  EXPECT_EQ(TakeMessages(), Messages(2, "Команда не отправлена: данные не помещаются в кадр."));
  EXPECT_TRUE(screen.ErrorCodeBox()->text().isEmpty());
}

TEST_F(DailyReportsTest, ControlTapeIsPrintedInANonFiscalReceiptWithAFixedPasswordHeader) {
  WithDevice([](sim::DeviceState& s) { s.reportsPassword = "123456"; });
  screen.PasswordBox()->setText("123456");
  screen.ErrorCodeBox()->setText("0107");
  Click(screen.ControlTapeButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x60, "123456;"},
                                           {0x61, "482916;%MHJc*** Контрольная лента ***;"},
                                           {0xA6, "123456;2;;;"},
                                           {0x65, "123456;0;"}}));
  EXPECT_TRUE(TakeMessages().empty());
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0107");  // this printout does not report its code there
  EXPECT_TRUE(state.connected);
  const std::string tape = Tape();
  const auto header = tape.find("%MHJc*** Контрольная лента ***");
  EXPECT_NE(header, std::string::npos) << tape;
  EXPECT_LT(header, tape.find("КОНТРОЛЬНА СТРІЧКА")) << tape;
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.receipt.kind; }), sim::kNoReceipt);
}

TEST_F(DailyReportsTest, ControlTapeStopsAtTheFirstRefusedCommand) {
  const std::string printer = "Ошибка оборудования!\n Ошибка принтера!";
  struct Case {
    int failing;
    std::size_t sent;
    std::string message;
  } cases[] = {
      {0x60, 1, printer},
      {0x61, 2, printer},
      {0xA6, 3, "Проверка состояния регистратора:\n  " + printer},
      {0x65, 4, printer},
  };
  for (const auto& c : cases) {
    server.faults().FailCommand(static_cast<std::uint8_t>(c.failing), sim::err::kPrinter);
    Click(screen.ControlTapeButton());
    const std::vector<Sent> sent = TakeSent();
    ASSERT_EQ(sent.size(), c.sent) << std::hex << c.failing;
    EXPECT_EQ(sent.back().command, c.failing);
    EXPECT_EQ(TakeMessages(), Messages{c.message}) << std::hex << c.failing;
    EXPECT_FALSE(state.connected);
    server.faults().Clear();
    WithDevice([](sim::DeviceState& s) { s.receipt = {}; });  // the operator closes what was left open
  }
}

TEST_F(DailyReportsTest, ClearingTheControlTapeReportsUnderItsOwnHeading) {
  WithDevice([](sim::DeviceState& s) { s.shift.open = true; });
  Click(screen.ClearTapeButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0xA1, "482916;2;"}}));
  EXPECT_EQ(TakeMessages(), Messages{"Обнуление контрольной ленты:\n  Команда не может быть выполнена в данном состоянии "
                                     "регистратора!\nКоманда невыполнима в данном состоянии смены!"});
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0107");
  EXPECT_FALSE(state.connected);

  WithDevice([](sim::DeviceState& s) { s.shift.open = false; });
  Click(screen.ClearTapeButton());
  EXPECT_TRUE(TakeMessages().empty());
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0000");
  EXPECT_TRUE(state.connected);
  EXPECT_NE(Tape().find("КОНТРОЛЬНУ СТРІЧКУ ОБНУЛЕНО"), std::string::npos);
}

TEST_F(DailyReportsTest, CloseDisablesTheStatusButtonUntilTheNextReport) {
  EXPECT_TRUE(screen.StatusButton()->isEnabled());
  Click(screen.StatusButton());
  EXPECT_EQ(shell.statusBytesOpened, 1);

  Click(screen.XReportButton());
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0000");
  state.connected = false;
  Click(screen.CloseButton());
  EXPECT_FALSE(screen.isVisible());
  EXPECT_TRUE(screen.ErrorCodeBox()->text().isEmpty());
  EXPECT_TRUE(state.connected);

  Open(screen);
  EXPECT_FALSE(screen.StatusButton()->isEnabled());
  server.faults().FailCommand(0xA1, sim::err::kPrinter);
  Click(screen.XReportButton());  // enabled as the report starts, whatever its outcome
  EXPECT_TRUE(screen.StatusButton()->isEnabled());
  EXPECT_EQ(TakeMessages(), Messages{"Печать дневных отчетов:\n  Ошибка оборудования!\n Ошибка принтера!"});
}

}  // namespace
}  // namespace kovrix
