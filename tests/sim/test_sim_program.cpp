// kovrix-sim, the built program: it announces its lines, serves until SIGTERM, exits 0, and
// keeps its device state in the state file between runs.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "driver/link.h"

namespace kovrix {
namespace {

class SimProgram {
 public:
  explicit SimProgram(std::vector<std::string> args) {
    args.insert(args.begin(), KOVRIX_SIM_PATH);
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(fds[1], STDOUT_FILENO);
      close(fds[0]);
      close(fds[1]);
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(fds[1]);
    out_ = fdopen(fds[0], "r");
  }
  ~SimProgram() {
    if (out_ != nullptr) fclose(out_);
    if (pid_ > 0 && !stopped_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  /// Answers the next announced line of stdout without its end, empty at the end.
  std::string Line() {
    char buf[512];
    if (out_ == nullptr || fgets(buf, sizeof buf, out_) == nullptr) return {};
    std::string line(buf);
    if (!line.empty() && line.back() == '\n') line.pop_back();
    return line;
  }
  /// Sends SIGTERM and answers the exit status.
  int Stop() {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    stopped_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  FILE* out_ = nullptr;
  bool stopped_ = false;
};

bool IsLink(const std::string& path) {
  struct stat st{};
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

TEST(SimProgramRun, AFiscalisedDeviceStaysFiscalisedBetweenRuns) {
  const std::string dir = ::testing::TempDir();
  const std::string tag = std::to_string(getpid());
  const std::string link = dir + "kovrix_sim_test_line" + tag;
  const std::string state = dir + "kovrix_sim_test_state" + tag;
  const std::string tape = dir + "kovrix_sim_test_tape" + tag;
  std::remove(state.c_str());
  std::remove(tape.c_str());
  const std::vector<std::string> args = {"--link", link, "--state", state, "--tape", tape, "--model", "Veltra KR-12"};
  {
    SimProgram sim(args);
    ASSERT_EQ(sim.Line().rfind("registrator: /dev/", 0), 0u);
    ASSERT_EQ(sim.Line().rfind("terminal: /dev/", 0), 0u);
    ASSERT_TRUE(IsLink(link));
    Link host(MakeSystemSerialLine());
    ASSERT_EQ(host.OpenComPort(link, 115200), 0);
    EXPECT_EQ(host.ExecuteCommand(0xA1, "482916;1;")->errorText, "0000");
    // Fiscalisation restarts the registrator: it is the last command of this run.
    EXPECT_EQ(host.ExecuteCommand(0x40, "482916;KR120000001;123456;")->errorText, "0000");
    host.CloseComPort();
    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_FALSE(IsLink(link));
  }
  {
    SimProgram sim({"--link", link, "--state", state});
    ASSERT_EQ(sim.Line().rfind("registrator: ", 0), 0u);
    Link host(MakeSystemSerialLine());
    ASSERT_EQ(host.OpenComPort(link, 115200), 0);
    const ReplyRecord* diag = host.ExecuteCommand(0x80, "482916;");
    EXPECT_EQ(diag->field(1), "Veltra KR-12");
    EXPECT_EQ(diag->statusBytes[4] & 0x02, 0x02);
    host.CloseComPort();
    EXPECT_EQ(sim.Stop(), 0);
  }
  FILE* f = std::fopen(tape.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  char buf[4096];
  const std::size_t n = std::fread(buf, 1, sizeof buf, f);
  std::fclose(f);
  EXPECT_NE(std::string(buf, n).find("X-"), std::string::npos);
  std::remove(state.c_str());
  std::remove(tape.c_str());
}

TEST(SimProgramRun, OnALoopbackTcpPortItAnnouncesTheNetworkPort) {
  SimProgram sim({"--tcp", "0"});
  const std::string line = sim.Line();
  EXPECT_EQ(line.rfind("registrator: tcp://127.0.0.1:", 0), 0u) << line;
  EXPECT_EQ(sim.Line().rfind("terminal: /dev/", 0), 0u);
  EXPECT_EQ(sim.Stop(), 0);
}

TEST(SimProgramRun, ABadSwitchOrStateFileIsRefused) {
  const std::string bogus = ::testing::TempDir() + "kovrix_sim_not_state" + std::to_string(getpid());
  FILE* f = std::fopen(bogus.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("hello\n", f);
  std::fclose(f);
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--pace", "x"}, {"--state", bogus}}) {
    SimProgram sim(args);
    EXPECT_EQ(sim.Line(), "");
    EXPECT_NE(sim.Stop(), 0);
  }
  std::remove(bogus.c_str());
}

}  // namespace
}  // namespace kovrix
