#include "session/detect.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "driver/codepage.h"
#include "driver/commands.h"
#include "driver/error_text.h"
#include "driver/line_speeds.h"
#include "driver/link.h"
#include "driver/network_port.h"
#include "driver/network_serial_line.h"
#include "driver/receiver.h"
#include "driver/serial_line.h"
#include "session/port_locks.h"
#include "port/port_access.h"

namespace kovrix::session {
namespace {

using Clock = std::chrono::steady_clock;

// The diagnostic information, with the tool's fixed password (the registrator answers it in any
// state, and it names the model, version and serial number).
constexpr int kDiagnosticCommand = 0x80;
const std::string kDiagnosticData = std::string(kDefaultPassword) + ";";
// A request frame is its data and ten bytes of framing.
const int kRequestBytes = static_cast<int>(kDiagnosticData.size()) + 10;

// Milliseconds that bytes take on a line at the baud rate (10 bits a byte), rounded up.
int LineTimeMs(int bytes, int baud) { return static_cast<int>((bytes * 10000LL + baud - 1) / baud); }

// The link's timing for one speed: the silence after the request within which a reply must begin
// (with the request's own time on the line), cut into equal reads of at most the read slice.
LinkTiming TimingFor(int baud, const ProbeTiming& timing) {
  const int silenceMs =
      std::max(1, timing.silenceMs + (timing.allowLineTime ? LineTimeMs(kRequestBytes, baud) : 0));
  const int slice = std::max(1, timing.readSliceMs);
  const int passes = (silenceMs + slice - 1) / slice;
  return {passes, (silenceMs + passes - 1) / passes, /*repeatWaitMs*/ 0, /*usbRepeatWaitMs*/ 0};
}

int SilenceMs(const LinkTiming& timing) { return timing.silencePasses * timing.readTimeoutMs; }

// The port's line with a deadline: once it has passed, reads answer a time-out at once, so that a
// line that never falls silent (noise at a wrong speed, a scale's readings, an endless SYN stream)
// still ends the probe of a speed. A frame's start (SOH) moves the deadline on once by a whole
// reply's time on the line, so that a real reply at a slow speed is heard to its end. The silence
// itself is the link's to judge.
class DeadlineLine final : public SerialLine {
 public:
  explicit DeadlineLine(std::unique_ptr<SerialLine> line) : line_(std::move(line)) {}
  /// The deadline falls the given time after the next write (the request), as the link's silence does.
  void SetDeadline(std::chrono::milliseconds afterWrite, std::chrono::milliseconds replyTime) {
    afterWrite_ = afterWrite;
    armed_ = true;
    deadline_ = Clock::time_point::max();
    replyTime_ = replyTime;
    extended_ = false;
  }

  bool open(const std::string& port, int baud) override { return line_->open(port, baud); }
  bool close() override { return line_->close(); }
  bool isOpen() const override { return line_->isOpen(); }
  ReadResult readByte(std::uint8_t& byte, int timeoutMs) override {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
    if (left <= 0) return ReadResult::Timeout;
    const ReadResult result = line_->readByte(byte, static_cast<int>(std::min<long long>(timeoutMs, left)));
    if (result == ReadResult::Byte && byte == kSOH && !extended_) {
      extended_ = true;
      deadline_ += replyTime_;
    }
    return result;
  }
  bool write(std::string_view bytes) override {
    const bool written = line_->write(bytes);
    if (armed_) {
      armed_ = false;
      deadline_ = Clock::now() + afterWrite_;
    }
    return written;
  }
  void purge() override { line_->purge(); }
  void discard() override { line_->discard(); }
  void clearError() override { line_->clearError(); }
  bool lost() const override { return line_->lost(); }
  void purgeFar(int timeoutMs) override { line_->purgeFar(timeoutMs); }
  std::string peer() const override { return line_->peer(); }
  void setWaitTick(std::function<void()> tick) override { line_->setWaitTick(std::move(tick)); }

 private:
  std::unique_ptr<SerialLine> line_;
  Clock::time_point deadline_ = Clock::time_point::max();
  std::chrono::milliseconds afterWrite_{0};
  std::chrono::milliseconds replyTime_{0};
  bool armed_ = false;
  bool extended_ = false;
};

std::string OpenFailureText(const std::string& port) {
  // A converter on the network has no device file: say which address failed and why.
  if (IsNetworkPortName(port)) {
    const std::optional<NetworkPort> network = ParseNetworkPort(port);
    return "cannot connect to " + (network ? HostPortText(*network) : port) + ": " + LastNetworkOpenFailure();
  }
  std::string text = "cannot open port " + port;
  // Lack of rights: name the device's group and how to join it (Windows has no such group).
  if (const auto denial = CheckPortAccess(port)) text += ": " + PortAccessAdvice(*denial, AdviceLanguage::English);
  return text;
}

std::string SpeedRange(const std::vector<int>& speeds) {
  if (speeds.size() == 1) return std::to_string(speeds.front()) + " baud";
  return std::to_string(speeds.front()) + ".." + std::to_string(speeds.back()) + " baud";
}

// Fills a found entry from the reply: its fields when the device reports no error, else the
// device's error text.
void TakeReply(const ReplyRecord& record, int baud, DetectedPort& entry) {
  entry.state = "found";
  entry.baud = baud;
  std::string error;
  if (GetErrorText(record, error)) {
    entry.model = Cp1251ToUtf8(record.field(1));
    entry.version = Cp1251ToUtf8(record.field(2));
    entry.serial = Cp1251ToUtf8(record.field(3));
  } else {
    entry.message = "the registrator answered error " + Cp1251ToUtf8(record.errorText) +
                    (error.empty() ? std::string() : ": " + Cp1251ToUtf8(error));
  }
}

DetectedPort ProbePort(const std::string& port, const std::vector<int>& speeds, const ProbeTiming& timing) {
  DetectedPort entry;
  entry.port = port;
  if (port.empty() || port.size() > kMaxPortPath) {
    entry.state = "error";
    entry.message = port.empty() ? "no port name" : "port name too long";
    return entry;
  }
  if (speeds.empty()) {
    entry.state = "error";
    entry.message = "no line speed to try";
    return entry;
  }
  // A converter's name is resolved once for the whole run (the opens at each speed reuse it).
  std::string unresolved;
  if (IsNetworkPortName(port) && PortLockKeys(port, &unresolved).empty()) {
    const std::optional<NetworkPort> network = ParseNetworkPort(port);
    entry.state = "error";
    entry.message = "cannot connect to " + (network ? HostPortText(*network) : port) + ": " + unresolved;
    return entry;
  }
  PortLocks portState;
  const PortState::Lock lock = portState.Acquire(port, timing.lockWaitMs);
  if (lock == PortState::Lock::Busy) {
    entry.state = "busy";
    entry.message = "another kovrix run is using " + port;
    return entry;
  }

  auto owned = std::make_unique<DeadlineLine>(MakeSerialLine());
  DeadlineLine& line = *owned;
  Link link(std::move(owned), nullptr);
  link.SetRepeatCount(0);
  // Continue the port's kept sequence, so that the registrator never takes a probe for a repeat of
  // the previous run's last frame (nor the next run's first frame for a repeat of the probe's).
  if (lock == PortState::Lock::Held) {
    link.SetSequenceCounter(portState.counter());
    link.SetSequenceObserver([&portState](std::uint8_t counter) { portState.Store(counter); });
  }

  // A raw converter port runs its line at the converter's own speed: one probe tells all.
  const std::optional<NetworkPort> network = IsNetworkPortName(port) ? ParseNetworkPort(port) : std::nullopt;
  const bool converterSetsSpeed = network && network->kind == NetworkPort::Kind::RawTcp;
  bool opened = false;
  std::string openError;
  for (const int baud : speeds) {
    if (baud <= 0) continue;
    if (opened && converterSetsSpeed) break;
    if (link.OpenComPort(port, baud) != 0) {
      if (!IsNetworkPortName(port) && LastPortOpenFailure() == PortOpenFailure::Busy) {
        entry.state = "busy";
        entry.message = "another program is using " + port;
        return entry;
      }
      if (openError.empty()) openError = OpenFailureText(port);
      continue;
    }
    if (!opened && lock == PortState::Lock::Held) {
      // Of the addresses a converter's name stands for, the one connected to keeps the sequence.
      portState.KeepOnly(line.peer());
      link.SetSequenceCounter(portState.counter());
    }
    opened = true;
    const LinkTiming linkTiming = TimingFor(baud, timing);
    link.SetTiming(linkTiming);
    // However the line behaves, the speed is given up after the silence (with a whole reply's time
    // once a frame begins), so a flooding line keeps the stated time per speed.
    const int replyMs = timing.allowLineTime ? LineTimeMs(static_cast<int>(ReceiveMachine::kRawCapacity), baud) : 0;
    line.SetDeadline(std::chrono::milliseconds(SilenceMs(linkTiming)),
                     std::chrono::milliseconds(replyMs + SilenceMs(linkTiming)));
    const ReplyRecord* record = link.ExecuteCommand(kDiagnosticCommand, kDiagnosticData);
    link.CloseComPort();
    if (record && (record->status & (ST_NO_REPLY | ST_NAK | ST_BAD_CHECKSUM)) == 0) {
      TakeReply(*record, converterSetsSpeed ? 0 : baud, entry);
      if (converterSetsSpeed) {
        entry.message = "the converter sets the line speed (raw TCP port)" +
                        (entry.message.empty() ? std::string() : "; " + entry.message);
      }
      return entry;
    }
  }
  if (!opened) {
    entry.state = "error";
    entry.message = openError.empty() ? "no valid line speed to try" : openError;
    return entry;
  }
  entry.state = "none";
  entry.message = converterSetsSpeed ? "no registrator answered at the converter's line speed (raw TCP port)"
                                     : "no registrator answered at " + SpeedRange(speeds);
  return entry;
}

}  // namespace

std::vector<int> ProbeSpeeds() { return std::vector<int>(kBaudRates.rbegin(), kBaudRates.rend()); }

int SilentPortBoundMs(const std::vector<int>& speeds, const ProbeTiming& timing) {
  int total = timing.lockWaitMs;
  for (const int baud : speeds)
    if (baud > 0) total += SilenceMs(TimingFor(baud, timing));
  return total;
}

std::vector<DetectedPort> DetectRegistrators(const std::vector<std::string>& ports, const std::vector<int>& speeds) {
  return DetectRegistrators(ports, speeds, ProbeTiming{});
}

std::vector<DetectedPort> DetectRegistrators(const std::vector<std::string>& ports, const std::vector<int>& speeds,
                                             const ProbeTiming& timing) {
  std::vector<DetectedPort> found;
  found.reserve(ports.size());
  for (const std::string& port : ports) found.push_back(ProbePort(port, speeds, timing));
  return found;
}

nlohmann::ordered_json DetectedPortJson(const DetectedPort& entry) {
  return {{"port", entry.port},       {"state", entry.state},   {"baud", entry.baud},
          {"model", entry.model},     {"version", entry.version}, {"serial", entry.serial},
          {"message", entry.message}};
}

}  // namespace kovrix::session
