// Serial number, fiscalisation, fiscal and tax numbers, tax rates.

#include "sim/model/commands.h"
#include "sim/model/error_code.h"
#include "sim/model/fiscal_memory.h"

namespace kovrix::sim {

namespace {

void RewriteHeader(Device& d) { WriteFlashHeader(d.s.flash, d.s.serial, d.s.model, d.s.fiscalNumber); }

// Answers field n when it is empty or exactly one of the lengths, all digits.
std::string DigitsField(const Args& a, int n, std::initializer_list<std::size_t> lengths) {
  const std::string& t = a.text(n);
  for (char c : t) {
    if (c < '0' || c > '9') throw Refusal{err::FieldFormat(n)};
  }
  if (t.empty()) return t;
  for (std::size_t len : lengths) {
    if (t.size() == len) return t;
  }
  throw Refusal{err::FieldValue(n)};
}

void AppendRecord(Device& d, int type) {
  FmRecord r;
  r.type = type;
  r.time = d.Now();
  if (!AppendFmRecord(d.s.flash, r)) throw Refusal{err::kFmNoSpace};
}

// 40h: password; serial number; tax inspector's password (six digits).
std::string Fiscalize(Device& d, const Args& a) {
  const std::string& serial = a.text(2);
  const std::string inspector = PasswordField(a, 3);
  if (inspector.size() != 6) throw Refusal{err::FieldValue(3)};
  if (d.s.serial.empty()) throw Refusal{err::kNoSerial};
  if (serial != d.s.serial) throw Refusal{err::FieldValue(2)};
  if (d.s.fiscalised) throw Refusal{err::kWrongMode};
  d.RequireNoDocument();
  d.RequireShiftClosed();
  AppendRecord(d, kFmFiscalisation);
  d.s.fiscalised = true;
  d.s.inspectorPassword = inspector;
  RewriteHeader(d);
  // The registrator answers, then restarts into the fiscal mode.
  d.restartRequested = true;
  return {};
}

// 41h: password; serial number (up to 11 characters). Written once: the production line's
// number stands until the service engineer programs the registrator's own, which is final.
std::string SetSerialNumber(Device& d, const Args& a) {
  const std::string& serial = a.text(2, 11);
  if (serial.empty()) throw Refusal{err::FieldFormat(2)};
  for (char c : serial) {
    if (static_cast<unsigned char>(c) <= ' ') throw Refusal{err::FieldFormat(2)};
  }
  if (d.s.fiscalised || d.s.serialProgrammed) throw Refusal{err::kWrongMode};
  if (!d.s.dateSet) throw Refusal{ErrorCode{0x05, 0x08}};
  d.s.serial = serial;
  d.s.serialProgrammed = true;
  RewriteHeader(d);
  return {};
}

std::string GetSerialNumber(Device& d, const Args&) { return Join({d.s.serial}); }

// 43h: password; fiscal number (ten digits, or empty). Fiscalisation fixes it.
std::string SetFiscalNumber(Device& d, const Args& a) {
  const std::string number = DigitsField(a, 2, {10});
  if (d.s.fiscalised) throw Refusal{err::kWrongMode};
  d.RequireShiftClosed();
  d.s.fiscalNumber = number;
  RewriteHeader(d);
  return {};
}

std::string GetFiscalNumber(Device& d, const Args&) { return Join({d.s.fiscalNumber}); }

// 45h: password; identification number (12 digits or empty); tax number (12 or 13 digits or
// empty). Fiscalisation fixes them.
std::string SetTaxIdNumber(Device& d, const Args& a) {
  const std::string id = DigitsField(a, 2, {12});
  const std::string tax = DigitsField(a, 3, {12, 13});
  if (d.s.fiscalised) throw Refusal{err::kWrongMode};
  d.RequireShiftClosed();
  d.s.taxId = id;
  d.s.taxNumber = tax;
  return {};
}

std::string GetTaxIdNumber(Device& d, const Args&) { return Join({d.s.taxId, d.s.taxNumber}); }

// 47h: password; tax number 0..4; type %02X 00..07; rate; name (19 characters); linked tax -1..4.
std::string SetTaxes(Device& d, const Args& a) {
  const auto n = a.integer(2, 0, 4);
  const auto type = a.hex(3, 2);
  if (type > 7) throw Refusal{err::FieldValue(3)};
  const auto rate = a.fixed(4, 2);
  if (rate < 0 || rate > 9999) throw Refusal{err::FieldValue(4)};
  const std::string& name = a.text(5, 19);
  const auto link = a.integer(6, -1, 4);
  if (link == n) throw Refusal{err::FieldValue(6)};
  d.RequireShiftClosed();
  // A fiscalised registrator keeps every change of its tax table in the fiscal memory.
  if (d.s.fiscalised) AppendRecord(d, kFmTaxChange);
  d.s.taxes[static_cast<std::size_t>(n)] = TaxRate{static_cast<int>(type), rate, name, static_cast<int>(link)};
  return {};
}

// 48h: password; tax number -> type (decimal); rate; name; linked tax.
std::string GetTaxes(Device& d, const Args& a) {
  const TaxRate& t = d.s.taxes[static_cast<std::size_t>(a.integer(2, 0, 4))];
  return Join({Num(t.type), Money(t.rate), t.name, Num(t.link)});
}

}  // namespace

void AddFiscalCommands(std::vector<CommandEntry>& t) {
  t.push_back({0x40, Access::Programming, Fiscalize});
  t.push_back({0x41, Access::Programming, SetSerialNumber});
  t.push_back({0x42, Access::Any, GetSerialNumber});
  t.push_back({0x43, Access::Programming, SetFiscalNumber});
  t.push_back({0x44, Access::Any, GetFiscalNumber});
  t.push_back({0x45, Access::Programming, SetTaxIdNumber});
  t.push_back({0x46, Access::Any, GetTaxIdNumber});
  t.push_back({0x47, Access::Programming, SetTaxes});
  t.push_back({0x48, Access::Any, GetTaxes});
}

}  // namespace kovrix::sim
