#pragma once
// What the subcommands that talk to the registrator share: opening the link as the options say,
// and reporting a reply or a refusal with the exit status that goes with it.

#include <string>
#include <string_view>

#include "cli/subcommands.h"
#include "driver/reply.h"
#include "session/device_session.h"

namespace kovrix::cli {

/// Prints a one-line message on the error stream and answers kExitUsage.
int Fail(Context& context, const std::string& message);

/// Opens the device and prints why when it cannot; answers whether it is open.
bool OpenOrReport(session::DeviceSession& session, Context& context);

/// Prints the reply (readable or JSON) and answers its exit status: kExitNoReply for no valid
/// reply (silence, NAK, bad checksum), kExitDeviceError for an error code, else kExitOk.
int ReportReply(const ReplyRecord& record, Context& context);

/// Reports arguments refused by a command function (its negative code) and answers kExitUsage.
int ReportRefusal(std::string_view function, int err, Context& context);

}  // namespace kovrix::cli
