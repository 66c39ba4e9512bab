#include "driver/commands.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "driver/driver.h"
#include "driver/ean13.h"
#include "driver/frame.h"

namespace kovrix {
namespace {

// Whether a function that sent its command writes 0 to err (most do) or leaves it as it was.
enum class OnSend { WriteZero, KeepErr };

// The driver owns exactly one reply record and ExecuteCommand always answers it, so the driver's
// latest record is the latest record of this API as well. Asking the driver each time (rather than
// keeping a pointer here) stays right when a test or the simulator replaces the link.
const ReplyRecord* Latest() { return LatestRecord(); }

// Refusal: nothing is sent, the caller gets the code and the record of the previous command.
const ReplyRecord* Refuse(int& err, int code) {
  err = code;
  return Latest();
}

// The one transaction of every command: format the data text, refuse a text that does not fit in
// one frame, send it with the link's repeats, answer the record.
__attribute__((format(printf, 4, 0))) const ReplyRecord* SendV(int command, int& err, OnSend onSend, const char* format,
                                                               va_list args) {
  va_list measure;
  va_copy(measure, args);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length < 0 || static_cast<std::size_t>(length) > kMaxFrameData) return Refuse(err, ERR_DATA_TOO_LONG);

  std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
  std::vsnprintf(buffer.data(), buffer.size(), format, args);
  if (onSend == OnSend::WriteZero) err = 0;
  const ReplyRecord* record = ExecuteCommand(command, std::string(buffer.data(), static_cast<std::size_t>(length)));
  return record ? record : Latest();
}

__attribute__((format(printf, 3, 4))) const ReplyRecord* Send(int command, int& err, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const ReplyRecord* record = SendV(command, err, OnSend::WriteZero, format, args);
  va_end(args);
  return record;
}

__attribute__((format(printf, 3, 4))) const ReplyRecord* SendKeepErr(int command, int& err, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const ReplyRecord* record = SendV(command, err, OnSend::KeepErr, format, args);
  va_end(args);
  return record;
}

// Hexadecimal fields take the argument's bits as the device expects them.
unsigned Hex(int value) { return static_cast<unsigned>(value); }

const char* C(const std::string& text) { return text.c_str(); }

}  // namespace

// Date, time and the registrator as a whole.

const ReplyRecord* SetDateTime(const std::string& password, const std::string& date, const std::string& time,
                               int& err) {
  return Send(0x20, err, "%s;%s;%s;", C(password), C(date), C(time));
}

const ReplyRecord* GetDateTime(const std::string& password, int& err) {
  return SendKeepErr(0x21, err, "%s;", C(password));
}

const ReplyRecord* RestartRegistrator(const std::string& password, int& err) {
  return Send(0xF3, err, "%s;", C(password));
}

const ReplyRecord* GetDiagnosticInfo(const std::string& password, int& err) {
  return Send(0x80, err, "%s;", C(password));
}

const ReplyRecord* GetFreeResources(const std::string& password, int& err) {
  return Send(0xA0, err, "%s;", C(password));
}

// Receipt header, logo, registrator settings.

const ReplyRecord* SetHeaderFooter(const std::string& password, int line, const std::string& text, int option,
                                   int& err) {
  if (line < 0 || line > 20) return Refuse(err, ERR_HEADER_LINE);
  return Send(0x22, err, "%s;%i;%s;%i;", C(password), line, C(text), option);
}

const ReplyRecord* GetHeaderFooter(const std::string& password, int line, int& err) {
  if (line < 0 || line > 20) return Refuse(err, ERR_HEADER_LINE_READ);
  return Send(0x23, err, "%s;%i;", C(password), line);
}

const ReplyRecord* SetUserLogo(const std::string& password, int line, const std::string& lineData, int& err) {
  if (line < 0) return Refuse(err, ERR_LOGO_LINE);
  if (lineData.size() != 48) return Refuse(err, ERR_LOGO_DATA);
  return Send(0x29, err, "%s;%i;%s;", C(password), line, C(lineData));
}

const ReplyRecord* PrintEAN13Code(const std::string& password, int height, const std::string& code, int& err) {
  if (code.size() != 12) return Refuse(err, ERR_EAN13_LENGTH);
  if (!IsEan13Body(code)) return Refuse(err, ERR_EAN13_NOT_DIGITS);
  return Send(0x6F, err, "%s;%i;%s;", C(password), height, Ean13PixelText(code).c_str());
}

const ReplyRecord* SetRegistratorParams(const std::string& password, int baud, int contrast, int documentOptions,
                                        int tapeOptions, int byte1, int byte2, int number, int& err) {
  return Send(0x27, err, "%s;%i;%i;%04X;%02X;%02X;%02X;%02i;", C(password), baud, contrast, Hex(documentOptions),
              Hex(tapeOptions), Hex(byte1), Hex(byte2), number);
}

const ReplyRecord* GetRegistratorParams(const std::string& password, int& err) {
  return Send(0x28, err, "%s;", C(password));
}

const ReplyRecord* SetDecimalPoint(const std::string& password, int position, int& err) {
  return Send(0x49, err, "%s;%i;", C(password), position);
}

const ReplyRecord* GetDecimalPoint(const std::string& password, int& err) {
  return Send(0x4A, err, "%s;", C(password));
}

// Passwords, operators, payment types.

const ReplyRecord* SetModePsw(const std::string& adminPassword, const std::string& programmingPassword,
                              const std::string& reportsPassword, const std::string& newAdminPassword, int& err) {
  return Send(0x2B, err, "%s;%s;%s;%s;", C(adminPassword), C(programmingPassword), C(reportsPassword),
              C(newAdminPassword));
}

const ReplyRecord* ClearOpetratorPsw(const std::string& password, int operatorIndex, int& err) {
  return Send(0x2C, err, "%s;%i;", C(password), operatorIndex);
}

const ReplyRecord* SetOperatorParams(const std::string& password, int operatorIndex,
                                     const std::string& operatorPassword, const std::string& name, int& err) {
  return Send(0x2F, err, "%s;%i;%s;%s;", C(password), operatorIndex, C(operatorPassword), C(name));
}

const ReplyRecord* GetOperatorParams(const std::string& password, int operatorIndex, int& err) {
  return Send(0x30, err, "%s;%i;", C(password), operatorIndex);
}

const ReplyRecord* SetPaymentParams(const std::string& password, int paymentNumber, int mask, const std::string& name,
                                    int& err) {
  return Send(0x2D, err, "%s;%i;%02X;%s;", C(password), paymentNumber, Hex(mask), C(name));
}

const ReplyRecord* GetPaymentParams(const std::string& password, int paymentNumber, int& err) {
  return Send(0x2E, err, "%s;%i;", C(password), paymentNumber);
}

// Fiscal parameters.

const ReplyRecord* Fiscalize(const std::string& password, const std::string& serialNumber,
                             const std::string& inspectorPassword, int& err) {
  return Send(0x40, err, "%s;%s;%s;", C(password), C(serialNumber), C(inspectorPassword));
}

const ReplyRecord* SetSerialNumber(const std::string& password, const std::string& serialNumber, int& err) {
  return Send(0x41, err, "%s;%s;", C(password), C(serialNumber));
}

const ReplyRecord* GetSerialNumber(const std::string& password, int& err) {
  return Send(0x42, err, "%s;", C(password));
}

const ReplyRecord* SetFiscalNumber(const std::string& password, const std::string& fiscalNumber, int& err) {
  return Send(0x43, err, "%s;%s;", C(password), C(fiscalNumber));
}

const ReplyRecord* GetFiscalNumber(const std::string& password, int& err) {
  return Send(0x44, err, "%s;", C(password));
}

const ReplyRecord* SetTaxIdNumber(const std::string& password, const std::string& number, const std::string& numberType,
                                  int& err) {
  return Send(0x45, err, "%s;%s;%s;", C(password), C(number), C(numberType));
}

const ReplyRecord* GetTaxIdNumber(const std::string& password, int& err) { return Send(0x46, err, "%s;", C(password)); }

const ReplyRecord* SetTaxes(const std::string& password, int taxNumber, int mask, const std::string& value,
                            const std::string& name, int& err) {
  return Send(0x47, err, "%s;%i;%02X;%s;%s;-1;", C(password), taxNumber, Hex(mask), C(value), C(name));
}

const ReplyRecord* SetTaxesExt(const std::string& password, int taxNumber, int mask, const std::string& value,
                               const std::string& name, int extra, int& err) {
  return Send(0x47, err, "%s;%i;%02X;%s;%s;%i;", C(password), taxNumber, Hex(mask), C(value), C(name), extra);
}

const ReplyRecord* GetTaxes(const std::string& password, int taxNumber, int& err) {
  return Send(0x48, err, "%s;%i;", C(password), taxNumber);
}

// Receipts.

const ReplyRecord* OpenNonFiscalReceipt(const std::string& password, int& err) {
  return Send(0x60, err, "%s;", C(password));
}

const ReplyRecord* AddArticul(const std::string& password, const std::string& article, int& err) {
  return Send(0x24, err, "%s;%s", C(password), C(article));
}

std::string ArticulLine(long long code, const std::string& name, double price, int taxGroup, int department) {
  char fields[64];
  std::snprintf(fields, sizeof fields, "%.2f;%i;%i;", price, taxGroup, department);
  return std::to_string(code) + ";" + name + ";" + fields;
}

const ReplyRecord* FindArticulIndex(const std::string& password, long long code, int& err) {
  return Send(0x25, err, "%s;%lld;", C(password), code);
}

const ReplyRecord* PrintText(const std::string& password, const std::string& text, int& err) {
  return Send(0x61, err, "%s;%s;", C(password), C(text));
}

// The registrator closes both kinds of receipt with command 65h; option 0 closes a non-fiscal one.
const ReplyRecord* CloseNonFiscalReceipt(const std::string& password, int& err) {
  return Send(0x65, err, "%s;0;", C(password));
}

const ReplyRecord* OpenFiscalReceipt(const std::string& password, int operatorNumber, int cashDesk, int receiptType,
                                     int& err) {
  return Send(0x63, err, "%s;%i;%i;%i;", C(password), operatorNumber, cashDesk, receiptType);
}

// Non-finite numbers would go out as "nan" or "inf"; they are refused with the range codes.
const ReplyRecord* SellItemEx(const std::string& password, long long articleCode, double price, double quantity,
                              int& err) {
  if (!(quantity > 0) || !std::isfinite(quantity)) return Refuse(err, ERR_QUANTITY);
  if (!(price >= 0) || !std::isfinite(price)) return Refuse(err, ERR_PRICE);
  return Send(0x64, err, "%s;%lld;%-#.3f;%-#.2f;", C(password), articleCode, quantity, price);
}

const ReplyRecord* Payment(const std::string& password, int paymentType, double amount, int& err) {
  if (paymentType < 0 || paymentType > 9) return Refuse(err, ERR_PAYMENT_TYPE);
  if (!std::isfinite(amount)) return Refuse(err, ERR_AMOUNT);
  return Send(0x67, err, "%s;%i;%-#.2f;", C(password), paymentType, amount);
}

const ReplyRecord* PrintTotal(const std::string& password, bool showOnDisplay, int& err) {
  return Send(0x6D, err, showOnDisplay ? "%s;1;" : "%s;0;", C(password));
}

const ReplyRecord* CloseFiscalReceipt(const std::string& password, int option, int& err) {
  return Send(0x65, err, "%s;%i;", C(password), option);
}

const ReplyRecord* Annulment(const std::string& password, int operationType, int& err) {
  return Send(0x6B, err, "%s;%i;", C(password), operationType);
}

const ReplyRecord* DiscountItemPercent(const std::string& password, double value, int& err) {
  if (!std::isfinite(value)) return Refuse(err, ERR_AMOUNT);
  return Send(0x68, err, "%s;%-#.2f;", C(password), value);
}

const ReplyRecord* DiscountItemAbsolute(const std::string& password, double value, int& err) {
  if (!std::isfinite(value)) return Refuse(err, ERR_AMOUNT);
  return Send(0x69, err, "%s;%-#.2f;", C(password), value);
}

const ReplyRecord* DiscountSubtotalPercent(const std::string& password, double value, int& err) {
  if (!std::isfinite(value)) return Refuse(err, ERR_AMOUNT);
  return Send(0x73, err, "%s;%-#.2f;", C(password), value);
}

const ReplyRecord* DiscountSubtotalAbsolute(const std::string& password, double value, int& err) {
  if (!std::isfinite(value)) return Refuse(err, ERR_AMOUNT);
  return Send(0x74, err, "%s;%-#.2f;", C(password), value);
}

const ReplyRecord* DiscountTaxGroupPercent(const std::string& password, double value, int taxGroup, int& err) {
  if (!std::isfinite(value)) return Refuse(err, ERR_AMOUNT);
  return Send(0x75, err, "%s;%-#.2f;%i;", C(password), value, taxGroup);
}

const ReplyRecord* DiscountTaxGroupAbsolute(const std::string& password, double value, int taxGroup, int& err) {
  if (!std::isfinite(value)) return Refuse(err, ERR_AMOUNT);
  return Send(0x76, err, "%s;%-#.2f;%i;", C(password), value, taxGroup);
}

const ReplyRecord* CashInOut(const std::string& password, int number, double amount, int& err) {
  if (!std::isfinite(amount)) return Refuse(err, ERR_AMOUNT);
  return Send(0x6E, err, "%s;%i;%-#.2f;", C(password), number, amount);
}

const ReplyRecord* ServiceCashInOut(const std::string& password, int number, double amount, int& err) {
  if (!std::isfinite(amount)) return Refuse(err, ERR_AMOUNT);
  return Send(0x77, err, "%s;%i;%-#.2f;", C(password), number, amount);
}

const ReplyRecord* DisplayText(const std::string& password, const std::string& text, int function, int value,
                               int& err) {
  return Send(0x81, err, "%s;%i;%i;%s;", C(password), function, value, C(text));
}

// Reports.

const ReplyRecord* PrintReport(const std::string& password, int reportType, int& err) {
  return Send(0xA1, err, "%s;%i;", C(password), reportType);
}

const ReplyRecord* FindReportByDate(const std::string& password, const std::string& firstDate,
                                    const std::string& lastDate, int type, int& err) {
  return Send(0xA2, err, "%s;%s;%s;%i;", C(password), C(firstDate), C(lastDate), type);
}

const ReplyRecord* PrintPeriodicReport(const std::string& password, int first, int last, int type, int& err) {
  return Send(0xA3, err, "%s;%i;%i;%i;", C(password), first, last, type);
}

const ReplyRecord* PrintArticulReport(const std::string& password, long long firstCode, long long lastCode, int& err) {
  return Send(0xA4, err, "%s;%lli;%lli;", C(password), firstCode, lastCode);
}

const ReplyRecord* PrintReceiptCopies(const std::string& password, int first, int last, int& err) {
  return Send(0xA5, err, "%s;%i;%i;", C(password), first, last);
}

const ReplyRecord* PrintAdditionalReport(const std::string& password, int reportType, int /*unused1*/, int /*unused2*/,
                                         int& err) {
  return Send(0xA6, err, "%s;%i;;;", C(password), reportType);
}

const ReplyRecord* PrintServiceReport(const std::string& password, int reportType, int& err) {
  return Send(0x84, err, "%s;%i;", C(password), reportType);
}

// Service information and counters.

const ReplyRecord* AddServiceTextLine(const std::string& password, int mode, const std::string& text, int& err) {
  return Send(0x34, err, "%s;%i;%s;", C(password), mode, C(text));
}

const ReplyRecord* SetServiceInfo(const std::string& password, const std::string& text1, const std::string& text2,
                                  int number, int mask, int& err) {
  return Send(0x35, err, "%s;%s;%s;%i;%02X;", C(password), C(text1), C(text2), number, Hex(mask));
}

const ReplyRecord* GetServiceInfo(const std::string& password, int& err) { return Send(0x36, err, "%s;", C(password)); }

const ReplyRecord* SetServiceCounters(const std::string& password, int item, int value, int& err) {
  return Send(0x88, err, "%s;%i;%i;", C(password), item, value);
}

const ReplyRecord* GetServiceCounters(const std::string& password, int item, int& err) {
  return Send(0x89, err, "%s;%i;", C(password), item);
}

// Buffered data reading.

// Types 2 and 5 carry no value; the empty middle field is the unused argument's place.
const ReplyRecord* SetDataSource(const std::string& password, int sourceType, const std::string& /*unused*/, int value,
                                 int& err) {
  switch (sourceType) {
    case 0:
    case 1:
    case 3:
      return SendKeepErr(0xE7, err, "%s;%i;;%i;", C(password), sourceType, value);
    case 2:
    case 5:
      return SendKeepErr(0xE7, err, "%s;%i;;;", C(password), sourceType);
    default:
      return Refuse(err, ERR_SOURCE_TYPE);
  }
}

const ReplyRecord* ReadDataFromBuf(const std::string& password, int& err) {
  return SendKeepErr(0xE8, err, "%s;", C(password));
}

}  // namespace kovrix
