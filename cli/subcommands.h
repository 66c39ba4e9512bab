#pragma once
// The subcommand table. A subcommand is one cmd_*.cpp file with a run function and one row in
// the table of subcommands.cpp.

#include <ostream>
#include <string_view>
#include <vector>

#include "cli/options.h"

namespace kovrix::cli {

/// What a subcommand works with: the parsed options (its arguments in options.args) and the streams.
struct Context {
  const Options& options;
  std::ostream& out;
  std::ostream& err;
};

using RunFunction = int (*)(Context& context);

struct Subcommand {
  const char* name;
  const char* synopsis;  // arguments, as the usage text shows them
  const char* summary;
  RunFunction run;  // answers the exit status
};

/// Answers every subcommand, in the order the usage text lists them.
const std::vector<Subcommand>& Subcommands();

/// Answers the subcommand of that name, or null.
const Subcommand* FindSubcommand(std::string_view name);

}  // namespace kovrix::cli
