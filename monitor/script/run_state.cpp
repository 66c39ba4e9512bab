#include "monitor/script/run_state.h"

namespace kovrix::script {

int RunState::FindVariable(std::string_view name) const {
  for (std::size_t i = 0; i < variables.size(); ++i)
    if (variables[i].name == name) return static_cast<int>(i);
  return -1;
}

int RunState::FindIf(long position) const {
  for (std::size_t i = 0; i < ifBlocks.size(); ++i)
    if (ifBlocks[i].position == position) return static_cast<int>(i);
  return -1;
}

int RunState::FindWhile(long position) const {
  for (std::size_t i = 0; i < whileBlocks.size(); ++i)
    if (whileBlocks[i].position == position) return static_cast<int>(i);
  return -1;
}

void RunState::Reset() { *this = RunState{}; }

}  // namespace kovrix::script
