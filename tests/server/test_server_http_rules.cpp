// The rules every request passes over HTTP, against the simulator: how a request is framed
// (Content-Length, pipelining, time), who may ask (Host, Origin, token) and how (method,
// Content-Type), what a body may hold, and how Idempotency-Key answers are kept.
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <fstream>

#include "server/options.h"
#include "server/request.h"
#include "server_fixture.h"

namespace kovrix::server {
namespace {

using namespace testing;
using nlohmann::json;
using Ms = std::chrono::milliseconds;

std::int64_t ElapsedMs(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - since).count();
}

class HttpRules : public ServerFixture {};

// Each is answered at once (no wait for more bytes or for the connection to close), and none
// sends anything but the report, which takes the missing body as an empty one.
TEST_F(HttpRules, FramingIsDecidedFromTheHeadAtOnce) {
  struct Case {
    const char* what;
    std::string head;  // after the request line and Host
    int status;
    const char* says;
  };
  const std::vector<Case> cases = {
      {"no Content-Length is an empty body", "Content-Type: application/json\r\n", 200, ""},
      {"no Content-Length where a body is needed", "Content-Type: application/json\r\n", 400, "not valid JSON"},
      {"negative Content-Length", "Content-Type: application/json\r\nContent-Length: -1\r\n", 400, "Content-Length"},
      {"Content-Length with a sign", "Content-Type: application/json\r\nContent-Length: +2\r\n", 400, "Content-Length"},
      {"two Content-Lengths", "Content-Type: application/json\r\nContent-Length: 2\r\nContent-Length: 3\r\n", 400,
       "twice"},
      {"a body over the limit", "Content-Type: application/json\r\nContent-Length: 99999999999\r\n", 413, "at most"},
      {"chunked", "Content-Type: application/json\r\nTransfer-Encoding: chunked\r\n", 411, "Content-Length"},
      {"a header line without a name", "Content-Type: application/json\r\n no-name\r\n", 400, "NAME: VALUE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim.journal().Clear();
    const std::string path = c.status == 200 ? "/v1/reports/x" : "/v1/cash";
    const auto start = std::chrono::steady_clock::now();
    const auto answers = Exchange(port(), "POST " + path + " HTTP/1.1\r\n" + Host() + c.head + "\r\n");
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].status, c.status) << answers[0].body;
    EXPECT_NE(answers[0].body.find(c.says), std::string::npos) << answers[0].body;
    EXPECT_LT(ElapsedMs(start), 1000);
    EXPECT_EQ(Sent() > 0, c.status == 200);
  }
}

// Requests written together before any answer are all answered, in order; a client that waits
// for 100 Continue gets it and then its answer.
TEST_F(HttpRules, PipelinedRequestsAreAllAnswered) {
  const std::string get = "GET /v1/device HTTP/1.1\r\n" + Host() + "\r\n";
  const std::string x = "POST /v1/reports/x HTTP/1.1\r\n" + Host() +
                        "Content-Type: application/json\r\nContent-Length: 2\r\n\r\n{}";
  const std::string last = "GET /v1/openapi.json HTTP/1.1\r\n" + Host() + "Connection: close\r\n\r\n";
  const auto answers = Exchange(port(), get + x + get + last, 4);
  ASSERT_EQ(answers.size(), 4u);
  for (const auto& a : answers) EXPECT_EQ(a.status, 200) << a.body;
  EXPECT_NE(answers[0].body.find("statusBytes"), std::string::npos);
  EXPECT_NE(answers[3].body.find("openapi"), std::string::npos);

  const RawSocket fd = ConnectTo(port());
  const std::string head = "POST /v1/cash HTTP/1.1\r\n" + Host() +
                           "Content-Type: application/json\r\nExpect: 100-continue\r\nContent-Length: 17\r\n\r\n";
  SendRaw(fd, head);
  ASSERT_TRUE(WaitReadable(fd, 2000));
  char buf[64] = {};
  const long n = ReceiveRaw(fd, buf, sizeof buf - 1);
  EXPECT_EQ(std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0), "HTTP/1.1 100 Continue\r\n\r\n");
  SendRaw(fd, R"({"amount":"5.00"})", 17);
  const auto cash = ReadAnswers(fd, 1);
  CloseRaw(fd);
  ASSERT_EQ(cash.size(), 1u);
  EXPECT_EQ(cash[0].status, 200) << cash[0].body;
}

// On a kept-alive connection each answer comes whole at once: its body does not wait for the
// client to acknowledge its head (the 40 ms of a delayed acknowledgement).
TEST_F(HttpRules, AKeptAliveConnectionIsAnsweredWithoutDelay) {
  const RawSocket fd = ConnectTo(port());
  const std::string get = "GET /v1/openapi.json HTTP/1.1\r\n" + Host() + "\r\n";
  std::vector<std::int64_t> times;
  for (int i = 0; i < 9; ++i) {
    const auto start = std::chrono::steady_clock::now();
    SendRaw(fd, get);
    ASSERT_EQ(ReadAnswers(fd, 1).size(), 1u);
    times.push_back(ElapsedMs(start));
  }
  CloseRaw(fd);
  std::sort(times.begin(), times.end());
  EXPECT_LT(times[4], 30);  // the median
}

// A client that sends a byte now and then holds its connection for the request's time at most,
// then gets 408; many of them, and idle keep-alive connections, do not hold up anyone else.
TEST_F(HttpRules, SlowAndIdleClientsDoNotHoldUpOthers) {
  Shut();
  config.limits.request = Ms(1000);
  config.limits.idle = Ms(300);
  Serve();

  std::atomic<bool> stop{false};
  std::vector<RawSocket> slow;
  for (int i = 0; i < 64; ++i) slow.push_back(ConnectTo(port()));
  std::thread trickle([&] {
    const std::string text = "GET /v1/device HTTP/1.1\r\n";
    for (std::size_t at = 0; !stop && at < text.size(); ++at) {
      for (const RawSocket fd : slow) SendRaw(fd, &text[at], 1);
      std::this_thread::sleep_for(Ms(30));
    }
  });
  std::this_thread::sleep_for(Ms(100));
  std::int64_t worst = 0;
  for (int i = 0; i < 3; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const auto answers = Exchange(port(), "GET /v1/device HTTP/1.1\r\n" + Host() + "Connection: close\r\n\r\n");
    worst = std::max(worst, ElapsedMs(start));
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].status, 200);
  }
  EXPECT_LT(worst, 500);  // far below the request limit that would free a worker anyway
  // The whole-request limit cuts the slow ones off.
  const auto cut = ReadAnswers(slow[0], 1, 2000);
  stop = true;
  trickle.join();
  ASSERT_EQ(cut.size(), 1u);
  EXPECT_EQ(cut[0].status, 408);
  for (const RawSocket fd : slow) CloseRaw(fd);

  // An idle keep-alive connection is closed after the idle time.
  const RawSocket idle = ConnectTo(port());
  const std::string get = "GET /v1/openapi.json HTTP/1.1\r\n" + Host() + "\r\n";
  SendRaw(idle, get);
  ASSERT_EQ(ReadAnswers(idle, 1).size(), 1u);
  const auto start = std::chrono::steady_clock::now();
  char byte = 0;
  EXPECT_EQ(ReceiveRaw(idle, &byte, 1), 0);  // closed by the service
  EXPECT_LT(ElapsedMs(start), 1500);
  CloseRaw(idle);
}

TEST_F(HttpRules, AWrongMethodOnAKnownPathIs405WithAllow) {
  struct Case {
    const char* method;
    const char* path;
    int status;
    const char* allow;
  };
  const std::vector<Case> cases = {
      {"GET", "/v1/receipts", 405, "POST"},        {"PUT", "/v1/cash", 405, "POST"},
      {"DELETE", "/v1/device", 405, "GET, HEAD"}, {"POST", "/v1/openapi.json", 405, "GET, HEAD"},
      {"GET", "/v1/nothing", 404, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.method) + " " + c.path);
    const auto answers = Exchange(port(), std::string(c.method) + " " + c.path + " HTTP/1.1\r\n" + Host() +
                                              "Content-Type: application/json\r\nContent-Length: 2\r\n\r\n{}");
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].status, c.status);
    if (*c.allow) {
      EXPECT_NE(answers[0].head.find(std::string("Allow: ") + c.allow + "\r"), std::string::npos);
    }
  }
  EXPECT_EQ(Sent(), 0u);
}

// What a page in a browser can send: a form posted as text/plain, a name of its own for the
// loopback address (DNS rebinding), its Origin. None of it reaches the registrator.
TEST_F(HttpRules, OnlyJsonFromThisHostAndNoWebPageUnlessAllowed) {
  Shut();
  config.allowedOrigins = {"http://pos.local:8080"};
  Serve();
  const std::string cash = R"({"amount":"5.00"})";
  const std::string json = "Content-Type: application/json\r\n";
  struct Case {
    const char* what;
    std::string headers;  // every header: Host, Origin, Content-Type
    int status;
    const char* says;
  };
  const std::string port = std::to_string(this->port());
  const std::vector<Case> refused = {
      {"a text/plain form", Host() + "Content-Type: text/plain\r\n", 415, "Content-Type: application/json"},
      {"no Content-Type", Host(), 415, "Content-Type: application/json"},
      {"a name of its own", "Host: evil.example:" + port + "\r\n" + json, 421, "evil.example"},
      {"a name that starts like a loopback address", "Host: 127.evil.invalid\r\n" + json, 421, "127.evil.invalid"},
      {"no Host", json, 400, "Host"},
      {"a web page", Host() + "Origin: http://evil.example\r\n" + json, 403, "--allow-origin http://evil.example"},
      {"the null origin", Host() + "Origin: null\r\n" + json, 403, "Origin"},
      {"an allowed origin on another port", Host() + "Origin: http://pos.local:8081\r\n" + json, 403, "Origin"},
  };
  for (const Case& c : refused) {
    SCOPED_TRACE(c.what);
    const auto answers = Exchange(this->port(), "POST /v1/cash HTTP/1.1\r\n" + c.headers + "Content-Length: " +
                                      std::to_string(cash.size()) + "\r\n\r\n" + cash);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].status, c.status);
    EXPECT_NE(answers[0].body.find(c.says), std::string::npos) << answers[0].body;
  }
  EXPECT_EQ(Sent(), 0u);

  const std::vector<std::string> accepted = {
      Host() + json,
      "Host: localhost:" + port + "\r\nContent-Type: Application/JSON; charset=utf-8\r\n",
      "Host: [::1]:" + port + "\r\n" + json,
      "Host: 127.0.0.2\r\n" + json,
      Host() + "Origin: http://POS.local:8080\r\n" + json,
  };
  for (const std::string& headers : accepted) {
    SCOPED_TRACE(headers);
    const auto answers = Exchange(this->port(), "POST /v1/cash HTTP/1.1\r\n" + headers + "Content-Length: " +
                                                    std::to_string(cash.size()) + "\r\n\r\n" + cash);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].status, 200) << answers[0].body;
  }

  // The allowed page's browser asks first, then reads the answer only when it is named in it.
  const std::size_t sent = Sent();
  const auto preflight = Exchange(this->port(), "OPTIONS /v1/cash HTTP/1.1\r\n" + Host() +
                                                    "Origin: http://pos.local:8080\r\n"
                                                    "Access-Control-Request-Method: POST\r\n\r\n");
  ASSERT_EQ(preflight.size(), 1u);
  EXPECT_EQ(preflight[0].status, 204);
  EXPECT_NE(preflight[0].head.find("Access-Control-Allow-Origin: http://pos.local:8080"), std::string::npos);
  EXPECT_NE(preflight[0].head.find("Access-Control-Allow-Headers: Content-Type"), std::string::npos);
  EXPECT_EQ(Sent(), sent);
  const auto page = Exchange(this->port(), "POST /v1/cash HTTP/1.1\r\n" + Host() + "Origin: http://pos.local:8080\r\n" +
                                               json + "Content-Length: " + std::to_string(cash.size()) + "\r\n\r\n" + cash);
  ASSERT_EQ(page.size(), 1u);
  EXPECT_EQ(page[0].status, 200);
  EXPECT_NE(page[0].head.find("Access-Control-Allow-Origin: http://pos.local:8080"), std::string::npos);
}

TEST(LoopbackRule, ParsesTheAddress) {
  const std::vector<std::pair<const char*, bool>> cases = {
      {"127.0.0.1", true},        {"127.200.3.4", true},    {"localhost", true},     {"LocalHost", true},
      {"::1", true},              {"[::1]", true},          {"::ffff:127.0.0.1", true},
      {"127.evil.invalid", false}, {"127.0.0.1.nip.io", false}, {"128.0.0.1", false}, {"0.0.0.0", false},
      {"::", false},              {"", false},              {"127.1", false},
  };
  for (const auto& [host, loopback] : cases) EXPECT_EQ(IsLoopback(host), loopback) << host;

  ServerOptions options;
  std::string error;
  EXPECT_FALSE(ParseServerOptions({"--listen", "127.evil.invalid:8720"}, options, error));
  EXPECT_NE(error.find("needs --token-file"), std::string::npos) << error;
}

TEST_F(HttpRules, TheBearerSchemeInAnyCaseAndAPrivateTokenFile) {
  Shut();
  config.token = "s3cret";
  Serve();
  const std::vector<std::pair<std::string, int>> cases = {
      {"Bearer s3cret", 200}, {"bearer s3cret", 200}, {"BEARER s3cret", 200}, {"Basic s3cret", 401},
      {"Bearers3cret", 401},  {"bearer s3cre", 401},  {"s3cret", 401},
  };
  for (const auto& [authorization, status] : cases) {
    const auto answers = Exchange(port(), "GET /v1/openapi.json HTTP/1.1\r\n" + Host() + "Authorization: " +
                                              authorization + "\r\n\r\n");
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].status, status) << authorization;
  }

  const std::string file = dir + "/token";
  std::ofstream(file) << "s3cret-s3cret-42\n";
  for (const mode_t mode : {0644, 0640, 0604, 0660}) {
    ::chmod(file.c_str(), mode);
    ServerOptions options;
    std::string error;
    EXPECT_FALSE(ParseServerOptions({"--token-file", file}, options, error)) << mode;
    EXPECT_NE(error.find(file), std::string::npos) << error;
    EXPECT_NE(error.find("chmod 600 " + file), std::string::npos) << error;
  }
  ::chmod(file.c_str(), 0600);
  ServerOptions options;
  std::string error;
  ASSERT_TRUE(ParseServerOptions({"--token-file", file, "--listen", "0.0.0.0:8720", "--allow-origin",
                                  "http://a.example", "--allow-origin=https://b.example:8443"},
                                 options, error))
      << error;
  EXPECT_EQ(options.config.token, "s3cret-s3cret-42");
  EXPECT_EQ(options.config.allowedOrigins, (std::vector<std::string>{"http://a.example", "https://b.example:8443"}));
  EXPECT_FALSE(ParseServerOptions({"--allow-origin", "*"}, options, error));
}

// Nesting is refused on the text, before anything walks a tree: a body nested 100,000 deep
// (well under the size limit) is a 400, not a crash. Brackets inside texts do not count.
TEST_F(HttpRules, DeepNestingIs400BeforeParsing) {
  const std::string deep = R"({"lines":[],"x":)" + std::string(100000, '[') + std::string(100000, ']') + "}";
  const auto answers = Exchange(port(), PostText("/v1/non-fiscal", deep));
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0].status, 400);
  EXPECT_NE(answers[0].body.find("deeper than 32"), std::string::npos) << answers[0].body;

  auto nested = [](std::size_t depth) {  // the body object is the first level
    return R"({"x":)" + std::string(depth - 1, '[') + std::string(depth - 1, ']') + "}";
  };
  EXPECT_NO_THROW(ParseBody(nested(32)));
  EXPECT_THROW(ParseBody(nested(33)), BadRequest);
  EXPECT_NO_THROW(ParseBody(R"({"a":")" + std::string(100, '[') + R"(\"[[[","b":{"c":[{}]}})"));
  EXPECT_THROW(CheckNesting(R"(["\\"])" + std::string(40, '['), 32), BadRequest);
  EXPECT_EQ(Sent(), 0u);
}

TEST_F(HttpRules, BodiesTheRegistratorWouldMangleAre400) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"/v1/commands", R"({"command":"21","data":"482916;\u0002"})"},
      {"/v1/commands", R"({"command":"21","data":"482916;\u0000"})"},
      {"/v1/commands", R"({"command":"21","data":"482916;\n"})"},
      {"/v1/commands", R"({"command":"21","data":"482916;\u007f"})"},
      {"/v1/commands", R"({"command":"21","data":"482916;中"})"},
      {"/v1/receipts", R"({"items":[{"code":1,"name":"A","price":"1.00","taxGroup":0,"quantity":1}],
        "discountPercent":"-5.00","discountAmount":"-1.00","payments":[{"type":0,"amount":"1.00"}]})"},
  };
  for (const auto& [path, body] : cases) {
    const auto answers = Exchange(port(), PostText(path, body));
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].status, 400) << body << "\n" << answers[0].body;
  }
  EXPECT_EQ(Sent(), 0u);
  // The code page's own letters and the field separator still go through.
  const auto ok = Exchange(port(), PostText("/v1/commands", R"({"command":"21","data":"482916;"})"));
  ASSERT_EQ(ok.size(), 1u);
  EXPECT_EQ(ok[0].status, 200) << ok[0].body;
}

TEST_F(HttpRules, IdempotencyKeysOfAnyLengthAreKeptPrivately) {
  const std::string cash = R"({"amount":"5.00"})";
  for (const std::size_t length : {1u, 64u, 121u, 128u}) {
    SCOPED_TRACE(length);
    sim.journal().Clear();
    const std::string key = "Idempotency-Key: " + std::string(length, 'k') + "\r\n";
    for (int attempt = 0; attempt < 2; ++attempt) {
      const auto answers = Exchange(port(), PostText("/v1/cash", cash, key));
      ASSERT_EQ(answers.size(), 1u);
      EXPECT_EQ(answers[0].status, 200) << answers[0].body;
      EXPECT_EQ(answers[0].head.find("Idempotent-Replayed: true") != std::string::npos, attempt == 1);
    }
    EXPECT_EQ(Sent(), 1u);  // the cash in once
  }
  EXPECT_TRUE(OwnerOnlyDirectory(config.answersDirectory));
  std::size_t files = 0;
  for (const auto& e : std::filesystem::directory_iterator(config.answersDirectory)) {
    EXPECT_TRUE(OwnerOnlyFile(e.path())) << e.path();
    EXPECT_EQ(e.path().filename().string().size(), 64u + 5u) << e.path();
    ++files;
  }
  EXPECT_EQ(files, 4u);

  // An empty key is a bad key, not no key.
  sim.journal().Clear();
  const auto empty = Exchange(port(), PostText("/v1/cash", cash, "Idempotency-Key:\r\n"));
  ASSERT_EQ(empty.size(), 1u);
  EXPECT_EQ(empty[0].status, 400);
  EXPECT_NE(empty[0].body.find("Idempotency-Key"), std::string::npos);
  EXPECT_EQ(Sent(), 0u);
}

// A key whose answer could not be kept would let its retry run again: 503, nothing sent.
TEST_F(HttpRules, AKeyThatCannotBeStoredStopsTheRequest) {
  Shut();
  std::ofstream(dir + "/plain-file") << "x";
  config.answersDirectory = dir + "/plain-file/answers";
  Serve();
  const auto answers =
      Exchange(port(), PostText("/v1/cash", R"({"amount":"5.00"})", "Idempotency-Key: order-1\r\n"));
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0].status, 503);
  EXPECT_NE(answers[0].body.find("cannot be stored"), std::string::npos) << answers[0].body;
  EXPECT_EQ(Sent(), 0u);
  // Without a key the request runs as ever.
  EXPECT_EQ(Exchange(port(), PostText("/v1/cash", R"({"amount":"5.00"})"))[0].status, 200);
}

// The key is written down as unfinished before anything is sent, with the request's number. When
// the real answer then cannot be kept, a retry finds the unfinished note and, by its number, the
// outcome the journal kept: printed, and not printed a second time.
TEST_F(HttpRules, AnAnswerThatCouldNotBeKeptNeverLetsTheRetryPrintAgain) {
  sim.setPace(9600);  // slow enough to swap the directory while the receipt prints
  const std::string receipt = R"({"items":[{"code":7,"name":"Хліб","price":"1.00","taxGroup":0,"quantity":1}],
    "payments":[{"type":0,"amount":"1.00"}]})";
  const std::string key = "Idempotency-Key: order-77\r\n";
  std::vector<RawAnswer> first;
  std::thread request([&] { first = Exchange(port(), PostText("/v1/receipts", receipt, key), 1, 20000); });
  const std::string answers = config.answersDirectory;
  for (int i = 0; i < 2000 && Sent() == 0; ++i) std::this_thread::sleep_for(Ms(1));
  ASSERT_GT(Sent(), 0u);
  std::filesystem::rename(answers, answers + ".away");
  std::ofstream(answers) << "not a directory";
  request.join();
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].status, 200) << first[0].body;
  std::filesystem::remove(answers);
  std::filesystem::rename(answers + ".away", answers);

  const auto retry = Exchange(port(), PostText("/v1/receipts", receipt, key), 1, 20000);
  ASSERT_EQ(retry.size(), 1u);
  EXPECT_EQ(retry[0].status, 200) << retry[0].body;
  EXPECT_EQ(json::parse(retry[0].body, nullptr, false).value("outcome", ""), "printed") << retry[0].body;
  EXPECT_EQ(SentOf(0x63), 1u);
}

#ifdef KOVRIX_SERVER_PROGRAM
TEST(ServerProgram, PrintsItsVersionAndUsage) {
  auto run = [](const std::string& args) {
    std::string out;
    FILE* p = ::popen((std::string(KOVRIX_SERVER_PROGRAM) + " " + args).c_str(), "r");
    char buf[256];
    while (p && std::fgets(buf, sizeof buf, p)) out += buf;
    if (p) ::pclose(p);
    return out;
  };
  const std::string version = run("--version");
  EXPECT_EQ(version.rfind("kovrix-server ", 0), 0u) << version;
  EXPECT_EQ(version.back(), '\n');
  const std::string usage = run("--help");
  for (const char* option : {"--allow-origin", "--token-file", "--listen", "--version"})
    EXPECT_NE(usage.find(option), std::string::npos) << option;
}
#endif

}  // namespace
}  // namespace kovrix::server

