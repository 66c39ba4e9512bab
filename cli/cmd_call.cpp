// call FUNCTION [ARG...]: calls one command API function with arguments typed as text.
#include "cli/call_table.h"
#include "cli/cli.h"
#include "cli/device.h"

namespace kovrix::cli {
namespace {

int ListFunctions(Context& context) {
  for (const CallEntry& entry : CallTable()) context.out << entry.name << " " << Signature(entry) << "\n";
  return 0;
}

}  // namespace

int RunCall(Context& context) {
  const auto& args = context.options.args;
  if (args.empty()) return Fail(context, "usage: call FUNCTION [ARG...] (call --list lists the functions)");
  if (args[0] == "--list") return ListFunctions(context);
  const CallEntry* entry = FindCall(args[0]);
  if (!entry) return Fail(context, "call: unknown function '" + args[0] + "' (call --list lists them)");

  std::vector<ArgValue> values;
  std::string error;
  if (!ParseCallArgs(*entry, std::vector<std::string>(args.begin() + 1, args.end()), values, error))
    return Fail(context, error);

  session::DeviceSession session(context.options);
  if (!OpenOrReport(session, context)) return kExitUsage;
  int err = 0;
  const ReplyRecord* record = entry->invoke(CallArgs(std::move(values)), err);
  if (err < 0) return ReportRefusal(entry->name, err, context);
  return ReportReply(*record, context);
}

}  // namespace kovrix::cli
