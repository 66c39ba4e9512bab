#include "cli/device.h"

#include "cli/cli.h"
#include "cli/render.h"
#include "driver/commands.h"
#include "driver/driver.h"
#include "driver/error_text.h"
#include "driver/serial_line.h"
#ifndef _WIN32
#include "port/port_access.h"
#endif

namespace kovrix::cli {

DeviceSession::DeviceSession(const Options& options) {
  if (options.port.empty()) {
    error_ = "no port given (use -p PORT)";
    return;
  }
  const PortState::Lock lock = portState_.Acquire(options.port, kPortWaitMs);
  if (lock == PortState::Lock::Busy) {
    error_ = "port busy: another kovrix-cli run is using " + options.port;
    return;
  }
  // The log name is passed as typed: it names a file here, not text for the device.
  SetLogFileName(options.logFile);
  if (OpenComPort(options.port, options.baud) != 0) {
    error_ = LastPortOpenFailure() == PortOpenFailure::Busy ? "port busy: another program is using " + options.port
                                                             : "cannot open port " + options.port;
#ifndef _WIN32
    // Lack of rights: name the device's group and how to join it.
    if (const auto denial = CheckPortAccess(options.port)) {
      error_ += ": " + PortAccessAdvice(*denial, AdviceLanguage::English);
    }
#endif
    return;
  }
  SetRepeatCount(options.repeats);
  if (lock == PortState::Lock::Held) {
    TheLink().SetSequenceCounter(options.seqReset ? 0 : portState_.counter());
    TheLink().SetSequenceObserver([this](std::uint8_t counter) { portState_.Store(counter); });
  } else {
    if (options.seqReset) TheLink().SetSequenceCounter(0);
    // A missing device file is not worth a word: the open has already told.
    if (!ResolvedDevicePath(options.port).empty()) warning_ = "frame sequence not kept: " + portState_.why();
  }
  open_ = true;
}

DeviceSession::~DeviceSession() {
  if (open_) CloseComPort();
  TheLink().SetSequenceObserver(nullptr);
}

int Fail(Context& context, const std::string& message) {
  context.err << "kovrix-cli: " << message << "\n";
  return kExitUsage;
}

bool OpenOrReport(DeviceSession& session, Context& context) {
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

std::string RefusalText(std::string_view function, int err) {
  switch (err) {
    case ERR_EAN13_LENGTH:
      return "the code is not 12 characters long";
    case ERR_EAN13_NOT_DIGITS:
      return "the code is not all digits";
    case ERR_LOGO_LINE:
      return "logo line number below 0";
    case ERR_LOGO_DATA:
      return "logo line data not 48 characters";
    case ERR_HEADER_LINE:
    case ERR_HEADER_LINE_READ:
      return "line number outside 0..20";
    case ERR_QUANTITY:  // the same code as ERR_PAYMENT_TYPE
      return function == "Payment" ? "payment type outside 0..9" : "quantity not above 0";
    case ERR_PRICE:
      return "price below 0";
    case ERR_AMOUNT:
      return "amount not a finite number";
    case ERR_SOURCE_TYPE:
      return "source type not 0, 1, 2, 3 or 5";
    case ERR_DATA_TOO_LONG:
      return "data text longer than 219 bytes";
    default:
      return "argument error";
  }
}

}  // namespace kovrix::cli
