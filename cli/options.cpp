#include "cli/options.h"

#include "session/device_options.h"

namespace kovrix::cli {
namespace {

using session::ParseDecimalInt;

enum class Opt { Port, Baud, Repeats, Log, Json, SeqReset, Help, Version };

struct OptionName {
  const char* shortName;  // may be null
  const char* longName;
  Opt opt;
  bool takesValue;
};

constexpr OptionName kOptions[] = {
    {"-p", "--port", Opt::Port, true},          {"-b", "--baud", Opt::Baud, true},
    {nullptr, "--repeats", Opt::Repeats, true}, {nullptr, "--log", Opt::Log, true},
    {nullptr, "--json", Opt::Json, false},      {nullptr, "--seq-reset", Opt::SeqReset, false},
    {"-h", "--help", Opt::Help, false},         {nullptr, "--version", Opt::Version, false},
};

// Splits "--name=value" and finds the option; value is set when it came attached.
const OptionName* Lookup(const std::string& arg, std::string& attached, bool& hasAttached) {
  std::string name = arg;
  hasAttached = false;
  const auto eq = arg.find('=');
  if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
    name = arg.substr(0, eq);
    attached = arg.substr(eq + 1);
    hasAttached = true;
  }
  for (const OptionName& o : kOptions)
    if ((o.shortName && name == o.shortName) || name == o.longName) return &o;
  return nullptr;
}

bool Apply(const OptionName& o, const std::string& value, Options& options, std::string& error) {
  switch (o.opt) {
    case Opt::Port:
      if (value.empty()) {
        error = "option " + std::string(o.longName) + " needs a port name";
        return false;
      }
      options.port = value;
      return true;
    case Opt::Baud:
      if (!ParseDecimalInt(value, options.baud) || options.baud <= 0) {
        error = "option --baud: '" + value + "' is not a positive integer";
        return false;
      }
      return true;
    case Opt::Repeats:
      if (!ParseDecimalInt(value, options.repeats) || options.repeats < 0) {
        error = "option --repeats: '" + value + "' is not a non-negative integer";
        return false;
      }
      return true;
    case Opt::Log:
      options.logFile = value;
      return true;
    case Opt::Json:
      options.json = true;
      return true;
    case Opt::SeqReset:
      options.seqReset = true;
      return true;
    case Opt::Help:
      options.help = true;
      return true;
    case Opt::Version:
      options.printVersion = true;
      return true;
  }
  return false;
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& argv, Options& options, std::string& error) {
  std::size_t i = 0;
  for (; i < argv.size(); ++i) {
    const std::string& arg = argv[i];
    if (arg == "--") {
      ++i;
      break;
    }
    if (arg.size() < 2 || arg[0] != '-') break;  // the subcommand
    std::string value;
    bool hasAttached = false;
    const OptionName* o = Lookup(arg, value, hasAttached);
    if (!o) {
      error = "unknown option " + arg;
      return false;
    }
    if (o->takesValue && !hasAttached) {
      if (i + 1 >= argv.size()) {
        error = "option " + std::string(o->longName) + " needs a value";
        return false;
      }
      value = argv[++i];
    } else if (!o->takesValue && hasAttached) {
      error = "option " + std::string(o->longName) + " takes no value";
      return false;
    }
    if (!Apply(*o, value, options, error)) return false;
  }
  if (i < argv.size()) {
    options.subcommand = argv[i];
    options.args.assign(argv.begin() + static_cast<std::ptrdiff_t>(i) + 1, argv.end());
  }
  return true;
}

}  // namespace kovrix::cli
