// Strict framing over a real socket: a request head that some HTTP reader would take another way
// than this one (a blank before a colon, a control byte or separator in a name, a bare LF or CR,
// a folded line, two Hosts) is refused with 400 at once and its connection closed, so that a
// request hidden in its body never runs.
#include <future>

#include "server_fixture.h"

namespace kovrix::server {
namespace {

using namespace testing;
using Ms = std::chrono::milliseconds;

class StrictFraming : public ServerFixture {
 protected:
  struct Seen {
    std::vector<RawAnswer> answers;  // the answers before the connection closed
    std::int64_t firstMs = -1;        // when the first one came
    bool closed = false;              // closed by the service after them
  };

  // Sends the bytes in one write, reads `count` answers and whatever else comes until the service
  // closes.
  Seen Send(const std::string& bytes, std::size_t count = 1) {
    Seen seen;
    const RawSocket fd = ConnectTo(port());
    if (fd == kNoSocket) return seen;
    const auto start = std::chrono::steady_clock::now();
    SendRaw(fd, bytes);
    seen.answers = ReadAnswers(fd, count, 3000);
    seen.firstMs = std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - start).count();
    for (const RawAnswer& more : ReadAnswers(fd, 1, 3000)) seen.answers.push_back(more);
    char byte = 0;
    seen.closed = WaitReadable(fd, 100) && ReceiveRaw(fd, &byte, 1) == 0;
    CloseRaw(fd);
    return seen;
  }

  // An X report: it prints, so the simulator's journal and tape show whether it ran.
  std::string Hidden() const {
    return "POST /v1/reports/x HTTP/1.1\r\n" + Host() + "Content-Type: application/json\r\nContent-Length: 0\r\n\r\n";
  }
};

TEST_F(StrictFraming, AMalformedHeadIs400AtOnceAndNothingBehindItRuns) {
  const std::string hidden = Hidden();
  const std::string n = std::to_string(hidden.size());
  const std::string start = "POST /v1/reports/z HTTP/1.1\r\n" + Host() + "Content-Type: application/json\r\n";
  struct Case {
    const char* what;
    std::string bytes;
    const char* says;
  };
  const std::vector<Case> cases = {
      {"a blank before the colon of Content-Length", start + "Content-Length : " + n + "\r\n\r\n" + hidden,
       "blank stands between"},
      {"a tab before the colon", start + "Content-Length\t: " + n + "\r\n\r\n" + hidden, "blank stands between"},
      {"a blank before the colon of Transfer-Encoding",
       start + "Transfer-Encoding : chunked\r\n\r\n" + std::to_string(hidden.size()) + "\r\n" + hidden + "\r\n0\r\n\r\n",
       "blank stands between"},
      {"NUL in a name", start + std::string("X-A\0b: 1\r\n", 11) + "Content-Length: " + n + "\r\n\r\n" + hidden,
       "header name"},
      {"a control byte in a name", start + "Content\x01Length: " + n + "\r\n\r\n" + hidden, "header name"},
      {"a separator in a name", start + "Content/Length: " + n + "\r\n\r\n" + hidden, "header name"},
      {"a control byte in a value", start + "X-Note: a\x01" "b\r\nContent-Length: " + n + "\r\n\r\n" + hidden,
       "control byte"},
      {"a request line ending in a bare LF",
       "POST /v1/reports/z HTTP/1.1\n" + Host() + "Content-Length: " + n + "\r\n\r\n" + hidden, "bare LF"},
      {"headers ending in bare LFs",
       "POST /v1/reports/z HTTP/1.1\r\nHost: 127.0.0.1\nContent-Length: " + n + "\n\n" + hidden, "bare LF"},
      {"a bare CR between headers", start + "X-Note: 1\rContent-Length: " + n + "\r\n\r\n" + hidden, "bare CR"},
      {"a length folded onto the next line", start + "Content-Length:\r\n " + n + "\r\n\r\n" + hidden,
       "obsolete line folding"},
      {"a folded value", start + "X-Note: a\r\n\tb\r\nContent-Length: " + n + "\r\n\r\n" + hidden,
       "obsolete line folding"},
      {"two Hosts", start + "Host: evil.example\r\nContent-Length: " + n + "\r\n\r\n" + hidden, "Host"},
      {"two spaces in the request line", "POST  /v1/reports/z HTTP/1.1\r\n" + Host() + "\r\n" + hidden,
       "request line"},
      {"an unknown protocol version", "POST /v1/reports/z HTTP/1.2\r\n" + Host() + "\r\n" + hidden, "request line"},
      // The head never ends: the bad line is refused all the same, without waiting for the rest.
      {"an unfinished head", start + "Content-Length : 5\r\n", "blank stands between"},
  };
  // Every case waits out the service's short linger before its connection closes: all at once.
  std::vector<std::future<Seen>> runs;
  for (const Case& c : cases) runs.push_back(std::async(std::launch::async, [this, &c] { return Send(c.bytes); }));
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].what);
    const Seen seen = runs[i].get();
    ASSERT_EQ(seen.answers.size(), 1u);
    EXPECT_EQ(seen.answers[0].status, 400) << seen.answers[0].body;
    EXPECT_NE(seen.answers[0].body.find(cases[i].says), std::string::npos) << seen.answers[0].body;
    EXPECT_NE(seen.answers[0].head.find("Connection: close"), std::string::npos);
    EXPECT_LT(seen.firstMs, 1000);
    EXPECT_TRUE(seen.closed);
  }
  EXPECT_EQ(Commands(), std::vector<std::string>{});
  EXPECT_EQ(Tape(), "");
}

// What the rules leave alone: a name in any case right before its colon, no blank after the
// colon, a tab and 8-bit bytes in a value, requests written together.
TEST_F(StrictFraming, WellFormedVariationsStillRun) {
  const std::string head = "POST /v1/reports/x HTTP/1.1\r\n" + Host() +
                           "content-type:application/json\r\nX-Note: a\tb \xC3\xBC\r\nCONTENT-LENGTH:2\r\n\r\n{}";
  const Seen seen = Send(head + Hidden() + "GET /v1/device HTTP/1.0\r\n" + Host() + "Connection: close\r\n\r\n", 3);
  ASSERT_EQ(seen.answers.size(), 3u);
  for (const RawAnswer& a : seen.answers) EXPECT_EQ(a.status, 200) << a.body;
  EXPECT_EQ(SentOf(0xA1), 2u) << ::testing::PrintToString(Commands());
}

TEST(HeadChecker, RefusesALineAsSoonAsItIsWhole) {
  HeadChecker checker;
  std::string bytes = "POST /v1/cash HTTP/1.1\r\nHost: 127.0.0.1\r";
  EXPECT_EQ(checker.Check(bytes), HeadChecker::State::Incomplete);  // the CR may still get its LF
  bytes += "\nContent-Length : 5";
  EXPECT_EQ(checker.Check(bytes), HeadChecker::State::Incomplete);
  bytes += "\r\n";
  EXPECT_EQ(checker.Check(bytes), HeadChecker::State::Malformed);
  EXPECT_NE(checker.problem().find("blank"), std::string::npos);

  HeadChecker whole;
  const std::string head = "GET / HTTP/1.1\r\nHost: a\r\n\r\nbody";
  EXPECT_EQ(whole.Check(head), HeadChecker::State::Whole);
  EXPECT_EQ(whole.headEnd(), head.find("\r\n\r\n"));
}

}  // namespace
}  // namespace kovrix::server
