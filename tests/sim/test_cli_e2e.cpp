// kovrix-cli, the built program, against the simulated registrator over a pseudo-terminal.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "sim/device_server.h"

namespace kovrix::sim {
namespace {

struct CliRun {
  int status = -1;
  std::string out;
};

// Starts kovrix-cli with the arguments in a working directory (empty: this one); answers the
// child's pid and the read end of its stdout.
std::pair<pid_t, int> StartCli(std::vector<std::string> args, const std::string& cwd = "") {
  args.insert(args.begin(), KOVRIX_CLI_PATH);
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return {-1, -1};
  const pid_t pid = fork();
  if (pid == 0) {
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
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
  return {pid, pipeFds[0]};
}

// Collects a started run's stdout and exit status.
CliRun Finish(std::pair<pid_t, int> started) {
  const auto [pid, fd] = started;
  CliRun r;
  if (pid < 0) return r;
  char buf[4096];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) r.out.append(buf, static_cast<std::size_t>(n));
  close(fd);
  int status = 0;
  waitpid(pid, &status, 0);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

// Runs kovrix-cli on the simulator's line with the arguments; answers its exit status and stdout.
CliRun Cli(const std::string& port, std::vector<std::string> args) {
  args.insert(args.begin(), {"-p", port, "-b", "115200"});
  return Finish(StartCli(std::move(args)));
}

class SimCliE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.start());
    // The runs keep their sequence state in a directory of this test's own.
    char dir[] = "/tmp/kovrix-cli-e2e-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    work = dir;
    setenv("XDG_STATE_HOME", (work / "state").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("XDG_STATE_HOME");
    std::filesystem::remove_all(work);
  }
  CliRun Json(std::vector<std::string> args) {
    args.insert(args.begin(), "--json");
    return Cli(server.slavePath(), std::move(args));
  }
  std::vector<JournalEntry> Journal() { return server.journal().Entries(); }

  DeviceServer server;
  std::filesystem::path work;
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

// A corrupted reply is repeated with the same SEQ: the device answers from its memory, so the
// command runs once and the run succeeds; only a reply corrupted on every repeat is a failure.
TEST_F(SimCliE2E, ABadChecksumIsRepeatedWithoutRunningTheCommandTwice) {
  server.faults().Queue(LineFault::BadChecksum);
  CliRun r = Json({"--repeats", "1", "call", "CashInOut", "482916", "0", "1.00"});
  EXPECT_EQ(r.status, 0) << r.out;
  auto entries = Journal();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].outcome, Outcome::Executed);
  EXPECT_EQ(entries[1].outcome, Outcome::Repeated);
  EXPECT_EQ(entries[0].seq, entries[1].seq);
  EXPECT_EQ(server.withDevice([](Registrator& d) { return d.state().cash; }), 100);

  server.faults().Queue(LineFault::BadChecksum, 2);
  r = Json({"--repeats", "1", "exec", "21", "482916;"});
  EXPECT_EQ(r.status, 2) << r.out;
  EXPECT_NE(r.out.find("\"badChecksum\":true"), std::string::npos) << r.out;
}

// Every run continues the port's sequence, so a command equal to the previous run's is executed
// again rather than answered from the device's repeat memory.
TEST_F(SimCliE2E, IdenticalCallsFromSeparateRunsAreAllExecuted) {
  for (int i = 0; i < 3; ++i) ASSERT_EQ(Json({"call", "CashInOut", "482916", "0", "1.00"}).status, 0);
  ASSERT_EQ(Json({"call", "OpenNonFiscalReceipt", "482916"}).status, 0);
  for (int i = 0; i < 2; ++i) ASSERT_EQ(Json({"call", "PrintText", "482916", "Рядок"}).status, 0);
  const auto entries = Journal();
  ASSERT_EQ(entries.size(), 6u);
  for (const JournalEntry& e : entries) EXPECT_EQ(e.outcome, Outcome::Executed) << Describe(e);
  EXPECT_NE(entries[0].seq, entries[1].seq);
  EXPECT_EQ(server.withDevice([](Registrator& d) { return d.state().cash; }), 300);
  int printed = 0;
  for (const std::string& line : server.tape()) printed += Cp1251ToUtf8(line).find("Рядок") != std::string::npos;
  EXPECT_EQ(printed, 2);

  // --seq-reset starts over at 21h: the device takes the frame for a repeat if it matches.
  const CliRun reset = Json({"--seq-reset", "exec", "21", "482916;"});
  EXPECT_EQ(reset.status, 0);
  EXPECT_EQ(Journal().back().seq, 0x21);
}

// Two runs on one port at once: the second waits for the first, and their frames never mix.
TEST_F(SimCliE2E, TwoRunsOnOnePortTakeTurns) {
  const auto script = [&](const std::string& name, const std::string& text) {
    std::ofstream(work / name) << "%DeclareBeg\n%DeclareEnd\n21482916;\n6E482916;0;1." << text
                               << ";\n21482916;\n6E482916;0;2." << text << ";\n21482916;\n";
    return (work / name).string();
  };
  const std::string a = script("a.txt", "11"), b = script("b.txt", "22");
  const auto runA = StartCli({"-p", server.slavePath(), "-b", "115200", "script", a, "--quiet"});
  const auto runB = StartCli({"-p", server.slavePath(), "-b", "115200", "script", b, "--quiet"});
  EXPECT_EQ(Finish(runA).status, 0);
  EXPECT_EQ(Finish(runB).status, 0);
  const auto entries = Journal();
  ASSERT_EQ(entries.size(), 10u);
  // Each run's five frames stand together.
  const auto runOf = [&](std::size_t i) { return entries[i / 5 * 5 + 1].data.substr(11); };
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].outcome, Outcome::Executed) << Describe(entries[i]);
    if (entries[i].command == 0x6E) {
      EXPECT_EQ(entries[i].data.substr(entries[i].data.size() - 3), runOf(i)) << i;
    }
  }
  EXPECT_EQ(server.withDevice([](Registrator& d) { return d.state().cash; }), 111 + 211 + 122 + 222);
}

// A port path of any length from fpinit.ini opens whole; codes below 20h are refused unsent.
TEST_F(SimCliE2E, APortPathFromTheInitialisationFileIsUsedWhole) {
  const std::filesystem::path link = work / "serial" / "by-id" / "usb-Simulated_Registrator_0123456789-if00";
  std::filesystem::create_directories(link.parent_path());
  std::filesystem::create_symlink(server.slavePath(), link);
  std::ofstream(work / "fpinit.ini") << "[Communication]\r\nPort=" << link.string() << "\r\nSpeed=115200\r\n";
  const CliRun r = Finish(StartCli({"--json", "exec", "21", "482916;"}, work.string()));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(Journal().size(), 1u);

  const CliRun low = Finish(StartCli({"exec", "10", "482916;"}, work.string()));
  EXPECT_EQ(low.status, 3);
  EXPECT_EQ(Journal().size(), 1u);
}

}  // namespace
}  // namespace kovrix::sim
