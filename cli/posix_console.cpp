// On POSIX systems the arguments and the terminal already are UTF-8.
#include "cli/console.h"

namespace kovrix::cli {

const char kPortUsage[] = "port name (ttyUSB0) or path (/dev/pts/3)";
const char kSequenceStoreUsage[] = "$XDG_STATE_HOME/kovrix";

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  if (argc < 1 || argv == nullptr) return {};
  return std::vector<std::string>(argv + 1, argv + argc);
}

}  // namespace kovrix::cli
