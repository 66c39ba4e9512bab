#pragma once
// The registrators a service serves, as the command line names them (--registrator ID=PORT[@BAUD])
// or as a configuration file lists them, one [registrator] section each:
//
//   # the cash desks of the shop
//   [registrator]
//   id = desk1
//   port = /dev/ttyUSB0
//   speed = 115200
//   repeats = 1
//   log = /var/log/kovrix/desk1.log
//
// Blank lines and lines starting with "#" or ";" are skipped; names of sections and keys are
// taken in any case, values as written (blanks around them trimmed). id and port are required;
// speed and repeats default to the service's (-b, --repeats, fpinit.ini), log to none.

#include <cstddef>
#include <string>
#include <vector>

#include "server/registrator.h"
#include "session/device_options.h"

namespace kovrix::server {

/// The repeat counts taken (--repeats and a configuration file's repeats): how often a command
/// is sent again when its reply is lost; more would hold a silent registrator's queue for minutes.
inline constexpr int kMaxRepeats = 100;

/// Answers whether the speed is one of the tool's line speeds (kBaudRates).
bool IsLineSpeed(int baud);
/// Answers the line speeds as a text for messages: "110, 300, ..., 115200".
std::string LineSpeedsText();

/// Answers what is wrong with a port name (empty, too long, a network port that does not parse),
/// empty when nothing.
std::string PortProblem(const std::string& port);

/// The most registrators one service serves.
inline constexpr std::size_t kMaxRegistrators = 64;
/// The largest configuration file read.
inline constexpr std::size_t kMaxConfigBytes = 64 * 1024;

/// Parses ID=PORT[@BAUD] over the defaults (speed, repeats); false with a one-line message.
bool ParseRegistratorArgument(const std::string& text, const session::DeviceOptions& defaults, RegistratorConfig& out,
                          std::string& error);

/// Parses a configuration text over the defaults, appending its registrators; false with a
/// one-line message "NAME:LINE: what is wrong" (NAME names the file).
bool ParseRegistratorsText(const std::string& text, const std::string& name, const session::DeviceOptions& defaults,
                           std::vector<RegistratorConfig>& out, std::string& error);

/// Reads and parses a configuration file as ParseRegistratorsText does; false when it cannot be
/// read, is larger than kMaxConfigBytes or is wrong.
bool LoadRegistratorsFile(const std::string& path, const session::DeviceOptions& defaults,
                          std::vector<RegistratorConfig>& out, std::string& error);

/// Answers whether the registrators can be served together: at most kMaxRegistrators, no id, port
/// or log file given twice (the same device file by two names counts as one port); false with a
/// one-line message naming the duplicate.
bool CheckRegistrators(const std::vector<RegistratorConfig>& list, std::string& error);

}  // namespace kovrix::server
