#include "app/model_settings.h"

#include "driver/line_speeds.h"

namespace kovrix {
namespace {

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

void ShowList(PaperWidthSetting& width, const char* first, const char* second, const char* text) {
  width.listShown = true;
  width.listEntries = {first, second};
  width.listText = text;
}

}  // namespace

void ApplyPaperWidth(const std::string& model, PaperWidthSetting& width) {
  const unsigned setting = width.setting + 1;
  width = PaperWidthSetting{};
  width.setting = setting;
  if (Contains(model, "QX41")) width.numberText = "38";
  if (Contains(model, "KR-12")) width.numberText = "32";
  if (Contains(model, "KR-26")) width.numberText = "40";
  if (Contains(model, "QX53")) {
    width.numberText = "36";
  } else if (Contains(model, "QX71")) {
    ShowList(width, "42", "44", "42");
  } else if (Contains(model, "KR-25")) {
    ShowList(width, "42", "48", "42");
  } else if (Contains(model, "Veltra KR-21") || Contains(model, "Veltra KR-23")) {
    ShowList(width, "40", "42", "40");
  }
}

bool HasModemModelRules(const std::string& model) { return Contains(model, "QX41") || Contains(model, "KR-12"); }

void ApplyRegistratorParamsRules(const std::string& model, RegistratorParamsSetting& params) {
  params.smallFontReceiptShown = false;
  if (model == "Veltra KR-12") params.smallFontControlShown = true;
  static const std::array<const char*, 5> k57mm = {"Veltra KR-24", "Veltra KR-21", "Veltra KR-25", "Veltra KR-23",
                                                    "Veltra KR-27"};
  bool wide = false;
  for (const char* name : k57mm) wide = wide || model == name;
  if (wide) params.smallFontControlShown = false;
  params.paper57Shown = wide;
}

bool IsSecondModelLine(const std::string& model) { return Contains(model, "RQM"); }

std::string ProtocolVersionFor(int versionOverride, const std::string& reported, const std::string& previous) {
  switch (versionOverride) {
    case -1: return reported;
    case 0: return "2.01";
    case 1: return "2.02";
    case 2: return "3.00";
    case 3: return "3.01";
    default: return previous;
  }
}

int SpeedIndexOf(int baud) {
  for (std::size_t i = 0; i < kBaudRates.size(); ++i) {
    if (kBaudRates[i] == baud) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace kovrix

namespace kovrix {

FiscalParametersScreen FiscalParametersScreenFor(int extendedTax, bool highAccess) {
  if (extendedTax == 0 && !highAccess) return FiscalParametersScreen::Standard;
  if (extendedTax == 1 || highAccess) return FiscalParametersScreen::ExtendedTax;
  return FiscalParametersScreen::IniError;
}

}  // namespace kovrix
