#include "sim/model/tape.h"

namespace kovrix::sim {

void Tape::Print(const std::string& line) {
  lines_.push_back(line);
  if (lines_.size() > kCapacity) lines_.pop_front();
  ++printed_;
  if (sink_) sink_(line);
}

}  // namespace kovrix::sim
