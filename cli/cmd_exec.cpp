// exec CODE [DATA]: sends one command with a data text of the user's own making.
#include "cli/cli.h"
#include "cli/device.h"
#include "driver/codepage.h"
#include "driver/driver.h"
#include "driver/frame.h"

namespace kovrix::cli {
namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A command code is exactly two hexadecimal digits, either case; -1 otherwise.
int ParseCommandCode(const std::string& text) {
  if (text.size() != 2) return -1;
  const int high = HexDigitValue(text[0]);
  const int low = HexDigitValue(text[1]);
  return (high < 0 || low < 0) ? -1 : high * 16 + low;
}

}  // namespace

int RunExec(Context& context) {
  const auto& args = context.options.args;
  if (args.empty() || args.size() > 2) return Fail(context, "usage: exec CODE [DATA]");
  const int code = ParseCommandCode(args[0]);
  if (code < 0) return Fail(context, "exec: '" + args[0] + "' is not a command code of two hexadecimal digits");
  // A reply's command byte below 20h is a control byte to the receive machine: no reply to such a
  // command could be read, so it is not sent at all.
  if (code < 0x20) return Fail(context, "exec: command code " + args[0] + " is below 20: its reply cannot be framed, nothing sent");
  const std::string data = args.size() == 2 ? Utf8ToCp1251(args[1]) : std::string();
  if (data.size() > kMaxFrameData)
    return Fail(context, "exec: DATA is " + std::to_string(data.size()) + " bytes, one frame carries at most " +
                             std::to_string(kMaxFrameData));

  session::DeviceSession session(context.options);
  if (!OpenOrReport(session, context)) return kExitUsage;
  return ReportReply(*ExecuteCommand(code, data), context);
}

}  // namespace kovrix::cli
