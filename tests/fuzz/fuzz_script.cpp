// Fuzz target: the script engine over a fake registrator. The first input byte sets when the
// stop flag goes up (at the n-th command sent, or during any Delay), the quiet switch and which
// replies the device gives; the rest is the script file. A run is followed, when asked, by a
// step and a continue over the same file. Properties: nothing breaks memory or hangs (a run is
// cut after a budget of lines), and once the flag is up at most the command line already under
// way sends its command: a stop set while a command is sent ends the run before the next one.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "fuzz/fuzz_check.h"
#include "monitor/script/runner.h"
#include "script/fake_device_host.h"

namespace {

using namespace kovrix;

// Thrown by the host to end a run that has read its budget of lines (a loop without commands
// runs until the user stops it, which a fuzz run cannot wait for).
struct BudgetSpent {};

class FuzzHost final : public test::FakeDeviceHost {
 public:
  explicit FuzzHost(int replyPattern) : pattern_(replyPattern) {}

  const ReplyRecord* execute(int code, const std::string& data) override {
    const bool stopWasUp = stopRequested();
    if (stopWasUp) ++sendsAfterStop;
    if (seen_.insert(code).second) {
      static const char* const kReplies[] = {"0000;", "0000;12;abc;3.50;-1;", "0001;", "timeout", "0000;;;7;"};
      AddReply(code, kReplies[static_cast<std::size_t>(code + pattern_) % std::size(kReplies)]);
    }
    const ReplyRecord* r = FakeDeviceHost::execute(code, data);
    // A stop raised by this very send ends the run here: the next command must not go out.
    if (!stopWasUp && stopRequested()) raisedBySend = true;
    return r;
  }

  void setLineNumberBox(const std::string& text) override {
    FakeDeviceHost::setLineNumberBox(text);
    if (++lines_ > kLineBudget) throw BudgetSpent{};
  }

  int sendsAfterStop = 0;
  bool raisedBySend = false;

 private:
  static constexpr int kLineBudget = 4000;
  int pattern_;
  int lines_ = 0;
  std::set<int> seen_;
};

std::string ScriptPath() {
  static const std::string path =
      (std::filesystem::temp_directory_path() / ("kovrix-fuzz-script-" + std::to_string(getpid()) + ".txt")).string();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t flags = data[0];
  {
    std::ofstream out(ScriptPath(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
  }
  FuzzHost host((flags >> 5) & 3);
  if (flags & 7) host.StopOnSend(flags & 7);
  if (flags & 8) host.StopOnDelay();
  host.quietOutput = flags & 16;

  script::ScriptRunner runner(host);
  try {
    runner.Run(ScriptPath());
    FUZZ_CHECK(!host.raisedBySend || host.sendsAfterStop == 0);
    FUZZ_CHECK(host.sendsAfterStop <= 1);
    FUZZ_CHECK(!runner.Running());
    if (flags & 128) {
      host.clearStopRequest();
      runner.Step(ScriptPath());
      runner.Continue(ScriptPath());
    }
  } catch (const BudgetSpent&) {
  }
  return 0;
}
