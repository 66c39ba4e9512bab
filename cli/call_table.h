#pragma once
// The table behind "call": every command API function by name, with the kinds of its arguments
// (password first) and a thunk that calls it with parsed values.

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "driver/reply.h"

namespace kovrix::cli {

enum class ArgKind { Text, Int, Int64, Real, Bool };

struct ArgSpec {
  const char* name;
  ArgKind kind;
};

/// A parsed argument; texts are already cp1251.
using ArgValue = std::variant<std::string, int, long long, double, bool>;

/// The parsed arguments of one call, read by position.
class CallArgs {
 public:
  explicit CallArgs(std::vector<ArgValue> values) : values_(std::move(values)) {}
  const std::string& Text(std::size_t i) const { return std::get<std::string>(values_.at(i)); }
  int Int(std::size_t i) const { return std::get<int>(values_.at(i)); }
  long long Int64(std::size_t i) const { return std::get<long long>(values_.at(i)); }
  double Real(std::size_t i) const { return std::get<double>(values_.at(i)); }
  bool Bool(std::size_t i) const { return std::get<bool>(values_.at(i)); }

 private:
  std::vector<ArgValue> values_;
};

using Invoker = const ReplyRecord* (*)(const CallArgs& args, int& err);

struct CallEntry {
  const char* name;
  int code;  // the command the function sends
  std::vector<ArgSpec> args;
  Invoker invoke;
};

/// Answers every command API function, in the order of the API.
const std::vector<CallEntry>& CallTable();

/// Answers the function of that name (exact spelling), or null.
const CallEntry* FindCall(std::string_view name);

/// Answers the kind's name as the usage text shows it.
const char* KindName(ArgKind kind);

/// Parses one argument typed on the terminal (UTF-8): texts become cp1251, integers are decimal or
/// 0x-prefixed hexadecimal, reals are finite with "." as the decimal point, booleans 0/1/true/false.
/// False with a message when the text is not of the kind.
bool ParseArg(ArgKind kind, const std::string& text, ArgValue& value, std::string& error);

/// Parses the arguments of a call; false with a one-line message when their number or a value is wrong.
bool ParseCallArgs(const CallEntry& entry, const std::vector<std::string>& texts, std::vector<ArgValue>& values,
                   std::string& error);

/// Answers the entry's arguments as the usage text shows them, e.g. "password:text line:int".
std::string Signature(const CallEntry& entry);

}  // namespace kovrix::cli
