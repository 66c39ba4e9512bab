// SerialLine over a TCP connection to a serial-to-Ethernet converter.

#include "driver/network_serial_line.h"

#include <atomic>
#include <chrono>

#include "driver/network_port.h"
#include "driver/resolver.h"
#include "driver/socket_io.h"
#include "driver/telnet.h"

namespace kovrix {
namespace {

std::atomic<int> gConnectMs{NetworkLineTiming{}.connectMs};
std::atomic<int> gNegotiateMs{NetworkLineTiming{}.negotiateMs};
thread_local std::string tLastFailure;

// A write the converter does not take within this long has failed, as on the serial line.
constexpr int kWriteWaitMs = 1000;
// Dropping what has arrived stops after this long or this many bytes, so that a line that never
// falls silent cannot hold a purge or a close.
constexpr int kDrainMs = 50;
constexpr std::size_t kDrainBytes = 64 * 1024;

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

class NetworkSerialLine final : public SerialLine {
 public:
  ~NetworkSerialLine() override { close(); }

  bool open(const std::string& port, int baud) override {
    close();
    std::string why;
    const std::optional<NetworkPort> target = ParseNetworkPort(port, &why);
    if (!target) return Fail(why);
    if (target->kind == NetworkPort::Kind::Rfc2217 && baud <= 0) return Fail("no line speed");
    // Resolving and connecting share one deadline.
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(gConnectMs.load());
    const net::Resolution resolved = net::Resolve(target->host, target->port, gConnectMs.load(), tick_);
    if (!resolved.failure.empty()) return Fail(resolved.failure);
    std::size_t connected = 0;
    socket_ = net::Connect(resolved.addresses, MsLeft(deadline), why, connected, tick_);
    if (socket_ == net::kNoSocket) return Fail(why);
    peer_ = net::AddressKey(resolved.addresses[connected].text, target->port);
    telnet_ = target->kind == NetworkPort::Kind::Rfc2217;
    session_ = telnet::Session();
    if (telnet_ && !SetUpConverter(static_cast<std::uint32_t>(baud), why)) {
      close();
      return Fail(why);
    }
    tLastFailure.clear();
    return true;
  }

  bool close() override {
    if (socket_ == net::kNoSocket) return false;
    net::Close(socket_);
    socket_ = net::kNoSocket;
    broken_ = false;
    peer_.clear();
    Drop();
    return true;
  }

  bool isOpen() const override { return socket_ != net::kNoSocket; }
  bool lost() const override { return socket_ != net::kNoSocket && broken_; }
  std::string peer() const override { return peer_; }
  void setWaitTick(std::function<void()> tick) override { tick_ = std::move(tick); }

  ReadResult readByte(std::uint8_t& byte, int timeoutMs) override {
    if (socket_ == net::kNoSocket) return ReadResult::Error;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    // Telnet commands alone bring no data: the wait goes on until data or the time-out.
    while (head_ == data_.size()) {
      if (broken_) return ReadResult::Error;
      const net::Wait wait = net::WaitReadable(socket_, MsLeft(deadline));
      if (wait == net::Wait::Failed) return Broken();
      if (wait == net::Wait::Timeout) return ReadResult::Timeout;
      if (!Pull()) return ReadResult::Error;
      if (head_ == data_.size() && MsLeft(deadline) == 0) return ReadResult::Timeout;
    }
    byte = static_cast<std::uint8_t>(data_[head_++]);
    return ReadResult::Byte;
  }

  bool write(std::string_view bytes) override {
    if (socket_ == net::kNoSocket || broken_) return false;
    return SendAll(telnet_ ? telnet::Escape(bytes) : std::string(bytes));
  }

  void purge() override {
    if (socket_ == net::kNoSocket) return;
    // Only what has already arrived here is dropped: asking the converter to purge before every
    // frame would cost each exchange a round trip (its answer waits for our acknowledgement).
    DrainReceived();
  }

  void purgeFar(int timeoutMs) override {
    if (socket_ == net::kNoSocket) return;
    if (telnet_ && !broken_) {
      // The converter empties its queues (RFC 2217), and its answer says when it has.
      const int acks = session_.purgeAcks();
      if (SendAll(telnet::ComPortCommand(telnet::kPurgeData, std::string(1, telnet::kPurgeBoth)))) {
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
        while (!broken_ && session_.purgeAcks() == acks && MsLeft(deadline) > 0) {
          const net::Wait wait = net::WaitReadable(socket_, MsLeft(deadline));
          if (wait != net::Wait::Ready) break;
          if (!Pull()) break;
          Drop();
        }
      }
    }
    DrainReceived();
  }

  void discard() override {
    if (socket_ == net::kNoSocket) return;
    DrainReceived();
  }

  void clearError() override { Drop(); }

 private:
  bool Fail(const std::string& why) {
    tLastFailure = why;
    return false;
  }

  ReadResult Broken() {
    broken_ = true;
    Drop();
    return ReadResult::Error;
  }

  void Drop() {
    data_.clear();
    head_ = 0;
  }

  // Reads what the socket holds into data_ (telnet commands answered and removed); false when
  // the connection is gone.
  bool Pull() {
    char raw[512];
    const long n = net::Receive(socket_, raw, sizeof raw);
    if (n == net::kWouldBlock) return true;
    if (n <= 0) {
      Broken();
      return false;
    }
    if (head_ == data_.size()) Drop();
    const std::string_view got(raw, static_cast<std::size_t>(n));
    if (!telnet_) {
      data_.append(got);
      return true;
    }
    std::string replies;
    session_.Feed(got, data_, replies);
    if (!replies.empty() && !SendAll(replies)) {
      Broken();
      return false;
    }
    return true;
  }

  void DrainReceived() {
    Drop();
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kDrainMs);
    std::size_t dropped = 0;
    while (!broken_ && dropped < kDrainBytes && Clock::now() < deadline &&
           net::WaitReadable(socket_, 0) == net::Wait::Ready) {
      if (!Pull()) break;
      dropped += data_.size();
      Drop();
    }
  }

  bool SendAll(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const long n = net::Send(socket_, bytes.data() + done, bytes.size() - done);
      if (n == net::kFailed) {
        Broken();
        return false;
      }
      if (n == net::kWouldBlock || n == 0) {
        if (net::WaitWritable(socket_, kWriteWaitMs) != net::Wait::Ready) return false;
        continue;
      }
      done += static_cast<std::size_t>(n);
    }
    return true;
  }

  // Asks for the COM-port option and sets the line (speed, 8N1), then waits until the converter
  // confirms the speed, so that the first frame already goes out at it. What the line brought
  // before is stale and purged.
  bool SetUpConverter(std::uint32_t baud, std::string& why) {
    std::string setup = session_.Greeting();
    setup += telnet::SetBaudRate(baud);
    setup += telnet::ComPortCommand(telnet::kSetDataSize, std::string(1, 8));
    setup += telnet::ComPortCommand(telnet::kSetParity, std::string(1, telnet::kParityNone));
    setup += telnet::ComPortCommand(telnet::kSetStopSize, std::string(1, telnet::kOneStopBit));
    setup += telnet::ComPortCommand(telnet::kPurgeData, std::string(1, telnet::kPurgeBoth));
    if (!SendAll(setup)) {
      why = "connection lost while setting up the line";
      return false;
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(gNegotiateMs.load());
    while (session_.baudAck() == 0) {
      if (session_.comPortRefused()) {
        why = "the converter does not offer serial port control (RFC 2217)";
        return false;
      }
      const net::Wait wait = net::WaitReadableTicking(socket_, MsLeft(deadline), tick_);
      if (wait == net::Wait::Timeout) {
        why = "timed out waiting for the converter to set the line speed";
        return false;
      }
      if (wait == net::Wait::Failed || !Pull()) {
        why = "connection closed by the converter";
        return false;
      }
    }
    if (session_.baudAck() != baud) {
      why = "the converter cannot run its line at " + std::to_string(baud) + " baud";
      return false;
    }
    Drop();
    return true;
  }

  net::Socket socket_ = net::kNoSocket;
  bool telnet_ = false;
  bool broken_ = false;
  telnet::Session session_;
  std::string peer_;  // the lock key of the address connected to
  std::string data_;  // received data not yet read, from head_ on
  std::size_t head_ = 0;
  net::WaitTick tick_;
};

}  // namespace

void SetNetworkLineTiming(const NetworkLineTiming& timing) {
  gConnectMs = timing.connectMs;
  gNegotiateMs = timing.negotiateMs;
}

NetworkLineTiming GetNetworkLineTiming() { return NetworkLineTiming{gConnectMs.load(), gNegotiateMs.load()}; }

std::unique_ptr<SerialLine> MakeNetworkSerialLine() { return std::make_unique<NetworkSerialLine>(); }

std::string LastNetworkOpenFailure() { return tLastFailure; }

}  // namespace kovrix
