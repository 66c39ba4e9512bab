// kovrix-cli, the built program, against the simulated registrator over a pseudo-terminal.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "sim/device_server.h"

namespace kovrix::sim {
namespace {

struct CliRun {
  int status = -1;
  std::string out;
};

// Runs kovrix-cli on the simulator's line with the arguments; answers its exit status and stdout.
CliRun Cli(const std::string& port, std::vector<std::string> args) {
  args.insert(args.begin(), {KOVRIX_CLI_PATH, "-p", port, "-b", "115200"});
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    close(pipeFds[0]);
    close(pipeFds[1]);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(pipeFds[1]);
  CliRun r;
  char buf[4096];
  ssize_t n;
  while ((n = read(pipeFds[0], buf, sizeof buf)) > 0) r.out.append(buf, static_cast<std::size_t>(n));
  close(pipeFds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

class SimCliE2E : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server.start()); }
  CliRun Json(std::vector<std::string> args) {
    args.insert(args.begin(), "--json");
    return Cli(server.slavePath(), std::move(args));
  }
  DeviceServer server;
};

TEST_F(SimCliE2E, ExecAndCallReachTheDeviceAndReportItsAnswer) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::vector<std::string> shown;
  } cases[] = {
      {{"exec", "80", "482916;"}, 0, {"\"ok\":true", "\"fields\":[\"Veltra KR-23\",\"3.01\",\"KR230000001\""}},
      {{"call", "GetDiagnosticInfo", "482916"}, 0, {"\"error\":\"0000\"", "\"statusBytes\":[0,0,0,0,33,0]"}},
      {{"call", "OpenFiscalReceipt", "482916", "1", "1", "0"}, 0, {"\"statusBytes\":[0,0,1,0,33,16]"}},
      {{"exec", "a1", "482916;0;"}, 1, {"\"error\":\"000B\"", "\"ok\":false", "Неверное состояние документа!"}},
      {{"call", "Annulment", "482916", "0"}, 0, {"\"ok\":true"}},
      {{"exec", "99", "482916;"}, 1, {"\"error\":\"0002\"", "Нет команды с таким кодом!"}},
  };
  for (const Case& c : cases) {
    const CliRun r = Json(c.args);
    EXPECT_EQ(r.status, c.status) << c.args[1] << "\n" << r.out;
    for (const std::string& s : c.shown) EXPECT_NE(r.out.find(s), std::string::npos) << s << "\n" << r.out;
  }
  const auto entries = server.journal().Entries();
  ASSERT_EQ(entries.size(), 6u);
  EXPECT_EQ(entries[3].command, 0xA1);
  EXPECT_EQ(entries[3].data, "482916;0;");
}

TEST_F(SimCliE2E, TextsTravelInTheDeviceCodePageAndASaleCompletes) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"exec", "24", "482916;7;Кава лате;45.50;0;1;"},
           {"call", "OpenFiscalReceipt", "482916", "1", "1", "0"},
           {"call", "SellItemEx", "482916", "7", "45.50", "2"},
           {"call", "PrintText", "482916", "Дякуємо!"},
           {"call", "Payment", "482916", "0", "100"},
           {"call", "CloseFiscalReceipt", "482916", "0"},
       }) {
    const CliRun r = Json(args);
    ASSERT_EQ(r.status, 0) << args[1] << "\n" << r.out;
  }
  const DeviceState s = server.withDevice([](Registrator& r) { return r.state(); });
  EXPECT_EQ(s.receiptNumber, 1);
  EXPECT_EQ(s.cash, 9100);
  std::string tape;
  for (const std::string& line : server.tape()) tape += Cp1251ToUtf8(line) + "\n";
  EXPECT_NE(tape.find("Кава лате"), std::string::npos);
  EXPECT_NE(tape.find("Дякуємо!"), std::string::npos);
  EXPECT_NE(tape.find("РЕШТА"), std::string::npos);
}

TEST_F(SimCliE2E, ALinkFaultIsReportedWithItsExitStatus) {
  server.faults().Queue(LineFault::BadChecksum);
  const CliRun r = Json({"exec", "21", "482916;"});
  EXPECT_EQ(r.status, 2) << r.out;
  EXPECT_NE(r.out.find("\"badChecksum\":true"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace kovrix::sim
