#include "cli/call_table.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "driver/codepage.h"
#include "driver/commands.h"

namespace kovrix::cli {
namespace {

// Digits of a whole integer: optional sign, then decimal digits or 0x and hexadecimal digits.
// strtoll with base 0 would read a leading 0 as octal, which nobody typing "010" means.
bool ParseInteger(const std::string& text, long long& value) {
  std::size_t i = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
  int base = 10;
  if (text.size() > i + 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) base = 16;
  const std::string digits = text.substr(i + (base == 16 ? 2 : 0));
  const char* allowed = base == 16 ? "0123456789abcdefABCDEF" : "0123456789";
  if (digits.empty() || digits.find_first_not_of(allowed) != std::string::npos) return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long long magnitude = std::strtoull(digits.c_str(), &end, base);
  if (errno != 0 || *end != '\0') return false;
  const bool negative = text[0] == '-';
  if (negative) {
    if (magnitude > static_cast<unsigned long long>(LLONG_MAX) + 1) return false;
    value =
        magnitude == static_cast<unsigned long long>(LLONG_MAX) + 1 ? LLONG_MIN : -static_cast<long long>(magnitude);
  } else {
    if (magnitude > static_cast<unsigned long long>(LLONG_MAX)) return false;
    value = static_cast<long long>(magnitude);
  }
  return true;
}

bool ParseReal(const std::string& text, double& value) {
  // strtod also takes leading blanks, "inf", "nan" and hexadecimal floats; none is a sum of money.
  if (text.empty() || text.find_first_not_of("+-.0123456789eE") != std::string::npos) return false;
  errno = 0;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return errno == 0 && *end == '\0' && std::isfinite(value);
}

bool ParseBool(const std::string& text, bool& value) {
  if (text == "1" || text == "true") {
    value = true;
    return true;
  }
  if (text == "0" || text == "false") {
    value = false;
    return true;
  }
  return false;
}

}  // namespace

const std::vector<CallEntry>& CallTable() {
  static const std::vector<CallEntry> table = {
      {"SetDateTime",
       0x20,
       {{"password", ArgKind::Text}, {"date", ArgKind::Text}, {"time", ArgKind::Text}},
       [](const CallArgs& a, int& e) { return SetDateTime(a.Text(0), a.Text(1), a.Text(2), e); }},
      {"GetDateTime",
       0x21,
       {{"password", ArgKind::Text}},
       [](const CallArgs& a, int& e) { return GetDateTime(a.Text(0), e); }},
      {"RestartRegistrator",
       0xF3,
       {{"password", ArgKind::Text}},
       [](const CallArgs& a, int& e) { return RestartRegistrator(a.Text(0), e); }},
      {"GetDiagnosticInfo",
       0x80,
       {{"password", ArgKind::Text}},
       [](const CallArgs& a, int& e) { return GetDiagnosticInfo(a.Text(0), e); }},
      {"GetFreeResources",
       0xA0,
       {{"password", ArgKind::Text}},
       [](const CallArgs& a, int& e) { return GetFreeResources(a.Text(0), e); }},
      {"SetHeaderFooter",
       0x22,
       {{"password", ArgKind::Text}, {"line", ArgKind::Int}, {"text", ArgKind::Text}, {"option", ArgKind::Int}},
       [](const CallArgs& a, int& e) { return SetHeaderFooter(a.Text(0), a.Int(1), a.Text(2), a.Int(3), e); }},
      {"GetHeaderFooter",
       0x23,
       {{"password", ArgKind::Text}, {"line", ArgKind::Int}},
       [](const CallArgs& a, int& e) { return GetHeaderFooter(a.Text(0), a.Int(1), e); }},
      {"SetUserLogo",
       0x29,
       {{"password", ArgKind::Text}, {"line", ArgKind::Int}, {"lineData", ArgKind::Text}},
       [](const CallArgs& a, int& e) { return SetUserLogo(a.Text(0), a.Int(1), a.Text(2), e); }},
      {"PrintEAN13Code",
       0x6F,
       {{"password", ArgKind::Text}, {"height", ArgKind::Int}, {"code", ArgKind::Text}},
       [](const CallArgs& a, int& e) { return PrintEAN13Code(a.Text(0), a.Int(1), a.Text(2), e); }},
      {"SetRegistratorParams",
       0x27,
       {{"password", ArgKind::Text},
        {"baud", ArgKind::Int},
        {"contrast", ArgKind::Int},
        {"documentOptions", ArgKind::Int},
        {"tapeOptions", ArgKind::Int},
        {"byte1", ArgKind::Int},
        {"byte2", ArgKind::Int},
        {"number", ArgKind::Int}},
       [](const CallArgs& a, int& e) {
         return SetRegistratorParams(a.Text(0), a.Int(1), a.Int(2), a.Int(3), a.Int(4), a.Int(5), a.Int(6), a.Int(7),
                                     e);
       }},
      {"GetRegistratorParams",
       0x28,
       {{"password", ArgKind::Text}},
       [](const CallArgs& a, int& e) { return GetRegistratorParams(a.Text(0), e); }},
      {"SetDecimalPoint",
       0x49,
       {{"password", ArgKind::Text}, {"position", ArgKind::Int}},
       [](const CallArgs& a, int& e) { return SetDecimalPoint(a.Text(0), a.Int(1), e); }},
      {"GetDecimalPoint",
       0x4A,
       {{"password", ArgKind::Text}},
       [](const CallArgs& a, int& e) { return GetDecimalPoint(a.Text(0), e); }},
      {"SetModePsw",
       0x2B,
       {{"adminPassword", ArgKind::Text},
        {"programmingPassword", ArgKind::Text},
        {"reportsPassword", ArgKind::Text},
        {"newAdminPassword", ArgKind::Text}},
       [](const CallArgs& a, int& e) { return SetModePsw(a.Text(0), a.Text(1), a.Text(2), a.Text(3), e); }},
      {"ClearOpetratorPsw",
       0x2C,
       {{"password", ArgKind::Text}, {"operator", ArgKind::Int}},
       [](const CallArgs& a, int& e) { return ClearOpetratorPsw(a.Text(0), a.Int(1), e); }},
      {"SetOperatorParams",
       0x2F,
       {{"password", ArgKind::Text},
        {"operator", ArgKind::Int},
        {"operatorPassword", ArgKind::Text},
        {"name", ArgKind::Text}},
       [](const CallArgs& a, int& e) { return SetOperatorParams(a.Text(0), a.Int(1), a.Text(2), a.Text(3), e); }},
      {"GetOperatorParams",
       0x30,
       {{"password", ArgKind::Text}, {"operator", ArgKind::Int}},
       [](const CallArgs& a, int& e) { return GetOperatorParams(a.Text(0), a.Int(1), e); }},
      {"SetPaymentParams",
       0x2D,
       {{"password", ArgKind::Text}, {"payment", ArgKind::Int}, {"mask", ArgKind::Int}, {"name", ArgKind::Text}},
       [](const CallArgs& a, int& e) { return SetPaymentParams(a.Text(0), a.Int(1), a.Int(2), a.Text(3), e); }},
      {"GetPaymentParams",
       0x2E,
       {{"password", ArgKind::Text}, {"payment", ArgKind::Int}},
       [](const CallArgs& a, int& e) { return GetPaymentParams(a.Text(0), a.Int(1), e); }},
      {"Fiscalize",
       0x40,
       {{"password", ArgKind::Text}, {"serialNumber", ArgKind::Text}, {"inspectorPassword", ArgKind::Text}},
       [](const CallArgs& a, int& e) { return Fiscalize(a.Text(0), a.Text(1), a.Text(2), e); }},
      {"SetSerialNumber",
       0x41,
       {{"password", ArgKind::Text}, {"serialNumber", ArgKind::Text}},
       [](const CallArgs& a, int& e) { return SetSerialNumber(a.Text(0), a.Text(1), e); }},
      {"GetSerialNumber",
       0x42,
       {{"password", ArgKind::Text}},
       [](const CallArgs& a, int& e) { return GetSerialNumber(a.Text(0), e); }},
      {"SetFiscalNumber",
       0x43,
       {{"password", ArgKind::Text}, {"fiscalNumber", ArgKind::Text}},
       [](const CallArgs& a, int& e) { return SetFiscalNumber(a.Text(0), a.Text(1), e); }},
      {"GetFiscalNumber",
       0x44,
       {{"password", ArgKind::Text}},
       [](const CallArgs& a, int& e) { return GetFiscalNumber(a.Text(0), e); }},
      {"SetTaxIdNumber",
       0x45,
       {{"password", ArgKind::Text}, {"number", ArgKind::Text}, {"numberType", ArgKind::Text}},
       [](const CallArgs& a, int& e) { return SetTaxIdNumber(a.Text(0), a.Text(1), a.Text(2), e); }},
      {"GetTaxIdNumber",
       0x46,
       {{"password", ArgKind::Text}},
       [](const CallArgs& a, int& e) { return GetTaxIdNumber(a.Text(0), e); }},
      {"SetTaxes",
       0x47,
       {{"password", ArgKind::Text},
        {"tax", ArgKind::Int},
        {"mask", ArgKind::Int},
        {"value", ArgKind::Text},
        {"name", ArgKind::Text}},
       [](const CallArgs& a, int& e) { return SetTaxes(a.Text(0), a.Int(1), a.Int(2), a.Text(3), a.Text(4), e); }},
      {"SetTaxesExt",
       0x47,
       {{"password", ArgKind::Text},
        {"tax", ArgKind::Int},
        {"mask", ArgKind::Int},
        {"value", ArgKind::Text},
        {"name", ArgKind::Text},
        {"extra", ArgKind::Int}},
       [](const CallArgs& a, int& e) {
         return SetTaxesExt(a.Text(0), a.Int(1), a.Int(2), a.Text(3), a.Text(4), a.Int(5), e);
       }},
      {"GetTaxes",
       0x48,
       {{"password", ArgKind::Text}, {"tax", ArgKind::Int}},
       [](const CallArgs& a, int& e) { return GetTaxes(a.Text(0), a.Int(1), e); }},
      {"OpenNonFiscalReceipt",
       0x60,
       {{"password", ArgKind::Text}},
       [](const CallArgs& a, int& e) { return OpenNonFiscalReceipt(a.Text(0), e); }},
      {"PrintText",
       0x61,
       {{"password", ArgKind::Text}, {"text", ArgKind::Text}},
       [](const CallArgs& a, int& e) { return PrintText(a.Text(0), a.Text(1), e); }},
      {"CloseNonFiscalReceipt",
       0x65,
       {{"password", ArgKind::Text}},
       [](const CallArgs& a, int& e) { return CloseNonFiscalReceipt(a.Text(0), e); }},
      {"OpenFiscalReceipt",
       0x63,
       {{"password", ArgKind::Text},
        {"operator", ArgKind::Int},
        {"cashDesk", ArgKind::Int},
        {"receiptType", ArgKind::Int}},
       [](const CallArgs& a, int& e) { return OpenFiscalReceipt(a.Text(0), a.Int(1), a.Int(2), a.Int(3), e); }},
      {"SellItemEx",
       0x64,
       {{"password", ArgKind::Text}, {"code", ArgKind::Int64}, {"price", ArgKind::Real}, {"quantity", ArgKind::Real}},
       [](const CallArgs& a, int& e) { return SellItemEx(a.Text(0), a.Int64(1), a.Real(2), a.Real(3), e); }},
      {"Payment",
       0x67,
       {{"password", ArgKind::Text}, {"paymentType", ArgKind::Int}, {"amount", ArgKind::Real}},
       [](const CallArgs& a, int& e) { return Payment(a.Text(0), a.Int(1), a.Real(2), e); }},
      {"PrintTotal",
       0x6D,
       {{"password", ArgKind::Text}, {"display", ArgKind::Bool}},
       [](const CallArgs& a, int& e) { return PrintTotal(a.Text(0), a.Bool(1), e); }},
      {"CloseFiscalReceipt",
       0x65,
       {{"password", ArgKind::Text}, {"option", ArgKind::Int}},
       [](const CallArgs& a, int& e) { return CloseFiscalReceipt(a.Text(0), a.Int(1), e); }},
      {"Annulment",
       0x6B,
       {{"password", ArgKind::Text}, {"operationType", ArgKind::Int}},
       [](const CallArgs& a, int& e) { return Annulment(a.Text(0), a.Int(1), e); }},
      {"DiscountItemPercent",
       0x68,
       {{"password", ArgKind::Text}, {"value", ArgKind::Real}},
       [](const CallArgs& a, int& e) { return DiscountItemPercent(a.Text(0), a.Real(1), e); }},
      {"DiscountItemAbsolute",
       0x69,
       {{"password", ArgKind::Text}, {"value", ArgKind::Real}},
       [](const CallArgs& a, int& e) { return DiscountItemAbsolute(a.Text(0), a.Real(1), e); }},
      {"DiscountSubtotalPercent",
       0x73,
       {{"password", ArgKind::Text}, {"value", ArgKind::Real}},
       [](const CallArgs& a, int& e) { return DiscountSubtotalPercent(a.Text(0), a.Real(1), e); }},
      {"DiscountSubtotalAbsolute",
       0x74,
       {{"password", ArgKind::Text}, {"value", ArgKind::Real}},
       [](const CallArgs& a, int& e) { return DiscountSubtotalAbsolute(a.Text(0), a.Real(1), e); }},
      {"DiscountTaxGroupPercent",
       0x75,
       {{"password", ArgKind::Text}, {"value", ArgKind::Real}, {"taxGroup", ArgKind::Int}},
       [](const CallArgs& a, int& e) { return DiscountTaxGroupPercent(a.Text(0), a.Real(1), a.Int(2), e); }},
      {"DiscountTaxGroupAbsolute",
       0x76,
       {{"password", ArgKind::Text}, {"value", ArgKind::Real}, {"taxGroup", ArgKind::Int}},
       [](const CallArgs& a, int& e) { return DiscountTaxGroupAbsolute(a.Text(0), a.Real(1), a.Int(2), e); }},
      {"CashInOut",
       0x6E,
       {{"password", ArgKind::Text}, {"number", ArgKind::Int}, {"amount", ArgKind::Real}},
       [](const CallArgs& a, int& e) { return CashInOut(a.Text(0), a.Int(1), a.Real(2), e); }},
      {"ServiceCashInOut",
       0x77,
       {{"password", ArgKind::Text}, {"number", ArgKind::Int}, {"amount", ArgKind::Real}},
       [](const CallArgs& a, int& e) { return ServiceCashInOut(a.Text(0), a.Int(1), a.Real(2), e); }},
      {"DisplayText",
       0x81,
       {{"password", ArgKind::Text}, {"text", ArgKind::Text}, {"function", ArgKind::Int}, {"value", ArgKind::Int}},
       [](const CallArgs& a, int& e) { return DisplayText(a.Text(0), a.Text(1), a.Int(2), a.Int(3), e); }},
      {"PrintReport",
       0xA1,
       {{"password", ArgKind::Text}, {"reportType", ArgKind::Int}},
       [](const CallArgs& a, int& e) { return PrintReport(a.Text(0), a.Int(1), e); }},
      {"FindReportByDate",
       0xA2,
       {{"password", ArgKind::Text}, {"firstDate", ArgKind::Text}, {"lastDate", ArgKind::Text}, {"type", ArgKind::Int}},
       [](const CallArgs& a, int& e) { return FindReportByDate(a.Text(0), a.Text(1), a.Text(2), a.Int(3), e); }},
      {"PrintPeriodicReport",
       0xA3,
       {{"password", ArgKind::Text}, {"first", ArgKind::Int}, {"last", ArgKind::Int}, {"type", ArgKind::Int}},
       [](const CallArgs& a, int& e) { return PrintPeriodicReport(a.Text(0), a.Int(1), a.Int(2), a.Int(3), e); }},
      {"PrintArticulReport",
       0xA4,
       {{"password", ArgKind::Text}, {"firstCode", ArgKind::Int64}, {"lastCode", ArgKind::Int64}},
       [](const CallArgs& a, int& e) { return PrintArticulReport(a.Text(0), a.Int64(1), a.Int64(2), e); }},
      {"PrintReceiptCopies",
       0xA5,
       {{"password", ArgKind::Text}, {"first", ArgKind::Int}, {"last", ArgKind::Int}},
       [](const CallArgs& a, int& e) { return PrintReceiptCopies(a.Text(0), a.Int(1), a.Int(2), e); }},
      {"PrintAdditionalReport",
       0xA6,
       {{"password", ArgKind::Text},
        {"reportType", ArgKind::Int},
        {"unused1", ArgKind::Int},
        {"unused2", ArgKind::Int}},
       [](const CallArgs& a, int& e) { return PrintAdditionalReport(a.Text(0), a.Int(1), a.Int(2), a.Int(3), e); }},
      {"PrintServiceReport",
       0x84,
       {{"password", ArgKind::Text}, {"reportType", ArgKind::Int}},
       [](const CallArgs& a, int& e) { return PrintServiceReport(a.Text(0), a.Int(1), e); }},
      {"AddServiceTextLine",
       0x34,
       {{"password", ArgKind::Text}, {"mode", ArgKind::Int}, {"text", ArgKind::Text}},
       [](const CallArgs& a, int& e) { return AddServiceTextLine(a.Text(0), a.Int(1), a.Text(2), e); }},
      {"SetServiceInfo",
       0x35,
       {{"password", ArgKind::Text},
        {"newPassword", ArgKind::Text},
        {"date", ArgKind::Text},
        {"days", ArgKind::Int},
        {"mask", ArgKind::Int}},
       [](const CallArgs& a, int& e) {
         return SetServiceInfo(a.Text(0), a.Text(1), a.Text(2), a.Int(3), a.Int(4), e);
       }},
      {"GetServiceInfo",
       0x36,
       {{"password", ArgKind::Text}},
       [](const CallArgs& a, int& e) { return GetServiceInfo(a.Text(0), e); }},
      {"SetServiceCounters",
       0x88,
       {{"password", ArgKind::Text}, {"item", ArgKind::Int}, {"value", ArgKind::Int}},
       [](const CallArgs& a, int& e) { return SetServiceCounters(a.Text(0), a.Int(1), a.Int(2), e); }},
      {"GetServiceCounters",
       0x89,
       {{"password", ArgKind::Text}, {"item", ArgKind::Int}},
       [](const CallArgs& a, int& e) { return GetServiceCounters(a.Text(0), a.Int(1), e); }},
      {"SetDataSource",
       0xE7,
       {{"password", ArgKind::Text}, {"sourceType", ArgKind::Int}, {"unused", ArgKind::Text}, {"value", ArgKind::Int}},
       [](const CallArgs& a, int& e) { return SetDataSource(a.Text(0), a.Int(1), a.Text(2), a.Int(3), e); }},
      {"ReadDataFromBuf",
       0xE8,
       {{"password", ArgKind::Text}},
       [](const CallArgs& a, int& e) { return ReadDataFromBuf(a.Text(0), e); }},
  };
  return table;
}

const CallEntry* FindCall(std::string_view name) {
  for (const CallEntry& entry : CallTable())
    if (name == entry.name) return &entry;
  return nullptr;
}

const char* KindName(ArgKind kind) {
  switch (kind) {
    case ArgKind::Text:
      return "text";
    case ArgKind::Int:
      return "int";
    case ArgKind::Int64:
      return "int64";
    case ArgKind::Real:
      return "real";
    case ArgKind::Bool:
      return "bool";
  }
  return "?";
}

bool ParseArg(ArgKind kind, const std::string& text, ArgValue& value, std::string& error) {
  long long integer = 0;
  double real = 0;
  bool flag = false;
  switch (kind) {
    case ArgKind::Text:
      value = Utf8ToCp1251(text);
      return true;
    case ArgKind::Int:
      if (ParseInteger(text, integer) && integer >= INT_MIN && integer <= INT_MAX) {
        value = static_cast<int>(integer);
        return true;
      }
      error = "'" + text + "' is not an integer";
      return false;
    case ArgKind::Int64:
      if (ParseInteger(text, integer)) {
        value = integer;
        return true;
      }
      error = "'" + text + "' is not a 64-bit integer";
      return false;
    case ArgKind::Real:
      if (ParseReal(text, real)) {
        value = real;
        return true;
      }
      error = "'" + text + "' is not a real number";
      return false;
    case ArgKind::Bool:
      if (ParseBool(text, flag)) {
        value = flag;
        return true;
      }
      error = "'" + text + "' is not a boolean (0, 1, true, false)";
      return false;
  }
  return false;
}

bool ParseCallArgs(const CallEntry& entry, const std::vector<std::string>& texts, std::vector<ArgValue>& values,
                   std::string& error) {
  if (texts.size() != entry.args.size()) {
    error = std::string(entry.name) + " takes " + std::to_string(entry.args.size()) + " argument" +
            (entry.args.size() == 1 ? "" : "s") + " (" + Signature(entry) + "), " + std::to_string(texts.size()) +
            " given";
    return false;
  }
  values.clear();
  for (std::size_t i = 0; i < texts.size(); ++i) {
    ArgValue value;
    std::string why;
    if (!ParseArg(entry.args[i].kind, texts[i], value, why)) {
      error = std::string(entry.name) + ": argument " + std::to_string(i + 1) + " (" + entry.args[i].name + "): " + why;
      return false;
    }
    values.push_back(std::move(value));
  }
  return true;
}

std::string Signature(const CallEntry& entry) {
  std::string text;
  for (const ArgSpec& arg : entry.args) {
    if (!text.empty()) text += ' ';
    text += std::string(arg.name) + ":" + KindName(arg.kind);
  }
  return text;
}

}  // namespace kovrix::cli
