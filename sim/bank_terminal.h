#pragma once
// The simulated bank payment terminal served on its own pseudo-terminal.

#include <mutex>
#include <vector>

#include "sim/line_server.h"
#include "sim/model/terminal_session.h"

namespace kovrix::sim {

class BankTerminal final : public LineServer {
 public:
  explicit BankTerminal(TerminalCard card = {}) : session_(std::move(card)) {}
  ~BankTerminal() override { stop(); }

  /// Queues a fault for the next message it concerns (thread-safe).
  void QueueFault(TerminalFault fault);
  /// Answers the purchase requests received so far (thread-safe).
  std::vector<Purchase> purchases() const;
  int acknowledgements() const;

 private:
  void OnReceive(std::string_view bytes, SteadyTime at) override;
  void OnHangUp() override;

  mutable std::mutex mutex_;
  TerminalSession session_;
};

}  // namespace kovrix::sim
