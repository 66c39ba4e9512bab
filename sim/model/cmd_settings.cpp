// Clock, receipt header, registrator parameters, logo, passwords, operators, payment types,
// decimal point, device identifier, diagnostic information and the customer display.

#include <cstdio>

#include "sim/model/commands.h"
#include "sim/model/error_code.h"
#include "sim/model/fiscal_memory.h"

namespace kovrix::sim {

namespace {

constexpr DeviceTime kDay = 24 * 3600;

// 20h: password; DDMMYY; HHMM.
std::string SetDateTime(Device& d, const Args& a) {
  const std::string& date = a.text(2);
  const std::string& time = a.text(3);
  if (!ValidTime(time)) throw Refusal{err::kTimeFormat};
  const auto t = ParseDeviceDate(date, time);
  if (!t) throw Refusal{err::kDateFormat};
  // The fiscal memory's last record bounds the clock from below.
  const auto records = ReadFmRecords(d.s.flash);
  if (!records.empty() && *t < records.back().time) throw Refusal{err::kDateEarlier};
  if (d.s.shift.open) {
    const DeviceTime now = d.Now();
    if (*t / kDay != now / kDay) throw Refusal{err::kDayChange};
    if (*t < now / 60 * 60) throw Refusal{err::kTimeBackwards};
  }
  d.SetNow(*t);
  d.s.dateSet = true;
  return {};
}

// 21h: password -> DDMMYY; HHMM.
std::string GetDateTime(Device& d, const Args&) {
  const DeviceTime now = d.Now();
  return Join({DateText(now), TimeText(now)});
}

// 22h: password; line 0..20; text; width 0 or 1.
std::string SetHeaderFooter(Device& d, const Args& a) {
  const auto line = a.integer(2, 0, 20);
  const std::string& text = a.text(3);
  const auto width = a.integer(4, 0, 1);
  const int room = width == 0 ? d.PaperWidth() : d.PaperWidth() / 2;
  if (static_cast<int>(text.size()) > room) throw Refusal{err::FieldValue(3)};
  d.s.header[static_cast<std::size_t>(line)] = HeaderLine{text, static_cast<int>(width)};
  return {};
}

// 23h: password; line 0..20 -> text; width digit.
std::string GetHeaderFooter(Device& d, const Args& a) {
  const HeaderLine& h = d.s.header[static_cast<std::size_t>(a.integer(2, 0, 20))];
  return Join({h.text, Num(h.width)});
}

bool KnownSpeed(std::int64_t speed) {
  for (int s : {0, 110, 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200}) {
    if (s == speed) return true;
  }
  return false;
}

// 27h: password; speed; contrast; document flags %04X; print flags %02X; two pulses %02X; chars.
std::string SetRegistratorParams(Device& d, const Args& a) {
  const auto speed = a.integer(2, 0, 115200);
  if (!KnownSpeed(speed)) throw Refusal{err::FieldValue(2)};
  const auto contrast = a.integer(3, 0, 4);
  const auto documentFlags = a.hex(4, 4);
  const auto printFlags = a.hex(5, 2);
  const auto openPulse = a.hex(6, 2);
  const auto closePulse = a.hex(7, 2);
  const auto chars = a.integer(8, 1, d.PaperWidth());
  RegistratorParams& p = d.s.params;
  if (speed != 0) p.speed = static_cast<int>(speed);
  p.contrast = static_cast<int>(contrast);
  // Bits the device does not define are kept clear.
  p.documentFlags = static_cast<int>(documentFlags & 0xFF0B);
  p.printFlags = static_cast<int>(printFlags & 0x7B);
  p.drawerOpenPulse = static_cast<int>(openPulse);
  p.drawerClosePulse = static_cast<int>(closePulse);
  p.nameLineChars = static_cast<int>(chars);
  return {};
}

// 28h: password -> the seven parameters.
std::string GetRegistratorParams(Device& d, const Args&) {
  const RegistratorParams& p = d.s.params;
  char chars[8];
  std::snprintf(chars, sizeof chars, "%02d", p.nameLineChars);
  return Join({Num(p.speed), Num(p.contrast), Hex4(p.documentFlags), Hex2(p.printFlags), Hex2(p.drawerOpenPulse),
               Hex2(p.drawerClosePulse), chars});
}

int LogoMaxHeight(const DeviceState& s) { return s.logoCapacity * 8 / s.logoMaxWidth; }

// 29h: password; line number; 48 hexadecimal characters (24 bytes).
std::string SetUserLogo(Device& d, const Args& a) {
  const auto line = a.integer(2, 0, d.s.logoCapacity / 24 - 1);
  const auto bytes = UnhexBytes(a.text(3));
  if (!bytes || bytes->size() != 24) throw Refusal{err::FieldFormat(3)};
  // Line 0 starts a new logo.
  if (line == 0) d.s.logo.clear();
  const auto at = static_cast<std::size_t>(line) * 24;
  if (d.s.logo.size() < at + 24) d.s.logo.resize(at + 24, '\0');
  d.s.logo.replace(at, 24, *bytes);
  return {};
}

// 31h: password; width; height — closes the logo loading.
std::string CloseUserLogo(Device& d, const Args& a) {
  const auto width = a.integer(2, 1, d.s.logoMaxWidth);
  const auto height = a.integer(3, 1, LogoMaxHeight(d.s));
  if (static_cast<std::size_t>((width + 7) / 8 * height) > d.s.logo.size()) throw Refusal{err::FieldValue(3)};
  d.s.logoWidth = static_cast<int>(width);
  d.s.logoHeight = static_cast<int>(height);
  return {};
}

// 2Bh: administrator password; programming; reports; new administrator password.
std::string SetModePasswords(Device& d, const Args& a) {
  const std::string programming = PasswordField(a, 2);
  const std::string reports = PasswordField(a, 3);
  const std::string admin = PasswordField(a, 4);
  d.s.programmingPassword = programming;
  d.s.reportsPassword = reports;
  d.s.adminPassword = admin;
  return {};
}

Operator& OperatorAt(Device& d, const Args& a, int n) {
  return d.s.operators[static_cast<std::size_t>(a.integer(n, 1, static_cast<std::int64_t>(d.s.operators.size())) - 1)];
}

void DeleteOperator(Device& d, Operator& op) {
  if (d.s.shift.open && op.shiftReceipts > 0) throw Refusal{err::kShiftState};
  op = Operator{};
}

// 2Ch: administrator password; operator number, -1 for all — deletes the operator.
std::string DeleteOperators(Device& d, const Args& a) {
  if (a.integer(2, -1, static_cast<std::int64_t>(d.s.operators.size())) == -1) {
    for (const Operator& op : d.s.operators) {
      if (d.s.shift.open && op.shiftReceipts > 0) throw Refusal{err::kShiftState};
    }
    for (Operator& op : d.s.operators) op = Operator{};
    return {};
  }
  DeleteOperator(d, OperatorAt(d, a, 2));
  return {};
}

// 2Fh: password; operator number; operator password; name.
std::string SetOperatorParams(Device& d, const Args& a) {
  Operator& op = OperatorAt(d, a, 2);
  const std::string password = PasswordField(a, 3);
  const std::string& name = a.text(4, 20);
  op.password = password;
  op.name = name;
  return {};
}

// 30h: password; operator number -> sales flag; name.
std::string GetOperatorParams(Device& d, const Args& a) {
  const Operator& op = OperatorAt(d, a, 2);
  return Join({op.madeSales ? "1" : "0", op.name});
}

PaymentType& PaymentAt(Device& d, const Args& a, int n) {
  return d.s.paymentTypes[static_cast<std::size_t>(a.integer(n, 0, static_cast<std::int64_t>(d.s.paymentTypes.size()) - 1))];
}

// 2Dh: password; payment number; mask %02X; name.
std::string SetPaymentParams(Device& d, const Args& a) {
  PaymentType& p = PaymentAt(d, a, 2);
  const auto mask = a.hex(3, 2);
  const std::string& name = a.text(4, 20);
  d.RequireShiftClosed();
  p = PaymentType{static_cast<int>(mask), name};
  return {};
}

// 2Eh: password; payment number -> mask %02X; name.
std::string GetPaymentParams(Device& d, const Args& a) {
  const PaymentType& p = PaymentAt(d, a, 2);
  return Join({Hex2(p.mask), p.name});
}

// 49h: password; position 0..3.
std::string SetDecimalPoint(Device& d, const Args& a) {
  const auto position = a.integer(2, 0, 3);
  d.RequireShiftClosed();
  d.s.decimalPoint = static_cast<int>(position);
  return {};
}

// 4Ah: password -> position.
std::string GetDecimalPoint(Device& d, const Args&) { return Join({Num(d.s.decimalPoint)}); }

// 4Bh: password; ID_DEV, a 32-bit signed decimal.
std::string SetIdDev(Device& d, const Args& a) {
  d.s.idDev = a.integer(2, -2147483648LL, 2147483647LL);
  d.s.idDevSet = true;
  return {};
}

// 4Ch: password -> ID_DEV.
std::string GetIdDev(Device& d, const Args&) { return Join({Num(d.s.idDev)}); }

// 80h: password (not checked) -> model; version; serial; fiscal number; firmware date; paper
// width; logo memory bytes; logo width; ID_DEV; last receipt number; payment types.
std::string GetDiagnosticInfo(Device& d, const Args&) {
  const DeviceState& s = d.s;
  return Join({s.model, s.version, s.serial, s.fiscalNumber, s.firmwareDate, Num(d.PaperWidth()),
               Num(s.logoCapacity), Num(s.logoMaxWidth), Num(s.idDev), Num(s.receiptNumber),
               Num(static_cast<std::int64_t>(s.paymentTypes.size()))});
}

// 81h: password; function 0 clear, 1 upper line, 2 lower line, 3 date and time; option; text.
std::string DisplayText(Device& d, const Args& a) {
  const auto function = a.integer(2, 0, 3);
  a.integer(3, 0, 255);
  const std::string text = a.optional(4).substr(0, 20);
  switch (function) {
    case 0: d.s.display = {}; break;
    case 1: d.s.display[0] = text; break;
    case 2: d.s.display[1] = text; break;
    default: d.s.display[0] = PrintedDateTime(d.Now()); break;
  }
  return {};
}

std::string Acknowledge(Device&, const Args&) { return {}; }

// F3h: password — restart; settings that waited for a restart take effect.
std::string Restart(Device& d, const Args&) {
  d.s.restartNeeded = false;
  d.s.display = {};
  d.restartRequested = true;
  return {};
}

}  // namespace

void AddClockAndSettingsCommands(std::vector<CommandEntry>& t) {
  t.push_back({0x20, Access::Programming, SetDateTime});
  t.push_back({0x21, Access::Any, GetDateTime});
  t.push_back({0x22, Access::Programming, SetHeaderFooter});
  t.push_back({0x23, Access::Any, GetHeaderFooter});
  t.push_back({0x27, Access::Programming, SetRegistratorParams});
  t.push_back({0x28, Access::Any, GetRegistratorParams});
  t.push_back({0x29, Access::Programming, SetUserLogo});
  t.push_back({0x31, Access::Programming, CloseUserLogo});
  t.push_back({0x2B, Access::Admin, SetModePasswords});
  t.push_back({0x2C, Access::Admin, DeleteOperators});
  t.push_back({0x2D, Access::Programming, SetPaymentParams});
  t.push_back({0x2E, Access::Any, GetPaymentParams});
  t.push_back({0x2F, Access::Programming, SetOperatorParams});
  t.push_back({0x30, Access::Any, GetOperatorParams});
  t.push_back({0x49, Access::Programming, SetDecimalPoint});
  t.push_back({0x4A, Access::Any, GetDecimalPoint});
  t.push_back({0x4B, Access::Programming, SetIdDev});
  t.push_back({0x4C, Access::Any, GetIdDev});
  t.push_back({0x80, Access::None, GetDiagnosticInfo});
  t.push_back({0x81, Access::Any, DisplayText});
  t.push_back({0x82, Access::Any, Acknowledge});
  t.push_back({0x83, Access::Any, Acknowledge});
  t.push_back({0xF3, Access::Programming, Restart});
}

}  // namespace kovrix::sim
