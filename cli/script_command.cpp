// script FILE [--quiet]: the monitor's script runner without the window. Commands go to the
// registrator through the driver; without -p the script still runs, and its commands find no
// reply.
#include "cli/script_command.h"

#include <fstream>
#include <memory>

#include "cli/cli.h"
#include "cli/device.h"
#include "cli/interrupt.h"
#include "driver/codepage.h"
#include "driver/driver.h"
#include "monitor/script/headless_host.h"
#include "monitor/script/runner.h"

namespace kovrix::cli {
namespace {

class CliScriptHost final : public script::HeadlessHost {
 public:
  CliScriptHost(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

  const ReplyRecord* execute(int code, const std::string& data) override { return ExecuteCommand(code, data); }
  const ReplyRecord* lastReply() const override { return LatestRecord(); }
  void appendTrace(const std::string& line) override { out_ << Cp1251ToUtf8(line) << '\n' << std::flush; }
  void showMessage(const std::string& text) override { err_ << Cp1251ToUtf8(text) << '\n' << std::flush; }
  bool stopRequested() const override { return StopRequested(); }
  void clearStopRequest() override { ClearStopRequest(); }

 private:
  std::ostream& out_;
  std::ostream& err_;
};

int ExitStatus(script::RunEnd end) {
  switch (end) {
    case script::RunEnd::EndOfFile: return kExitOk;
    case script::RunEnd::Timeout: return kExitNoReply;
    case script::RunEnd::Stopped: return kExitInterrupted;
    case script::RunEnd::NotStarted: return kExitUsage;
    case script::RunEnd::Message:
    case script::RunEnd::Busy:
    case script::RunEnd::Done: break;
  }
  return kExitDeviceError;
}

}  // namespace

int RunScript(Context& context) {
  std::string file;
  bool quiet = false;
  for (const std::string& arg : context.options.args) {
    if (arg == "--quiet") {
      quiet = true;
    } else if (arg.empty() || arg[0] == '-' || !file.empty()) {
      return Fail(context, "usage: script FILE [--quiet]");
    } else {
      file = arg;
    }
  }
  if (file.empty()) return Fail(context, "usage: script FILE [--quiet]");
  // Checked before the port is opened, so that a wrong name costs nothing on the line.
  if (!std::ifstream(file)) return Fail(context, "script: cannot open " + file);

  std::unique_ptr<session::DeviceSession> session;
  if (!context.options.port.empty()) {
    session = std::make_unique<session::DeviceSession>(context.options);
    if (!OpenOrReport(*session, context)) return kExitUsage;
  }
  CliScriptHost host(context.out, context.err);
  host.quietOutput = quiet;
  script::ScriptRunner runner(host);
  StopOnInterrupt stopOnInterrupt;
  return ExitStatus(runner.Run(file));
}

}  // namespace kovrix::cli
