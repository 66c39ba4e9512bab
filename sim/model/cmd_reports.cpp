// Reports: free resources, X and Z reports, the control tape, periodic, article, copy,
// additional and service reports. All but X, Z and the tape commands print inside a
// non-fiscal receipt, as the tool always wraps them.

#include "sim/model/commands.h"
#include "sim/model/error_code.h"
#include "sim/model/fiscal_memory.h"
#include "sim/model/receipt_print.h"

namespace kovrix::sim {

namespace {

constexpr std::int64_t kMaxCode = 99999999999999;
constexpr DeviceTime kDay = 24 * 3600;
constexpr int kReceiptJournal = 3000;

std::string Flag(bool b) { return b ? "1" : "0"; }

// A0h: password -> six permissions; emergency resets; free reports; shift opening date and
// time; free article records; free receipts.
std::string GetFreeResources(Device& d, const Args&) {
  const DeviceState& s = d.s;
  const bool closed = !s.shift.open;
  const int freeReports = FreeFmRecords(s.flash);
  const ShiftTotals& t = s.shift.totals;
  // Field 2: the serial number may be written until it has been (once) or the registrator is fiscalised.
  return Join({Flag(!s.fiscalised && !s.serial.empty()), Flag(!s.fiscalised && !s.serialProgrammed), Flag(closed), Flag(closed),
               Flag(closed && freeReports > 0), Flag(!s.fiscalised), Num(s.emergencyResets), Num(freeReports),
               s.shift.open ? DateText(s.shift.openedAt) : std::string(),
               s.shift.open ? TimeText(s.shift.openedAt) : std::string(),
               Num(s.articleCapacity - static_cast<std::int64_t>(s.articles.size())),
               Num(kReceiptJournal - t.receipts - t.returnReceipts)});
}

std::int64_t Sum(const std::array<std::int64_t, 5>& a) {
  std::int64_t total = 0;
  for (std::int64_t v : a) total += v;
  return total;
}

void PrintShiftTotals(Device& d) {
  const DeviceState& s = d.s;
  const ShiftTotals& t = s.shift.totals;
  for (int g = 0; g < 5; ++g) {
    const auto i = static_cast<std::size_t>(g);
    if (t.sales[i] != 0) d.PrintColumns(Device::TaxLetter(g) + " " + Money(s.taxes[i].rate) + "%", Money(t.sales[i]));
  }
  d.PrintColumns(Cp("ОБІГ ПРОДАЖУ"), Money(Sum(t.sales)));
  d.PrintColumns(Cp("ЧЕКІВ ПРОДАЖУ"), std::to_string(t.receipts));
  d.PrintColumns(Cp("ОБІГ ПОВЕРНЕННЯ"), Money(Sum(t.returns)));
  d.PrintColumns(Cp("ЧЕКІВ ПОВЕРНЕННЯ"), std::to_string(t.returnReceipts));
  for (std::size_t p = 0; p < s.paymentTypes.size() && p < t.salePayments.size(); ++p) {
    if (t.salePayments[p] != 0) d.PrintColumns(s.paymentTypes[p].name, Money(t.salePayments[p]));
  }
  d.PrintColumns(Cp("СЛУЖБОВЕ ВНЕСЕННЯ"), Money(t.cashIn));
  d.PrintColumns(Cp("СЛУЖБОВА ВИДАЧА"), Money(t.cashOut));
  d.PrintColumns(Cp("ГОТІВКА В КАСІ"), Money(s.cash));
}

void DailyReport(Device& d, bool closeShift) {
  DeviceState& s = d.s;
  FmRecord record;
  if (closeShift) {
    if (FreeFmRecords(s.flash) == 0) throw Refusal{err::kFmNoSpace};
    const auto records = ReadFmRecords(s.flash);
    if (!records.empty() && d.Now() < records.back().time) throw Refusal{err::kDateEarlier};
    record.type = kFmDailyReport;
    record.number = s.zNumber + 1;
    record.time = d.Now();
    record.sales = Sum(s.shift.totals.sales);
    record.returns = Sum(s.shift.totals.returns);
    record.receipts = s.shift.totals.receipts;
    record.returnReceipts = s.shift.totals.returnReceipts;
  }
  d.RequirePrinter();
  PrintDocumentHeader(d, closeShift ? Cp("Z-ЗВІТ №") + std::to_string(s.zNumber + 1) : Cp("X-ЗВІТ"));
  PrintShiftTotals(d);
  PrintDocumentFooter(d, closeShift ? Cp("ЗМІНУ ЗАКРИТО") : Cp("ДЕННИЙ ЗВІТ"), false);
  if (!closeShift) return;
  AppendFmRecord(s.flash, record);
  ++s.zNumber;
  s.shift = Shift{};
  // The modem passes the shift on with the daily report.
  s.modem.undelivered = 0;
  s.modem.firstUndelivered = 0;
  if (!(s.params.documentFlags & 0x0002)) {
    for (Article& art : s.articles) {
      art.soldQuantity = 0;
      art.soldSum = 0;
    }
  }
}

// A1h: password; 0 Z report, 1 X report, 2 clear the control tape, 5 upload it (second line).
std::string PrintReport(Device& d, const Args& a) {
  const auto type = a.integer(2, 0, 5);
  if (type == 3 || type == 4 || (type == 5 && !d.ModelHas("RQM"))) throw Refusal{err::FieldValue(2)};
  d.RequireNoDocument();
  switch (type) {
    case 0: DailyReport(d, true); break;
    case 1: DailyReport(d, false); break;
    case 2:
      d.RequireShiftClosed();
      d.RequirePrinter();
      d.s.controlTape.clear();
      d.PrintCentered(Cp("КОНТРОЛЬНУ СТРІЧКУ ОБНУЛЕНО"));
      break;
    default:
      d.RequirePrinter();
      d.PrintCentered(Cp("КОНТРОЛЬНУ СТРІЧКУ ВИВАНТАЖЕНО: ") + std::to_string(d.s.controlTape.size()));
      break;
  }
  return {};
}

void RequireTextReceipt(Device& d) {
  if (d.s.receipt.kind != kTextReceipt) throw Refusal{err::kDocState};
  d.RequirePrinter();
}

// Prints the daily reports chosen by the filter, in full or short form.
template <class Filter>
void PeriodicReport(Device& d, bool full, const std::string& range, Filter inRange) {
  std::vector<FmRecord> chosen;
  for (const FmRecord& r : ReadFmRecords(d.s.flash)) {
    if (r.type != kFmDailyReport || !inRange(r)) continue;
    if (!r.valid) throw Refusal{err::kFmCorrupt};
    chosen.push_back(r);
  }
  d.PrintCentered(full ? Cp("ПЕРІОДИЧНИЙ ЗВІТ ПОВНИЙ") : Cp("ПЕРІОДИЧНИЙ ЗВІТ СКОРОЧЕНИЙ"));
  d.PrintCentered(range);
  if (chosen.empty()) {
    d.PrintCentered(Cp("ЗАПИСІВ НЕМАЄ"));
    return;
  }
  std::int64_t sales = 0;
  std::int64_t returns = 0;
  for (const FmRecord& r : chosen) {
    sales += r.sales;
    returns += r.returns;
    if (full) d.PrintColumns(Cat({"Z", std::to_string(r.number), " ", PrintedDateTime(r.time).substr(0, 8)}), Money(r.sales));
  }
  d.PrintColumns(Cp("Z-ЗВІТІВ"), std::to_string(chosen.size()));
  d.PrintColumns(Cp("ОБІГ ПРОДАЖУ"), Money(sales));
  d.PrintColumns(Cp("ОБІГ ПОВЕРНЕННЯ"), Money(returns));
}

// A2h: password; first date DDMMYY; last date; type (0 short, 1 full).
std::string ReportByDate(Device& d, const Args& a) {
  const DeviceTime first = a.date(2);
  const DeviceTime last = a.date(3);
  if (last < first) throw Refusal{err::FieldValue(3)};
  const bool full = a.integer(4, 0, 1) == 1;
  RequireTextReceipt(d);
  PeriodicReport(d, full, Cat({PrintedDateTime(first).substr(0, 8), " - ", PrintedDateTime(last).substr(0, 8)}),
                 [&](const FmRecord& r) { return r.time >= first && r.time < last + kDay; });
  return {};
}

// A3h: password; first Z number; last Z number; type (0 short, 1 full).
std::string ReportByNumber(Device& d, const Args& a) {
  const auto first = a.integer(2, 1, 65535);
  const auto last = a.integer(3, 1, 65535);
  if (last < first) throw Refusal{err::FieldValue(3)};
  const bool full = a.integer(4, 0, 1) == 1;
  RequireTextReceipt(d);
  PeriodicReport(d, full, Cat({"Z", std::to_string(first), " - Z", std::to_string(last)}),
                 [&](const FmRecord& r) { return r.number >= first && r.number <= last; });
  return {};
}

// A4h: password; first article code; last article code.
std::string ArticleReport(Device& d, const Args& a) {
  const auto first = a.integer(2, 0, kMaxCode);
  const auto last = a.integer(3, 0, kMaxCode);
  if (last < first) throw Refusal{err::FieldValue(3)};
  RequireTextReceipt(d);
  d.PrintCentered(Cp("ЗВІТ ПО ТОВАРАХ"));
  std::int64_t total = 0;
  for (const Article& art : d.s.articles) {
    if (art.code < first || art.code > last || art.soldQuantity == 0) continue;
    d.Print(std::to_string(art.code) + " " + art.name);
    d.PrintColumns("  " + FormatFixed(art.soldQuantity, 3), Money(art.soldSum));
    total += art.soldSum;
  }
  d.PrintColumns(Cp("РАЗОМ"), Money(total));
  return {};
}

// A5h: password; first running receipt number; last.
std::string ReceiptCopies(Device& d, const Args& a) {
  const auto first = a.integer(2, 1, 99999999);
  const auto last = a.integer(3, 1, 99999999);
  if (last < first || last - first >= static_cast<std::int64_t>(kStoredReceipts)) throw Refusal{err::FieldValue(3)};
  RequireTextReceipt(d);
  std::vector<const StoredReceipt*> chosen;
  for (std::int64_t n = first; n <= last; ++n) {
    const StoredReceipt* found = nullptr;
    for (const StoredReceipt& c : d.s.copies) {
      if (c.number == n) found = &c;
    }
    if (found == nullptr) throw Refusal{err::kCopyUnavailable};
    chosen.push_back(found);
  }
  // Copies are printed into the open receipt, which grows its own lines; copy them first.
  std::vector<StoredReceipt> copies;
  for (const StoredReceipt* c : chosen) copies.push_back(*c);
  for (const StoredReceipt& c : copies) {
    d.PrintCentered(Cp("КОПІЯ ЧЕКА №") + std::to_string(c.number));
    for (const std::string& line : c.lines) d.Print(line);
  }
  return {};
}

// A6h: password; 0 departments, 1 operators, 2 control tape (two further fields ignored).
std::string AdditionalReport(Device& d, const Args& a) {
  const auto type = a.integer(2, 0, 2);
  RequireTextReceipt(d);
  const DeviceState& s = d.s;
  if (type == 0) {
    d.PrintCentered(Cp("ЗВІТ ПО ВІДДІЛАХ"));
    for (std::size_t i = 0; i < s.shift.totals.departments.size(); ++i) {
      if (s.shift.totals.departments[i] != 0) {
        d.PrintColumns(Cp("ВІДДІЛ ") + std::to_string(i), Money(s.shift.totals.departments[i]));
      }
    }
  } else if (type == 1) {
    d.PrintCentered(Cp("ЗВІТ ПО КАСИРАХ"));
    for (const Operator& op : s.operators) {
      if (op.shiftReceipts > 0) d.PrintColumns(op.name + " (" + std::to_string(op.shiftReceipts) + ")", Money(op.shiftSales));
    }
  } else {
    const std::vector<std::string> tape = s.controlTape;
    d.PrintCentered(Cp("КОНТРОЛЬНА СТРІЧКА"));
    for (const std::string& line : tape) d.Print(line);
  }
  return {};
}

std::string MaskBits(int mask) {
  std::string out;
  for (int b = 4; b >= 0; --b) out += (mask >> b) & 1 ? '1' : '0';
  return out;
}

// 84h: password; 0 device, 1 fiscalisation, 2 tax table, 3 service reminder.
std::string ServiceReport(Device& d, const Args& a) {
  const auto type = a.integer(2, 0, 3);
  RequireTextReceipt(d);
  const DeviceState& s = d.s;
  switch (type) {
    case 0:
      d.PrintCentered(Cp("СЕРВІСНИЙ ЗВІТ"));
      d.PrintColumns(s.model, s.version);
      d.PrintColumns(Cp("ЗН"), s.serial);
      break;
    case 1:
      d.PrintCentered(Cp("ЗВІТ ПРО ФІСКАЛІЗАЦІЮ"));
      d.PrintColumns(Cp("ЗН"), s.serial);
      d.PrintColumns(Cp("ФН"), s.fiscalNumber);
      d.PrintColumns(Cp("ПН"), s.taxNumber);
      d.PrintColumns(Cp("ІД"), s.taxId);
      d.PrintCentered(s.fiscalised ? Cp("ФІСКАЛІЗОВАНО") : Cp("НЕ ФІСКАЛІЗОВАНО"));
      [[fallthrough]];
    case 2:
      for (int g = 0; g < 5; ++g) {
        const TaxRate& t = s.taxes[static_cast<std::size_t>(g)];
        d.PrintColumns(Device::TaxLetter(g) + " " + t.name, t.type == 0 ? Cp("ЗАБОРОНЕНО") : Money(t.rate) + "%");
      }
      break;
    default:
      d.PrintCentered(Cp("НАГАДУВАННЯ ПРО ТО"));
      d.PrintColumns(Cp("ДАТА"), s.reminder.date == 0 ? std::string("-") : PrintedDateTime(s.reminder.date).substr(0, 8));
      d.PrintColumns(Cp("ЗА ДНІВ"), std::to_string(s.reminder.days));
      d.PrintColumns(Cp("МАСКА"), MaskBits(s.reminder.mask));
      for (const std::string& line : s.reminder.message) d.Print(line);
      break;
  }
  return {};
}

}  // namespace

void AddReportCommands(std::vector<CommandEntry>& t) {
  t.push_back({0xA0, Access::Any, GetFreeResources});
  t.push_back({0xA1, Access::Reports, PrintReport});
  t.push_back({0xA2, Access::Reports, ReportByDate});
  t.push_back({0xA3, Access::Reports, ReportByNumber});
  t.push_back({0xA4, Access::Reports, ArticleReport});
  t.push_back({0xA5, Access::Reports, ReceiptCopies});
  t.push_back({0xA6, Access::Reports, AdditionalReport});
  t.push_back({0x84, Access::Reports, ServiceReport});
}

}  // namespace kovrix::sim
