// kovrix-cli and kovrix-server, the built programs, with their port a converter on the network:
// ser2net serving the simulated registrator's pseudo-terminal on a loopback port.

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>
#include <filesystem>

#include <httplib.h>

#include "driver/codepage.h"
#include "sim/device_server.h"
#include "support/ser2net_bridge.h"

namespace kovrix::sim {
namespace {

using Mode = test::Ser2netBridge::Mode;

struct ProgramRun {
  int status = -1;
  std::string out;
  std::string err;
};

// In a child just forked: becomes the program args[0] with the arguments (exit status 127 when it
// cannot be run).
[[noreturn]] void Exec(std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

// Runs the program to its end; answers its exit status, stdout and stderr.
ProgramRun RunProgram(std::vector<std::string> args) {
  int out[2], err[2];
  ProgramRun r;
  if (pipe(out) != 0 || pipe(err) != 0) return r;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    for (const int fd : {out[0], out[1], err[0], err[1]}) close(fd);
    Exec(args);
  }
  close(out[1]);
  close(err[1]);
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* into[2] = {&r.out, &r.err};
  int open = 2;
  while (open > 0 && ::poll(fds, 2, 10000) > 0) {
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      char buf[4096];
      const ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        into[i]->append(buf, static_cast<std::size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  for (const pollfd& p : fds) {
    if (p.fd >= 0) close(p.fd);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

class Ser2netPrograms : public ::testing::Test {
 protected:
  void SetUp() override {
    if (test::Ser2netBridge::Program().empty()) GTEST_SKIP() << test::Ser2netBridge::kMissing;
    char tmpl[] = "/tmp/kovrix-ser2net-programs-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    work = tmpl;
    setenv("XDG_STATE_HOME", (work / "state").c_str(), 1);
    ASSERT_TRUE(server.start());
  }
  void TearDown() override {
    bridge.Stop();
    server.stop();
    unsetenv("XDG_STATE_HOME");
    if (!work.empty()) std::filesystem::remove_all(work);
  }
  ProgramRun Cli(const std::string& port, std::vector<std::string> args) {
    args.insert(args.begin(), {KOVRIX_CLI_PATH, "-p", port, "-b", "115200"});
    return RunProgram(std::move(args));
  }

  /// Starts kovrix-server with the arguments on a free loopback port (servicePort); answers its pid.
  pid_t StartService(std::vector<std::string> args) {
    args.insert(args.begin(), KOVRIX_SERVER_PROGRAM);
    for (const char* more : {"--listen", "127.0.0.1:0"}) args.push_back(more);
    int out[2];
    if (pipe(out) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      Exec(args);
    }
    close(out[1]);
    std::string line;
    char c = 0;
    while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
    close(out[0]);
    EXPECT_EQ(line.rfind("listening on http://127.0.0.1:", 0), 0u) << line;
    if (line.rfind("listening on http://127.0.0.1:", 0) != 0) return -1;
    servicePort = std::stoi(line.substr(line.rfind(':') + 1));
    return pid;
  }

  std::filesystem::path work;
  int servicePort = 0;
  DeviceServer server;
  test::Ser2netBridge bridge;
};

// Runs of kovrix-cli through the converter, raw and RFC 2217: each continues the sequence the
// previous run kept for the converter's host:port, so identical commands from separate runs all
// execute.
TEST_F(Ser2netPrograms, CliRunsReachTheRegistratorAndKeepTheSequencePerHostAndPort) {
  for (const Mode mode : {Mode::Raw, Mode::Rfc2217}) {
    SCOPED_TRACE(mode == Mode::Raw ? "raw" : "rfc2217");
    ASSERT_TRUE(bridge.Start(server.slavePath(), mode)) << bridge.why();
    const std::string kept = "tcp:%2F%2F127.0.0.1:" + std::to_string(bridge.port()) + ".seq";
    for (int i = 0; i < 2; ++i) {
      const ProgramRun r = Cli(bridge.PortName(), {"--json", "call", "CashInOut", "482916", "0", "1.00"});
      EXPECT_EQ(r.status, 0) << r.out << r.err;
      EXPECT_NE(r.out.find("\"ok\":true"), std::string::npos) << r.out;
      EXPECT_EQ(r.err, "");
    }
    const ProgramRun text = Cli(bridge.PortName(), {"exec", "80", "482916;"});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("KR230000001"), std::string::npos) << text.out;
    EXPECT_TRUE(std::filesystem::exists(work / "state" / "kovrix" / kept)) << kept;
    bridge.Stop();
  }
  const auto entries = server.journal().Entries();
  ASSERT_EQ(entries.size(), 6u);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].outcome, Outcome::Executed) << Describe(entries[i]);
    if (i > 0) {
      EXPECT_NE(entries[i].seq, entries[i - 1].seq) << i;
    }
  }
  EXPECT_EQ(server.withDevice([](Registrator& d) { return d.state().cash; }), 400);
}

TEST_F(Ser2netPrograms, ACliRunWithoutAConverterExitsThreeAndSaysWhy) {
  ASSERT_TRUE(bridge.Start(server.slavePath(), Mode::Raw)) << bridge.why();
  const std::string port = bridge.PortName();
  bridge.Stop();
  const ProgramRun r = Cli(port, {"exec", "21", "482916;"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, "kovrix-cli: cannot connect to " + port.substr(6) + ": connection refused\n");
  EXPECT_EQ(server.journal().Size(), 0u);
}

// kovrix-server with -p naming the converter: a whole receipt goes through it.
TEST_F(Ser2netPrograms, TheServicePrintsAReceiptThroughTheConverter) {
  ASSERT_TRUE(bridge.Start(server.slavePath(), Mode::Raw)) << bridge.why();
  const pid_t pid = StartService({"-p", bridge.PortName(), "-b", "115200"});
  ASSERT_GT(pid, 0);
  httplib::Client client("127.0.0.1", servicePort);
  client.set_read_timeout(20, 0);
  const auto res = client.Post("/v1/receipts", R"({"items":[
    {"code":101,"name":"Хліб","price":"10.00","taxGroup":0,"quantity":"2.000"}],
    "payments":[{"type":0,"amount":"20.00"}]})", "application/json");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200) << res->body;
  EXPECT_NE(res->body.find("\"total\":\"20.00\""), std::string::npos) << res->body;
  kill(pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
  std::string tape;
  for (const std::string& printed : server.tape()) tape += Cp1251ToUtf8(printed) + "\n";
  for (const char* printed : {"Хліб", "2.000 x 10.00", "20.00"}) EXPECT_NE(tape.find(printed), std::string::npos) << tape;
}

// A stop request while a request hangs on a frozen converter: the service answers that request
// when its own bound ends (one silence, no repeats here) and then exits 0; the stop does not wait
// for the converter, and nothing is held past the request.
TEST_F(Ser2netPrograms, AStopDuringAHungRequestEndsWithThatRequest) {
  ASSERT_TRUE(bridge.Start(server.slavePath(), Mode::Raw)) << bridge.why();
  const pid_t pid = StartService({"-p", bridge.PortName(), "-b", "115200", "--repeats", "0"});
  ASSERT_GT(pid, 0);
  bridge.Freeze();
  std::optional<httplib::Result> answer;
  std::thread asking([&] {
    httplib::Client client("127.0.0.1", servicePort);
    client.set_read_timeout(30, 0);
    answer = client.Post("/v1/commands", R"({"command":"21","data":"482916;"})", "application/json");
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const auto stopAt = std::chrono::steady_clock::now();
  kill(pid, SIGTERM);
  int status = 0;
  pid_t ended = 0;
  while ((ended = waitpid(pid, &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() - stopAt < std::chrono::seconds(15)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - stopAt);
  if (ended == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  asking.join();
  bridge.Thaw();
  ASSERT_EQ(ended, pid) << "still running " << took.count() << " ms after the stop request";
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
  // The default silence is 5 s; the stop came 0.3 s into it.
  EXPECT_LT(took.count(), 7000);
  ASSERT_TRUE(answer.has_value() && *answer);
  EXPECT_EQ((*answer)->status, 504) << (*answer)->body;
}

}  // namespace
}  // namespace kovrix::sim
