#include "sim/soak.h"

#include <chrono>
#include <functional>
#include <mutex>
#include <random>

#include "driver/commands.h"
#include "driver/driver.h"
#include "sim/device_server.h"
#include "sim/model/device.h"
#include "sim/model/values.h"

namespace kovrix::soak {
namespace {

const std::string kPassword = "482916";
constexpr std::int64_t kStartTill = 100000000;  // 1 000 000.00 in the till, so cash outs never run dry
constexpr std::size_t kMostFaultsPerCommand = 4;

struct FaultKind {
  sim::LineFault kind;
  const char* name;
};

constexpr FaultKind kFaultKinds[] = {
    {sim::LineFault::Nak, "NAK"},           {sim::LineFault::Drop, "drop"},
    {sim::LineFault::Mute, "mute"},         {sim::LineFault::BadChecksum, "bad checksum"},
    {sim::LineFault::Garble, "garbled"},    {sim::LineFault::Cut, "cut"},
    {sim::LineFault::Syn, "SYN stream"},
};

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

bool StartsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

// Drives the workload: every command goes out through the driver's API with faults queued for
// its frames, and what the device received for it is read back from the journal.
class Session {
 public:
  Session(sim::DeviceServer& server, const Options& options, Figures& figures)
      : server_(server), options_(options), figures_(figures), random_(options.seed) {}

  void Work() {
    int counted = 0;
    while (counted < options_.commands) {
      Scaffold([](int& err) { return OpenNonFiscalReceipt(kPassword, err); });
      const int lines = 1 + static_cast<int>(random_() % 4);
      for (int k = 0; k < lines && counted < options_.commands; ++k) {
        char text[24];
        std::snprintf(text, sizeof text, "SOAK %06d", ++counted);
        Counted(Kind::TextLine, text, [&](int& err) { return PrintText(kPassword, text, err); });
        ++figures_.textLines;
      }
      CloseReceipt();
      if (counted < options_.commands) CashMove(Kind::CashIn, 100000 + ++counted);
      if (counted < options_.commands) CashMove(Kind::CashOut, ++counted);
    }
  }

  const std::vector<HostCommand>& Commands() const { return commands_; }

 private:
  using Call = std::function<const ReplyRecord*(int& err)>;

  static bool ReportedOk(const ReplyRecord* r, int err) {
    return err == 0 && r != nullptr && (r->status & (ST_NO_REPLY | ST_NAK | ST_BAD_CHECKSUM)) == 0 &&
           r->errorText == "0000";
  }

  // Closes the receipt; a closing reported failed is tried again, so that a receipt left open
  // by a lost closing does not block the cash movements, until the device answers at all.
  void CloseReceipt() {
    for (int attempt = 0; attempt < 3; ++attempt) {
      const ReplyRecord* r = Scaffold([](int& err) { return CloseNonFiscalReceipt(kPassword, err); });
      if (r != nullptr && (r->status & (ST_NO_REPLY | ST_NAK | ST_BAD_CHECKSUM)) == 0) return;
    }
  }

  void CashMove(Kind kind, std::int64_t cents) {
    const std::string amount = sim::Money(cents);
    const double value = static_cast<double>(cents) / 100.0 * (kind == Kind::CashIn ? 1 : -1);
    const bool ok = Counted(kind, amount, [&](int& err) { return CashInOut(kPassword, 0, value, err); });
    (kind == Kind::CashIn ? figures_.cashIns : figures_.cashOuts)++;
    if (ok) figures_.tillBelieved += kind == Kind::CashIn ? cents : -cents;
  }

  bool Counted(Kind kind, const std::string& textOrAmount, const Call& call) {
    HostCommand c;
    c.kind = kind;
    c.mark = TapeMark(kind, textOrAmount);
    int err = 0;
    const ReplyRecord* r = Exchange(call, err, c.faults);
    c.reportedOk = ReportedOk(r, err);
    if (!c.reportedOk && options_.retry) {
      // The operator presses the button again: the same command in a new frame.
      ++figures_.retries;
      std::string faults;
      r = Exchange(call, err, faults);
      c.reportedOk = ReportedOk(r, err);
      if (!faults.empty()) c.faults += (c.faults.empty() ? "" : ", ") + std::string("retry: ") + faults;
    }
    commands_.push_back(c);
    return c.reportedOk;
  }

  const ReplyRecord* Scaffold(const Call& call) {
    int err = 0;
    std::string faults;
    const ReplyRecord* r = Exchange(call, err, faults);
    ++figures_.scaffolding;
    if (ReportedOk(r, err)) ++figures_.scaffoldingOk;
    return r;
  }

  // One command with its faults: each of the first frames meets a fault with the set rate, the
  // steps left over when the command ends early are dropped, and the journal tells how many
  // frames (and so how many of the steps) the device received.
  const ReplyRecord* Exchange(const Call& call, int& err, std::string& faults) {
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    std::vector<std::size_t> queued;
    while (queued.size() < kMostFaultsPerCommand && chance(random_) < options_.faultRate) {
      const std::size_t k = random_() % std::size(kFaultKinds);
      queued.push_back(k);
      if (kFaultKinds[k].kind == sim::LineFault::Syn) {
        server_.faults().SynBeforeReply(20 + static_cast<int>(random_() % 120), 1, 10);
      } else {
        server_.faults().Queue(kFaultKinds[k].kind);
      }
    }
    const ReplyRecord* r = call(err);
    server_.faults().Clear();

    const auto entries = server_.journal().Entries();
    server_.journal().Clear();
    std::size_t frames = 0;
    for (const auto& e : entries) {
      if (e.outcome == sim::Outcome::Repeated) ++figures_.repeatsAnswered;
      if (e.outcome != sim::Outcome::BadChecksum && e.outcome != sim::Outcome::Offline) ++frames;
    }
    figures_.framesReceived += static_cast<int>(entries.size());
    for (std::size_t i = 0; i < queued.size() && i < frames; ++i) {
      const char* name = kFaultKinds[queued[i]].name;
      ++figures_.faultsInjected[name];
      faults += (faults.empty() ? "" : "+") + std::string(name);
    }
    return r;
  }

  sim::DeviceServer& server_;
  const Options& options_;
  Figures& figures_;
  std::mt19937 random_;
  std::vector<HostCommand> commands_;
};

}  // namespace

std::string TapeMark(Kind kind, const std::string& textOrAmount) {
  switch (kind) {
    case Kind::CashIn:
      return "+" + textOrAmount;
    case Kind::CashOut:
      return "-" + textOrAmount;
    case Kind::TextLine:
      break;
  }
  return textOrAmount;
}

std::map<std::string, int> CountTapeMarks(const std::vector<std::string>& tape) {
  static const std::string cashIn = sim::Cp("СЛУЖБОВЕ ВНЕСЕННЯ");
  static const std::string cashOut = sim::Cp("СЛУЖБОВА ВИДАЧА");
  static const std::string sum = sim::Cp("СУМА");
  std::map<std::string, int> marks;
  for (std::size_t i = 0; i < tape.size(); ++i) {
    const std::string line = Trim(tape[i]);
    if ((line == cashIn || line == cashOut) && i + 1 < tape.size() && StartsWith(tape[i + 1], sum)) {
      const std::string& next = tape[++i];
      const auto space = next.find_last_of(' ');
      const std::string amount = space == std::string::npos ? next : next.substr(space + 1);
      ++marks[(line == cashIn ? "+" : "-") + amount];
    } else if (!line.empty()) {
      ++marks[line];
    }
  }
  return marks;
}

Tally Compare(const std::vector<HostCommand>& commands, const std::map<std::string, int>& tapeMarks) {
  Tally t;
  for (const HostCommand& c : commands) {
    ++t.commands;
    const std::string faults = c.faults.empty() ? "" : " (after " + c.faults + ")";
    const auto it = tapeMarks.find(c.mark);
    const int executions = it == tapeMarks.end() ? 0 : it->second;
    if (executions > 1) {
      ++t.doubleExecutions;
      t.offenders.push_back("executed " + std::to_string(executions) + " times: " + c.mark + faults);
    } else if (executions == 0 && c.reportedOk) {
      ++t.lossesReportedOk;
      t.offenders.push_back("lost, reported done: " + c.mark + faults);
    } else if (executions == 0) {
      ++t.cleanFailures;
    } else if (c.reportedOk) {
      ++t.executedOnce;
    } else {
      ++t.executedReportedFailed;
      ++t.executedFailedByFaults[c.faults.empty() ? "no fault" : c.faults];
    }
  }
  return t;
}

bool Run(const Options& options, Figures& figures, std::FILE* err) {
  // The tape outlives the server whose printer feeds it.
  std::mutex tapeMutex;
  std::vector<std::string> tape;
  sim::DeviceServer server;
  server.withDevice([&](sim::Registrator& r) {
    // A registrator with a serial number takes cash movements; its till starts full.
    r.state().serial = "SK00000001";
    r.state().cash = kStartTill;
    r.device().tape.SetSink([&](const std::string& line) {
      std::lock_guard lock(tapeMutex);
      tape.push_back(line);
    });
    return 0;
  });
  if (!server.start()) {
    std::fprintf(err, "kovrix-soak: cannot open a pseudo-terminal\n");
    return false;
  }
  UseSerialLine(MakeSystemSerialLine());
  TheLink().SetTiming({options.silencePasses, options.readTimeoutMs, 0, 0});
  TheLink().SetSleeper([](int) {});
  SetRepeatCount(options.repeats);
  SetUsbLinkActive(options.usb);
  if (OpenComPort(server.slavePath(), 115200) != 0) {
    std::fprintf(err, "kovrix-soak: cannot open %s\n", server.slavePath().c_str());
    return false;
  }

  figures.tillBelieved = kStartTill;
  const auto start = std::chrono::steady_clock::now();
  Session session(server, options, figures);
  session.Work();
  figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  CloseComPort();
  server.stop();

  figures.tillDevice = server.withDevice([](sim::Registrator& r) { return r.state().cash; });
  std::map<std::string, int> marks;
  {
    std::lock_guard lock(tapeMutex);
    marks = CountTapeMarks(tape);
  }
  figures.tally = Compare(session.Commands(), marks);
  figures.tillExpected = kStartTill;
  for (const auto& [mark, count] : marks) {
    if (mark.empty() || (mark[0] != '+' && mark[0] != '-')) continue;
    if (const auto cents = sim::ParseFixed(mark.substr(1), 2)) figures.tillExpected += (mark[0] == '+' ? 1 : -1) * count * *cents;
  }
  return true;
}

void Print(const Options& o, const Figures& f, std::FILE* out) {
  const Tally& t = f.tally;
  int injected = 0;
  for (const auto& [name, n] : f.faultsInjected) injected += n;
  std::fprintf(out, "kovrix-soak: seed %u, fault rate %.3f, repeats %d%s, silence %d x %d ms\n", o.seed,
               o.faultRate, o.repeats, o.usb ? " (silent exchanges too, as over USB)" : "", o.silencePasses,
               o.readTimeoutMs);
  std::fprintf(out, "commands: %d (%d text lines, %d cash in, %d cash out) and %d receipt openings and closings "
               "(%d reported done), in %.2f s\n",
               t.commands, f.textLines, f.cashIns, f.cashOuts, f.scaffolding, f.scaffoldingOk, f.seconds);
  if (o.retry) std::fprintf(out, "sent again after a reported failure: %d\n", f.retries);
  std::fprintf(out, "frames received by the device: %d, answered from its repeat memory: %d\n", f.framesReceived,
               f.repeatsAnswered);
  std::fprintf(out, "faults injected: %d (%.1f%% of the frames):", injected,
               f.framesReceived > 0 ? 100.0 * injected / f.framesReceived : 0.0);
  for (const auto& [name, n] : f.faultsInjected) std::fprintf(out, " %s %d,", name.c_str(), n);
  std::fprintf(out, "\n");
  std::fprintf(out, "executed once and reported done: %d\n", t.executedOnce);
  std::fprintf(out, "not executed and reported failed: %d\n", t.cleanFailures);
  std::fprintf(out, "executed but reported failed: %d\n", t.executedReportedFailed);
  for (const auto& [faults, n] : t.executedFailedByFaults) std::fprintf(out, "  after %s: %d\n", faults.c_str(), n);
  std::fprintf(out, "double executions: %d\n", t.doubleExecutions);
  std::fprintf(out, "losses reported as success: %d\n", t.lossesReportedOk);
  for (const std::string& o2 : t.offenders) std::fprintf(out, "  %s\n", o2.c_str());
  std::fprintf(out, "till: device %s, by the tape %s, as the host was told %s\n", sim::Money(f.tillDevice).c_str(),
               sim::Money(f.tillExpected).c_str(), sim::Money(f.tillBelieved).c_str());
}

}  // namespace kovrix::soak
