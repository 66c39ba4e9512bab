#include "cli/subcommands.h"

namespace kovrix::cli {

// The run functions, one per cmd_*.cpp file.
int RunExec(Context& context);
int RunCall(Context& context);
int RunScript(Context& context);
int RunPorts(Context& context);
int RunDetect(Context& context);
int RunProfile(Context& context);

const std::vector<Subcommand>& Subcommands() {
  static const std::vector<Subcommand> table = {
      {"exec", "CODE [DATA]", "send command CODE (two hex digits, either case) with DATA as given (password included)",
       RunExec},
      {"call", "FUNCTION [ARG...]",
       "call a command API function by its name, arguments in its order, password first ('call --list' lists them)",
       RunCall},
      {"script", "FILE [--quiet]",
       "run a script file through the monitor's script engine: trace on stdout, messages on stderr; --quiet = "
       "\"Не выводить данные\"; SIGINT stops after the next command line",
       RunScript},
      {"ports", "", "list the serial ports of the system and mark the registrator's USB virtual COM port", RunPorts},
      {"detect", "[--json]",
       "find registrators on the ports 'ports' lists and on -p PORT: each speed of the speed list\n"
       "      (115200 down to 110) is asked for the diagnostic information, fastest first; prints one\n"
       "      line per port (speed, model, version, serial number, or busy/none/error and why);\n"
       "      ports held by another run or program are left alone. A silent port costs about 6 s\n"
       "      (11 speeds x 300 ms, plus the request's own time on the line at the slow speeds);\n"
       "      exit status 0 when a registrator was found, 2 when none",
       RunDetect},
      {"profile", "read|diff|apply ...",
       "the registrator's settings as one JSON profile (docs/profile.schema.json):\n"
       "      read [--areas LIST] [--with-passwords [--mode-passwords P,R,A]]   the profile to stdout\n"
       "      diff FILE          device value vs profile value per field; exit 0 equal, 1 different\n"
       "      apply FILE [--dry-run] [--skip-refused] [--write-unreadable]   writes only what differs,\n"
       "        each write read back; exit 0 done, 1 refused, 2 a reply lost (that field's outcome unknown);\n"
       "        --write-unreadable also writes the passwords, reminder message and logo the file gives\n"
       "      each takes --password PW, --admin-password PW, --reminder-password PW; FILE - is stdin",
       RunProfile},
  };
  return table;
}

const Subcommand* FindSubcommand(std::string_view name) {
  for (const Subcommand& s : Subcommands())
    if (name == s.name) return &s;
  return nullptr;
}

}  // namespace kovrix::cli
