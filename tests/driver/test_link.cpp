#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <numeric>

#include "driver/codepage.h"
#include "driver/error_text.h"
#include "driver/link.h"
#include "support/scripted_line.h"

namespace kovrix {
namespace {

using test::ScriptedLine;

const StatusBytes kIdle{0, 0, 0, 0, 0, 0x10};

std::string Reply(std::uint8_t seq, std::uint8_t cmd, const std::string& data = "",
                  const std::string& err = "0000") {
  return BuildReplyFrame(seq, cmd, err, data, kIdle);
}

std::uint8_t SeqOf(const std::string& frame) { return static_cast<std::uint8_t>(frame.at(2)); }

class LinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    link.SetTiming({/*silencePasses*/ 3, /*readTimeoutMs*/ 1, /*repeatWaitMs*/ 2000, /*usbRepeatWaitMs*/ 3000});
    link.SetSleeper([this](int ms) { waits.push_back(ms); });
    ASSERT_EQ(link.OpenComPort("ttyS0", 9600), 0);
  }

  ScriptedLine::Shared line;
  Link link{std::make_unique<ScriptedLine>(line)};
  std::vector<int> waits;
};

TEST_F(LinkTest, FirstFrameCarriesSeq21AndTheCounterWraps) {
  link.SetRepeatCount(0);
  for (int i = 1; i <= 256; ++i) link.ExecuteCommand(0x21, "482916;");
  ASSERT_EQ(line.written.size(), 256u);
  EXPECT_EQ(SeqOf(line.written[0]), 0x21);
  EXPECT_EQ(SeqOf(line.written[94]), 0x20);    // counter 95
  EXPECT_EQ(SeqOf(line.written[254]), 0x20 + 255 % 95);
  EXPECT_EQ(SeqOf(line.written[255]), 0x20);   // counter 0 after 255
  EXPECT_EQ(line.written[0], BuildRequestFrame(0x21, 0x21, "482916;"));
}

TEST_F(LinkTest, NormalExchangeFillsTheRecordAndSendsOnce) {
  link.SetRepeatCount(4);
  line.replies.push_back(std::string(5, '\x16') + Reply(0x21, 0x21, "101226;0930;"));
  const ReplyRecord* r = link.ExecuteCommand(0x21, "482916;");
  EXPECT_EQ(line.written.size(), 1u);
  EXPECT_TRUE(waits.empty());
  EXPECT_EQ(r->status, ST_SHIFT_OPEN);
  EXPECT_EQ(r->errorText, "0000");
  EXPECT_EQ(r->field(1), "101226");
  EXPECT_EQ(r->field(2), "0930");
  EXPECT_EQ(r->sentFrame, line.written[0]);
  EXPECT_EQ(r->rawReply, Reply(0x21, 0x21, "101226;0930;"));
}

TEST_F(LinkTest, NakAndGarbledRepliesAreRepeatedWithTheSameSeqAfterTheRepeatWait) {
  link.SetRepeatCount(4);
  line.replies = {"\x15", "\x01\x40garbage\x03", Reply(0x21, 0x21, "OK;")};
  const ReplyRecord* r = link.ExecuteCommand(0x21, "482916;");
  ASSERT_EQ(line.written.size(), 3u);
  EXPECT_EQ(line.written[0], line.written[1]);
  EXPECT_EQ(line.written[1], line.written[2]);
  EXPECT_EQ(waits, (std::vector<int>{2000, 2000}));
  EXPECT_EQ(link.GetRepeatCount(), 2);
  EXPECT_EQ(r->status, ST_SHIFT_OPEN);
  EXPECT_EQ(r->field(1), "OK");
  // The next command moves on to the next SEQ.
  link.ExecuteCommand(0x21, "482916;");
  EXPECT_EQ(SeqOf(line.written.back()), 0x22);
}

TEST_F(LinkTest, RepeatPassesRunToTheEndAndRepeatCountZeroNeverRepeats) {
  link.SetRepeatCount(3);
  link.ExecuteCommand(0x21, "x;");  // never a reply, and no earlier one to keep
  EXPECT_EQ(line.written.size(), 4u);
  EXPECT_EQ(link.ExecuteCommand(0x21, "x;")->status, ST_NO_REPLY);
  line.written.clear();
  link.SetRepeatCount(0);
  line.replies = {"\x15"};
  EXPECT_EQ(link.ExecuteCommand(0x21, "x;")->status, ST_NAK);
  EXPECT_EQ(line.written.size(), 1u);
}

// What the link met is counted for monitoring: frames (repeats included), silences, NAKs, wrong
// checksums, repeat passes and replies to other frames.
TEST_F(LinkTest, CountersTellWhatTheLinkMet) {
  line.addressReplies = false;
  link.SetRepeatCount(1);
  std::string bad = Reply(0x23, 0x21, "A;");
  bad[bad.size() - 2] ^= 1;
  line.replies = {Reply(0x21, 0x21, "A;"),                              // answered
                  "\x15",         Reply(0x22, 0x21, "A;"),              // NAK, the repeat answered
                  bad,            Reply(0x23, 0x21, "A;"),              // wrong checksum, the repeat answered
                  Reply(0x20, 0x80, "MODEL;") + Reply(0x24, 0x21, "A;")};  // a late reply first
  for (int i = 0; i < 5; ++i) link.ExecuteCommand(0x21, "482916;");  // the fifth meets silence
  const LinkCounters& c = link.Counters();
  EXPECT_EQ(c.frames, 7u);
  EXPECT_EQ(line.written.size(), 7u);
  EXPECT_EQ(c.timeouts, 1u);
  EXPECT_EQ(c.naks, 1u);
  EXPECT_EQ(c.badChecksums, 1u);
  EXPECT_EQ(c.repeats, 2u);
  EXPECT_EQ(c.strays, 1u);
}

TEST_F(LinkTest, ReplyLessExchangeKeepsTheStaleRawReplyAndIsRepeatedOnlyOverUsb) {
  link.SetRepeatCount(2);
  line.replies = {Reply(0x21, 0x80, "Veltra KR-23;3.01;", "0000")};
  link.ExecuteCommand(0x80, "482916;");

  const ReplyRecord* r = link.ExecuteCommand(0x21, "482916;");  // silence
  EXPECT_EQ(line.written.size(), 2u) << "over RS-232 a reply-less exchange is not repeated";
  EXPECT_EQ(r->status, ST_NO_REPLY);
  EXPECT_EQ(r->fieldCount, 0);
  EXPECT_EQ(r->replyData, "");
  EXPECT_EQ(r->statusBytes, StatusBytes{});
  EXPECT_EQ(r->errorText, "0000") << "the error field of the previous reply stays";
  EXPECT_EQ(r->rawReply, Reply(0x21, 0x80, "Veltra KR-23;3.01;"));

  link.SetUsbLinkActive(true);
  line.written.clear();
  link.ExecuteCommand(0x21, "482916;");
  EXPECT_EQ(line.written.size(), 3u);
  EXPECT_EQ(SeqOf(line.written[0]), SeqOf(line.written[2]));
  EXPECT_EQ(waits, (std::vector<int>{3000, 3000}));
  EXPECT_EQ(link.GetRepeatCount(), 0) << "USB repeats are not counted";
}

// The device executed the command before its reply was corrupted: a new frame would run it
// again, so the same frame (same SEQ) goes again and the device answers from its memory.
TEST_F(LinkTest, BadChecksumIsRepeatedWithTheSameSeqAndReportedOnlyWhenTheRepeatsAreUsedUp) {
  std::string bad = Reply(0x21, 0x21, "A;", "0100");
  bad[bad.size() - 2] ^= 1;

  link.SetRepeatCount(4);
  line.replies = {bad, Reply(0x21, 0x21, "A;", "0000")};
  const ReplyRecord* r = link.ExecuteCommand(0x21, "482916;");
  ASSERT_EQ(line.written.size(), 2u);
  EXPECT_EQ(line.written[0], line.written[1]);
  EXPECT_EQ(waits, (std::vector<int>{2000}));
  EXPECT_EQ(link.GetRepeatCount(), 1);
  EXPECT_EQ(r->status, ST_SHIFT_OPEN);
  EXPECT_EQ(r->errorText, "0000");

  line.written.clear();
  waits.clear();
  link.SetRepeatCount(2);
  line.replies = {bad, bad, bad};
  r = link.ExecuteCommand(0x21, "482916;");
  ASSERT_EQ(line.written.size(), 3u);
  EXPECT_EQ(SeqOf(line.written[0]), SeqOf(line.written[2]));
  EXPECT_EQ(r->status, ST_BAD_CHECKSUM);
  EXPECT_EQ(r->errorText, "0100");
}

TEST_F(LinkTest, SequenceContinuesFromAKeptCounterAndEveryFrameIsAnnounced) {
  std::vector<int> announced;
  link.SetSequenceObserver([&](std::uint8_t counter) { announced.push_back(counter); });
  link.SetSequenceCounter(40);
  link.SetRepeatCount(1);
  line.replies = {"\x15", Reply(0x29, 0x21, "A;")};
  link.ExecuteCommand(0x21, "x;");
  ASSERT_EQ(line.written.size(), 2u);
  EXPECT_EQ(SeqOf(line.written[0]), 0x20 + 41);
  EXPECT_EQ(SeqOf(line.written[1]), 0x20 + 41) << "the repeat keeps the SEQ";
  EXPECT_EQ(announced, (std::vector<int>{41, 41}));
  EXPECT_EQ(link.SequenceCounter(), 41);
}

TEST_F(LinkTest, ClosingDiscardsTheQueuesWithoutWaitingForTheOutput) {
  link.SetRepeatCount(0);
  link.ExecuteCommand(0x21, "x;");
  EXPECT_EQ(line.purges, 1) << "an exchange drains and discards before it writes";
  EXPECT_TRUE(link.CloseComPort());
  EXPECT_EQ(line.purges, 1);
  EXPECT_EQ(line.discards, 1);
}

TEST_F(LinkTest, FrameNotEndingInEtxIsAnExchangeWithoutReply) {
  link.SetRepeatCount(0);
  std::string frame = Reply(0x21, 0x21, "A;");
  frame.back() = '\x02';
  line.replies = {frame};
  EXPECT_EQ(link.ExecuteCommand(0x21, "x;")->status, ST_NO_REPLY);
}

TEST_F(LinkTest, SynStreamKeepsTheWaitAliveBeyondTheSilenceLimit) {
  link.SetRepeatCount(0);
  // Far more reads than the three silent passes allow, but each delivers a SYN.
  line.replies = {std::string(200, '\x16') + Reply(0x21, 0x21, "late;")};
  const ReplyRecord* r = link.ExecuteCommand(0x21, "x;");
  EXPECT_EQ(r->field(1), "late");
  EXPECT_EQ(r->status, ST_SHIFT_OPEN);
}

TEST_F(LinkTest, ReadErrorClearsTheLineAndRestartsTheMachine) {
  link.SetRepeatCount(0);
  line.errorsToReport = 1;
  const ReplyRecord* r = link.ExecuteCommand(0x21, "x;");
  EXPECT_EQ(line.clearErrors, 1);
  EXPECT_EQ(r->status, ST_NO_REPLY);
}

TEST_F(LinkTest, NothingIsSentOnAClosedPortOrWithDataTooLongForAFrame) {
  link.SetRepeatCount(4);
  line.replies = {Reply(0x21, 0x21, "A;")};
  link.ExecuteCommand(0x21, "x;");
  ASSERT_EQ(link.Record().errorText, "0000");

  const ReplyRecord* r = link.ExecuteCommand(0x22, std::string(220, 'a'));
  EXPECT_EQ(line.written.size(), 1u);
  EXPECT_EQ(r->status, ST_NO_REPLY) << "a refused command must not look like the previous success";
  EXPECT_EQ(r->command, 0x22);
  EXPECT_TRUE(waits.empty());
  EXPECT_EQ(link.SendFrame(0x22, std::string(219, 'a')), 0);
  EXPECT_EQ(static_cast<unsigned char>(line.written.back()[1]), 0xFF);

  link.CloseComPort();
  EXPECT_EQ(link.ExecuteCommand(0x21, "x;")->status, ST_NO_REPLY);
  EXPECT_EQ(link.SendFrame(0x21, "x;"), -1);
  EXPECT_EQ(link.ResendLast(false), -1);
  EXPECT_EQ(link.RepeatCommand(false), nullptr);
  EXPECT_EQ(line.written.size(), 2u);
  EXPECT_TRUE(waits.empty());
}

TEST_F(LinkTest, PortThatCannotBeOpenedAnswersMinusOne) {
  link.CloseComPort();
  line.openFails = true;
  EXPECT_EQ(link.OpenComPort("ttyS9", 9600), -1);
  EXPECT_EQ(link.SendFrame(0x21, "x;"), -1);
}

TEST_F(LinkTest, ResendAndRepeatReuseOrAdvanceTheSequence) {
  link.SetRepeatCount(0);
  link.ExecuteCommand(0x21, "a;");
  EXPECT_EQ(link.ResendLast(false), 0);
  EXPECT_EQ(link.ResendLast(true), 0);
  ASSERT_NE(link.RepeatCommand(false), nullptr);
  ASSERT_EQ(line.written.size(), 4u);
  EXPECT_EQ(SeqOf(line.written[0]), 0x21);
  EXPECT_EQ(SeqOf(line.written[1]), 0x21);
  EXPECT_EQ(SeqOf(line.written[2]), 0x22);
  EXPECT_EQ(SeqOf(line.written[3]), 0x22);
  EXPECT_EQ(line.written[3].substr(3, 3), "\x21" "a;");
}

TEST_F(LinkTest, RealSilenceWaitIsFiftyReadsOfTheReadTimeout) {
  // The default timing with a short read: the wait is silencePasses consecutive empty reads.
  link.SetTiming({50, 1, 0, 0});
  link.SetRepeatCount(0);
  line.reads = 0;
  link.ExecuteCommand(0x21, "x;");
  EXPECT_EQ(line.reads, 50);
}

// A window watching the link: one begin and one end span a command with its repeats, it is told
// all through the repeat wait, and nothing it lets run can start an exchange or close the line.
TEST_F(LinkTest, AWatcherSpansACommandAndNothingStartsFromInsideIt) {
  struct Watcher : ExchangeWatcher {
    int begins = 0, waitsTold = 0, ends = 0;
    std::function<void()> onWait;
    void ExchangeBegins() override { ++begins; }
    void ExchangeWaits() override {
      ++waitsTold;
      if (onWait) onWait();
    }
    void ExchangeEnds() override { ++ends; }
  } watcher;
  link.SetExchangeWatcher(&watcher);
  link.SetRepeatCount(2);
  line.replies = {"\x15", Reply(0x21, 0x21, "OK;")};
  int nested = 0;
  watcher.onWait = [&] {
    if (nested++ > 0) return;
    const ReplyRecord* refused = link.ExecuteCommand(0x30, "1;");
    EXPECT_EQ(refused->status, ST_NO_REPLY);
    EXPECT_TRUE(refused->sentFrame.empty());
    EXPECT_EQ(link.SendFrame(0x30, "1;"), -1);
    EXPECT_EQ(link.ResendLast(true), -1);
    EXPECT_EQ(link.RepeatCommand(true), nullptr);
    EXPECT_FALSE(link.CloseComPort());
  };
  const ReplyRecord* r = link.ExecuteCommand(0x21, "482916;");

  EXPECT_EQ(watcher.begins, 1);
  EXPECT_EQ(watcher.ends, 1);
  // The 2000 ms repeat wait went by in slices, the watcher told after each.
  EXPECT_EQ(std::accumulate(waits.begin(), waits.end(), 0), 2000);
  EXPECT_GE(watcher.waitsTold, 2000 / kWatchSliceMs);
  ASSERT_EQ(line.written.size(), 2u);  // the command and its repeat, nothing from inside
  EXPECT_EQ(r, &link.Record());
  EXPECT_EQ(r->field(1), "OK");
  EXPECT_TRUE(link.IsOpen());

  // Outside an exchange everything works again.
  line.replies = {Reply(0x22, 0x30, "")};
  EXPECT_EQ(link.ExecuteCommand(0x30, "1;")->errorText, "0000");
  EXPECT_EQ(watcher.begins, 2);
  EXPECT_EQ(watcher.ends, 2);
}

}  // namespace
}  // namespace kovrix

namespace kovrix {
namespace {

using test::ScriptedLine;

// The link as it stands between a late converter and the device: a reply to another frame (an
// earlier SEQ, or the same SEQ for another command) is never the answer; the wait goes on for
// the right one, within the same silence, and the stray goes to the log.
TEST(LinkReplyMatching, AReplyToAnotherFrameIsLoggedAndNeverAnswered) {
  const StatusBytes idle{0, 0, 0, 0, 0, 0x10};
  auto reply = [&](std::uint8_t seq, std::uint8_t cmd, const std::string& data) {
    return BuildReplyFrame(seq, cmd, "0000", data, idle);
  };
  struct Case {
    const char* name;
    std::string bytes;      // what the line brings after the frame (SEQ 21h, command 21h)
    std::uint32_t status;   // of the record answered
    std::string field1;
    int frames;             // written, repeats included
  } cases[] = {
      {"an earlier SEQ's late reply, then the right one", reply(0x20, 0x80, "MODEL;") + reply(0x21, 0x21, "111226;"),
       ST_SHIFT_OPEN, "111226", 1},
      {"two late replies, then the right one",
       reply(0x7F, 0x6E, "100.00;") + reply(0x20, 0x80, "MODEL;") + reply(0x21, 0x21, "111226;"), ST_SHIFT_OPEN,
       "111226", 1},
      {"the same SEQ for another command", reply(0x21, 0x80, "MODEL;") + reply(0x21, 0x21, "111226;"),
       ST_SHIFT_OPEN, "111226", 1},
      // The stray is no answer: the frame is asked for again with its SEQ, which the device
      // answers from its memory, so nothing runs twice.
      {"only a stray, then silence", reply(0x20, 0x80, "MODEL;"), ST_SHIFT_OPEN, "111226", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedLine::Shared line;
    line.addressReplies = false;
    char logName[] = "/tmp/kovrix-stray-XXXXXX";
    const int fd = mkstemp(logName);
    ASSERT_GE(fd, 0);
    close(fd);
    SessionLog log;
    log.SetLogFileName(logName);
    Link link{std::make_unique<ScriptedLine>(line), &log};
    link.SetTiming({3, 1, 2000, 3000});
    link.SetSleeper([](int) {});
    link.SetRepeatCount(1);
    ASSERT_EQ(link.OpenComPort("ttyS0", 9600), 0);
    line.replies = {c.bytes, reply(0x21, 0x21, "111226;")};
    const ReplyRecord* r = link.ExecuteCommand(0x21, "482916;");
    EXPECT_EQ(r->status, c.status);
    EXPECT_EQ(r->field(1), c.field1);
    EXPECT_EQ(r->rawReply, reply(0x21, 0x21, "111226;"));
    EXPECT_EQ(r->linkFault, LinkFault::None);
    EXPECT_EQ(static_cast<int>(line.written.size()), c.frames);
    for (const std::string& frame : line.written) EXPECT_EQ(frame, line.written[0]);
    std::ifstream in(logName, std::ios::binary);
    const std::string logged((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(logged.find(" stray\r\n"), std::string::npos) << logged;
    std::remove(logName);
  }
}

// However many bytes come, an exchange ends: a line that floods without a frame ends as a flood
// after a bounded count of bytes, at once and without repeats; the close that follows does not
// wait for the flood to stop.
TEST(LinkBounds, AFloodingLineEndsTheExchangeWithoutRepeats) {
  ScriptedLine::Shared line;
  line.addressReplies = false;
  Link link{std::make_unique<ScriptedLine>(line)};
  link.SetTiming({3, 1, 2000, 3000});
  std::vector<int> waits;
  link.SetSleeper([&](int ms) { waits.push_back(ms); });
  link.SetRepeatCount(4);
  ASSERT_EQ(link.OpenComPort("ttyS0", 9600), 0);
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"a scale's readings", [] {
         std::string s;
         while (s.size() < 100000) s += "ST,GS,+0001.250kg\r\n";
         return s;
       }()},
      {"frames that never end", std::string(100000, '\x01')},
      {"stray replies without end", [] {
         std::string s;
         while (s.size() < 100000) s += BuildReplyFrame(0x30, 0x80, "0000", "MODEL;", StatusBytes{});
         return s;
       }()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    line.written.clear();
    line.replies = {c.bytes};
    const ReplyRecord* r = link.ExecuteCommand(0x21, "482916;");
    EXPECT_TRUE(r->status & ST_NO_REPLY);
    EXPECT_EQ(r->linkFault, LinkFault::Flood);
    EXPECT_EQ(line.written.size(), 1u);
    EXPECT_LE(100000 - line.pending.size(), static_cast<std::size_t>(kFloodBytes) + 1);
    EXPECT_TRUE(waits.empty());
    std::string text;
    EXPECT_FALSE(GetErrorText(*r, text));
  }
}

// A converter that closes the connection: said at once, with no repeat on the dead socket; the
// next command connects again and first sends a filler that ends any frame the cut left in the
// device, then its own frame whole.
TEST(LinkBounds, AClosedConnectionIsSaidAtOnceAndTheNextCommandConnectsAgain) {
  ScriptedLine::Shared line;
  Link link{std::make_unique<ScriptedLine>(line)};
  link.SetTiming({50, 20, 2000, 3000});
  std::vector<int> waits;
  link.SetSleeper([&](int ms) { waits.push_back(ms); });
  link.SetRepeatCount(4);
  link.SetUsbLinkActive(true);
  ASSERT_EQ(link.OpenComPort("tcp://conv:4001", 9600), 0);
  // Half a reply, then the connection is gone.
  line.replies = {std::string("\x01\x37\x21\x21", 4)};
  line.loseWhenDrained = true;
  const auto t0 = std::chrono::steady_clock::now();
  const ReplyRecord* r = link.ExecuteCommand(0x21, "482916;");
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
  EXPECT_TRUE(r->status & ST_NO_REPLY);
  EXPECT_EQ(r->linkFault, LinkFault::Closed);
  EXPECT_EQ(line.written.size(), 1u);
  EXPECT_TRUE(waits.empty());

  line.replies = {"", BuildReplyFrame(0x22, 0x21, "0000", "111226;", StatusBytes{})};
  r = link.ExecuteCommand(0x21, "482916;");
  EXPECT_EQ(line.opens, 2);
  ASSERT_EQ(line.written.size(), 3u);
  EXPECT_EQ(line.written[1], std::string(kCutFillerBytes, '\0'));
  EXPECT_EQ(line.written[2], BuildRequestFrame(0x22, 0x21, "482916;"));
  EXPECT_EQ(r->field(1), "111226");
  EXPECT_EQ(r->linkFault, LinkFault::None);

  // A converter that cannot be reached again: nothing is sent, and the record says so.
  line.lost = true;
  line.openFails = true;
  line.written.clear();
  r = link.ExecuteCommand(0x21, "482916;");
  EXPECT_TRUE(line.written.empty());
  EXPECT_EQ(r->linkFault, LinkFault::NotConnected);
  EXPECT_TRUE(r->sentFrame.empty());
  line.openFails = false;
  line.replies = {"", BuildReplyFrame(0x23, 0x21, "0000", "111226;", StatusBytes{})};
  EXPECT_EQ(link.ExecuteCommand(0x21, "482916;")->field(1), "111226");

  // A frame the line refuses (a device file that vanished): nothing sent, said at once, and the
  // next frame goes after the filler, as a cut write may have left part of a frame behind.
  line.writeFails = true;
  const auto t1 = std::chrono::steady_clock::now();
  r = link.ExecuteCommand(0x21, "482916;");
  EXPECT_LT(std::chrono::steady_clock::now() - t1, std::chrono::milliseconds(500));
  EXPECT_TRUE(r->status & ST_NO_REPLY);
  EXPECT_TRUE(r->sentFrame.empty());
  line.writeFails = false;
  line.written.clear();
  line.replies = {"", BuildReplyFrame(0x25, 0x21, "0000", "111226;", StatusBytes{})};
  EXPECT_EQ(link.ExecuteCommand(0x21, "482916;")->field(1), "111226");
  ASSERT_EQ(line.written.size(), 2u);
  EXPECT_EQ(line.written[0], std::string(kCutFillerBytes, '\0'));
}

}  // namespace
}  // namespace kovrix
