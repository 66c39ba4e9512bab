#pragma once
// The command API: one function per registrator command. Each checks its arguments, formats the
// command's data text (cp1251 bytes; the password is the first field), runs it through
// ExecuteCommand and answers the reply record.
//
// Conventions: the last argument `err` receives 0 when the command was sent, or one of the
// negative codes below when the arguments were refused; then nothing is sent and the answer is the
// latest record, which belongs to the previous command (do not read it). GetDateTime, SetDataSource
// and ReadDataFromBuf leave `err` untouched when they send; they still write a negative code when
// they refuse, so a caller that starts with err = 0 can always tell.

#include <string>

#include "driver/reply.h"

namespace kovrix {

/// The registrator's factory access password, used where no other is given.
inline constexpr const char* kDefaultPassword = "482916";

// Argument error codes.
inline constexpr int ERR_EAN13_LENGTH = -100;      // PrintEAN13Code: code not exactly 12 characters
inline constexpr int ERR_EAN13_NOT_DIGITS = -101;  // PrintEAN13Code: 12 characters, not all digits
inline constexpr int ERR_LOGO_LINE = -110;         // SetUserLogo: line number below 0
inline constexpr int ERR_LOGO_DATA = -111;         // SetUserLogo: line data not exactly 48 characters
inline constexpr int ERR_HEADER_LINE = -121;       // SetHeaderFooter: line number outside 0..20
inline constexpr int ERR_HEADER_LINE_READ = -131;  // GetHeaderFooter: line number outside 0..20
inline constexpr int ERR_QUANTITY = -151;          // SellItemEx: quantity not above 0 (or not finite)
inline constexpr int ERR_PAYMENT_TYPE = -151;      // Payment: payment type outside 0..9
inline constexpr int ERR_PRICE = -152;             // SellItemEx: price below 0 (or not finite)
inline constexpr int ERR_AMOUNT = -153;            // Payment, CashInOut, ServiceCashInOut, discounts: amount not finite
inline constexpr int ERR_SOURCE_TYPE = -171;       // SetDataSource: source type not 0, 1, 2, 3 or 5
inline constexpr int ERR_DATA_TOO_LONG = -200;     // any: the data text exceeds one frame (219 bytes)

// Date, time and the registrator as a whole.

/// Command 20h: sets date DDMMYY and time HHMM.
const ReplyRecord* SetDateTime(const std::string& password, const std::string& date, const std::string& time, int& err);
/// Command 21h: reads date and time (fields 1 and 2); err untouched when sent.
const ReplyRecord* GetDateTime(const std::string& password, int& err);
/// Command F3h: restarts the registrator.
const ReplyRecord* RestartRegistrator(const std::string& password, int& err);
/// Command 80h: diagnostic information (model, version, logo memory, payment types).
const ReplyRecord* GetDiagnosticInfo(const std::string& password, int& err);
/// Command A0h: free resources and status.
const ReplyRecord* GetFreeResources(const std::string& password, int& err);

// Receipt header, logo, registrator settings.

/// Command 22h: programs header/footer line 0..20 (ERR_HEADER_LINE otherwise).
const ReplyRecord* SetHeaderFooter(const std::string& password, int line, const std::string& text, int option,
                                   int& err);
/// Command 23h: reads header/footer line 0..20 (ERR_HEADER_LINE_READ otherwise).
const ReplyRecord* GetHeaderFooter(const std::string& password, int line, int& err);
/// Command 29h: one logo line of 48 hexadecimal characters (ERR_LOGO_LINE, ERR_LOGO_DATA).
const ReplyRecord* SetUserLogo(const std::string& password, int line, const std::string& lineData, int& err);
/// Command 6Fh: prints the EAN-13 barcode of a 12-digit code (ERR_EAN13_LENGTH, ERR_EAN13_NOT_DIGITS).
const ReplyRecord* PrintEAN13Code(const std::string& password, int height, const std::string& code, int& err);
/// Command 27h: programs line speed, contrast, document and tape options, two byte values, one number.
const ReplyRecord* SetRegistratorParams(const std::string& password, int baud, int contrast, int documentOptions,
                                        int tapeOptions, int byte1, int byte2, int number, int& err);
/// Command 28h: reads the registrator parameters.
const ReplyRecord* GetRegistratorParams(const std::string& password, int& err);
/// Command 49h: sets the decimal-point position.
const ReplyRecord* SetDecimalPoint(const std::string& password, int position, int& err);
/// Command 4Ah: reads the decimal-point position.
const ReplyRecord* GetDecimalPoint(const std::string& password, int& err);

// Passwords, operators, payment types.

/// Command 2Bh: sets the programming, reports and administrator passwords (administrator's first).
const ReplyRecord* SetModePsw(const std::string& adminPassword, const std::string& programmingPassword,
                              const std::string& reportsPassword, const std::string& newAdminPassword, int& err);
/// Command 2Ch: clears an operator's password.
const ReplyRecord* ClearOpetratorPsw(const std::string& password, int operatorIndex, int& err);
/// Command 2Fh: sets an operator's password and name.
const ReplyRecord* SetOperatorParams(const std::string& password, int operatorIndex,
                                     const std::string& operatorPassword, const std::string& name, int& err);
/// Command 30h: reads an operator's parameters.
const ReplyRecord* GetOperatorParams(const std::string& password, int operatorIndex, int& err);
/// Command 2Dh: sets a payment type's permission mask and name.
const ReplyRecord* SetPaymentParams(const std::string& password, int paymentNumber, int mask, const std::string& name,
                                    int& err);
/// Command 2Eh: reads a payment type's parameters.
const ReplyRecord* GetPaymentParams(const std::string& password, int paymentNumber, int& err);

// Fiscal parameters.

/// Command 40h: fiscalises the registrator.
const ReplyRecord* Fiscalize(const std::string& password, const std::string& serialNumber,
                             const std::string& inspectorPassword, int& err);
/// Command 41h: programs the serial number.
const ReplyRecord* SetSerialNumber(const std::string& password, const std::string& serialNumber, int& err);
/// Command 42h: reads the serial number.
const ReplyRecord* GetSerialNumber(const std::string& password, int& err);
/// Command 43h: programs the fiscal number.
const ReplyRecord* SetFiscalNumber(const std::string& password, const std::string& fiscalNumber, int& err);
/// Command 44h: reads the fiscal number.
const ReplyRecord* GetFiscalNumber(const std::string& password, int& err);
/// Command 45h: programs the tax/identification number and its type.
const ReplyRecord* SetTaxIdNumber(const std::string& password, const std::string& number, const std::string& numberType,
                                  int& err);
/// Command 46h: reads the tax/identification number.
const ReplyRecord* GetTaxIdNumber(const std::string& password, int& err);
/// Command 47h: sets one tax rate (sixth field -1).
const ReplyRecord* SetTaxes(const std::string& password, int taxNumber, int mask, const std::string& value,
                            const std::string& name, int& err);
/// Command 47h: sets one tax rate with the extra field.
const ReplyRecord* SetTaxesExt(const std::string& password, int taxNumber, int mask, const std::string& value,
                               const std::string& name, int extra, int& err);
/// Command 48h: reads one tax rate.
const ReplyRecord* GetTaxes(const std::string& password, int taxNumber, int& err);

// Articles.

/// Command 24h: programs one article. `article` is the data after the password as the registrator
/// takes it, each field followed by ";": code; name; price; tax group; department (an article file's
/// line, sent as it stands; ArticulLine makes one). ERR_DATA_TOO_LONG when it does not fit a frame.
const ReplyRecord* AddArticul(const std::string& password, const std::string& article, int& err);
/// The article of AddArticul from its fields: the price with two decimals, the name as given (in
/// the registrator's code page).
std::string ArticulLine(long long code, const std::string& name, double price, int taxGroup, int department);
/// Command 25h: looks an article up by its code; accepted when the registrator has it programmed.
const ReplyRecord* FindArticulIndex(const std::string& password, long long code, int& err);

// Receipts.

/// Command 60h: opens a non-fiscal receipt.
const ReplyRecord* OpenNonFiscalReceipt(const std::string& password, int& err);
/// Command 61h: prints a text line.
const ReplyRecord* PrintText(const std::string& password, const std::string& text, int& err);
/// Command 65h with option 0: closes a non-fiscal receipt.
const ReplyRecord* CloseNonFiscalReceipt(const std::string& password, int& err);
/// Command 63h: opens a fiscal receipt.
const ReplyRecord* OpenFiscalReceipt(const std::string& password, int operatorNumber, int cashDesk, int receiptType,
                                     int& err);
/// Command 64h: sells a programmed article; sent as code, quantity, price (ERR_QUANTITY, ERR_PRICE).
const ReplyRecord* SellItemEx(const std::string& password, long long articleCode, double price, double quantity,
                              int& err);
/// Command 67h: payment of type 0..9 (ERR_PAYMENT_TYPE otherwise).
const ReplyRecord* Payment(const std::string& password, int paymentType, double amount, int& err);
/// Command 6Dh: prints the total, optionally also on the display.
const ReplyRecord* PrintTotal(const std::string& password, bool showOnDisplay, int& err);
/// Command 65h: closes a fiscal receipt.
const ReplyRecord* CloseFiscalReceipt(const std::string& password, int option, int& err);
/// Command 6Bh: annulment.
const ReplyRecord* Annulment(const std::string& password, int operationType, int& err);
/// Command 68h: percentage discount/markup on the item.
const ReplyRecord* DiscountItemPercent(const std::string& password, double value, int& err);
/// Command 69h: absolute discount/markup on the item.
const ReplyRecord* DiscountItemAbsolute(const std::string& password, double value, int& err);
/// Command 73h: percentage discount/markup on the subtotal.
const ReplyRecord* DiscountSubtotalPercent(const std::string& password, double value, int& err);
/// Command 74h: absolute discount/markup on the subtotal.
const ReplyRecord* DiscountSubtotalAbsolute(const std::string& password, double value, int& err);
/// Command 75h: percentage discount/markup on a tax group.
const ReplyRecord* DiscountTaxGroupPercent(const std::string& password, double value, int taxGroup, int& err);
/// Command 76h: absolute discount/markup on a tax group.
const ReplyRecord* DiscountTaxGroupAbsolute(const std::string& password, double value, int taxGroup, int& err);
/// Command 6Eh: cash in (positive amount) or out (negative).
const ReplyRecord* CashInOut(const std::string& password, int number, double amount, int& err);
/// Command 77h: service cash in or out.
const ReplyRecord* ServiceCashInOut(const std::string& password, int number, double amount, int& err);
/// Command 81h: shows a text on the display; sent as function, value, text.
const ReplyRecord* DisplayText(const std::string& password, const std::string& text, int function, int value, int& err);

// Reports.

/// Command A1h: prints a daily report (0 Z, 1 X, 2 clear the control tape).
const ReplyRecord* PrintReport(const std::string& password, int reportType, int& err);
/// Command A2h: finds a report by dates.
const ReplyRecord* FindReportByDate(const std::string& password, const std::string& firstDate,
                                    const std::string& lastDate, int type, int& err);
/// Command A3h: prints a periodic report by numbers (type 0 short, 1 full).
const ReplyRecord* PrintPeriodicReport(const std::string& password, int first, int last, int type, int& err);
/// Command A4h: prints the article report for a code range.
const ReplyRecord* PrintArticulReport(const std::string& password, long long firstCode, long long lastCode, int& err);
/// Command A5h: prints copies of receipts by number.
const ReplyRecord* PrintReceiptCopies(const std::string& password, int first, int last, int& err);
/// Command A6h: prints an additional report; the two further arguments are not sent.
const ReplyRecord* PrintAdditionalReport(const std::string& password, int reportType, int unused1, int unused2,
                                         int& err);
/// Command 84h: prints a service report.
const ReplyRecord* PrintServiceReport(const std::string& password, int reportType, int& err);

// Service information and counters.

/// Command 34h: adds a line to the service message (0 starts a new message, 1 appends).
const ReplyRecord* AddServiceTextLine(const std::string& password, int mode, const std::string& text, int& err);
/// Command 35h: sets the service reminder: new password, date, number of days, mask.
const ReplyRecord* SetServiceInfo(const std::string& password, const std::string& text1, const std::string& text2,
                                  int number, int mask, int& err);
/// Command 36h: reads the service reminder.
const ReplyRecord* GetServiceInfo(const std::string& password, int& err);
/// Command 88h: sets a service counter.
const ReplyRecord* SetServiceCounters(const std::string& password, int item, int value, int& err);
/// Command 89h: reads a service counter.
const ReplyRecord* GetServiceCounters(const std::string& password, int item, int& err);

// Buffered data reading.

/// Command E7h: selects a data source 0, 1, 2, 3 or 5 (ERR_SOURCE_TYPE otherwise); err untouched when sent.
const ReplyRecord* SetDataSource(const std::string& password, int sourceType, const std::string& unused, int value,
                                 int& err);
/// Command E8h: reads one packet of the selected data; err untouched when sent.
const ReplyRecord* ReadDataFromBuf(const std::string& password, int& err);

}  // namespace kovrix
