#include <gtest/gtest.h>

#include "sim/model/terminal_session.h"

namespace kovrix::sim {
namespace {

const std::string kAck("\x00\x01\x06", 3);
const std::string kStart("\x00\x01\x12", 3);

std::string Purchase(const std::string& terminalId, const std::string& amount) {
  return TerminalSession::Frame("\x02" "00=" + terminalId + "\x1C" "03=S\x1C" "05=" + amount +
                                "\x1C" "52=980\x1C" "53=UAH\x1C" "61=1");
}

// Splits the terminal's answer into its acknowledgement and the message body after it.
std::pair<std::string, std::string> Split(const std::string& out) {
  if (out.size() < 5) return {out, {}};
  return {out.substr(0, 3), out.substr(5)};
}

TEST(SimTerminal, StartAndPurchaseAreAcknowledgedAndAnswered) {
  TerminalSession t;
  const auto [ack, card] = Split(t.Receive(kStart));
  EXPECT_EQ(ack, kAck);
  EXPECT_EQ(TerminalSession::Field(card, "00"), "T0012345");
  EXPECT_EQ(TerminalSession::Field(card, "01"), "41112222");
  EXPECT_EQ(TerminalSession::Field(card, "04"), "VISA");
  EXPECT_EQ(t.Receive(kAck), "");
  // The request may arrive in pieces.
  const std::string request = Purchase("T0012345", "1250");
  EXPECT_EQ(t.Receive(request.substr(0, 7)), "");
  const std::string out = t.Receive(request.substr(7));
  const auto [ack2, response] = Split(out);
  EXPECT_EQ(ack2, kAck);
  EXPECT_EQ(static_cast<std::size_t>(static_cast<std::uint8_t>(out[3]) << 8 | static_cast<std::uint8_t>(out[4])),
            response.size());
  EXPECT_EQ(TerminalSession::Field(response, "58"), "604211000001");
  ASSERT_EQ(t.purchases().size(), 1u);
  EXPECT_EQ(t.purchases()[0].fields.at("05"), "1250");
  EXPECT_EQ(t.purchases()[0].fields.at("53"), "UAH");
  EXPECT_TRUE(t.purchases()[0].approved);
  EXPECT_EQ(t.acknowledgements(), 1);
}

TEST(SimTerminal, FaultsAndBadRequestsWithholdTheAuthorisation) {
  TerminalSession t;
  t.QueueFault(TerminalFault::NoAckToStart);
  t.QueueFault(TerminalFault::NoAckToPurchase);
  t.QueueFault(TerminalFault::SilentAfterAck);
  EXPECT_EQ(t.Receive(kStart), "");
  EXPECT_EQ(Split(t.Receive(kStart)).first, kAck);
  EXPECT_EQ(t.Receive(Purchase("T0012345", "100")), "");
  EXPECT_EQ(t.Receive(Purchase("T0012345", "100")), kAck);
  const auto [ack, response] = Split(t.Receive(Purchase("OTHER", "100")));
  EXPECT_EQ(ack, kAck);
  EXPECT_EQ(TerminalSession::Field(response, "39"), "05");
  EXPECT_EQ(TerminalSession::Field(response, "58"), "");
  EXPECT_EQ(t.purchases().size(), 3u);
}

TEST(SimTerminal, ADeclinedPurchaseCarriesNoTransaction) {
  TerminalSession t;
  t.QueueFault(TerminalFault::Declined);
  const auto [ack, response] = Split(t.Receive(Purchase("T0012345", "100")));
  EXPECT_EQ(ack, kAck);
  EXPECT_EQ(TerminalSession::Field(response, "39"), "05");
  EXPECT_EQ(response.find("58="), std::string::npos);
  EXPECT_EQ(TerminalSession::Field(Split(t.Receive(Purchase("T0012345", "100"))).second, "39"), "00");  // one time only
}

}  // namespace
}  // namespace kovrix::sim
