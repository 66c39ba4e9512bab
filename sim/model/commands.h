#pragma once
// The simulated registrator's command table: one handler per command code, grouped by area in
// the cmd_*.cpp files. A handler validates its arguments before it changes anything, answers the
// reply data text, and refuses by throwing Refusal.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "sim/model/args.h"
#include "sim/model/device.h"

namespace kovrix::sim {

/// Which passwords field 1 must hold for a command.
enum class Access {
  None,         // not checked
  Any,          // any mode password or any operator's password
  Programming,  // programming or administrator password
  Reports,      // reports or administrator password
  Admin,        // administrator password
};

using Handler = std::string (*)(Device&, const Args&);

struct CommandEntry {
  std::uint8_t code;
  Access access;
  Handler handler;
};

/// Answers the reply data text of the fields, each followed by ";".
std::string Join(std::initializer_list<std::string> fields);
/// Answers the parts joined (a plain concatenation, written once instead of chains of "+").
std::string Cat(std::initializer_list<std::string_view> parts);
/// Answers the decimal text of a number.
std::string Num(std::int64_t value);
/// Answers "%02X" / "%04X" of a number.
std::string Hex2(int value);
std::string Hex4(int value);
/// Answers field n as a password of 1..6 digits (format error for other characters or none,
/// value error for more than six).
std::string PasswordField(const Args& args, int n);

/// Answers the internal software image that the registrator hands out as data source 5.
std::string FirmwareImage();

void AddClockAndSettingsCommands(std::vector<CommandEntry>& table);
void AddFiscalCommands(std::vector<CommandEntry>& table);
void AddArticleCommands(std::vector<CommandEntry>& table);
void AddReceiptCommands(std::vector<CommandEntry>& table);
void AddPaymentCommands(std::vector<CommandEntry>& table);
void AddReportCommands(std::vector<CommandEntry>& table);
void AddServiceCommands(std::vector<CommandEntry>& table);
void AddMemoryCommands(std::vector<CommandEntry>& table);

}  // namespace kovrix::sim
