// The driver's default line: a network port name opens over a socket, any other name through
// the system's serial line. One place, so that every front end takes both kinds of port.

#include "driver/network_port.h"
#include "driver/network_serial_line.h"
#include "driver/serial_line.h"

namespace kovrix {
namespace {

class AnySerialLine final : public SerialLine {
 public:
  bool open(const std::string& port, int baud) override {
    close();
    std::unique_ptr<SerialLine>& line = IsNetworkPortName(port) ? network_ : system_;
    if (!line) {
      line = IsNetworkPortName(port) ? MakeNetworkSerialLine() : MakeSystemSerialLine();
      line->setWaitTick(tick_);
    }
    if (!line->open(port, baud)) return false;
    active_ = line.get();
    return true;
  }

  bool close() override {
    if (!active_) return false;
    SerialLine* line = active_;
    active_ = nullptr;
    return line->close();
  }

  bool isOpen() const override { return active_ && active_->isOpen(); }

  ReadResult readByte(std::uint8_t& byte, int timeoutMs) override {
    return active_ ? active_->readByte(byte, timeoutMs) : ReadResult::Error;
  }

  bool write(std::string_view bytes) override { return active_ && active_->write(bytes); }
  void purge() override {
    if (active_) active_->purge();
  }
  void discard() override {
    if (active_) active_->discard();
  }
  void clearError() override {
    if (active_) active_->clearError();
  }
  bool lost() const override { return active_ && active_->lost(); }
  void purgeFar(int timeoutMs) override {
    if (active_) active_->purgeFar(timeoutMs);
  }
  std::string peer() const override { return active_ ? active_->peer() : std::string(); }
  void setWaitTick(std::function<void()> tick) override {
    tick_ = std::move(tick);
    for (SerialLine* line : {system_.get(), network_.get()}) {
      if (line) line->setWaitTick(tick_);
    }
  }

 private:
  std::unique_ptr<SerialLine> system_;
  std::unique_ptr<SerialLine> network_;
  SerialLine* active_ = nullptr;
  std::function<void()> tick_;
};

}  // namespace

std::unique_ptr<SerialLine> MakeSerialLine() { return std::make_unique<AnySerialLine>(); }

}  // namespace kovrix
