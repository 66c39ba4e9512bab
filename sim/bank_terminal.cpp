#include "sim/bank_terminal.h"

namespace kovrix::sim {

void BankTerminal::QueueFault(TerminalFault fault) {
  std::lock_guard lock(mutex_);
  session_.QueueFault(fault);
}

std::vector<Purchase> BankTerminal::purchases() const {
  std::lock_guard lock(mutex_);
  return session_.purchases();
}

int BankTerminal::acknowledgements() const {
  std::lock_guard lock(mutex_);
  return session_.acknowledgements();
}

void BankTerminal::OnReceive(std::string_view bytes, SteadyTime) {
  std::string out;
  {
    std::lock_guard lock(mutex_);
    out = session_.Receive(bytes);
  }
  if (!out.empty()) Write(out);
}

void BankTerminal::OnHangUp() {
  std::lock_guard lock(mutex_);
  session_.Reset();
}

}  // namespace kovrix::sim
