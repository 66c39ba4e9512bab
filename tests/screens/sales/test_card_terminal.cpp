#include "screens/sales/card_terminal.h"

#include <gtest/gtest.h>

#include "support/scripted_line.h"

namespace kovrix {
namespace {

const std::string kAck("\x00\x01\x06", 3);

std::string Fields(std::initializer_list<std::string> fields) {
  std::string out;
  for (const std::string& f : fields) {
    if (!out.empty()) out += '\x1C';
    out += f;
  }
  return out;
}

TEST(CardTerminalText, FieldsAreFoundAtTheirNumberUpToTheSeparator) {
  const std::string card = Fields({"00=T1", "01=41112222", "02=", "04=VISA"});
  struct Case {
    std::string message, number;
    std::optional<std::string> value;
  } cases[] = {
      {card, "00", "T1"},
      {card, "04", "VISA"},  // the last field runs to the end
      {card, "02", ""},
      {card, "58", std::nullopt},
      {Fields({"05=100=7", "58=99"}), "00", std::nullopt},  // "100=" is no field 00
      {Fields({"39=00", "58=604211"}), "58", "604211"},
      {"\x02" "00=T9" "\x1C" "03=S", "00", "T9"},
  };
  for (const Case& c : cases) EXPECT_EQ(TerminalField(c.message, c.number), c.value) << c.message << " " << c.number;
}

TEST(CardTerminalText, RequestAmountAndCardLine) {
  EXPECT_EQ(TerminalFrame(std::string(300, 'x')).substr(0, 2), std::string("\x01\x2C", 2));
  EXPECT_EQ(PurchaseRequest("T0012345", "1250"),
            "\x02" "00=T0012345\x1C" "03=S\x1C" "05=1250\x1C" "52=980\x1C" "53=UAH\x1C" "61=1");
  // The terminal's digits come from the typed text, so they are the number the card payment records.
  struct Amount {
    const char* text;
    std::optional<std::string> digits;
  } amounts[] = {
      {"12.50", "1250"}, {"12.5", "1250"}, {"12", "1200"}, {"0.30", "30"}, {"1.005", std::nullopt},
      {"12.345", std::nullopt}, {"0", std::nullopt}, {"0.00", std::nullopt}, {"-1", std::nullopt},
      {"1e2", std::nullopt}, {"", std::nullopt}, {".", std::nullopt}, {"99999999.99", "9999999999"},
      {"100000000.00", std::nullopt},
  };
  for (const Amount& a : amounts) EXPECT_EQ(TerminalAmount(a.text), a.digits) << a.text;
  EXPECT_EQ(MaskedCardLine("41112222"), "**** **** 4111 2222");
  EXPECT_EQ(MaskedCardLine("4111"), "**** **** 4111 ");
  EXPECT_EQ(MaskedCardLine("41"), "**** **** 41 ");
}

TEST(CardTerminalText, TheLoggedMessageHidesTheCardNumber) {
  EXPECT_EQ(TerminalLogText(Fields({"00=T1", "01=4111222233334444", "02=HOLDER"})),
            "00=T1 | 01=************4444 | 02=HOLDER");
  EXPECT_EQ(TerminalLogText(Fields({"01=444", "58=7"})), "01=444 | 58=7");
  EXPECT_EQ(TerminalLogText("\x02" "00=T1"), "<02>00=T1");
}

class CardTerminalExchange : public ::testing::Test {
 protected:
  std::optional<CardPaymentData> Pay(std::string& failure, int cancelAfterPolls = -1) {
    int polls = 0;
    TerminalExchange exchange(line, {/*ackWaitMs*/ 50, /*totalMs*/ 200, /*pollMs*/ 1},
                              [&] { return cancelAfterPolls < 0 || ++polls < cancelAfterPolls; });
    log.clear();
    exchange.SetLog([&](const std::string& tag, const std::string& text) { log.push_back(tag + " " + text); });
    auto data = exchange.Pay("1250", failure);
    mayHaveCharged = exchange.MayHaveCharged();
    return data;
  }

  std::vector<std::string> log;
  bool mayHaveCharged = false;

  test::ScriptedLine::Shared shared;
  test::ScriptedLine line{shared};
};

TEST_F(CardTerminalExchange, APaymentAcknowledgesEachMessageAndAnswersTheCardAndTransaction) {
  shared.replies = {kAck + TerminalFrame(Fields({"00=T1", "01=41112222", "02=HOLDER", "04=MC"})), "",
                    kAck + TerminalFrame(Fields({"00=T1", "39=00", "58=777"})), ""};
  std::string failure;
  const auto card = Pay(failure);
  ASSERT_TRUE(card) << failure;
  EXPECT_EQ(card->transaction, "777");
  EXPECT_EQ(card->scheme, "MC");
  EXPECT_EQ(shared.written, (std::vector<std::string>{std::string("\x00\x01\x12", 3), kAck,
                                                      TerminalFrame(PurchaseRequest("T1", "1250")), kAck}));
  EXPECT_FALSE(mayHaveCharged);
  EXPECT_EQ(log, (std::vector<std::string>{"TERM> <12>", "TERM< 00=T1 | 01=****2222 | 02=HOLDER | 04=MC",
                                           "TERM> <02>00=T1 | 03=S | 05=1250 | 52=980 | 53=UAH | 61=1",
                                           "TERM< 00=T1 | 39=00 | 58=777"}));
}

TEST_F(CardTerminalExchange, EveryBadOrMissingAnswerEndsThePaymentWithinItsBounds) {
  const std::string card = kAck + TerminalFrame(Fields({"00=T1", "01=4111"}));
  struct Case {
    std::vector<std::string> replies;
    int cancelAfterPolls;
    std::string failure;
    std::size_t writes;  // the purchase request goes out only after good card data
    bool mayHaveCharged;  // the terminal took the purchase and never answered it
  } cases[] = {
      {{}, -1, "terminal silent", 1, false},
      {{std::string("\x00\x01\x15", 3)}, -1, "no acknowledgement", 1, false},
      {{kAck + std::string("\x03\xE9", 2) + std::string(1001, 'x')}, -1, "message length 1001 out of range", 1, false},
      {{kAck + TerminalFrame("01=4111")}, -1, "card data without field 00", 2, false},
      {{card, ""}, -1, "terminal silent", 3, false},  // the purchase request was never acknowledged
      {{card, "", kAck + TerminalFrame(Fields({"00=T1", "39=05"}))}, -1, "authorisation without field 58", 4, false},
      {{card, "", kAck}, -1, "terminal silent", 3, true},  // the customer never pays: the whole bound ends it
      {{card, "", kAck}, 5, "cancelled", 3, true},
      {{card, "", kAck + std::string("\x03\xE9", 2)}, -1, "message length 1001 out of range", 3, true},
  };
  for (const Case& c : cases) {
    shared = {};
    shared.replies.assign(c.replies.begin(), c.replies.end());
    std::string failure;
    EXPECT_FALSE(Pay(failure, c.cancelAfterPolls)) << c.failure;
    EXPECT_EQ(failure, c.failure);
    EXPECT_EQ(shared.written.size(), c.writes) << c.failure;
    EXPECT_EQ(mayHaveCharged, c.mayHaveCharged) << c.failure;
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "TERM! " + c.failure + (c.mayHaveCharged ? ", the card may have been charged" : ""));
  }
}

}  // namespace
}  // namespace kovrix
