#pragma once
// Why a port cannot be connected, told in Russian. The driver says why a network port failed in
// English (the command line and the service show it as it is); the window turns every such reason
// into Russian through one table, and the kind of a failed device open into a Russian reason.

#include <QString>
#include <optional>
#include <string>

#include "driver/serial_line.h"

namespace kovrix {

/// Answers the Russian text of a network open-failure reason, or nothing when the table lacks it.
/// Numbers and the resolver's own detail inside a reason are carried into the text.
std::optional<QString> RussianNetworkReason(const std::string& reason);

/// Answers the Russian text of a network open-failure reason; a reason the table lacks is named
/// as a network failure with the system's words in brackets.
QString NetworkFailureText(const std::string& reason);

/// Answers why a device port did not open, in Russian; empty when it did.
QString DeviceOpenFailureText(PortOpenFailure failure);

/// Answers the whole message after a failed open of the port (as typed, a device or a network
/// name): "Невозможно подключить порт", then the port and the reason on a line of their own, and
/// advice on joining the device's group when rights are lacking. Call it at once after the failed
/// open, on the same thread: the reason is the driver's record of its latest open.
QString PortOpenFailureMessage(const std::string& port);

}  // namespace kovrix
