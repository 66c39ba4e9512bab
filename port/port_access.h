#pragma once
// Lack of rights on a serial port, and what the user can do about it. A serial device belongs to
// a group (on Debian "dialout") whose members may read and write it; a user outside that group
// is refused with a bare "Permission denied", which these functions turn into advice that names
// the group and the way to join it.

#include <optional>
#include <string>

namespace kovrix {

struct PortAccessDenial {
  /// What gives the user the rights.
  enum class Remedy {
    JoinGroup,         // the group may use the device and the user is not in it
    LogInAgain,        // the user is in the group on record, but this session began before
    AskAdministrator,  // the group may not use the device either (or the user already holds it)
  };
  std::string path;   // the device path
  std::string owner;  // the owning user's name (its number when it has none)
  std::string group;  // the owning group's name (its number when it has none)
  std::string user;   // the user running the program; empty when unknown
  Remedy remedy = Remedy::AskAdministrator;
};

/// Answers why the process may not open the port for reading and writing, when the reason is a
/// lack of rights; nothing when it may, when the device is missing, or for any other reason.
/// Only looks at the device: nothing is opened, so the line's control signals do not move.
std::optional<PortAccessDenial> CheckPortAccess(const std::string& port);

/// Answers the denial behind an open of the port that failed with the errno value `error`:
/// nothing unless the error is EACCES or EPERM and the device can be examined.
std::optional<PortAccessDenial> ExplainOpenError(const std::string& port, int error);

enum class AdviceLanguage { English, Russian };

/// Answers the advice for a denial: the device, the group that owns it and what to do, in the
/// command line's English or the main window's Russian (UTF-8).
std::string PortAccessAdvice(const PortAccessDenial& denial, AdviceLanguage language);

}  // namespace kovrix
