#include "sim/model/device.h"

#include "sim/model/error_code.h"
#include "sim/model/fiscal_memory.h"

namespace kovrix::sim {

namespace {
constexpr DeviceTime kDay = 24 * 3600;
constexpr std::size_t kControlTapeCapacity = 5000;
}  // namespace

Device::Device(DeviceState state, WallClock clock) : s(std::move(state)), clock_(std::move(clock)) {}

DeviceTime Device::Now() const { return clock_() + s.clockOffset; }

void Device::SetNow(DeviceTime t) { s.clockOffset = t - clock_(); }

StatusBytes Device::Status() const {
  StatusBytes b{};
  if (!s.dateSet) b[0] |= 0x04;
  if (s.restartNeeded) b[0] |= 0x20;
  b[2] = static_cast<std::uint8_t>((s.receipt.state & 0x0F) | (s.receipt.isReturn ? 0x10 : 0));
  const int freeRecords = FreeFmRecords(s.flash);
  if (!s.serial.empty()) b[4] |= 0x01;
  if (s.fiscalised) b[4] |= 0x02;
  if (freeRecords < 30) b[4] |= 0x04;
  if (freeRecords == 0) b[4] |= 0x08;
  if (s.idDevSet) b[4] |= 0x10;
  if (s.modem.personalised) b[4] |= 0x20;
  const DeviceTime now = Now();
  if (s.reminder.mask != 0 && now >= s.reminder.date - s.reminder.days * kDay) b[5] |= 0x08;
  if (s.shift.open) {
    b[5] |= 0x10;
    if (now - s.shift.openedAt > kDay - 3600) b[5] |= 0x40;
  }
  if (ModelHas("QX41") || ModelHas("KR-12")) {
    if (s.modem.undelivered > 0 && now - s.modem.firstUndelivered > 3 * kDay) b[5] |= 0x01;
    if (s.modem.undelivered > 0) b[5] |= 0x02;
  }
  for (std::size_t i = 0; i < b.size(); ++i) {
    b[i] = static_cast<std::uint8_t>(((b[i] | masks.set[i]) & ~masks.clear[i]) & 0x7F);
  }
  return b;
}

int Device::PaperWidth() const {
  if (ModelHas("KR-12")) return 32;
  if (ModelHas("QX41")) return 38;
  if (ModelHas("QX53")) return 36;
  if (ModelHas("KR-25") || ModelHas("QX71") || ModelHas("RQM")) return 42;
  return 40;
}

void Device::Print(const std::string& line) {
  tape.Print(line);
  if (s.receipt.kind == kNoReceipt) return;
  s.receipt.lines.push_back(line);
  if (s.receipt.kind != kTextReceipt) {
    s.controlTape.push_back(line);
    if (s.controlTape.size() > kControlTapeCapacity) s.controlTape.erase(s.controlTape.begin());
  }
}

void Device::PrintCentered(const std::string& text) {
  const int width = PaperWidth();
  const int pad = (width - static_cast<int>(text.size())) / 2;
  Print(pad > 0 ? std::string(static_cast<std::size_t>(pad), ' ') + text : text);
}

void Device::PrintColumns(const std::string& left, const std::string& right) {
  const std::size_t width = static_cast<std::size_t>(PaperWidth());
  const std::size_t used = left.size() + right.size();
  Print(left + std::string(used < width ? width - used : 1, ' ') + right);
}

void Device::RequirePrinter() const {
  const StatusBytes b = Status();
  if ((b[0] & 0x10) || (b[1] & 0x04) || (b[1] & 0x10)) throw Refusal{err::kPrinter};
}

void Device::RequireNoDocument() const {
  if (s.receipt.kind != kNoReceipt) throw Refusal{err::kDocState};
}

void Device::RequireShiftClosed() const {
  if (s.shift.open) throw Refusal{err::kShiftState};
}

void Device::RequireFiscalWork() const {
  if (s.serial.empty()) throw Refusal{err::kNoSerial};
  if (!s.dateSet) throw Refusal{ErrorCode{0x05, 0x08}};
  if (s.shift.open && Now() - s.shift.openedAt > kDay) throw Refusal{err::kShiftOver24h};
}

void Device::OpenShift() {
  if (s.shift.open) return;
  s.shift.open = true;
  s.shift.openedAt = Now();
  s.shift.totals = ShiftTotals{};
  for (Operator& op : s.operators) {
    op.shiftSales = 0;
    op.shiftReceipts = 0;
  }
}

Article* Device::FindArticle(std::int64_t code) {
  for (Article& a : s.articles) {
    if (a.code == code) return &a;
  }
  return nullptr;
}

std::int64_t Device::ReceiptTotal() const {
  std::int64_t total = 0;
  for (const ReceiptItem& item : s.receipt.items) {
    if (!item.annulled) total += item.amount + item.discount;
  }
  for (const Adjustment& adj : s.receipt.adjustments) total += adj.amount;
  return total;
}

std::int64_t Device::ReceiptPaid() const {
  std::int64_t paid = 0;
  for (const Payment& p : s.receipt.payments) paid += p.amount;
  return paid;
}

std::int64_t Device::GroupTotal(int group) const {
  std::int64_t total = 0;
  for (const ReceiptItem& item : s.receipt.items) {
    if (!item.annulled && item.taxGroup == group) total += item.amount + item.discount;
  }
  return total;
}

std::string Device::TaxLetter(int group) {
  static const char* const kLetters[] = {"А", "Б", "В", "Г", "Д"};
  return group >= 0 && group < 5 ? Cp(kLetters[group]) : std::string("?");
}

}  // namespace kovrix::sim
