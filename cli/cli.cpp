#include "cli/cli.h"

#include "cli/console.h"
#include "cli/options.h"
#include "cli/subcommands.h"
#include "kovrix_version.h"

namespace kovrix::cli {

std::string UsageText() {
  std::string text = "usage: kovrix-cli [options] SUBCOMMAND [ARG...]\n\nsubcommands:\n";
  for (const Subcommand& s : Subcommands())
    text += "  " + std::string(s.name) + " " + s.synopsis + "\n      " + s.summary + "\n";
  text +=
      "\noptions:\n"
      "  -p, --port PORT   " + std::string(kPortUsage) + "\n"
      "  -b, --baud N      line speed, default 9600\n"
      "  --repeats N       repeat passes of a command, default 1\n"
      "  --log FILE        append the session log to FILE\n"
      "  (options not given take their defaults from ./fpinit.ini as the tool does:\n"
      "   Communication/Port and Speed, Fiscal Printer/Reply, LogFile/Log and LogName)\n"
      "  --json            print the result as one JSON object\n"
      "  --seq-reset       start the frame sequence at 21h; by default a run continues the\n"
      "                    sequence of the previous run on the same port (kept in\n"
      "                    " + std::string(kSequenceStoreUsage) + "), so that a command equal to the last one\n"
      "                    is executed again, not answered from the device's repeat memory\n"
      "  -h, --help        print this text\n"
      "  --version         print the version\n"
      "\nTexts are typed and shown in UTF-8 and sent to the device in cp1251.\n"
      "JSON keys: command, error, ok, message, data, fields, statusBytes, status, noReply, nak,\n"
      "badChecksum, sentFrame, rawReply; a refused call prints only err. detect prints one array\n"
      "of objects with port, state (found, busy, none, error), baud, model, version, serial, message.\n"
      "\nexit status: 0 success, 1 the device answered an error code, 2 no valid reply,\n"
      "3 usage, port or argument error (also: port busy, another run holds it for 5 s)\n";
  return text;
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options options;
  session::LoadProfileDefaults(options, "fpinit.ini");
  std::string error;
  if (!ParseOptions(args, options, error)) {
    err << "kovrix-cli: " << error << " (see --help)\n";
    return kExitUsage;
  }
  if (options.help) {
    out << UsageText();
    return kExitOk;
  }
  if (options.printVersion) {
    out << "kovrix-cli " KOVRIX_VERSION "\n";
    return kExitOk;
  }
  if (options.subcommand.empty()) {
    err << "kovrix-cli: no subcommand given (see --help)\n";
    return kExitUsage;
  }
  const Subcommand* subcommand = FindSubcommand(options.subcommand);
  if (!subcommand) {
    err << "kovrix-cli: unknown subcommand '" << options.subcommand << "' (see --help)\n";
    return kExitUsage;
  }
  Context context{options, out, err};
  return subcommand->run(context);
}

}  // namespace kovrix::cli
