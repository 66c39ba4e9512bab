#include "sim/sim_options.h"

#include "sim/model/values.h"

namespace kovrix::sim {

std::string SimUsage() {
  return "usage: kovrix-sim [--link PATH | --tcp PORT] [--model NAME] [--fw-version TEXT] [--pace BAUD] [--tape FILE]\n"
         "                  [--terminal-link PATH] [--state FILE] [--flash-size BYTES]\n"
         "                  [--fault FAULT]... [--terminal-fault noack-start|noack-purchase|silent|decline]...\n"
         "       kovrix-sim --version | --help\n"
         "--tcp PORT: serve the registrator on the loopback port 127.0.0.1:PORT (0: any free port),\n"
         "            reached as the port tcp://127.0.0.1:PORT, instead of on a pseudo-terminal\n"
         "FAULT: nak:N drop:N mute:N badsum:N garble:N cut:N syn:MS[:N] fail:CC=EEEE status:B.b=0|1\n"
         "       nak:CC@n drop:CC@n mute:CC@n badsum:CC@n garble:CC@n cut:CC@n silent:CC@n:MS\n"
         "       (the reply to the n-th command CC from the start, hexadecimal CC; @* = every one)\n";
}

std::optional<SimOptions> ParseSimOptions(const std::vector<std::string>& args, std::string& error) {
  SimOptions o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      o.help = true;
      continue;
    }
    if (a == "--version") {
      o.printVersion = true;
      continue;
    }
    if (i + 1 >= args.size()) {
      error = "unknown switch or missing value: " + a;
      return std::nullopt;
    }
    const std::string& v = args[++i];
    if (a == "--link") {
      o.link = v;
    } else if (a == "--terminal-link") {
      o.terminalLink = v;
    } else if (a == "--model") {
      o.model = v;
    } else if (a == "--fw-version") {
      o.version = v;
    } else if (a == "--tape") {
      o.tape = v;
    } else if (a == "--state") {
      o.state = v;
    } else if (a == "--tcp") {
      const auto n = ParseInteger(v);
      if (!n || *n < 0 || *n > 65535) {
        error = "bad value for --tcp: " + v + " (a port number 0-65535)";
        return std::nullopt;
      }
      o.tcpPort = static_cast<int>(*n);
    } else if (a == "--pace" || a == "--flash-size") {
      const auto n = ParseInteger(v);
      const std::int64_t lo = a == "--pace" ? 50 : 1024;
      if (!n || *n < lo || *n > 16 * 1024 * 1024) {
        error = "bad value for " + a + ": " + v;
        return std::nullopt;
      }
      if (a == "--pace") {
        o.pace = static_cast<int>(*n);
      } else {
        o.flashSize = static_cast<std::size_t>(*n);
      }
    } else if (a == "--fault") {
      FaultPlan probe;
      if (!ApplyFault(v, probe)) {
        error = "bad fault: " + v;
        return std::nullopt;
      }
      o.faults.push_back(v);
    } else if (a == "--terminal-fault") {
      if (!ParseTerminalFault(v)) {
        error = "bad terminal fault: " + v;
        return std::nullopt;
      }
      o.terminalFaults.push_back(v);
    } else {
      error = "unknown switch: " + a;
      return std::nullopt;
    }
  }
  if (o.tcpPort >= 0 && !o.link.empty()) {
    error = "--link and --tcp exclude each other (a TCP port has no device path to link to)";
    return std::nullopt;
  }
  return o;
}

namespace {

std::optional<int> Count(const std::string& text, int lo, int hi) {
  const auto n = ParseInteger(text);
  if (!n || *n < lo || *n > hi) return std::nullopt;
  return static_cast<int>(*n);
}

// CC@n or CC@*: a command in hexadecimal and which of its frames (0 = every).
bool ParseAim(const std::string& text, std::uint8_t& command, int& nth) {
  const std::size_t at = text.find('@');
  if (at == std::string::npos || at == 0 || at > 2) return false;
  const auto code = ParseHex(text.substr(0, at));
  if (!code) return false;
  const std::string which = text.substr(at + 1);
  if (which == "*") {
    nth = 0;
  } else {
    const auto n = Count(which, 1, 100000);
    if (!n) return false;
    nth = *n;
  }
  command = static_cast<std::uint8_t>(*code);
  return true;
}

}  // namespace

bool ApplyFault(const std::string& text, FaultPlan& plan) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  const std::string kind = text.substr(0, colon);
  const std::string arg = text.substr(colon + 1);
  static const std::pair<const char*, LineFault> kCounted[] = {
      {"nak", LineFault::Nak},       {"drop", LineFault::Drop}, {"mute", LineFault::Mute},
      {"badsum", LineFault::BadChecksum}, {"garble", LineFault::Garble}, {"cut", LineFault::Cut},
  };
  std::uint8_t command = 0;
  int nth = 0;
  for (const auto& [name, fault] : kCounted) {
    if (kind == name && arg.find('@') != std::string::npos) {
      if (!ParseAim(arg, command, nth)) return false;
      plan.Aim(command, fault, nth);
      return true;
    }
    if (kind == name) {
      const auto n = Count(arg, 1, 100000);
      if (!n) return false;
      plan.Queue(fault, *n);
      return true;
    }
  }
  if (kind == "silent") {
    const std::size_t second = arg.find(':');
    if (second == std::string::npos || !ParseAim(arg.substr(0, second), command, nth)) return false;
    const auto ms = Count(arg.substr(second + 1), 1, 600000);
    if (!ms) return false;
    plan.SilenceAfter(command, nth, *ms);
    return true;
  }
  if (kind == "syn") {
    const std::size_t second = arg.find(':');
    const auto ms = Count(arg.substr(0, second), 1, 600000);
    const auto n = second == std::string::npos ? std::optional<int>(1) : Count(arg.substr(second + 1), 1, 100000);
    if (!ms || !n) return false;
    plan.SynBeforeReply(*ms, *n);
    return true;
  }
  if (kind == "fail") {
    const std::size_t eq = arg.find('=');
    if (eq == std::string::npos || eq == 0 || eq > 2 || arg.size() - eq - 1 != 4) return false;
    const auto command = ParseHex(arg.substr(0, eq));
    const auto detail = ParseHex(arg.substr(eq + 1, 2));
    const auto group = ParseHex(arg.substr(eq + 3, 2));
    if (!command || !detail || !group) return false;
    plan.FailCommand(static_cast<std::uint8_t>(*command),
                     ErrorCode{static_cast<std::uint8_t>(*group), static_cast<std::uint8_t>(*detail)});
    return true;
  }
  if (kind == "status") {
    // B.b=0|1
    if (arg.size() != 5 || arg[1] != '.' || arg[3] != '=') return false;
    const int byte = arg[0] - '0';
    const int bit = arg[2] - '0';
    if (byte < 0 || byte > 5 || bit < 0 || bit > 6 || (arg[4] != '0' && arg[4] != '1')) return false;
    plan.ForceStatusBit(byte, bit, arg[4] == '1');
    return true;
  }
  return false;
}

std::optional<TerminalFault> ParseTerminalFault(const std::string& text) {
  if (text == "noack-start") return TerminalFault::NoAckToStart;
  if (text == "noack-purchase") return TerminalFault::NoAckToPurchase;
  if (text == "silent") return TerminalFault::SilentAfterAck;
  if (text == "decline") return TerminalFault::Declined;
  return std::nullopt;
}

}  // namespace kovrix::sim
