// Inside a receipt: totals, payments (cash and card), discounts and surcharges, and the
// service cash movements.

#include "sim/model/commands.h"
#include "sim/model/error_code.h"
#include "sim/model/receipt_print.h"

namespace kovrix::sim {

namespace {

bool Selling(const Receipt& r) {
  return r.kind == kSaleReceipt && (r.state == kSold || r.state == kPaying || r.state == kSubtotalAdjusted);
}

int PaymentTypeField(Device& d, const Args& a, int n) {
  return static_cast<int>(a.integer(n, 0, static_cast<std::int64_t>(d.s.paymentTypes.size()) - 1));
}

// Takes one payment; the receipt is paid once the payments reach its total. Change is given
// only from a payment type that allows change in cash.
std::string Pay(Device& d, int type, std::int64_t amount, const std::string& transaction) {
  Receipt& r = d.s.receipt;
  if (!Selling(r)) throw Refusal{err::kDocState};
  const PaymentType& pt = d.s.paymentTypes[static_cast<std::size_t>(type)];
  if (!(pt.mask & (r.isReturn ? 0x02 : 0x01))) throw Refusal{err::kPayTypeDisabled};
  const std::int64_t remaining = d.ReceiptTotal() - d.ReceiptPaid();
  if (amount > remaining && !(pt.mask & 0x80)) throw Refusal{err::kChangeDisabled};
  if (d.ReceiptPaid() + amount > kMaxTotal) throw Refusal{err::kPaymentOverflow};
  // A refund paid in cash comes out of the till.
  if (r.isReturn && type == 0 && std::min(amount, remaining) > d.s.cash) throw Refusal{err::kCashLow};
  d.RequirePrinter();
  r.payments.push_back(Payment{type, amount, transaction});
  const std::string name = pt.name.empty() ? Cp("ОПЛАТА ") + std::to_string(type) : pt.name;
  d.PrintColumns(name, Money(amount));
  if (!transaction.empty()) d.Print("RRN " + transaction);
  const std::int64_t left = remaining - amount;
  if (left <= 0) {
    r.state = kPaid;
    if (left < 0) d.PrintColumns(Cp("РЕШТА"), Money(-left));
  } else {
    r.state = kPaying;
  }
  return Join({Money(left > 0 ? left : 0), Money(left < 0 ? -left : 0)});
}

// 67h: password; payment type; amount -> still to pay; change.
std::string Payment67(Device& d, const Args& a) {
  const int type = PaymentTypeField(d, a, 2);
  const auto amount = a.fixed(3, 2);
  if (amount <= 0) throw Refusal{err::FieldValue(3)};
  return Pay(d, type, amount, {});
}

// 78h: password; payment type; amount; bank transaction identifier — a card payment.
std::string CardPayment(Device& d, const Args& a) {
  const int type = PaymentTypeField(d, a, 2);
  const auto amount = a.fixed(3, 2);
  if (amount <= 0) throw Refusal{err::FieldValue(3)};
  const std::string& transaction = a.text(4, 20);
  if (transaction.empty()) throw Refusal{err::FieldValue(4)};
  if (type == 0) throw Refusal{err::kPayTypeDisabled};
  std::string reply = Pay(d, type, amount, transaction);
  d.s.lastAcquirer = d.Now();
  return reply;
}

// 6Dh: password; 1 also shows the total on the display -> receipt total.
std::string PrintTotal(Device& d, const Args& a) {
  const auto display = a.has(2) ? a.integer(2, 0, 1) : 0;
  const Receipt& r = d.s.receipt;
  if (!Selling(r) && !(r.kind == kSaleReceipt && r.state == kPaid)) throw Refusal{err::kDocState};
  d.RequirePrinter();
  const std::int64_t total = d.ReceiptTotal();
  d.PrintColumns(Cp("СУМА"), Money(total));
  if (display == 1) d.s.display = {Cp("СУМА"), Money(total)};
  return Join({Money(total)});
}

std::string AdjustmentLabel(std::int64_t amount) { return amount < 0 ? Cp("ЗНИЖКА") : Cp("НАДБАВКА"); }

std::int64_t PercentField(const Args& a, int n) {
  const auto value = a.fixed(n, 2);
  if (value == 0 || value < -9999 || value > 9999) throw Refusal{err::kDiscountRange};
  return value;
}

// Checks an absolute adjustment against its base: a discount may not exceed it.
std::int64_t AbsoluteField(const Args& a, int n, std::int64_t base) {
  const auto value = a.fixed(n, 2);
  if (value == 0 || -value > base || value > kMaxTotal) throw Refusal{err::kDiscountRange};
  return value;
}

ReceiptItem& LastItemForDiscount(Device& d) {
  Receipt& r = d.s.receipt;
  if (r.kind != kSaleReceipt || r.state != kSold || r.items.empty()) throw Refusal{err::kDocState};
  ReceiptItem& item = r.items.back();
  if (item.annulled || item.discount != 0) throw Refusal{err::kDocState};
  return item;
}

void ApplyItemAdjustment(Device& d, ReceiptItem& item, std::int64_t amount, const std::string& label) {
  if (d.ReceiptTotal() + amount > kMaxTotal) throw Refusal{err::kTotalOverflow};
  d.RequirePrinter();
  item.discount = amount;
  d.PrintColumns(AdjustmentLabel(amount) + label, Money(amount));
}

// 68h: password; percent (negative discount, positive surcharge) on the last item.
std::string ItemPercent(Device& d, const Args& a) {
  const auto percent = PercentField(a, 2);
  ReceiptItem& item = LastItemForDiscount(d);
  ApplyItemAdjustment(d, item, PercentOf(item.amount, percent), Cat({" ", Money(percent), "%"}));
  return Join({Money(item.discount), Money(d.ReceiptTotal())});
}

// 69h: password; amount on the last item.
std::string ItemAbsolute(Device& d, const Args& a) {
  ReceiptItem& item = LastItemForDiscount(d);
  ApplyItemAdjustment(d, item, AbsoluteField(a, 2, item.amount), {});
  return Join({Money(item.discount), Money(d.ReceiptTotal())});
}

void AddReceiptAdjustment(Device& d, int group, std::int64_t amount, const std::string& label) {
  if (d.ReceiptTotal() + amount > kMaxTotal) throw Refusal{err::kTotalOverflow};
  d.RequirePrinter();
  Receipt& r = d.s.receipt;
  d.PrintColumns(Cp("ПІДСУМОК"), Money(group < 0 ? d.ReceiptTotal() : d.GroupTotal(group)));
  r.adjustments.push_back(Adjustment{group, amount});
  r.state = kSubtotalAdjusted;
  d.PrintColumns(AdjustmentLabel(amount) + label, Money(amount));
}

void RequireSubtotalState(Device& d, bool allowAfterAdjustment) {
  const Receipt& r = d.s.receipt;
  if (r.kind != kSaleReceipt) throw Refusal{err::kDocState};
  if (r.state == kSold) return;
  if (allowAfterAdjustment && r.state == kSubtotalAdjusted) return;
  throw Refusal{err::kDocState};
}

// 73h (and 6Ch): password; percent on the subtotal.
std::string SubtotalPercent(Device& d, const Args& a) {
  const auto percent = PercentField(a, 2);
  RequireSubtotalState(d, false);
  AddReceiptAdjustment(d, -1, PercentOf(d.ReceiptTotal(), percent), Cat({" ", Money(percent), "%"}));
  return Join({Money(d.ReceiptTotal())});
}

// 74h: password; amount on the subtotal.
std::string SubtotalAbsolute(Device& d, const Args& a) {
  RequireSubtotalState(d, false);
  AddReceiptAdjustment(d, -1, AbsoluteField(a, 2, d.ReceiptTotal()), {});
  return Join({Money(d.ReceiptTotal())});
}

int GroupField(Device& d, const Args& a) {
  const int group = static_cast<int>(a.integer(3, 0, 4));
  RequireSubtotalState(d, true);
  if (d.GroupTotal(group) <= 0) throw Refusal{err::kDiscountRange};
  return group;
}

// 75h: password; percent; tax group — on the sales of one tax group.
std::string GroupPercent(Device& d, const Args& a) {
  const auto percent = PercentField(a, 2);
  const int group = GroupField(d, a);
  AddReceiptAdjustment(d, group, PercentOf(d.GroupTotal(group), percent),
                       Cat({" ", Device::TaxLetter(group), " ", Money(percent), "%"}));
  return Join({Money(d.ReceiptTotal())});
}

// 76h: password; amount; tax group.
std::string GroupAbsolute(Device& d, const Args& a) {
  const int group = GroupField(d, a);
  AddReceiptAdjustment(d, group, AbsoluteField(a, 2, d.GroupTotal(group)), Cat({" ", Device::TaxLetter(group)}));
  return Join({Money(d.ReceiptTotal())});
}

std::int64_t CashAmountField(const Args& a, int n) {
  const auto amount = a.fixed(n, 2);
  if (amount == 0 || amount > kMaxTotal || amount < -kMaxTotal) throw Refusal{err::FieldValue(n)};
  return amount;
}

// 6Eh: password; operator number; amount (negative for cash out) -> cash in the till.
std::string CashInOut(Device& d, const Args& a) {
  a.integer(2, 0, static_cast<std::int64_t>(d.s.operators.size()));
  const auto amount = CashAmountField(a, 3);
  d.RequirePrinter();
  d.RequireNoDocument();
  d.RequireFiscalWork();
  if (amount < 0 && -amount > d.s.cash) throw Refusal{err::kCashLow};
  d.OpenShift();
  d.s.cash += amount;
  (amount > 0 ? d.s.shift.totals.cashIn : d.s.shift.totals.cashOut) += amount > 0 ? amount : -amount;
  d.PrintCentered(amount > 0 ? Cp("СЛУЖБОВЕ ВНЕСЕННЯ") : Cp("СЛУЖБОВА ВИДАЧА"));
  d.PrintColumns(Cp("СУМА"), Money(amount > 0 ? amount : -amount));
  d.PrintColumns(Cp("ГОТІВКА В КАСІ"), Money(d.s.cash));
  d.PrintColumns(Cp("ЗН ") + d.s.serial, PrintedDateTime(d.Now()));
  return Join({Money(d.s.cash)});
}

// 77h: password; 0; amount (negative for cash out) — inside a service cash receipt.
std::string ServiceCashInOut(Device& d, const Args& a) {
  a.integer(2, 0, 255);
  const auto amount = CashAmountField(a, 3);
  Receipt& r = d.s.receipt;
  if (r.kind != kCashReceipt) throw Refusal{err::kDocState};
  if (d.s.cash + r.serviceCash + amount < 0) throw Refusal{err::kCashLow};
  d.RequirePrinter();
  r.serviceCash += amount;
  d.PrintColumns(amount > 0 ? Cp("СЛУЖБОВЕ ВНЕСЕННЯ") : Cp("СЛУЖБОВА ВИДАЧА"), Money(amount > 0 ? amount : -amount));
  return Join({Money(d.s.cash + r.serviceCash)});
}

}  // namespace

void AddPaymentCommands(std::vector<CommandEntry>& t) {
  t.push_back({0x67, Access::Any, Payment67});
  t.push_back({0x68, Access::Any, ItemPercent});
  t.push_back({0x69, Access::Any, ItemAbsolute});
  t.push_back({0x6C, Access::Any, SubtotalPercent});
  t.push_back({0x6D, Access::Any, PrintTotal});
  t.push_back({0x6E, Access::Any, CashInOut});
  t.push_back({0x73, Access::Any, SubtotalPercent});
  t.push_back({0x74, Access::Any, SubtotalAbsolute});
  t.push_back({0x75, Access::Any, GroupPercent});
  t.push_back({0x76, Access::Any, GroupAbsolute});
  t.push_back({0x77, Access::Any, ServiceCashInOut});
  t.push_back({0x78, Access::Any, CardPayment});
}

}  // namespace kovrix::sim
