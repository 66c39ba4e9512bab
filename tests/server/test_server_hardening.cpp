// What the service takes from its start-up and from unknown clients: a long enough token, wrong
// tokens slowed per client address, a private session log, and configuration values within their
// ranges, from plain files only.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>

#include <filesystem>
#include <fstream>
#include <future>

#include "server/auth_throttle.h"
#include "server/options.h"
#include "server/registrators_config.h"
#include "server_fixture.h"

namespace kovrix::server {
namespace {

using namespace testing;
namespace fs = std::filesystem;
using Clock = AuthThrottle::Clock;
using std::chrono::seconds;

// --- tokens ----------------------------------------------------------------------------------

TEST(TokenRules, ATokenShorterThan16CharactersIsRefusedAtStart) {
  const std::string dir = MakeTestDirectory("kovrix-token");
  const std::string file = dir + "/token";
  for (const auto& [token, taken] : std::vector<std::pair<std::string, bool>>{
           {"0123456789abcde", false}, {"  0123456789abcde  ", false}, {"0123456789abcdef", true}}) {
    SCOPED_TRACE(token);
    std::ofstream(file) << token << "\nsecond line\n";
    ::chmod(file.c_str(), 0600);
    ServerOptions options;
    std::string error;
    EXPECT_EQ(ParseServerOptions({"--token-file", file, "--listen", "0.0.0.0:8720"}, options, error), taken);
    if (!taken) {
      EXPECT_NE(error.find(file), std::string::npos) << error;
      EXPECT_NE(error.find("the token must be at least 16 characters"), std::string::npos) << error;
    }
  }
  fs::remove_all(dir);
}

// The clock is the test's: lockouts double from the first one, per address, up to the longest.
TEST(AuthThrottleTest, LocksOutAnAddressAfterItsFreeTriesAndNoOtherOne) {
  AuthThrottle throttle(AuthThrottle::Limits{3, seconds(60), seconds(1), seconds(8), 4});
  const Clock::time_point t0{};
  auto at = [&](double s) { return t0 + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s)); };

  throttle.Failed("a", at(1));
  throttle.Failed("a", at(2));
  EXPECT_EQ(throttle.Wait("a", at(2)), seconds(0));
  throttle.Failed("a", at(3));                        // the third: locked for 1 s
  EXPECT_EQ(throttle.Wait("a", at(3.2)), seconds(1));  // rounded up
  EXPECT_EQ(throttle.Wait("b", at(3.2)), seconds(0));
  EXPECT_EQ(throttle.Wait("a", at(4)), seconds(0));
  const std::vector<std::pair<double, int>> lockouts = {{4, 2}, {6, 4}, {10, 8}, {18, 8}};  // doubling, then capped
  for (const auto& [when, length] : lockouts) {
    throttle.Failed("a", at(when));
    EXPECT_EQ(throttle.Wait("a", at(when)), seconds(length)) << when;
  }
  // The window counts from the end of the last lockout: 60 s after it the address starts over.
  throttle.Failed("a", at(26 + 61));
  EXPECT_EQ(throttle.Wait("a", at(26 + 61)), seconds(0));
  // The right token clears the count.
  throttle.Failed("a", at(88));
  throttle.Succeeded("a");
  throttle.Failed("a", at(89));
  throttle.Failed("a", at(89));
  EXPECT_EQ(throttle.Wait("a", at(89)), seconds(0));

  // Many addresses: the memory stays bounded and a new address is still counted.
  for (const char* address : {"c", "d", "e", "f", "g"})
    for (int i = 0; i < 3; ++i) throttle.Failed(address, at(100));
  EXPECT_EQ(throttle.Wait("g", at(100)), seconds(1));
}

class TokenThrottle : public ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    Shut();
    config.token = "the-right-token-0123";
    Serve();
  }
  RawAnswer Ask(const std::string& token, const char* from = "127.0.0.1") {
    const RawSocket fd = ConnectFrom(from, port());
    if (fd == kNoSocket) return {};
    SendRaw(fd, "GET /v1/device HTTP/1.1\r\n" + Host() + "Authorization: Bearer " + token +
                    "\r\nConnection: close\r\n\r\n");
    const auto answers = ReadAnswers(fd, 1);
    CloseRaw(fd);
    return answers.empty() ? RawAnswer{} : answers[0];
  }
};

TEST_F(TokenThrottle, WrongTokensFromOneAddressAreSlowedAndNobodyElse) {
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Ask("guess-" + std::to_string(i)).status, 401) << i;
  const RawAnswer locked = Ask("guess-5");
  EXPECT_EQ(locked.status, 429) << locked.body;
  EXPECT_NE((locked.head + "\r\n").find("Retry-After: 1\r\n"), std::string::npos) << locked.head;
  // While it is locked out no token from it is looked at: the right one would stand out.
  EXPECT_EQ(Ask(config.token).status, 429);
  // Another address, with the right token or a wrong one, is answered as ever.
  const RawSocket probe = ConnectFrom("127.0.0.2", port());
  if (probe == kNoSocket) GTEST_SKIP() << "no second loopback address to connect from";
  CloseRaw(probe);
  EXPECT_EQ(Ask(config.token, "127.0.0.2").status, 200);
  EXPECT_EQ(Ask("wrong", "127.0.0.2").status, 401);
  // The lockout of one second ends; the right token then clears the address's count.
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_EQ(Ask(config.token).status, 200);
  EXPECT_EQ(Ask("guess-6").status, 401);
  EXPECT_EQ(SentOf(0x80), 2u);  // the two right tokens only
}

// --- the session log -----------------------------------------------------------------------

#ifdef KOVRIX_SERVER_PROGRAM
class PrivateLog : public ServerFixture {};

// The program creates the log before serving (here for a second, then it is stopped), for its
// owner alone, whatever the umask; a log that exists is left as it is.
TEST_F(PrivateLog, TheSessionLogIsCreatedForItsOwnerAlone) {
  const std::string log = dir + "/session.log";
  const std::string kept = dir + "/kept.log";
  std::ofstream(kept) << "earlier\n";
  ::chmod(kept.c_str(), 0640);
  for (const std::string& file : {log, kept}) {
    const std::string command = "umask 000; timeout -s TERM 1 " + std::string(KOVRIX_SERVER_PROGRAM) + " -p " +
                                sim.slavePath() + " --log " + file + " --listen 127.0.0.1:0 >/dev/null 2>&1";
    EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 124);  // stopped by the time-out, not failed
  }
  struct stat made {};
  ASSERT_EQ(::stat(log.c_str(), &made), 0);
  EXPECT_EQ(made.st_mode & 07777, 0600u);
  struct stat left {};
  ASSERT_EQ(::stat(kept.c_str(), &left), 0);
  EXPECT_EQ(left.st_mode & 07777, 0640u);
}
#endif

// --- the configuration -----------------------------------------------------------------------

session::DeviceOptions Defaults() {
  session::DeviceOptions d;
  d.baud = 9600;
  d.repeats = 1;
  return d;
}

// Every value a file, --registrator or the plain options give is checked against its range, and
// a file's message names the file and the line.
TEST(ConfigValues, AreRangeCheckedWhereverTheyAreGiven) {
  const std::string a = "[registrator]\nid = a\nport = ttyS0\n";
  struct Case {
    std::string text;
    std::string says;  // empty: taken
  };
  const std::vector<Case> file = {
      {"\xEF\xBB\xBF" + a, ""},
      {a + "repeats = 100\nspeed = 115200\n", ""},
      {a + "repeats = 101\n", "shop.conf:4: repeats '101' is not a whole number from 0 to 100"},
      {a + "repeats = 99999999999\n", "shop.conf:4: repeats"},
      {a + "speed = 115201\n", "shop.conf:4: speed '115201' is not a line speed (110, 300,"},
      {a + "speed = -9600\n", "shop.conf:4: speed"},
      {"[registrator]\nid = a\nport = tcp://[::1:4001\n", "shop.conf:3: the port tcp://[::1:4001 is not a network port"},
      {"[registrator]\nid = a\nport = tcp://host:99999\n", "shop.conf:3: the port tcp://host:99999 is not a network port"},
      {"[registrator]\nid = a\nport = rfc2217://host\n", "shop.conf:3: the port rfc2217://host is not a network port"},
      {"[registrator]\nid = a\nport = tty\x01S0\n", "shop.conf:3: the value of 'port' holds a control character"},
      {"\xEF\xBB\xBF\xEF\xBB\xBF" + a, "shop.conf:1: expected KEY = VALUE"},
  };
  for (const Case& c : file) {
    SCOPED_TRACE(c.text);
    std::vector<RegistratorConfig> list;
    std::string error;
    EXPECT_EQ(ParseRegistratorsText(c.text, "shop.conf", Defaults(), list, error), c.says.empty()) << error;
    EXPECT_EQ(error.rfind(c.says, 0), 0u) << error;
  }

  const std::vector<std::pair<std::vector<std::string>, std::string>> options = {
      {{"-p", "ttyS0", "-b", "57600", "--repeats", "0"}, ""},
      {{"-p", "ttyS0", "--repeats", "101"}, "option --repeats: '101' is not a whole number from 0 to 100"},
      {{"-p", "ttyS0", "-b", "12345"}, "option --baud: '12345' is not a line speed (110, 300,"},
      {{"-p", "tcp://[::1:4001"}, "option --port: the port tcp://[::1:4001 is not a network port"},
      {{"-p", "tcp://[::1]:4001"}, ""},
      {{"--registrator", "a=tcp://[::1:4001"}, "option --registrator a: the port tcp://[::1:4001 is not a network port"},
      {{"--registrator", "a=ttyS0@12345"}, "option --registrator a: '12345' is not a line speed"},
  };
  for (const auto& [args, says] : options) {
    SCOPED_TRACE(::testing::PrintToString(args));
    ServerOptions parsed;
    std::string error;
    EXPECT_EQ(ParseServerOptions(args, parsed, error), says.empty()) << error;
    EXPECT_EQ(error.rfind(says, 0), 0u) << error;
  }
}

// A FIFO would make the read wait for a writer forever, a device feed it without end: anything
// but a plain file is refused at once, naming it.
TEST(ConfigValues, OnlyAPlainFileIsReadAsTheConfiguration) {
  const std::string dir = MakeTestDirectory("kovrix-config");
  const std::string fifo = dir + "/fifo.conf";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string plain = dir + "/shop.conf";
  std::ofstream(plain) << "\xEF\xBB\xBF[registrator]\r\nid = a\r\nport = ttyS0\r\n";
  const std::string link = dir + "/link.conf";
  fs::create_symlink(plain, link);
  for (const std::string& path : {fifo, dir, std::string("/dev/zero"), link}) {
    SCOPED_TRACE(path);
    auto run = std::async(std::launch::async, [path] {
      ServerOptions options;
      std::string error;
      const bool ok = ParseServerOptions({"--config", path}, options, error);
      return ok ? std::string() : error;
    });
    if (run.wait_for(std::chrono::seconds(3)) != std::future_status::ready) {
      ADD_FAILURE() << "the configuration read hangs";
      ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));  // lets a blocked open go on
    }
    const std::string error = run.get();
    if (path == link) {
      EXPECT_EQ(error, "");
    } else {
      EXPECT_EQ(error, path + ": not a plain file (a directory, FIFO or device); the configuration must be a file");
    }
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kovrix::server
