#pragma once
// The printed tape of the simulated registrator: every text line that receipts and reports
// print, in order (cp1251). A sink, when set, receives each line as it is printed.

#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace kovrix::sim {

class Tape {
 public:
  /// Most lines kept in memory; older lines drop out (the sink has seen them).
  static constexpr std::size_t kCapacity = 20000;

  void Print(const std::string& line);
  /// Answers the kept lines, oldest first.
  std::vector<std::string> Lines() const { return {lines_.begin(), lines_.end()}; }
  /// Answers the number of lines printed since the start, kept or not.
  std::size_t Printed() const { return printed_; }
  void SetSink(std::function<void(const std::string&)> sink) { sink_ = std::move(sink); }

 private:
  std::deque<std::string> lines_;
  std::size_t printed_ = 0;
  std::function<void(const std::string&)> sink_;
};

}  // namespace kovrix::sim
