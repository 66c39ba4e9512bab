#include "screens/sales/fiscal_receipt.h"

#include <QElapsedTimer>
#include <functional>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include "screens/sales/article_loading.h"
#include "sim/bank_terminal.h"
#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;

const std::string kMayHaveCharged =
    "Терминал мог списать оплату с карты. Если чек терминала показывает одобрение, проведите оплату с отметкой "
    "\"Использовать указанный идентификатор транзакций\" и идентификатором транзакции из чека терминала.";

// Two articles: bread in tax group 0, milk in tax group 1.
const char* const kArticles = "1;Хліб;12.50;0;1;\r\n2;Молоко;20.00;1;2;\r\n";

// What a message adds when the outcome of a payment or a close is unknown.
const std::string kCheckState =
    "\nПроверьте состояние чека (\"Продажа\" - \"Аннулирование и закрытие чека\"), прежде чем повторять.";
// The time-outs of a payment, a card payment and a close: the screen's own line first, then what
// is unknown and what to do.
const std::string kPaymentTimeout =
    "Таймаут устройства! Ошибка оплаты чека!\nРегистратор не ответил, результат оплаты неизвестен." + kCheckState;
const std::string kCloseTimeout =
    "Таймаут устройства! Ошибка закрыиия чека!\nРегистратор не ответил, результат закрытия чека неизвестен." +
    kCheckState;
const std::string kCardPaymentTimeout =
    "Таймаут устройства! Ошибка оплаты банковской картой!\n"
    "Регистратор не ответил, результат оплаты банковской картой неизвестен." +
    kCheckState;

// A terminal that approves every purchase under one transaction identifier of its own choosing:
// some acquirers issue identifiers longer than the 20 characters an operator may type.
class FixedIdTerminal final : public sim::LineServer {
 public:
  explicit FixedIdTerminal(std::string transaction) : transaction_(std::move(transaction)) {}
  ~FixedIdTerminal() override { stop(); }

 private:
  void OnReceive(std::string_view bytes, sim::SteadyTime) override {
    buffer_.append(bytes);
    while (buffer_.size() >= 2) {
      const std::size_t length = (static_cast<std::uint8_t>(buffer_[0]) << 8) | static_cast<std::uint8_t>(buffer_[1]);
      if (buffer_.size() < 2 + length) return;
      const std::string body = buffer_.substr(2, length);
      buffer_.erase(0, 2 + length);
      const std::string ack("\x00\x01\x06", 3);
      if (body == "\x12") Write(ack + sim::TerminalSession::Frame("00=T1\x1C" "01=41112222\x1C" "02=A B\x1C" "04=VISA"));
      if (body.size() > 1 && body[0] == 0x02) Write(ack + sim::TerminalSession::Frame("39=00\x1C" "58=" + transaction_));
    }
  }

  std::string transaction_;
  std::string buffer_;
};

class FiscalReceiptTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    ASSERT_TRUE(terminal.start());
    state.terminal.path = terminal.slavePath();
    state.protocolVersion = "3.01";
    // The acknowledgement wait leaves room for a simulator thread that a loaded machine (the whole
    // suite runs two tests at a time under the sanitizers) wakes late; 300 ms once fell short.
    screen.SetTerminalTiming({/*ackWaitMs*/ 1000, /*totalMs*/ 3000, /*pollMs*/ 10});
    ASSERT_TRUE(dir.isValid());
    articleFile = dir.filePath("goods.art");
    QFile file(articleFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(Utf8ToCp1251(kArticles)));
    file.close();
    ui.fileNames.push_back(articleFile);
    Open(screen);
  }
  void TearDown() override {
    terminal.stop();
    SimScreenFixture::TearDown();
  }

  void Pick(int row) { screen.ArticleList()->itemClicked(screen.ArticleList()->item(row)); }
  /// Opens a receipt and sells one article of the file.
  void OpenAndSell(int row, const char* quantity, const char* price = "12.50") {
    Click(screen.OpenButton());
    Pick(row);
    screen.QuantityBox()->setText(quantity);
    screen.PriceBox()->setText(price);
    Click(screen.SellButton());
  }
  void PayWith(int type, const char* amount) {
    screen.PaymentTypeList()->setCurrentText(QString::number(type));
    screen.PaymentAmountBox()->setText(amount);
    Click(screen.PayButton());
  }
  std::vector<int> Codes(const std::vector<Sent>& sent) {
    std::vector<int> out;
    for (const Sent& s : sent) out.push_back(s.command);
    return out;
  }

  sim::BankTerminal terminal;
  QTemporaryDir dir;
  QString articleFile;
  ArticleLoading articles{context};
  FiscalReceipt screen{context, articles};
};

TEST_F(FiscalReceiptTest, ActivationLoadsTheArticleFileThroughTheLoaderAndTheDefaults) {
  EXPECT_EQ(ui.fileDialogs.size(), 1u);
  EXPECT_EQ(ui.fileDialogs[0].filter, kArticleFileFilter);
  EXPECT_EQ(articles.FileName(), articleFile);
  ASSERT_EQ(screen.ArticleList()->count(), 2);
  EXPECT_EQ(screen.ArticleList()->item(1)->text(), QStringLiteral("2;Молоко;20.00;1;2;"));
  EXPECT_EQ(screen.PaymentTypeList()->count(), 10);
  EXPECT_EQ(screen.DisplayModeList()->currentText(), QStringLiteral("Верхняя строка"));
  EXPECT_FALSE(screen.StatusButton()->isEnabled());

  // After the loader's box is cleared the list is empty, and no file is asked for again.
  articles.ClearButton()->click();
  screen.hide();
  state.paymentTypeCount = 4;
  Open(screen);
  EXPECT_EQ(ui.fileDialogs.size(), 1u);
  EXPECT_EQ(screen.ArticleList()->count(), 0);
  EXPECT_EQ(screen.PaymentTypeList()->count(), 4);
}

TEST_F(FiscalReceiptTest, AWholeReceiptWithDiscountsTotalCashPaymentWithChangeAndClose) {
  screen.OperatorBox()->setText("3");  // not the cash desk's 1: swapped fields would show
  OpenAndSell(0, "2");
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.receipt.operatorNumber; }), 3);
  screen.PercentBox()->setText("-10");
  Click(screen.ItemPercentButton());
  Pick(1);
  screen.QuantityBox()->setText("1.000");
  screen.PriceBox()->setText("20");
  Click(screen.SellButton());
  screen.AbsoluteBox()->setText("-2.5");
  Click(screen.SubtotalAbsoluteButton());
  Click(screen.TotalButton());
  EXPECT_EQ(screen.TotalBox()->text(), "40.00");
  QTest::mouseClick(screen.TotalBox(), Qt::LeftButton);
  EXPECT_EQ(screen.PaymentAmountBox()->text(), "40.00");
  PayWith(0, "50");
  screen.DisplayBox()->setChecked(false);
  Click(screen.CloseReceiptButton());

  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x63, "482916;3;1;0;"},
                                           {0x24, "482916;1;Хліб;12.50;0;1;"},
                                           {0x64, "482916;1;2.000;12.50;"},
                                           {0x68, "482916;-10.00;"},
                                           {0x24, "482916;2;Молоко;20.00;1;2;"},
                                           {0x64, "482916;2;1.000;20.00;"},
                                           {0x74, "482916;-2.50;"},
                                           {0x6D, "482916;1;"},
                                           {0x67, "482916;0;50.00;"},
                                           {0x65, "482916;0;"}}));
  EXPECT_EQ(TakeMessages(), Messages{});
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0000");
  EXPECT_TRUE(screen.StatusButton()->isEnabled());
  EXPECT_NE(Tape().find("РЕШТА"), std::string::npos) << Tape();
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.cash; }), 4000);
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.receipt.kind; }), sim::kNoReceipt);
}

TEST_F(FiscalReceiptTest, EachDiscountButtonSendsItsCommandWithItsBoxes) {
  OpenAndSell(1, "1", "20.00");  // milk, tax group 1
  TakeSent();
  screen.PercentBox()->setText("-5");
  screen.PercentGroupBox()->setText("1");
  screen.AbsoluteBox()->setText("1.5");
  screen.AbsoluteGroupBox()->setText("1");
  struct Case {
    QPushButton* button;
    Sent sent;
  } cases[] = {
      {screen.ItemAbsoluteButton(), {0x69, "482916;1.50;"}},
      {screen.GroupPercentButton(), {0x75, "482916;-5.00;1;"}},
      {screen.GroupAbsoluteButton(), {0x76, "482916;1.50;1;"}},
      {screen.SubtotalPercentButton(), {0x73, "482916;-5.00;"}},  // refused after a group adjustment
  };
  for (const Case& c : cases) {
    Click(c.button);
    EXPECT_EQ(TakeSent(), std::vector<Sent>{c.sent});
  }
  EXPECT_EQ(TakeMessages(), Messages{"Ошибка надбавки-скидки"});
  Click(screen.TotalButton());
  EXPECT_EQ(screen.TotalBox()->text(), "21.92");  // 20.00 + 1.50, -5% of 21.50 (1.08), +1.50 on group 1
}

// The messages of a click that settles the command before it, whose reply was lost.
std::string EarlierDone(const std::string& named) {
  return "Ответ на предыдущую команду (" + named + ") был потерян и получен повторно: команда выполнена один раз. "
         "Новая команда не отправлена: нажмите кнопку еще раз, если она нужна.";
}
std::string EarlierSilent(const std::string& named) {
  return "Регистратор не отвечает: выполнена ли предыдущая команда (" + named + "), неизвестно. Новая команда не "
         "отправлена.\nПроверьте связь и нажмите кнопку еще раз: регистратор ответит на тот же запрос, и команда не "
         "будет выполнена дважды.";
}

TEST_F(FiscalReceiptTest, RefusalsAndTimeOutsShowTheRowsMessages) {
  Click(screen.SellButton());  // nothing picked
  EXPECT_EQ(TakeMessages(), Messages{"Не выбран товар!"});
  Pick(0);
  Click(screen.SellButton());  // no receipt open: the article is programmed, the sale refused
  EXPECT_EQ(Codes(TakeSent()), (std::vector<int>{0x24, 0x64}));
  EXPECT_EQ(TakeMessages(), Messages{"Ошибка продажи"});
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "000B");
  // Silent for the frame and for each time it is asked for again.
  server.faults().Queue(sim::LineFault::Drop, 4);
  Click(screen.OpenButton());
  EXPECT_EQ(TakeMessages(), Messages{"Таймаут устройства! Ошибка открытия чека!"});
  // The next click asks for the opening's frame once more: it arrives now and runs, once, and the
  // click sends nothing of its own.
  server.faults().FailCommand(0x24, sim::err::kArticleNoSpace);
  Click(screen.SellButton());
  // The dropped frames are journalled too.
  EXPECT_EQ(Codes(TakeSent()), (std::vector<int>{0x63, 0x63, 0x63, 0x63, 0x63}));
  EXPECT_EQ(TakeMessages(), Messages{EarlierDone("открытие чека")});
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0000");
  Click(screen.SellButton());
  EXPECT_EQ(Codes(TakeSent()), (std::vector<int>{0x24}));
  EXPECT_EQ(TakeMessages(), Messages{"Ошибка "});
  server.faults().Clear();
  Click(screen.CloseReceiptButton());  // nothing sold
  EXPECT_EQ(TakeMessages(), Messages{"Ошибка закрытия чека"});
  Click(screen.AnnulButton());
  EXPECT_EQ(TakeMessages(), Messages{});
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.receipt.kind; }), sim::kNoReceipt);
}

TEST_F(FiscalReceiptTest, PickingAnArticleFillsItsUnitPriceWhichStaysEditable) {
  Click(screen.OpenButton());
  Pick(0);
  EXPECT_EQ(screen.PriceBox()->text(), "12.50");
  Click(screen.SellButton());  // the price was never typed: the article's own is sold
  Pick(1);
  EXPECT_EQ(screen.PriceBox()->text(), "20.00");
  screen.PriceBox()->setText("18.00");
  Click(screen.SellButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x63, "482916;1;1;0;"},
                                           {0x24, "482916;1;Хліб;12.50;0;1;"},
                                           {0x64, "482916;1;1.000;12.50;"},
                                           {0x24, "482916;2;Молоко;20.00;1;2;"},
                                           {0x64, "482916;2;1.000;18.00;"}}));
  EXPECT_EQ(TakeMessages(), Messages{});

  // A line without a price leaves no earlier price behind to be sold at: nothing is sent.
  screen.ArticleList()->addItem(QStringLiteral("3;Сіль;"));
  Pick(2);
  EXPECT_EQ(screen.PriceBox()->text(), "");
  Click(screen.SellButton());
  EXPECT_EQ(TakeMessages(), Messages{"'' is not a valid floating point value"});
  EXPECT_EQ(TakeSent(), std::vector<Sent>{});
}

TEST_F(FiscalReceiptTest, AFailedPaymentOrCloseWithoutAnswerSaysTheResultIsUnknown) {
  OpenAndSell(0, "1");
  ASSERT_EQ(screen.ErrorCodeBox()->text(), "0000");
  TakeSent();
  // The registrator takes the payment and prints it, its answer is lost, and it stays silent when
  // asked for it again.
  server.faults().Queue(sim::LineFault::Mute, 4);
  PayWith(0, "20.00");
  EXPECT_EQ(TakeMessages(), Messages{kPaymentTimeout});
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "----") << "not the 0000 of the sale before";
  EXPECT_NE(Tape().find("РЕШТА"), std::string::npos) << Tape();

  // The operator's next click (the close) asks for the payment's frame once more and sends nothing
  // of its own: still silent, the message says the payment's outcome is unknown...
  TakeSent();
  server.faults().Queue(sim::LineFault::Mute, 1);
  Click(screen.CloseReceiptButton());
  EXPECT_EQ(TakeMessages(), Messages{EarlierSilent("оплата")});
  EXPECT_EQ(Codes(TakeSent()), std::vector<int>{0x67});
  // ...and answered at the click after, it names the payment as made, once.
  Click(screen.CloseReceiptButton());
  EXPECT_EQ(TakeMessages(), Messages{EarlierDone("оплата")});
  EXPECT_EQ(Codes(TakeSent()), std::vector<int>{0x67});
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0000");
  int payments = 0;
  for (const auto& e : server.journal().Entries()) payments += e.command == 0x67 && e.outcome == sim::Outcome::Executed;
  EXPECT_EQ(payments, 1);

  // A close whose reply stays lost; the operator's next click (an annulment) learns that the
  // receipt was closed and annuls nothing, and the click after shows its own answer's code again.
  server.faults().Queue(sim::LineFault::Mute, 4);
  Click(screen.CloseReceiptButton());
  EXPECT_EQ(TakeMessages(), Messages{kCloseTimeout});
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "----");
  Click(screen.AnnulButton());
  EXPECT_EQ(TakeMessages(), Messages{EarlierDone("закрытие чека")});
  EXPECT_EQ(Codes(TakeSent()), (std::vector<int>{0x65, 0x65, 0x65, 0x65, 0x65}));
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.receipt.kind; }), sim::kNoReceipt);
  Click(screen.AnnulButton());
  EXPECT_EQ(TakeMessages(), Messages{"Ошибка аннулирования"});
  EXPECT_NE(screen.ErrorCodeBox()->text(), "----");
  EXPECT_EQ(screen.ErrorCodeBox()->text().size(), 4);

  // A card payment that the terminal carried out but the registrator did not answer.
  state.protocolVersion = "4.00";
  OpenAndSell(0, "1");
  screen.NoCardInfoBox()->setChecked(true);
  server.faults().Queue(sim::LineFault::Mute, 4);
  PayWith(1, "12.50");
  const Messages cardTimeout = TakeMessages();
  ASSERT_EQ(cardTimeout.size(), 1u);
  const std::string expected = kCardPaymentTimeout + "\nОплата на терминале проведена, идентификатор транзакции: ";
  EXPECT_EQ(cardTimeout[0].substr(0, expected.size()), expected);
  EXPECT_GT(cardTimeout[0].size(), expected.size());  // the terminal's identifier follows
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "----");
  // The identifier is held for this payment: the box ticked and locked.
  EXPECT_TRUE(screen.OwnTransactionBox()->isChecked());
  EXPECT_FALSE(screen.OwnTransactionBox()->isEnabled());
  // The operator's next click asks for the same frame again: recorded once, charged once.
  TakeSent();
  PayWith(1, "12.50");
  EXPECT_EQ(TakeMessages(), Messages{EarlierDone("оплата банковской картой")});
  EXPECT_EQ(terminal.purchases().size(), 1u);
  const auto again = TakeSent();
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(again[0].command, 0x78);
  int cardLines = 0;
  for (const auto& e : server.journal().Entries()) cardLines += e.command == 0x78 && e.outcome == sim::Outcome::Executed;
  EXPECT_EQ(cardLines, 1);
  EXPECT_TRUE(screen.OwnTransactionBox()->isEnabled());
}

// One lost reply at a payment, a card payment or the close: asked for again with the same SEQ at
// once, so the operator sees the registrator's own answer and nothing runs twice.
TEST_F(FiscalReceiptTest, AReplyLostOnceIsAskedForAgainAndNothingRunsTwice) {
  state.protocolVersion = "4.00";
  screen.NoCardInfoBox()->setChecked(true);
  OpenAndSell(0, "1");
  server.faults().Queue(sim::LineFault::Mute);
  PayWith(1, "5.00");
  server.faults().Queue(sim::LineFault::Drop);
  PayWith(0, "20.00");
  server.faults().Queue(sim::LineFault::Mute);
  Click(screen.CloseReceiptButton());
  EXPECT_EQ(TakeMessages(), Messages{});
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0000");
  EXPECT_EQ(terminal.purchases().size(), 1u);
  int executed = 0;
  for (const auto& e : server.journal().Entries()) executed += e.outcome == sim::Outcome::Executed &&
                                                               (e.command == 0x78 || e.command == 0x67 || e.command == 0x65);
  EXPECT_EQ(executed, 3);
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.receipt.kind; }), sim::kNoReceipt);
}

TEST_F(FiscalReceiptTest, BadTypedValuesSendNothing) {
  struct Case {
    const char* quantity;
    const char* price;
    const char* line;
    std::string message;
  } cases[] = {
      {"abc", "1.00", nullptr, "'abc' is not a valid floating point value"},
      {"0", "1.00", nullptr, "Количество должно быть больше нуля!"},
      {"1", "-1", nullptr, "Цена не может быть отрицательной!"},
      {"1", "1.00", "x1;Хліб;1.00;0;1;", "'x1' is not a valid integer value"},
  };
  for (const Case& c : cases) {
    Pick(0);
    if (c.line) screen.ArticleLineBox()->setText(QString::fromUtf8(c.line));
    screen.QuantityBox()->setText(c.quantity);
    screen.PriceBox()->setText(c.price);
    Click(screen.SellButton());
    EXPECT_EQ(TakeMessages(), Messages{c.message}) << c.quantity << " " << c.price;
  }
  for (const char* type : {"x", "12"}) {
    screen.PaymentTypeList()->setCurrentText(type);
    screen.PaymentAmountBox()->setText("1.00");
    Click(screen.PayButton());
    EXPECT_EQ(TakeMessages(), Messages{"Ошибочный тип оплаты"}) << type;
  }
  screen.PaymentTypeList()->setCurrentText("0");
  screen.PaymentAmountBox()->setText("1,00");
  Click(screen.PayButton());
  EXPECT_EQ(TakeMessages(), Messages{"Ошибочный тип оплаты"});
  EXPECT_EQ(TakeSent(), std::vector<Sent>{});
}

TEST_F(FiscalReceiptTest, TheOrdinaryPathUnlessATypeOtherThanCashMeetsACardProtocol) {
  struct Case {
    std::string protocol, journal;
    int type;
    bool card;
  } cases[] = {
      {"3.01", "", 1, false},
      {"4.00", "", 0, false},
      {"4.00", "", 1, true},
      {"5.00", "", 2, true},
      {"3.01", Utf8ToCp1251("КСЕФ"), 1, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UsesCardPath(c.type, c.protocol, c.journal), c.card) << c.protocol << " " << c.type;
  }
  state.protocolVersion = "3.01";
  OpenAndSell(0, "1");
  TakeSent();
  PayWith(1, "12.50");
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x67, "482916;1;12.50;"}}));
  EXPECT_EQ(TakeMessages(), Messages{});
  EXPECT_TRUE(terminal.purchases().empty());
}

TEST_F(FiscalReceiptTest, ACardPaymentGoesThroughTheTerminalThenIsRecordedWithItsTransaction) {
  state.protocolVersion = "4.00";
  std::vector<std::string> log;
  screen.SetTerminalLog([&](const std::string& tag, const std::string& text) { log.push_back(tag + " " + text); });
  OpenAndSell(0, "1");
  TakeSent();
  PayWith(1, "12.50");

  ASSERT_EQ(terminal.purchases().size(), 1u);
  auto fields = terminal.purchases()[0].fields;
  EXPECT_EQ(fields["00"], "T0012345");
  EXPECT_EQ(fields["05"], "1250");
  EXPECT_EQ(fields["52"], "980");
  EXPECT_EQ(fields["53"], "UAH");
  EXPECT_EQ(terminal.acknowledgements(), 2);
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x61, "482916;VISA CARD;"},
                                           {0x61, "482916;**** **** 4111 2222;"},
                                           {0x61, "482916;TARAS SHEVCHENKO;"},
                                           {0x78, "482916;1;12.50;604211000001;"},
                                           {0x61, "482916;ПІДПИС;"},
                                           {0x61, "482916;КАСИРА . . . . . . . . ;"},
                                           {0x61, "482916;ПІДПИС;"},
                                           {0x61, "482916;КЛІЄНТА. . . . . . . . ;"}}));
  EXPECT_EQ(TakeMessages(), Messages{});
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0000");
  EXPECT_NE(Tape().find("RRN 604211000001"), std::string::npos) << Tape();
  // The log holds every terminal message, the transaction identifier too, but never the card number.
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[1].rfind("TERM< 00=T0012345 | 01=****2222 | ", 0), 0u) << log[1];
  EXPECT_NE(log[3].find("58=604211000001"), std::string::npos) << log[3];
  for (const std::string& entry : log) EXPECT_EQ(entry.find("41112222"), std::string::npos) << entry;
  EXPECT_FALSE(screen.CardWaitWindow()->isVisible());

  // The port was let go: a second payment opens it again (no detail lines this time).
  screen.NoCardInfoBox()->setChecked(true);
  Click(screen.CloseReceiptButton());
  OpenAndSell(0, "1");
  TakeSent();
  PayWith(1, "12.50");
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x78, "482916;1;12.50;604211000002;"}}));
  EXPECT_EQ(TakeMessages(), Messages{});
}

TEST_F(FiscalReceiptTest, EveryTerminalFaultEndsThePaymentWithoutAFiscalCommand) {
  state.protocolVersion = "4.00";
  OpenAndSell(0, "1");
  TakeSent();
  const std::string failed = "Ошибка оплаты банковской картой!";
  // The terminal took the purchase and never answered: the card may be charged all the same.
  const std::string mayBeCharged = failed + "\n" + kMayHaveCharged;
  struct Case {
    sim::TerminalFault fault;
    bool cancel;
    std::string message;
  } cases[] = {
      {sim::TerminalFault::NoAckToStart, false, failed},
      {sim::TerminalFault::NoAckToPurchase, false, failed},
      {sim::TerminalFault::SilentAfterAck, true, mayBeCharged},  // the customer never pays; the operator cancels
      {sim::TerminalFault::SilentAfterAck, false, mayBeCharged},  // ... or the whole bound ends the wait
      {sim::TerminalFault::Declined, false, failed},               // no transaction identifier in the response
  };
  for (const Case& c : cases) {
    terminal.QueueFault(c.fault);
    bool waitShown = false;
    if (c.cancel) {
      QTimer::singleShot(150, &screen, [&] {
        waitShown = screen.CardWaitWindow()->isVisible();
        Click(screen.CardCancelButton());
      });
    }
    QElapsedTimer clock;
    clock.start();
    PayWith(1, "12.50");
    if (c.cancel) {
      EXPECT_LT(clock.elapsed(), 2500);  // cancelled long before the 3 s bound
    }
    EXPECT_EQ(TakeSent(), std::vector<Sent>{}) << static_cast<int>(c.fault);
    EXPECT_EQ(TakeMessages(), Messages{c.message}) << static_cast<int>(c.fault);
    EXPECT_EQ(waitShown, c.cancel);
    EXPECT_FALSE(screen.CardWaitWindow()->isVisible());
  }
  // The receipt is still unpaid, and the terminal port is free for the next try.
  PayWith(1, "12.50");
  EXPECT_EQ(Codes(TakeSent()), (std::vector<int>{0x61, 0x61, 0x61, 0x78, 0x61, 0x61, 0x61, 0x61}));
  EXPECT_EQ(TakeMessages(), Messages{});
}

TEST_F(FiscalReceiptTest, ATypedTransactionIdentifierPaysWithoutTheTerminal) {
  state.protocolVersion = "5.00";
  OpenAndSell(0, "1");
  TakeSent();
  screen.OwnTransactionBox()->setChecked(true);
  PayWith(1, "12.50");
  EXPECT_EQ(TakeMessages(), Messages{"Не указан идентификатор транзакции!"});
  screen.TransactionBox()->setText("RRN-77");
  PayWith(1, "12.50");
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x78, "482916;1;12.50;RRN-77;"}}));
  EXPECT_EQ(TakeMessages(), Messages{});
  EXPECT_TRUE(terminal.purchases().empty());
  PayWith(1, "1.00");  // already paid: the refusal is reported
  EXPECT_EQ(TakeMessages(), Messages{"Ошибка оплаты чека банковской картой"});
}

TEST_F(FiscalReceiptTest, ACardAmountAndTypeAreCheckedOnBothCardPathsBeforeAnythingIsSent) {
  state.protocolVersion = "4.00";
  state.paymentTypeCount = 12;
  WithDevice([](sim::DeviceState& s) { s.paymentTypes.resize(12, sim::PaymentType{0x01, "CARD"}); });
  OpenAndSell(0, "1");
  TakeSent();
  const std::string twoDecimals = "Сумма оплаты банковской картой указывается не более чем с двумя знаками после точки!";
  struct Case {
    bool ownTransaction;
    int type;
    const char* amount;
    std::string message;
  } cases[] = {
      {false, 1, "12.345", twoDecimals},  // the terminal would charge 12.35 and the receipt record 12.345
      {false, 1, "1.005", twoDecimals},
      {true, 1, "12.345", twoDecimals},
      {true, 1, "-5", "Ошибочный тип оплаты"},
      {true, 1, "0", "Ошибочный тип оплаты"},
      {true, 1, "1e1", "Ошибочный тип оплаты"},
      {true, 12, "12.50", "Ошибочный тип оплаты"},  // the device reported types 0 to 11
      {false, -1, "12.50", "Ошибочный тип оплаты"},
  };
  screen.TransactionBox()->setText("RRN-5");
  for (const Case& c : cases) {
    screen.OwnTransactionBox()->setChecked(c.ownTransaction);
    PayWith(c.type, c.amount);
    EXPECT_EQ(TakeMessages(), Messages{c.message}) << c.amount << " " << c.type;
    EXPECT_EQ(TakeSent(), std::vector<Sent>{}) << c.amount << " " << c.type;
  }
  EXPECT_TRUE(terminal.purchases().empty());
  // Types above 9 are the device's own: a card payment takes them.
  screen.OwnTransactionBox()->setChecked(true);
  PayWith(11, "12.5");
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x78, "482916;11;12.5;RRN-5;"}}));
  EXPECT_EQ(TakeMessages(), Messages{});
}

TEST_F(FiscalReceiptTest, ACardPaymentTheRegistratorRefusesAfterTheTerminalChargedKeepsTheIdentifierAtHand) {
  state.protocolVersion = "4.00";
  screen.NoCardInfoBox()->setChecked(true);
  OpenAndSell(0, "1");
  TakeSent();
  server.faults().FailCommand(0x78, sim::err::kPrinter);
  PayWith(1, "12.50");
  ASSERT_EQ(terminal.purchases().size(), 1u);
  EXPECT_TRUE(terminal.purchases()[0].approved);
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x78, "482916;1;12.50;604211000001;"}}));
  EXPECT_EQ(TakeMessages(), Messages{"Ошибка оплаты чека банковской картой\n"
                                     "Оплата на терминале проведена, идентификатор транзакции: 604211000001"
                                     ". \"Оплатить\" запишет ее в чек с этим идентификатором."});
  EXPECT_EQ(screen.ErrorCodeBox()->text(), QString::fromStdString(sim::err::kPrinter.WireText()));
  EXPECT_TRUE(screen.StatusButton()->isEnabled());
  EXPECT_EQ(screen.TransactionBox()->text(), "604211000001");
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.receipt.kind; }), sim::kSaleReceipt);

  // Another amount would be a second charge: only after a question that names the first one.
  ui.answers = {false};
  PayWith(1, "10.00");
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_TRUE(ui.questions[0].contains(QStringLiteral("12.50")) && ui.questions[0].contains(QStringLiteral("604211000001")));
  EXPECT_EQ(TakeSent(), std::vector<Sent>{});
  EXPECT_EQ(terminal.purchases().size(), 1u);

  // Once the registrator takes it again, the identifier records the payment without a second charge.
  server.faults().Clear();
  PayWith(1, "12.50");
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x78, "482916;1;12.50;604211000001;"}}));
  EXPECT_EQ(TakeMessages(), Messages{});
  EXPECT_EQ(terminal.purchases().size(), 1u);
}

// The box takes 20 typed characters, but an identifier the terminal issued goes in whole: cut, it
// would record the retry under another transaction. (The simulated registrator takes at most 20
// characters and refuses a longer one; what counts is that the whole identifier is what is sent.)
TEST_F(FiscalReceiptTest, ALongTerminalIdentifierIsKeptWholeForTheRetry) {
  const std::string longId = "ACQ-2026-12-11-000000004711";
  // Typed by hand, an identifier stops at 20 characters.
  QTest::keyClicks(screen.TransactionBox(), QString::fromStdString(longId));
  EXPECT_EQ(screen.TransactionBox()->text().toStdString(), longId.substr(0, 20));
  screen.TransactionBox()->clear();

  FixedIdTerminal acquirer(longId);
  ASSERT_TRUE(acquirer.start());
  state.terminal.path = acquirer.slavePath();
  state.protocolVersion = "4.00";
  screen.NoCardInfoBox()->setChecked(true);
  OpenAndSell(0, "1");
  TakeSent();
  const std::vector<Sent> whole{{0x78, "482916;1;12.50;" + longId + ";"}};
  const Messages refused{"Ошибка оплаты чека банковской картой\n"
                         "Оплата на терминале проведена, идентификатор транзакции: " + longId +
                         ". \"Оплатить\" запишет ее в чек с этим идентификатором."};
  PayWith(1, "12.50");
  EXPECT_EQ(TakeSent(), whole);
  EXPECT_EQ(TakeMessages(), refused);
  EXPECT_EQ(screen.TransactionBox()->text().toStdString(), longId);

  // The retry records the held identifier whole; refused again, it stays held.
  PayWith(1, "12.50");
  EXPECT_EQ(TakeSent(), whole);
  EXPECT_EQ(TakeMessages(), refused);
  EXPECT_TRUE(screen.TransactionBox()->isReadOnly());
}

TEST_F(FiscalReceiptTest, EveryRowShowsItsOwnTimeOutAndErrorMessage) {
  state.protocolVersion = "4.00";
  screen.OwnTransactionBox()->setChecked(true);
  screen.TransactionBox()->setText("RRN-1");
  struct Row {
    const char* name;
    int command;
    std::function<void()> press;
    std::string timeout, error;
    const char* named;  // in the message of the click that settles its lost reply
  } rows[] = {
      {"open", 0x63, [&] { Click(screen.OpenButton()); }, "Таймаут устройства! Ошибка открытия чека!",
       "Ошибка открытия чека", "открытие чека"},
      {"comment", 0x61, [&] { Click(screen.CommentButton()); }, "Таймаут устройства! Ошибка печати комментария!",
       "Ошибка печати комментария", "печать текста"},
      {"sale", 0x64,
       [&] {
         state.secondModelLine = true;  // the sale alone, without programming the article first
         Pick(0);
         Click(screen.SellButton());
         state.secondModelLine = false;
       },
       "Таймаут устройства! Ошибка продажи!", "Ошибка продажи", "продажа"},
      {"discount", 0x68, [&] { Click(screen.ItemPercentButton()); }, "Таймаут устройства! Ошибка надбавки-скидки!",
       "Ошибка надбавки-скидки", "скидка/наценка"},
      {"group discount", 0x76, [&] { Click(screen.GroupAbsoluteButton()); },
       "Таймаут устройства! Ошибка надбавки-скидки!", "Ошибка надбавки-скидки", "скидка/наценка"},
      {"total", 0x6D, [&] { Click(screen.TotalButton()); }, "Таймаут устройства! Ошибка печати итога!",
       "Ошибка печати итога", "печать итога"},
      // A payment or a close without an answer may have been carried out: the outcome is unknown.
      {"payment", 0x67, [&] { PayWith(0, "1.00"); }, kPaymentTimeout, "Ошибка оплаты чека", "оплата"},
      {"card payment", 0x78, [&] { PayWith(1, "1.00"); }, kCardPaymentTimeout, "Ошибка оплаты чека банковской картой",
       "оплата банковской картой"},
      {"close", 0x65, [&] { Click(screen.CloseReceiptButton()); }, kCloseTimeout, "Ошибка закрытия чека",
       "закрытие чека"},
      {"annulment", 0x6B, [&] { Click(screen.AnnulEndButton()); }, "Таймаут устройства! Ошибка аннулирования!",
       "Ошибка аннулирования", "аннулирование"},
  };
  for (const Row& row : rows) {
    server.faults().FailCommand(static_cast<std::uint8_t>(row.command), sim::err::kPrinter);
    row.press();
    EXPECT_EQ(TakeMessages(), Messages{row.error}) << row.name;
    EXPECT_EQ(screen.ErrorCodeBox()->text(), QString::fromStdString(sim::err::kPrinter.WireText())) << row.name;
    server.faults().Clear();
    screen.ErrorCodeBox()->clear();
    server.faults().Queue(sim::LineFault::Drop, 4);
    row.press();
    EXPECT_EQ(TakeMessages(), Messages{row.timeout}) << row.name;
    EXPECT_EQ(Codes(TakeSent()).back(), row.command) << row.name;
    server.faults().Clear();
    // The same click again settles the dropped frame (it arrives and runs now) and sends nothing more.
    row.press();
    const Messages settled = TakeMessages();
    ASSERT_EQ(settled.size(), 1u) << row.name;
    EXPECT_EQ(settled[0].rfind("Ответ на предыдущую команду (" + std::string(row.named) + ") был потерян", 0), 0u)
        << settled[0];
    EXPECT_EQ(Codes(TakeSent()), std::vector<int>{row.command}) << row.name;
  }
}

TEST_F(FiscalReceiptTest, TheSecondModelLineSellsWithoutProgrammingTheArticle) {
  state.secondModelLine = true;
  WithDevice([](sim::DeviceState& s) { s.articles.push_back({2, "M", 2000, 1, 2}); });
  Click(screen.OpenButton());
  Pick(1);
  Click(screen.SellButton());
  Pick(0);  // never programmed: the device does not know it
  Click(screen.SellButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x63, "482916;1;1;0;"},
                                           {0x64, "482916;2;1.000;20.00;"},
                                           {0x64, "482916;1;1.000;12.50;"}}));
  EXPECT_EQ(TakeMessages(), Messages{"Ошибка продажи"});
}

TEST_F(FiscalReceiptTest, ReturnReceiptCommentAnnulmentBarcodeAndDisplay) {
  screen.ReturnBox()->setChecked(true);
  screen.PasswordBox()->setText("000001");
  WithDevice([](sim::DeviceState& s) { s.operators[0].password = "000001"; });
  state.secondModelLine = true;  // the article is in the device already: the operator may not program it
  WithDevice([](sim::DeviceState& s) { s.articles.push_back({1, "B", 100, 0, 1}); });
  Click(screen.OpenButton());
  Click(screen.CommentButton());
  Pick(0);
  Click(screen.SellButton());
  // Every annulment button once: start, cancel it, start again, take the sale back, end; then all.
  Click(screen.AnnulStartButton());
  Click(screen.AnnulCancelButton());
  Click(screen.AnnulStartButton());
  Click(screen.SellButton());
  Click(screen.AnnulEndButton());
  Click(screen.AnnulButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x63, "000001;1;1;1;"},
                                           {0x61, "000001;Comment for printing;"},
                                           {0x64, "482916;1;1.000;12.50;"},
                                           {0x6B, "000001;1;"},
                                           {0x6B, "000001;3;"},
                                           {0x6B, "000001;1;"},
                                           {0x64, "482916;1;1.000;12.50;"},
                                           {0x6B, "000001;2;"},
                                           {0x6B, "000001;0;"}}));
  EXPECT_EQ(TakeMessages(), Messages{});
  EXPECT_NE(Tape().find("АНУЛЮВАННЯ СКАСОВАНО"), std::string::npos) << Tape();
  screen.BarcodeBox()->setText("12345");
  Click(screen.BarcodeButton());
  EXPECT_EQ(TakeMessages(), Messages{"Длина штрих-кода не равна 12 символов! Ошибка!"});
  screen.BarcodeBox()->setText("400638133393");
  Click(screen.BarcodeButton());
  screen.DisplayModeList()->setCurrentIndex(2);
  Click(screen.DisplayButton());
  // The pixel line of 4006381333931, worked out by hand from the standard's tables.
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x6F, "482916;50;0051A9D7BD12CD50A142E90B35000000;"},
                                           {0x81, "482916;2;0;Comment for printing;"}}));
  EXPECT_EQ(TakeMessages(), Messages{});
  EXPECT_NE(Tape().find("EAN-13 4006381333931"), std::string::npos) << Tape();

  Click(screen.CloseButton());
  EXPECT_FALSE(screen.StatusButton()->isEnabled());
}

}  // namespace
}  // namespace kovrix
