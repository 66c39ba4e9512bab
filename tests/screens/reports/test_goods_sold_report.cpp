#include "screens/reports/goods_sold_report.h"

#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;

TEST(ArticleCodeTest, ConvertsTheWholeSignedSixtyFourBitRangeAndRefusesTheRest) {
  struct Good {
    const char* text;
    long long code;
  } good[] = {{"0", 0},
              {" 99999999999999 ", 99999999999999},
              {"+7", 7},
              {"-12", -12},
              {"9223372036854775807", 9223372036854775807LL},
              {"-9223372036854775808", -9223372036854775807LL - 1}};
  for (const auto& g : good) EXPECT_EQ(ToArticleCode(g.text), g.code) << g.text;
  for (const char* bad : {"", " ", "-", "12a", "1 2", "1e3", "9223372036854775808", "-9223372036854775809",
                          "99999999999999999999999"}) {
    try {
      ToArticleCode(bad);
      ADD_FAILURE() << bad;
    } catch (const InputError& e) {
      EXPECT_EQ(e.message, QStringLiteral("'%1' is not a valid integer value").arg(bad));
    }
  }
}

class GoodsSoldReportTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    WithDevice([](sim::DeviceState& s) {
      // Code, name, price, tax group, department, quantity and sum sold in the shift.
      s.articles = {{5, Utf8ToCp1251("Хліб"), 1250, 0, 1, 2000, 2500},
                    {77, Utf8ToCp1251("Сіль"), 300, 0, 1, 0, 0},
                    {99999999999999, Utf8ToCp1251("Кава"), 9900, 0, 1, 1000, 9900}};
      s.reportsPassword = "123456";
    });
  }
  void Reopen() {
    screen.hide();
    Open(screen);
  }

  GoodsSoldReport screen{context};
};

TEST_F(GoodsSoldReportTest, TheLastCodeOfferedFollowsTheProtocolVersionAndTheAccessLevel) {
  const QString nine(9, u'9');
  const QString fourteen(14, u'9');
  struct Case {
    const char* version;
    const char* level;
    QString last;
  } cases[] = {{"3.01", "medium", nine}, {"2.01", "", nine},        {"3.02", "High", nine},
               {"2.02", "medium", fourteen}, {"2.03", "medium", fourteen}, {"3.00", "medium", fourteen},
               {"3.01", "high", fourteen}};
  for (const auto& c : cases) {
    state.protocolVersion = c.version;
    state.accessLevel = c.level;
    screen.LastCodeBox()->setText("1");
    Reopen();
    EXPECT_EQ(screen.LastCodeBox()->text(), c.last) << c.version << " " << c.level;
  }
  EXPECT_EQ(screen.FirstCodeBox()->text(), "0");
  EXPECT_EQ(screen.FirstCodeBox()->maxLength(), 9);
}

TEST_F(GoodsSoldReportTest, TheWholeCodeRangeGoesOutWithoutLossInsideAReceipt) {
  state.protocolVersion = "3.00";
  Open(screen);
  screen.PasswordBox()->setText("123456");
  EXPECT_FALSE(screen.StatusButton()->isEnabled());
  Click(screen.ReportButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x60, "482916;"}, {0xA4, "123456;0;99999999999999;"}, {0x65, "482916;0;"}}));
  EXPECT_TRUE(TakeMessages().empty());
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0000");
  EXPECT_TRUE(screen.StatusButton()->isEnabled());
  const std::string tape = Tape();
  EXPECT_NE(tape.find("ЗВІТ ПО ТОВАРАХ"), std::string::npos) << tape;
  EXPECT_NE(tape.find("5 Хліб"), std::string::npos) << tape;
  EXPECT_NE(tape.find("99999999999999 Кава"), std::string::npos) << tape;
  EXPECT_EQ(tape.find("Сіль"), std::string::npos) << tape;  // nothing of it sold
  EXPECT_NE(tape.find("124.00"), std::string::npos) << tape;

  screen.FirstCodeBox()->setText("6");
  screen.LastCodeBox()->setText("99999999999998");
  Click(screen.ReportButton());
  EXPECT_EQ(TakeSent()[1], (Sent{0xA4, "123456;6;99999999999998;"}));
}

TEST_F(GoodsSoldReportTest, RefusalsAndTypingErrors) {
  Open(screen);
  screen.PasswordBox()->setText("123456");
  const std::string printer = "Отчет по реализованным товарам:\n  Ошибка оборудования!\n Ошибка принтера!";
  struct Case {
    int failing;
    std::size_t sent;
  } cases[] = {{0x60, 1}, {0xA4, 3}, {0x65, 3}};
  for (const auto& c : cases) {
    server.faults().FailCommand(static_cast<std::uint8_t>(c.failing), sim::err::kPrinter);
    Click(screen.ReportButton());
    EXPECT_EQ(TakeSent().size(), c.sent) << std::hex << c.failing;
    EXPECT_EQ(TakeMessages(), Messages{printer}) << std::hex << c.failing;
    server.faults().Clear();
    WithDevice([](sim::DeviceState& s) { s.receipt = {}; });
  }

  // A code the registrator does not take: the receipt is still closed.
  screen.FirstCodeBox()->setText("-1");
  Click(screen.ReportButton());
  EXPECT_EQ(TakeSent().size(), 3u);
  EXPECT_EQ(TakeMessages().size(), 1u);
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.receipt.kind; }), sim::kNoReceipt);

  // A code that is not a number stops before the receipt is opened.
  screen.FirstCodeBox()->setText("0");
  screen.LastCodeBox()->setText("99x");
  Click(screen.ReportButton());
  EXPECT_EQ(TakeMessages(), Messages{"'99x' is not a valid integer value"});
  EXPECT_TRUE(TakeSent().empty());
}

TEST_F(GoodsSoldReportTest, TheStatusButtonRefreshesTheModelLineAndThePaymentTypes) {
  WithDevice([](sim::DeviceState& s) {
    s.serial = "AB12345";
    s.paymentTypes.resize(4);
  });
  Open(screen);
  screen.PasswordBox()->setText("123456");
  Click(screen.ReportButton());
  TakeSent();
  Click(screen.StatusButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x80, "482916;"}}));
  EXPECT_EQ(shell.statusText, "   Модель:Veltra KR-23,    Версия:3.01,     AB12345.");
  EXPECT_EQ(state.paymentTypeCount, 4);
  EXPECT_EQ(shell.statusBytesOpened, 1);

  WithDevice([](sim::DeviceState& s) { s.paymentTypes.clear(); });
  Click(screen.StatusButton());
  EXPECT_EQ(state.paymentTypeCount, 10);  // none reported counts as ten

  server.faults().FailCommand(0x80, sim::err::kPrinter);
  shell.statusText.clear();
  Click(screen.StatusButton());
  EXPECT_EQ(TakeMessages(), Messages{"Проверка состояния регистратора:\n  Ошибка оборудования!\n Ошибка принтера!"});
  EXPECT_EQ(shell.statusBytesOpened, 2);
  EXPECT_TRUE(shell.statusText.isEmpty());

  Click(screen.CloseButton());
  EXPECT_FALSE(screen.StatusButton()->isEnabled());
  EXPECT_FALSE(screen.isVisible());
}

}  // namespace
}  // namespace kovrix
