#include <gtest/gtest.h>

#include "driver/frame.h"
#include "driver/receiver.h"

namespace kovrix {
namespace {

void FeedAll(ReceiveMachine& m, const std::string& bytes) {
  for (char c : bytes) m.Feed(static_cast<std::uint8_t>(c));
}

const StatusBytes kStatus{0x10, 0x00, 0x04, 0x00, 0x11, 0x10};

TEST(ReceiveMachine, CollectsAWholeReplyFrame) {
  ReceiveMachine m;
  m.BeginExchange();
  const std::string frame = BuildReplyFrame(0x21, 0x21, "0000", "101226;0930;", kStatus);
  FeedAll(m, frame);
  EXPECT_TRUE(m.ready());
  EXPECT_TRUE(m.frameComplete());
  const ReceivedFrame rx = m.Collected();
  EXPECT_EQ(rx.errorField, "0000");
  EXPECT_EQ(rx.data, "101226;0930;");
  EXPECT_EQ(rx.receivedBcc, rx.runningSum);
  EXPECT_EQ(rx.statusBytes[0], 0x90);
  EXPECT_EQ(m.receivedSeqByte(), 0x21);
  EXPECT_EQ(m.receivedCommand(), 0x21);
  EXPECT_EQ(m.rawReply(), frame);
}

TEST(ReceiveMachine, DataLengthZeroGoesFromErrorFieldToSeparator) {
  ReceiveMachine m;
  m.BeginExchange();
  FeedAll(m, BuildReplyFrame(0x22, 0x60, "0000", "", kStatus));
  EXPECT_TRUE(m.ready());
  EXPECT_EQ(m.Collected().data, "");
  EXPECT_EQ(m.Collected().receivedBcc, m.Collected().runningSum);
}

TEST(ReceiveMachine, SynIsCountedButNotKept) {
  ReceiveMachine m;
  m.BeginExchange();
  FeedAll(m, std::string(7, '\x16'));
  const std::string frame = BuildReplyFrame(0x21, 0x21, "0000", "X;", kStatus);
  FeedAll(m, frame);
  EXPECT_EQ(m.synCount(), 7);
  EXPECT_EQ(m.rawReply(), frame);
  EXPECT_TRUE(m.ready());
}

TEST(ReceiveMachine, NakEndsTheWaitWithoutAFrame) {
  ReceiveMachine m;
  m.BeginExchange();
  m.Feed(kNAK);
  EXPECT_TRUE(m.ready());
  EXPECT_FALSE(m.frameComplete());
  EXPECT_TRUE(m.Collected().nakReceived);
  EXPECT_EQ(m.state(), 0);
}

TEST(ReceiveMachine, EtxEndsTheFrameInAnyState) {
  ReceiveMachine m;
  m.BeginExchange();
  FeedAll(m, "\x01\x35\x21\x21" "00");
  m.Feed(kETX);
  EXPECT_TRUE(m.ready());
  EXPECT_TRUE(m.frameComplete());
  EXPECT_EQ(m.state(), 0);
}

TEST(ReceiveMachine, SohRestartsAndTheLastFrameCounts) {
  ReceiveMachine m;
  m.BeginExchange();
  FeedAll(m, "\x01\x40\x22\x21" "0000;ju");
  FeedAll(m, BuildReplyFrame(0x23, 0x21, "0100", "Z;", kStatus));
  const ReceivedFrame rx = m.Collected();
  EXPECT_EQ(rx.errorField, "0100");
  EXPECT_EQ(rx.data, "Z;");
  EXPECT_EQ(rx.receivedBcc, rx.runningSum);
}

TEST(ReceiveMachine, FrameWhoseLastByteIsNotEtxCompletesWithoutReady) {
  ReceiveMachine m;
  m.BeginExchange();
  std::string frame = BuildReplyFrame(0x21, 0x21, "0000", "A;", kStatus);
  frame.back() = 'x';
  FeedAll(m, frame);
  EXPECT_TRUE(m.frameComplete());
  EXPECT_FALSE(m.ready());
}

TEST(ReceiveMachine, WrongChecksumIsVisibleToTheDecoder) {
  ReceiveMachine m;
  m.BeginExchange();
  std::string frame = BuildReplyFrame(0x21, 0x21, "0000", "A;", kStatus);
  frame[frame.size() - 2] ^= 0x01;
  FeedAll(m, frame);
  EXPECT_TRUE(m.ready());
  EXPECT_NE(m.Collected().receivedBcc, m.Collected().runningSum);
}

TEST(ReceiveMachine, BadLenOrSeqFallsBackToWaitingForSoh) {
  ReceiveMachine m;
  m.BeginExchange();
  FeedAll(m, "\x01\x2F");
  EXPECT_EQ(m.state(), 0);
  FeedAll(m, "\x01\x30\x10");
  EXPECT_EQ(m.state(), 0);
}

TEST(ReceiveMachine, OverlongErrorFieldAndRawStreamStayWithinTheirBuffers) {
  ReceiveMachine m;
  m.BeginExchange();
  FeedAll(m, "\x01\x30\x21\x21" + std::string(40, 'E') + ";");
  EXPECT_EQ(m.Collected().errorField, std::string(19, 'E'));
  FeedAll(m, std::string(600, 'g'));
  EXPECT_EQ(m.rawReply().size(), ReceiveMachine::kRawCapacity);
}

TEST(ReceiveMachine, ShorterReplyOverwritesTheRawCopyAndNothingKeepsTheOldOne) {
  ReceiveMachine m;
  m.BeginExchange();
  FeedAll(m, BuildReplyFrame(0x21, 0x21, "0000", "LONG;DATA;", kStatus));
  m.BeginExchange();
  EXPECT_EQ(m.rawReply().size(), BuildReplyFrame(0x21, 0x21, "0000", "LONG;DATA;", kStatus).size())
      << "an exchange that receives nothing keeps the previous raw reply";
  const std::string shorter = BuildReplyFrame(0x22, 0x21, "0000", "", kStatus);
  FeedAll(m, shorter);
  EXPECT_EQ(m.rawReply(), shorter);
}

}  // namespace
}  // namespace kovrix
