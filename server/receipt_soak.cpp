#include "server/receipt_soak.h"

#include <signal.h>
#include <stdlib.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <thread>

#include <httplib.h>

#include "driver/codepage.h"
#include "driver/driver.h"
#include "server/http_service.h"
#include "sim/device_server.h"
#include "sim/model/values.h"

namespace kovrix::server::soak {
namespace {

using nlohmann::json;

struct Aimable {
  sim::LineFault kind;
  const char* name;
};

constexpr Aimable kLineFaults[] = {
    {sim::LineFault::Nak, "NAK"},       {sim::LineFault::Drop, "drop"},   {sim::LineFault::Mute, "mute"},
    {sim::LineFault::BadChecksum, "bad checksum"}, {sim::LineFault::Garble, "garbled"}, {sim::LineFault::Cut, "cut"},
};

// Twelve articles of fixed names and prices, so that programming them again never changes one.
json Article(int k) {
  static const char* const prices[] = {"2.50", "3.75", "10.00", "12.40", "7.99", "19.00"};
  return {{"code", 7000 + k},
          {"name", "ТОВАР " + std::to_string(k)},
          {"price", prices[k % 6]},
          {"taxGroup", k % 2},
          {"department", 1}};
}

struct Sent {
  int status = 0;
  json body;
  bool replayed = false;
};

// Where the service runs: in this process on a thread, or, for a soak with kills, in a process of
// its own that can be killed with SIGKILL at any moment and started again on the same state.
class ServiceHost {
 public:
  ServiceHost(ServerConfig config, bool ownProcess) : config_(std::move(config)), ownProcess_(ownProcess) {}
  ~ServiceHost() { Stop(); }

  bool Start() {
    if (!ownProcess_) {
      http_ = std::make_unique<HttpService>(config_);
      if (!http_->Bind()) return false;
      port_ = http_->port();
      serving_ = std::thread([this] { http_->Listen(); });
      return true;
    }
    int fds[2];
    if (pipe(fds) != 0) return false;
    // Everything the child needs is made before the fork: between fork and exec it only calls
    // what is safe there.
    const std::string fd = std::to_string(fds[1]);
    const std::string passes = std::to_string(config_.linkTiming.silencePasses);
    const std::string readMs = std::to_string(config_.linkTiming.readTimeoutMs);
    const std::string repeats = std::to_string(config_.device.repeats);
    const char* argv[] = {"kovrix-server-soak", "--serve", fd.c_str(), config_.device.port.c_str(), passes.c_str(),
                          readMs.c_str(), repeats.c_str(), config_.answersDirectory.c_str(), nullptr};
    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
      close(fds[0]);
      execv("/proc/self/exe", const_cast<char* const*>(argv));
      _exit(127);
    }
    close(fds[1]);
    int port = 0;
    const bool told = read(fds[0], &port, sizeof port) == static_cast<ssize_t>(sizeof port);
    close(fds[0]);
    port_ = told ? port : 0;
    return port_ != 0;
  }
  void Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }
  void Stop() {
    if (ownProcess_) return Kill();
    if (!http_) return;
    http_->Stop();
    serving_.join();
    http_.reset();
  }
  int port() const { return port_; }

 private:
  ServerConfig config_;
  bool ownProcess_;
  std::unique_ptr<HttpService> http_;
  std::thread serving_;
  pid_t pid_ = -1;
  int port_ = 0;
};

class Session {
 public:
  Session(sim::DeviceServer& sim, ServiceHost& http, const Options& options, Figures& figures,
          std::function<std::vector<std::string>()> tape, std::function<bool()> moveDevice)
      : sim_(sim),
        http_(http),
        options_(options),
        figures_(figures),
        tape_(std::move(tape)),
        moveDevice_(std::move(moveDevice)),
        random_(options.seed) {}

  void Work() {
    for (int i = 1; i <= options_.receipts; ++i) OneReceipt(i);
    Tally();
  }

 private:
  bool Chance(double p) { return std::uniform_real_distribution<double>(0.0, 1.0)(random_) < p; }
  int Pick(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }

  Sent Post(const std::string& path, const std::string& body, const std::string& key) {
    httplib::Client client("127.0.0.1", http_.port());
    client.set_read_timeout(120, 0);
    httplib::Headers headers;
    if (!key.empty()) headers.emplace("Idempotency-Key", key);
    auto res = client.Post(path.c_str(), headers, body, "application/json");
    if (!res) return {};
    return {res->status, json::parse(res->body, nullptr, false), res->get_header_value("Idempotent-Replayed") == "true"};
  }

  // Items, discounts (on an item or on the subtotal, never both kinds on one), a comment that
  // marks the receipt on the tape, and cash or card-and-cash payments.
  json MakeReceipt(int number, std::vector<std::uint8_t>& commands) {
    json r = {{"items", json::array()}, {"payments", json::array()}};
    const int items = 1 + Pick(3);
    std::vector<int> chosen;
    while (static_cast<int>(chosen.size()) < items) {
      const int k = Pick(12);
      if (std::find(chosen.begin(), chosen.end(), k) == chosen.end()) chosen.push_back(k);
    }
    commands = {0x24, 0x63};
    for (int k : chosen) {
      json item = Article(k);
      item["quantity"] = Chance(0.3) ? "0.500" : std::to_string(1 + Pick(3)) + ".000";
      commands.push_back(0x64);
      if (Chance(0.2)) {
        item["discountPercent"] = "-5.00";
        commands.push_back(0x68);
      } else if (Chance(0.1)) {
        item["discountAmount"] = "-0.10";
        commands.push_back(0x69);
      }
      r["items"].push_back(item);
    }
    if (Chance(0.2)) {
      r["discountPercent"] = "-3.00";
      commands.push_back(0x73);
    } else if (Chance(0.1)) {
      r["discountAmount"] = "-0.20";
      commands.push_back(0x74);
    }
    char mark[24];
    std::snprintf(mark, sizeof mark, "SOAK %06d", number);
    r["comments"] = json::array({mark});
    commands.insert(commands.end(), {0x61, 0x6D});
    if (Chance(0.4)) r["payments"].push_back({{"type", 1}, {"amount", "1.00"}});
    r["payments"].push_back({{"type", 0}, {"amount", "1000.00"}});
    commands.insert(commands.end(), {0x67, 0x65});
    return r;
  }

  // One fault on one of the receipt's commands, at times one on the annulment too, at times a
  // refusal instead, and at times a registrator that then stays silent when asked. Answers
  // whether the receipt meets a fault.
  bool SetFaults(const std::vector<std::uint8_t>& commands) {
    if (!Chance(options_.faultRate)) return false;
    const std::uint8_t command = commands[static_cast<std::size_t>(Pick(static_cast<int>(commands.size())))];
    if (Chance(0.1)) {
      sim_.faults().FailCommandTimes(command, sim::err::kPayTypeDisabled, 1);
      ++figures_.faults["refusal"];
    } else if (Chance(0.2)) {
      sim_.faults().SilenceAfter(command, 1, 50 + Pick(150));
      ++figures_.faults["brief silence"];
    } else {
      const Aimable& f = kLineFaults[Pick(static_cast<int>(std::size(kLineFaults)))];
      sim_.faults().Aim(command, f.kind, 1);
      ++figures_.faults[f.name];
    }
    if (Chance(0.3)) {
      if (Chance(0.3)) {
        sim_.faults().SilenceAfter(0x6B, 1, 50 + Pick(150));
        ++figures_.faults["brief silence in the annulment"];
      } else {
        const Aimable& f = kLineFaults[Pick(static_cast<int>(std::size(kLineFaults)))];
        sim_.faults().Aim(0x6B, f.kind, 1);
        ++figures_.faults[std::string(f.name) + " in the annulment"];
      }
    }
    if (Chance(0.15)) {
      sim_.faults().Aim(0x80, sim::LineFault::Drop);
      ++figures_.faults["silent when asked"];
    }
    return true;
  }

  // The step whose reply the next receipt loses: the receipt's steps in turn, each kind of step
  // once per round, so that a run of a few rounds loses a reply at every one of them.
  std::uint8_t StepToLose(const std::vector<std::uint8_t>& commands) {
    static constexpr std::uint8_t kSteps[] = {0x24, 0x63, 0x64, 0x68, 0x69, 0x73, 0x74, 0x61, 0x6D, 0x67, 0x65};
    constexpr std::size_t n = std::size(kSteps);
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint8_t step = kSteps[(stepCursor_ + i) % n];
      if (std::find(commands.begin(), commands.end(), step) != commands.end()) {
        stepCursor_ = (stepCursor_ + i + 1) % n;
        return step;
      }
    }
    return commands.back();
  }

  int Executed(std::uint8_t command) {
    int count = 0;
    for (const auto& e : sim_.journal().Entries()) count += e.command == command && e.outcome == sim::Outcome::Executed;
    return count;
  }

  // The reply of one step is lost and the registrator stays silent when asked, so the service
  // cannot learn the outcome before it dies: it is killed as soon as the registrator has run the
  // step, started again on the same state (its registrator now under another device file) and
  // the till retries with its key.
  Sent KilledAfterALostReply(const json& receipt, const std::vector<std::uint8_t>& commands, const std::string& key,
                             const std::string& what) {
    const std::uint8_t step = StepToLose(commands);
    const int before = Executed(step);
    sim_.faults().Aim(step, sim::LineFault::Mute, 1);
    sim_.faults().Aim(0x80, sim::LineFault::Drop);
    bool reached = false;
    std::thread killer([&] {
      const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (!(reached = Executed(step) > before) && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      http_.Kill();
    });
    Sent answer = Post("/v1/receipts", receipt.dump(), key);
    killer.join();
    char name[8];
    std::snprintf(name, sizeof name, "%02Xh", step);
    ++figures_.kills;
    if (answer.status == 0) ++figures_.unansweredByKill;
    if (reached) {
      ++figures_.killedAfter[name];
    } else {
      figures_.offenders.push_back(what + ": step " + name + " was never reached");
    }
    sim_.faults().Clear();
    if (!moveDevice_()) figures_.offenders.push_back(what + ": the registrator could not be moved to another device file");
    if (!http_.Start()) figures_.offenders.push_back(what + ": the service did not start again");
    return answer;
  }

  static bool Unknown(const Sent& s) { return s.status == 504 && s.body.value("outcome", "") == "unknown"; }

  // A small request that makes the service finish an earlier receipt first; while the
  // registrator is silent it answers 503 and the till tries again.
  void NextRequest(const std::string& what) {
    for (int i = 0; i < 3; ++i) {
      const Sent other = Post("/v1/non-fiscal", R"({"lines":["між чеками"]})", "");
      if (other.status == 503) continue;
      if (other.status != 200)
        figures_.offenders.push_back(what + ": the next request got " + std::to_string(other.status) + " " +
                                     other.body.dump());
      CheckNothingOpen(what + "'s next request");
      return;
    }
  }

  void CheckNothingOpen(const std::string& when) {
    const int kind = sim_.withDevice([](sim::Registrator& r) { return static_cast<int>(r.state().receipt.kind); });
    if (kind == sim::kNoReceipt) return;
    ++figures_.leftOpen;
    figures_.offenders.push_back("a receipt stayed open after " + when);
  }

  void OneReceipt(int number) {
    std::vector<std::uint8_t> commands;
    const json receipt = MakeReceipt(number, commands);
    const bool faulted = !options_.killEachStep && SetFaults(commands);
    const bool kill = options_.killEachStep || Chance(options_.killRate);
    // A till that meets trouble sends keys; some of the others do too.
    const bool keyed = faulted || kill || Chance(0.5);
    const std::string key = keyed ? "soak-" + std::to_string(options_.seed) + "-" + std::to_string(number) : "";
    const std::string what = "receipt " + std::to_string(number);
    Sent answer;
    if (options_.killEachStep) {
      answer = KilledAfterALostReply(receipt, commands, key, what);
    } else if (kill) {
      // The service dies at a random moment of the request (before, during or after the receipt)
      // and is started again on the same state; the till asks again with its key.
      const int afterMs = Pick(60);
      std::thread killer([this, afterMs] {
        std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
        http_.Kill();
      });
      answer = Post("/v1/receipts", receipt.dump(), key);
      killer.join();
      ++figures_.kills;
      if (answer.status == 0) ++figures_.unansweredByKill;
      if (!http_.Start()) figures_.offenders.push_back(what + ": the service did not start again");
    } else {
      answer = Post("/v1/receipts", receipt.dump(), key);
    }
    sim_.faults().Clear();
    ++figures_.receipts;
    // A request the kill left without an answer is retried with its key, as a till does.
    for (int i = 0; i < 3 && answer.status == 0; ++i) answer = Post("/v1/receipts", receipt.dump(), key);
    if (answer.status == 0) figures_.offenders.push_back(what + ": no answer, also after the service started again");

    if (Unknown(answer)) {
      ++figures_.unknownFirst;
      if (!keyed) {
        // Without a key the till cannot ask; the service still finishes the receipt before its
        // next request (here the line was too slow for the soak's short time-outs).
        ++figures_.answers["504 unknown without a key"];
        NextRequest(what);
      } else {
        // Half the time another request comes first and finishes the receipt before the retry.
        if (Chance(0.5)) NextRequest(what);
        for (int i = 0; i < 3 && Unknown(answer); ++i) answer = Post("/v1/receipts", receipt.dump(), key);
        if (Unknown(answer)) {
          ++figures_.unresolved;
          figures_.offenders.push_back(what + ": still unknown after three retries: " + answer.body.dump());
        } else {
          ++figures_.resolvedOnRetry;
        }
      }
    }
    // 503 means nothing was printed and the request may be sent again: a till does so.
    if (answer.status == 503) {
      ++figures_.answers["503 at first, sent again"];
      for (int i = 0; i < 3 && answer.status == 503; ++i) answer = Post("/v1/receipts", receipt.dump(), key);
    }
    // Once the registrator has answered, nothing may be left open.
    if (!Unknown(answer) && answer.status != 503) CheckNothingOpen(what);
    if (keyed && answer.status != 503 && Chance(0.2)) {
      const Sent again = Post("/v1/receipts", receipt.dump(), key);
      ++figures_.replays;
      if (again.status != answer.status || again.body != answer.body || !again.replayed) {
        ++figures_.replayMismatches;
        figures_.offenders.push_back(what + ": the retry answered " + std::to_string(again.status) + " after " +
                                     std::to_string(answer.status));
      }
    }
    finals_.emplace_back(number, answer);
  }

  // Which receipt each closing and annulment on the tape belongs to: the last mark printed.
  void Tally() {
    const std::string closed = Utf8ToCp1251("ЧЕК №");
    const std::string annulled = Utf8ToCp1251("ЧЕК АНУЛЬОВАНО");
    std::map<std::string, int> printed;
    std::string current;
    for (const std::string& line : tape_()) {
      if (const auto at = line.find("SOAK "); at != std::string::npos) {
        current = line.substr(at, 11);
      } else if (line.find(closed) != std::string::npos) {
        ++printed[current];
        current.clear();
      } else if (line.find(annulled) != std::string::npos) {
        current.clear();
      }
    }
    for (const auto& [number, answer] : finals_) {
      char mark[24];
      std::snprintf(mark, sizeof mark, "SOAK %06d", number);
      const int times = printed.count(mark) ? printed[mark] : 0;
      const std::string outcome = answer.body.value("outcome", "");
      std::string kind = std::to_string(answer.status);
      if (answer.status == 200 && outcome == "printed") kind += " recovered";
      if (answer.status == 409) kind += answer.body.value("annulled", false) ? " annulled" : " nothing printed";
      if (answer.status == 504) kind += " " + outcome;
      ++figures_.answers[kind];
      if (times > 1) {
        ++figures_.printedTwice;
        figures_.offenders.push_back(std::string(mark) + " printed " + std::to_string(times) + " times");
      }
      const bool right = answer.status == 200 ? times == 1 : answer.status == 504 ? times <= 1 : times == 0;
      if (!right) {
        ++figures_.misreported;
        figures_.offenders.push_back(std::string(mark) + " answered " + std::to_string(answer.status) + " " +
                                     answer.body.dump() + " but printed " + std::to_string(times) + " times");
      }
    }
  }

  sim::DeviceServer& sim_;
  ServiceHost& http_;
  const Options& options_;
  Figures& figures_;
  std::function<std::vector<std::string>()> tape_;
  std::function<bool()> moveDevice_;
  std::mt19937 random_;
  std::size_t stepCursor_ = 0;
  std::vector<std::pair<int, Sent>> finals_;
};

}  // namespace

bool Run(const Options& options, Figures& figures, std::FILE* err) {
  char dir[] = "/tmp/kovrix-server-soak-XXXXXX";
  if (mkdtemp(dir) == nullptr) {
    std::fprintf(err, "kovrix-server-soak: cannot make a state directory\n");
    return false;
  }
  setenv("XDG_STATE_HOME", dir, 1);
  std::mutex tapeMutex;
  std::vector<std::string> tape;
  sim::DeviceServer sim;
  sim.withDevice([&](sim::Registrator& r) {
    r.device().tape.SetSink([&](const std::string& line) {
      std::lock_guard lock(tapeMutex);
      tape.push_back(line);
    });
    return 0;
  });
  if (!sim.start()) {
    std::fprintf(err, "kovrix-server-soak: cannot open a pseudo-terminal\n");
    return false;
  }
  ServerConfig config;
  config.linkTiming = {options.silencePasses, options.readTimeoutMs, 0, 0};
  config.device.port = sim.slavePath();
  // The stable name of a registrator that is switched off when the service starts and comes
  // back under another device file after every kill.
  const std::string stable = std::string(dir) + "/registrator-by-id";
  if (options.killEachStep) config.device.port = stable;
  const auto moveDevice = [&] {
    if (!options.killEachStep) return true;
    // The device file it had stays taken (with any lower free number, which a new
    // pseudo-terminal would get first) while the simulator opens a new one.
    const std::string before = sim.slavePath();
    sim.stop();
    std::vector<int> held;
    for (int i = 0; i < 256; ++i) {
      int master = -1, slave = -1;
      char name[256] = {};
      if (openpty(&master, &slave, name, nullptr, nullptr) != 0) break;
      held.insert(held.end(), {master, slave});
      if (before == name) break;
    }
    const bool started = sim.start();
    for (int fd : held) close(fd);
    std::error_code ec;
    std::filesystem::remove(stable, ec);
    std::filesystem::create_symlink(sim.slavePath(), stable, ec);
    return started && !ec && sim.slavePath() != before;
  };
  config.device.baud = 115200;
  config.device.repeats = options.repeats;
  config.port = 0;
  config.answersDirectory = std::string(dir) + "/answers";
  bool ok = true;
  {
    ServiceHost http(config, options.killRate > 0 || options.killEachStep);
    if (!http.Start()) {
      std::fprintf(err, "kovrix-server-soak: cannot listen on the loopback address\n");
      ok = false;
    } else if (!moveDevice()) {
      std::fprintf(err, "kovrix-server-soak: cannot give the registrator a stable name (%s)\n", stable.c_str());
      ok = false;
    } else {
      const auto start = std::chrono::steady_clock::now();
      Session session(sim, http, options, figures, [&] {
        std::lock_guard lock(tapeMutex);
        return tape;
      }, moveDevice);
      session.Work();
      figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      http.Stop();
    }
  }
  sim.stop();
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return ok;
}

int Serve(int argc, char** argv) {
  if (argc != 6) return 2;
  const int fd = std::atoi(argv[0]);
  ServerConfig config;
  config.linkTiming = {std::atoi(argv[2]), std::atoi(argv[3]), 0, 0};
  config.device.port = argv[1];
  config.device.baud = 115200;
  config.device.repeats = std::atoi(argv[4]);
  config.port = 0;
  config.answersDirectory = argv[5];
  HttpService http(config);
  const int port = http.Bind() ? http.port() : 0;
  const bool told = write(fd, &port, sizeof port) == static_cast<ssize_t>(sizeof port);
  close(fd);
  if (!told || port == 0) return 3;
  http.Listen();
  return 0;
}

void Print(const Options& options, const Figures& f, std::FILE* out) {
  if (options.killEachStep) {
    std::fprintf(out, "kovrix-server-soak: %d receipts, seed %u, each losing one step's reply, %.1f s\n", f.receipts,
                 options.seed, f.seconds);
  } else {
    std::fprintf(out, "kovrix-server-soak: %d receipts, seed %u, %.0f%% with faults, %.1f s\n", f.receipts,
                 options.seed, options.faultRate * 100, f.seconds);
  }
  std::fprintf(out, "final answers:\n");
  for (const auto& [kind, n] : f.answers) std::fprintf(out, "  %-24s %d\n", kind.c_str(), n);
  std::fprintf(out, "faults set up:\n");
  for (const auto& [kind, n] : f.faults) std::fprintf(out, "  %-32s %d\n", kind.c_str(), n);
  std::fprintf(out, "504 unknown at first: %d, resolved on a retry with the same key: %d, unresolved: %d\n",
               f.unknownFirst, f.resolvedOnRetry, f.unresolved);
  std::fprintf(out, "keyed retries of settled requests: %d, answered otherwise: %d\n", f.replays, f.replayMismatches);
  if (f.kills > 0) {
    std::fprintf(out, "service killed during a request: %d, of those left without an answer: %d\n", f.kills,
                 f.unansweredByKill);
  }
  if (!f.killedAfter.empty()) {
    std::fprintf(out, "killed right after the lost reply of:");
    for (const auto& [step, n] : f.killedAfter) std::fprintf(out, " %s %d", step.c_str(), n);
    std::fprintf(out, "\n");
  }
  std::fprintf(out, "left open: %d, printed twice: %d, outcomes misreported: %d\n", f.leftOpen, f.printedTwice,
               f.misreported);
  for (std::size_t i = 0; i < f.offenders.size() && i < 20; ++i) std::fprintf(out, "  %s\n", f.offenders[i].c_str());
}

bool Passed(const Figures& f) {
  return f.leftOpen == 0 && f.printedTwice == 0 && f.misreported == 0 && f.unresolved == 0 && f.replayMismatches == 0 &&
         f.offenders.empty();
}

}  // namespace kovrix::server::soak
