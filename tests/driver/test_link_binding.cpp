#include <gtest/gtest.h>
#include <unistd.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include "driver/driver.h"
#include "driver/frame.h"
#include "support/scripted_line.h"

namespace kovrix {
namespace {

namespace fs = std::filesystem;

constexpr int kRounds = 6;

std::string Reply(const std::string& data) {
  return BuildReplyFrame(0x21, 0x21, "0000", data, StatusBytes{0, 0, 0, 0, 0, 0x10});
}

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// One registrator of its own: a scripted line answering every frame with the registrator's name
// and the round, its link and its session log.
struct Own {
  explicit Own(const std::string& name) : name(name), link(std::make_unique<test::ScriptedLine>(line), &log) {
    link.SetTiming({/*silencePasses*/ 2, /*readTimeoutMs*/ 1, /*repeatWaitMs*/ 0, /*usbRepeatWaitMs*/ 0});
    link.SetSleeper([](int) {});
    for (int i = 0; i < kRounds; ++i) line.replies.push_back(Reply(name + std::to_string(i) + ";"));
  }
  std::string name;
  test::ScriptedLine::Shared line;
  SessionLog log;
  Link link;
};

// Lets two threads act in strict alternation: thread `who` (0 or 1) waits for every other step.
class Alternation {
 public:
  void Await(int who, int round) {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [&] { return step_ == 2 * round + who; });
  }
  void Done() {
    {
      std::lock_guard lock(mutex_);
      ++step_;
    }
    cv_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  int step_ = 0;
};

class LinkBindingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("kovrix-binding-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    UseSerialLine(std::make_unique<test::ScriptedLine>(processLine));
  }
  void TearDown() override {
    UseSerialLine(MakeSystemSerialLine());
    fs::remove_all(dir);
  }
  fs::path dir;
  test::ScriptedLine::Shared processLine;
};

// Two threads, each with its own link bound, run their commands interleaved one by one through the
// plain-function API: each line gets only its own frames, each thread reads only its own replies and
// each log holds only its own exchanges; the process's link is not touched.
TEST_F(LinkBindingTest, EachThreadTalksOnlyToItsOwnLink) {
  Own a("a"), b("b");
  Alternation turns;
  std::string seenA, seenB;
  auto run = [&](Own& own, int who, std::string& seen) {
    const LinkBinding binding(own.link, own.log);
    SetLogFileName((dir / (own.name + ".log")).string());
    EXPECT_EQ(OpenComPort(own.name, 9600), 0);
    SetRepeatCount(0);
    for (int round = 0; round < kRounds; ++round) {
      turns.Await(who, round);
      const ReplyRecord* r = ExecuteCommand(0x21, own.name + std::to_string(round) + ";");
      seen += r->field(1) + " " + LatestRecord()->field(1) + ",";
      turns.Done();
    }
    CloseComPort();
  };
  std::thread ta([&] { run(a, 0, seenA); });
  std::thread tb([&] { run(b, 1, seenB); });
  ta.join();
  tb.join();

  EXPECT_EQ(seenA, "a0 a0,a1 a1,a2 a2,a3 a3,a4 a4,a5 a5,");
  EXPECT_EQ(seenB, "b0 b0,b1 b1,b2 b2,b3 b3,b4 b4,b5 b5,");
  for (Own* own : {&a, &b}) {
    ASSERT_EQ(own->line.written.size(), static_cast<std::size_t>(kRounds)) << own->name;
    for (int i = 0; i < kRounds; ++i) {
      EXPECT_EQ(own->line.written[i].substr(4, 3), own->name + std::to_string(i) + ";") << own->name;
    }
    EXPECT_EQ(own->line.openedPort, own->name);
    const std::string log = Slurp(dir / (own->name + ".log"));
    const std::string other = own->name == "a" ? "b0;" : "a0;";
    EXPECT_NE(log.find("21" + own->name + "0;"), std::string::npos) << log;
    EXPECT_EQ(log.find(other), std::string::npos) << log;
  }
  EXPECT_TRUE(processLine.written.empty());
  EXPECT_FALSE(processLine.open);
}

// A binding ends where it was made: the one before it returns (bindings nest), and a thread that
// never bound anything keeps the process's link all along.
TEST_F(LinkBindingTest, BindingsNestAndEndInTheirScope) {
  Own a("a"), b("b");
  Link* const process = &TheLink();
  {
    const LinkBinding outer(a.link, a.log);
    EXPECT_EQ(&TheLink(), &a.link);
    {
      const LinkBinding inner(b.link, b.log);
      EXPECT_EQ(&TheLink(), &b.link);
      SetLogFileName((dir / "inner.log").string());
    }
    EXPECT_EQ(&TheLink(), &a.link);
    Link* elsewhere = nullptr;
    std::thread([&] { elsewhere = &TheLink(); }).join();
    EXPECT_EQ(elsewhere, process);
  }
  EXPECT_EQ(&TheLink(), process);
  // The log name went to the inner binding's log only.
  EXPECT_EQ(OpenComPort("p", 9600), 0);
  EXPECT_EQ(b.link.OpenComPort("b", 9600), 0);
  EXPECT_TRUE(fs::exists(dir / "inner.log"));
  EXPECT_TRUE(b.log.Path().find("inner.log") != std::string::npos);
  EXPECT_TRUE(a.log.Path().empty());
}

// The window's exchange watcher is the process link's, also when it is set on a thread that has a
// link bound: a registrator's link served elsewhere never calls into the window.
TEST_F(LinkBindingTest, TheWatcherStaysWithTheProcessLink) {
  struct Counting : ExchangeWatcher {
    void ExchangeBegins() override { ++begins; }
    void ExchangeWaits() override {}
    void ExchangeEnds() override {}
    int begins = 0;
  } watcher;
  Own a("a");
  {
    const LinkBinding binding(a.link, a.log);
    SetExchangeWatcher(&watcher);
    ASSERT_EQ(OpenComPort("a", 9600), 0);
    SetRepeatCount(0);
    ExecuteCommand(0x21, "a0;");
  }
  EXPECT_EQ(watcher.begins, 0);
  processLine.replies.push_back(Reply("p;"));
  ASSERT_EQ(OpenComPort("p", 9600), 0);
  TheLink().SetTiming({2, 1, 0, 0});
  SetRepeatCount(0);
  ExecuteCommand(0x21, "p;");
  EXPECT_EQ(watcher.begins, 2);  // the open (a converter's may wait for its name) and the exchange
  SetExchangeWatcher(nullptr);
}

}  // namespace
}  // namespace kovrix
