// Lack of rights on a serial port on Windows: any user may open a COM port that no other program
// holds, so there is no group to join and nothing to advise; a refused open is told by the
// system's own message.

#include "port/port_access.h"

namespace kovrix {

std::optional<PortAccessDenial> CheckPortAccess(const std::string&) { return std::nullopt; }

std::optional<PortAccessDenial> ExplainOpenError(const std::string&, int) { return std::nullopt; }

std::string PortAccessAdvice(const PortAccessDenial&, AdviceLanguage) { return {}; }

}  // namespace kovrix
