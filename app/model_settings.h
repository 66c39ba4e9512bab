#pragma once
// The model-dependent settings worked out from the registrator's model name at connect.

#include <string>

#include "app/connection_state.h"

namespace kovrix {

/// Sets the paper width field for the model (substring tests; later tests of the first three override).
void ApplyPaperWidth(const std::string& modelName, PaperWidthSetting& width);

/// Answers whether the model is one whose status byte 5 bits 0 and 1 and menu entries differ (QX41, KR-12).
bool HasModemModelRules(const std::string& modelName);

/// Sets the registrator parameters screen's boxes for the model (whole-name comparisons).
void ApplyRegistratorParamsRules(const std::string& modelName, RegistratorParamsSetting& params);

/// Answers whether the model belongs to the second model line (name contains "RQM").
bool IsSecondModelLine(const std::string& modelName);

/// Answers the protocol version text for an override value, or nothing (-1: the reported one).
/// reported = reply field 2; an override outside -1..3 answers the previous text.
std::string ProtocolVersionFor(int versionOverride, const std::string& reported, const std::string& previous);

/// Answers the index of a baud rate in the list 110 .. 115200, or -1.
int SpeedIndexOf(int baud);

}  // namespace kovrix

namespace kovrix {

/// The fiscal parameters screen the menu entry opens.
enum class FiscalParametersScreen { Standard, ExtendedTax, IniError };

/// Answers which fiscal parameters screen to open for the "ExtendedTax" key and the access level.
FiscalParametersScreen FiscalParametersScreenFor(int extendedTax, bool highAccess);

}  // namespace kovrix
