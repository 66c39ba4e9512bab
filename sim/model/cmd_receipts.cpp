// Receipts: opening, text lines, selling, closing, annulment, copies and barcodes.

#include "sim/model/commands.h"
#include "sim/model/error_code.h"
#include "sim/model/fiscal_memory.h"
#include "sim/model/receipt_print.h"

namespace kovrix::sim {

namespace {

constexpr std::int64_t kMaxCode = 99999999999999;
constexpr std::int64_t kMaxQuantity = 99999999;  // 99 999.999
constexpr std::int64_t kMaxPrice = 9999999999;

bool OneOf(int state, std::initializer_list<int> states) {
  for (int s : states) {
    if (s == state) return true;
  }
  return false;
}

// 60h: password.
std::string OpenTextReceipt(Device& d, const Args&) {
  d.RequirePrinter();
  d.RequireNoDocument();
  d.s.receipt = Receipt{};
  d.s.receipt.kind = kTextReceipt;
  d.s.receipt.state = kTextOpen;
  d.PrintCentered(Cp("НЕФІСКАЛЬНИЙ ЧЕК"));
  return {};
}

// 61h: password; text. Printed inside any open document; long texts wrap at the paper width.
std::string PrintText(Device& d, const Args& a) {
  const std::string text = a.optional(2);
  if (text.size() > 100) throw Refusal{err::FieldValue(2)};
  const Receipt& r = d.s.receipt;
  if (r.kind == kNoReceipt || r.state == kAnnulling) throw Refusal{err::kDocState};
  d.RequirePrinter();
  const auto width = static_cast<std::size_t>(d.PaperWidth());
  if (text.empty()) d.Print(text);
  for (std::size_t at = 0; at < text.size(); at += width) d.Print(text.substr(at, width));
  return {};
}

// 63h: password; operator; cash desk; type (0 sale, 1 return, 2 service cash receipt).
std::string OpenFiscalReceipt(Device& d, const Args& a) {
  const auto number = a.integer(2, 1, static_cast<std::int64_t>(d.s.operators.size()));
  a.integer(3, 0, 99);
  const auto type = a.integer(4, 0, 2);
  const Operator& op = d.s.operators[static_cast<std::size_t>(number - 1)];
  const std::string& password = a.text(1);
  if (password != d.s.adminPassword && (op.password.empty() || password != op.password)) {
    throw Refusal{err::kPassword};
  }
  d.RequirePrinter();
  d.RequireNoDocument();
  d.RequireFiscalWork();
  if (FreeFmRecords(d.s.flash) == 0) throw Refusal{err::kFmNoSpace};
  d.OpenShift();
  Receipt& r = d.s.receipt;
  r = Receipt{};
  r.operatorNumber = static_cast<int>(number);
  if (type == 2) {
    r.kind = kCashReceipt;
    r.state = kCashOpen;
    PrintDocumentHeader(d, Cp("СЛУЖБОВИЙ ЧЕК"));
  } else {
    r.kind = kSaleReceipt;
    r.state = kOpened;
    r.isReturn = type == 1;
    PrintDocumentHeader(d, r.isReturn ? Cp("ВИДАТКОВИЙ ЧЕК (ПОВЕРНЕННЯ)") : Cp("ФІСКАЛЬНИЙ ЧЕК"));
  }
  d.Print(op.name.empty() ? Cp("КАСИР ") + std::to_string(number) : op.name);
  return {};
}

// 64h: password; article code; quantity (three decimals); price (two decimals).
std::string Sell(Device& d, const Args& a) {
  const auto code = a.integer(2, 1, kMaxCode);
  const auto quantity = a.fixed(3, 3);
  const auto price = a.fixed(4, 2);
  if (quantity <= 0 || quantity > kMaxQuantity) throw Refusal{err::kQuantity};
  if (price < 0 || price > kMaxPrice) throw Refusal{err::kPrice};
  Receipt& r = d.s.receipt;
  if (r.kind != kSaleReceipt || !OneOf(r.state, {kOpened, kSold, kSubtotalAdjusted, kAnnulling})) {
    throw Refusal{err::kDocState};
  }
  const Article* art = d.FindArticle(code);
  if (art == nullptr) throw Refusal{err::kArticleNotFound};
  if (d.s.taxes[static_cast<std::size_t>(art->taxGroup)].type == 0) throw Refusal{err::kTaxDisabled};
  const std::int64_t amount = (quantity * price + 500) / 1000;
  if (r.state == kAnnulling) {
    // In the annulment mode a sale names the earlier sale to take back.
    for (ReceiptItem& item : r.items) {
      if (!item.annulled && !item.marked && item.code == code && item.quantity == quantity && item.price == price) {
        item.marked = true;
        d.PrintColumns(Cat({Cp("АНУЛЮВАННЯ "), art->name}), Cat({"-", Money(item.amount + item.discount)}));
        return {};
      }
    }
    throw Refusal{err::kCancelNotFound};
  }
  d.RequirePrinter();
  if (d.ReceiptTotal() + amount > kMaxTotal) throw Refusal{err::kTotalOverflow};
  ReceiptItem item;
  item.code = code;
  item.name = art->name;
  item.quantity = quantity;
  item.price = price;
  item.amount = amount;
  item.taxGroup = art->taxGroup;
  item.department = art->department;
  r.items.push_back(item);
  r.state = kSold;
  d.Print(art->name);
  d.PrintColumns("  " + FormatFixed(quantity, 3) + " x " + Money(price), Money(amount) + " " + Device::TaxLetter(art->taxGroup));
  return Join({Money(d.ReceiptTotal())});
}

bool HasLiveItems(const Receipt& r) {
  for (const ReceiptItem& item : r.items) {
    if (!item.annulled) return true;
  }
  return false;
}

void StoreCopy(Device& d, int number) {
  d.s.copies.push_back(StoredReceipt{number, d.s.receipt.lines});
  if (d.s.copies.size() > kStoredReceipts) d.s.copies.erase(d.s.copies.begin());
}

void NoteUndelivered(Device& d) {
  if (d.s.modem.undelivered++ == 0) d.s.modem.firstUndelivered = d.Now();
}

// A subtotal discount or surcharge belongs to no tax group: it is spread over the groups in
// proportion to their sales, the cents left by rounding going to the largest group, so that the
// turnover by group adds up to what the customer paid.
void SpreadOverGroups(const Receipt& r, std::int64_t amount, std::array<std::int64_t, 5>& byGroup) {
  std::array<std::int64_t, 5> base{};
  std::int64_t whole = 0;
  for (const ReceiptItem& item : r.items) {
    if (item.annulled) continue;
    base[static_cast<std::size_t>(item.taxGroup)] += item.amount + item.discount;
    whole += item.amount + item.discount;
  }
  std::size_t largest = 0;
  for (std::size_t g = 1; g < base.size(); ++g) {
    if (base[g] > base[largest]) largest = g;
  }
  if (whole <= 0) {
    byGroup[largest] += amount;
    return;
  }
  std::int64_t spread = 0;
  for (std::size_t g = 0; g < base.size(); ++g) {
    const std::int64_t share = amount * base[g] / whole;
    byGroup[g] += share;
    spread += share;
  }
  byGroup[largest] += amount - spread;
}

// Books a paid sale or return receipt into the shift, the bases and the till.
void BookSaleReceipt(Device& d) {
  Receipt& r = d.s.receipt;
  ShiftTotals& t = d.s.shift.totals;
  const int sign = r.isReturn ? -1 : 1;
  auto& byGroup = r.isReturn ? t.returns : t.sales;
  for (const ReceiptItem& item : r.items) {
    if (item.annulled) continue;
    const std::int64_t net = item.amount + item.discount;
    byGroup[static_cast<std::size_t>(item.taxGroup)] += net;
    t.departments[static_cast<std::size_t>(item.department)] += sign * net;
    if (Article* art = d.FindArticle(item.code)) {
      art->soldQuantity += sign * item.quantity;
      art->soldSum += sign * net;
    }
  }
  for (const Adjustment& adj : r.adjustments) {
    t.adjustments += sign * adj.amount;
    if (adj.taxGroup >= 0) {
      byGroup[static_cast<std::size_t>(adj.taxGroup)] += adj.amount;
    } else {
      SpreadOverGroups(r, adj.amount, byGroup);
    }
  }
  const std::int64_t change = d.ReceiptPaid() - d.ReceiptTotal();
  auto& byType = r.isReturn ? t.returnPayments : t.salePayments;
  for (const Payment& p : r.payments) byType[static_cast<std::size_t>(p.type)] += p.amount;
  byType[0] -= change;
  std::int64_t cashPaid = 0;
  for (const Payment& p : r.payments) {
    if (p.type == 0) cashPaid += p.amount;
  }
  d.s.cash += sign * (cashPaid - change);
  if (r.isReturn) {
    ++t.returnReceipts;
  } else {
    ++t.receipts;
  }
  Operator& op = d.s.operators[static_cast<std::size_t>(r.operatorNumber - 1)];
  op.madeSales = true;
  op.shiftSales += sign * d.ReceiptTotal();
  ++op.shiftReceipts;
}

// 65h: password; option (1 also shows the total on the display).
std::string CloseReceipt(Device& d, const Args& a) {
  const auto option = a.has(2) ? a.integer(2, 0, 255) : 0;
  Receipt& r = d.s.receipt;
  if (r.kind == kNoReceipt) throw Refusal{err::kDocState};
  if (r.kind == kTextReceipt) {
    d.PrintCentered(Cp("НЕФІСКАЛЬНИЙ ЧЕК"));
    r = Receipt{};
    return {};
  }
  if (r.kind == kSaleReceipt) {
    if (r.state == kAnnulling || !HasLiveItems(r) || d.ReceiptPaid() < d.ReceiptTotal()) {
      throw Refusal{err::kDocState};
    }
    BookSaleReceipt(d);
    d.PrintColumns(Cp("СУМА"), Money(d.ReceiptTotal()));
    if (option == 1) d.s.display = {Cp("СУМА"), Money(d.ReceiptTotal())};
  } else {
    if (r.serviceCash < 0 && -r.serviceCash > d.s.cash) throw Refusal{err::kCashLow};
    d.s.cash += r.serviceCash;
    (r.serviceCash >= 0 ? d.s.shift.totals.cashIn : d.s.shift.totals.cashOut) +=
        r.serviceCash >= 0 ? r.serviceCash : -r.serviceCash;
    d.PrintColumns(Cp("ГОТІВКА В КАСІ"), Money(d.s.cash));
  }
  const int number = ++d.s.receiptNumber;
  PrintDocumentFooter(d, Cp("ЧЕК №") + std::to_string(number), true);
  StoreCopy(d, number);
  NoteUndelivered(d);
  r = Receipt{};
  return {};
}

// 62h: password — closes a non-fiscal receipt only.
std::string CloseTextReceipt(Device& d, const Args& a) {
  if (d.s.receipt.kind != kTextReceipt) throw Refusal{err::kDocState};
  return CloseReceipt(d, a);
}

// 6Bh: password; 0 whole receipt, 1 start, 2 end, 3 cancel of the annulment mode.
std::string Annul(Device& d, const Args& a) {
  const auto type = a.integer(2, 0, 3);
  Receipt& r = d.s.receipt;
  switch (type) {
    case 0:
      if (r.kind == kNoReceipt) throw Refusal{err::kNothingToCancel};
      if (r.kind == kTextReceipt) throw Refusal{err::kDocState};
      d.PrintCentered(Cp("ЧЕК АНУЛЬОВАНО"));
      ++d.s.shift.totals.annulled;
      r = Receipt{};
      return {};
    case 1:
      if (r.kind != kSaleReceipt) throw Refusal{err::kDocState};
      if (r.state == kOpened) throw Refusal{err::kNothingToCancel};
      if (r.state == kPaying || r.state == kPaid) throw Refusal{err::kCancelLocked};
      if (r.state != kSold && r.state != kSubtotalAdjusted) throw Refusal{err::kCancelStart};
      r.stateBeforeAnnulling = r.state;
      r.state = kAnnulling;
      d.Print(Cp("АНУЛЮВАННЯ:"));
      return {};
    case 2: {
      if (r.state != kAnnulling) throw Refusal{err::kDocState};
      bool any = false;
      for (ReceiptItem& item : r.items) {
        if (item.marked) {
          item.marked = false;
          item.annulled = true;
          any = true;
        }
      }
      if (!any) throw Refusal{err::kCancelIncomplete};
      r.state = HasLiveItems(r) ? r.stateBeforeAnnulling : kOpened;
      return Join({Money(d.ReceiptTotal())});
    }
    default:
      if (r.state != kAnnulling) throw Refusal{err::kDocState};
      for (ReceiptItem& item : r.items) item.marked = false;
      r.state = r.stateBeforeAnnulling;
      d.Print(Cp("АНУЛЮВАННЯ СКАСОВАНО"));
      return {};
  }
}

// 66h: password — prints a copy of the last fiscal receipt.
std::string CopyLastReceipt(Device& d, const Args&) {
  if (d.s.receipt.kind != kNoReceipt && d.s.receipt.kind != kTextReceipt) throw Refusal{err::kDocState};
  if (d.s.copies.empty()) throw Refusal{err::kCopyUnavailable};
  d.RequirePrinter();
  const std::vector<std::string> lines = d.s.copies.back().lines;
  d.PrintCentered(Cp("КОПІЯ"));
  for (const std::string& line : lines) d.Print(line);
  return {};
}

// 6Fh: password; bar height 1..255; 32 hexadecimal characters of modules.
std::string PrintBarcode(Device& d, const Args& a) {
  const auto height = a.integer(2, 1, 255);
  const std::string& modules = a.text(3);
  if (modules.size() != 32 || !ParseHex(modules.substr(0, 16)) || !ParseHex(modules.substr(16))) {
    throw Refusal{err::FieldFormat(3)};
  }
  if (d.s.receipt.state == kAnnulling) throw Refusal{err::kDocState};
  d.RequirePrinter();
  const std::string digits = DecodeEan13(modules);
  d.PrintCentered("EAN-13 " + (digits.empty() ? std::string("?") : digits) + " h" + std::to_string(height));
  return {};
}

std::string NotSupported(Device&, const Args&) { throw Refusal{err::kNotSupported}; }

}  // namespace

void AddReceiptCommands(std::vector<CommandEntry>& t) {
  t.push_back({0x60, Access::Any, OpenTextReceipt});
  t.push_back({0x61, Access::Any, PrintText});
  t.push_back({0x62, Access::Any, CloseTextReceipt});
  t.push_back({0x63, Access::Any, OpenFiscalReceipt});
  t.push_back({0x64, Access::Any, Sell});
  t.push_back({0x65, Access::Any, CloseReceipt});
  t.push_back({0x66, Access::Any, CopyLastReceipt});
  t.push_back({0x6A, Access::Any, NotSupported});
  t.push_back({0x6B, Access::Any, Annul});
  t.push_back({0x6F, Access::Any, PrintBarcode});
}

}  // namespace kovrix::sim
