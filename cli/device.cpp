#include "cli/device.h"

#include "cli/cli.h"
#include "session/render.h"
#include "driver/commands.h"
#include "driver/driver.h"
#include "driver/error_text.h"

namespace kovrix::cli {

using session::RefusalText;
using session::RenderJson;
using session::RenderRefusalJson;
using session::RenderText;

int Fail(Context& context, const std::string& message) {
  context.err << "kovrix-cli: " << message << "\n";
  return kExitUsage;
}

bool OpenOrReport(session::DeviceSession& session, Context& context) {
  if (!session.warning().empty()) context.err << "kovrix-cli: warning: " << session.warning() << "\n";
  if (session.open()) return true;
  Fail(context, session.error());
  return false;
}

int ReportReply(const ReplyRecord& record, Context& context) {
  context.out << (context.options.json ? RenderJson(record) + "\n" : RenderText(record));
  if (record.status & (ST_NO_REPLY | ST_NAK | ST_BAD_CHECKSUM)) return kExitNoReply;
  std::string message;
  return GetErrorText(record, message) ? kExitOk : kExitDeviceError;
}

int ReportRefusal(std::string_view function, int err, Context& context) {
  if (context.options.json) context.out << RenderRefusalJson(err) << "\n";
  return Fail(context, std::string(function) + " refused its arguments: " + std::to_string(err) + " (" +
                           RefusalText(function, err) + "), nothing sent");
}

}  // namespace kovrix::cli
