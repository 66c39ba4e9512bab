#include "sim/model/state_file.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/files.h"
#include "sim/model/values.h"

namespace kovrix::sim {

namespace {

constexpr const char* kMagic = "kovrix-sim-state 1";
constexpr std::size_t kMaxCount = 1000000;
constexpr std::size_t kMaxImage = 16 * 1024 * 1024;

// The fiscal memory image is stored as its size and the hexadecimal text of its bytes up to
// the last one that is not blank (0xFF).
struct Image {
  std::string& bytes;
};

// Every stored field, listed once, for both directions.
template <class V> void Visit(V& v, TaxRate& t) { v("type", t.type); v("rate", t.rate); v("name", t.name); v("link", t.link); }
template <class V> void Visit(V& v, HeaderLine& h) { v("text", h.text); v("width", h.width); }
template <class V> void Visit(V& v, Article& a) {
  v("code", a.code); v("name", a.name); v("price", a.price); v("tax", a.taxGroup); v("department", a.department);
  v("soldQuantity", a.soldQuantity); v("soldSum", a.soldSum);
}
template <class V> void Visit(V& v, Operator& o) {
  v("password", o.password); v("name", o.name); v("madeSales", o.madeSales); v("shiftSales", o.shiftSales);
  v("shiftReceipts", o.shiftReceipts);
}
template <class V> void Visit(V& v, PaymentType& p) { v("mask", p.mask); v("name", p.name); }
template <class V> void Visit(V& v, RegistratorParams& p) {
  v("speed", p.speed); v("contrast", p.contrast); v("documentFlags", p.documentFlags); v("printFlags", p.printFlags);
  v("drawerOpenPulse", p.drawerOpenPulse); v("drawerClosePulse", p.drawerClosePulse); v("nameLineChars", p.nameLineChars);
}
template <class V> void Visit(V& v, NetworkSettings& n) {
  v("dhcp", n.dhcp); v("address", n.address); v("mask", n.mask); v("gateway", n.gateway); v("server", n.server);
  v("port", n.port); v("period", n.period); v("retry", n.retry);
}
template <class V> void Visit(V& v, ServiceReminder& r) {
  v("password", r.password); v("date", r.date); v("days", r.days); v("mask", r.mask); v("message", r.message);
  v("pending", r.pending);
}
template <class V> void Visit(V& v, ModemState& m) {
  v("personalised", m.personalised); v("personalisedAt", m.personalisedAt); v("ethernet", m.ethernet);
  v("samFault", m.samFault); v("cardFault", m.cardFault); v("technicalRegistration", m.technicalRegistration);
  v("undelivered", m.undelivered); v("firstUndelivered", m.firstUndelivered);
}
template <class V> void Visit(V& v, ReceiptItem& i) {
  v("code", i.code); v("name", i.name); v("quantity", i.quantity); v("price", i.price); v("amount", i.amount);
  v("discount", i.discount); v("tax", i.taxGroup); v("department", i.department); v("annulled", i.annulled);
  v("marked", i.marked);
}
template <class V> void Visit(V& v, Adjustment& a) { v("tax", a.taxGroup); v("amount", a.amount); }
template <class V> void Visit(V& v, Payment& p) { v("type", p.type); v("amount", p.amount); v("transaction", p.transaction); }
template <class V> void Visit(V& v, Receipt& r) {
  v("kind", r.kind); v("state", r.state); v("isReturn", r.isReturn); v("operator", r.operatorNumber);
  v("stateBeforeAnnulling", r.stateBeforeAnnulling); v("serviceCash", r.serviceCash); v("items", r.items);
  v("adjustments", r.adjustments); v("payments", r.payments); v("lines", r.lines);
}
template <class V> void Visit(V& v, ShiftTotals& t) {
  v("sales", t.sales); v("returns", t.returns); v("salePayments", t.salePayments); v("returnPayments", t.returnPayments);
  v("departments", t.departments); v("receipts", t.receipts); v("returnReceipts", t.returnReceipts);
  v("annulled", t.annulled); v("cashIn", t.cashIn); v("cashOut", t.cashOut); v("adjustments", t.adjustments);
}
template <class V> void Visit(V& v, Shift& s) { v("open", s.open); v("openedAt", s.openedAt); v("totals", s.totals); }
template <class V> void Visit(V& v, StoredReceipt& r) { v("number", r.number); v("lines", r.lines); }
template <class V> void Visit(V& v, DeviceState& s) {
  v("model", s.model); v("version", s.version); v("serial", s.serial); v("fiscalised", s.fiscalised);
  v("inspectorPassword", s.inspectorPassword); v("fiscalNumber", s.fiscalNumber); v("taxId", s.taxId);
  v("taxNumber", s.taxNumber); v("idDev", s.idDev); v("idDevSet", s.idDevSet); v("firmwareDate", s.firmwareDate);
  v("clockOffset", s.clockOffset); v("dateSet", s.dateSet); v("restartNeeded", s.restartNeeded);
  v("serialProgrammed", s.serialProgrammed);
  v("taxes", s.taxes); v("header", s.header); v("articles", s.articles); v("articleCapacity", s.articleCapacity);
  v("operators", s.operators); v("programmingPassword", s.programmingPassword);
  v("reportsPassword", s.reportsPassword); v("adminPassword", s.adminPassword); v("paymentTypes", s.paymentTypes);
  v("params", s.params); v("decimalPoint", s.decimalPoint); v("reminder", s.reminder); v("counters", s.counters);
  v("network", s.network); v("modem", s.modem); v("lastAcquirer", s.lastAcquirer); v("logo", s.logo);
  v("logoWidth", s.logoWidth); v("logoHeight", s.logoHeight); v("logoCapacity", s.logoCapacity);
  v("logoMaxWidth", s.logoMaxWidth);
  Image flash{s.flash};
  v("flash", flash);
  v("shift", s.shift); v("receipt", s.receipt); v("cash", s.cash); v("receiptNumber", s.receiptNumber);
  v("zNumber", s.zNumber); v("emergencyResets", s.emergencyResets); v("copies", s.copies);
  v("controlTape", s.controlTape); v("display", s.display);
}

std::string Escape(const std::string& value) {
  std::string out;
  for (char c : value) {
    const auto b = static_cast<std::uint8_t>(c);
    if (b < 0x20 || b == '%' || b == 0x7F) {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", b);
      out += buf;
    } else {
      out += c;
    }
  }
  return out;
}

std::string Unescape(const std::string& value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '%' && i + 2 < value.size()) {
      if (const auto b = UnhexBytes(value.substr(i + 1, 2))) {
        out += *b;
        i += 2;
        continue;
      }
    }
    out += value[i];
  }
  return out;
}

class Writer {
 public:
  std::string out;

  void operator()(const char* name, std::string& v) { Line(name, Escape(v)); }
  void operator()(const char* name, bool& v) { Line(name, v ? "1" : "0"); }
  void operator()(const char* name, int& v) { Line(name, std::to_string(v)); }
  void operator()(const char* name, std::int64_t& v) { Line(name, std::to_string(v)); }
  void operator()(const char* name, std::uint32_t& v) { Line(name, std::to_string(v)); }
  void operator()(const char* name, Image& image) {
    std::size_t used = image.bytes.size();
    while (used > 0 && static_cast<std::uint8_t>(image.bytes[used - 1]) == 0xFF) --used;
    Line(std::string(name) + ".size", std::to_string(image.bytes.size()));
    Line(name, HexBytes(std::string_view(image.bytes).substr(0, used)));
  }
  template <class T, std::size_t N>
  void operator()(const char* name, std::array<T, N>& items) {
    const std::string saved = Enter(name);
    for (std::size_t i = 0; i < N; ++i) (*this)(std::to_string(i).c_str(), items[i]);
    prefix_ = saved;
  }
  template <class T>
  void operator()(const char* name, std::vector<T>& items) {
    Line(std::string(name) + ".count", std::to_string(items.size()));
    const std::string saved = Enter(name);
    for (std::size_t i = 0; i < items.size(); ++i) (*this)(std::to_string(i).c_str(), items[i]);
    prefix_ = saved;
  }
  template <class T>
  void operator()(const char* name, T& record) {
    const std::string saved = Enter(name);
    Visit(*this, record);
    prefix_ = saved;
  }

 private:
  std::string Enter(const std::string& name) {
    std::string saved = prefix_;
    prefix_ += name + ".";
    return saved;
  }
  void Line(const std::string& name, const std::string& value) { out += prefix_ + name + "=" + value + "\n"; }
  std::string prefix_;
};

class Reader {
 public:
  explicit Reader(const std::map<std::string, std::string>& values) : values_(values) {}

  void operator()(const char* name, std::string& v) {
    if (const std::string* text = Find(name)) v = Unescape(*text);
  }
  void operator()(const char* name, bool& v) {
    if (const std::string* text = Find(name)) v = *text == "1";
  }
  void operator()(const char* name, int& v) { Number(name, v); }
  void operator()(const char* name, std::int64_t& v) { Number(name, v); }
  void operator()(const char* name, std::uint32_t& v) { Number(name, v); }
  void operator()(const char* name, Image& image) {
    std::int64_t size = -1;
    Number((std::string(name) + ".size").c_str(), size);
    const std::string* text = Find(name);
    if (size < 0 || static_cast<std::size_t>(size) > kMaxImage || text == nullptr) return;
    auto bytes = UnhexBytes(*text);
    if (!bytes || bytes->size() > static_cast<std::size_t>(size)) return;
    bytes->resize(static_cast<std::size_t>(size), static_cast<char>(0xFF));
    image.bytes = *bytes;
  }
  template <class T, std::size_t N>
  void operator()(const char* name, std::array<T, N>& items) {
    const std::string saved = Enter(name);
    for (std::size_t i = 0; i < N; ++i) (*this)(std::to_string(i).c_str(), items[i]);
    prefix_ = saved;
  }
  template <class T>
  void operator()(const char* name, std::vector<T>& items) {
    std::int64_t count = -1;
    Number((std::string(name) + ".count").c_str(), count);
    if (count < 0 || static_cast<std::size_t>(count) > kMaxCount) return;
    items.assign(static_cast<std::size_t>(count), T{});
    const std::string saved = Enter(name);
    for (std::size_t i = 0; i < items.size(); ++i) (*this)(std::to_string(i).c_str(), items[i]);
    prefix_ = saved;
  }
  template <class T>
  void operator()(const char* name, T& record) {
    const std::string saved = Enter(name);
    Visit(*this, record);
    prefix_ = saved;
  }

 private:
  const std::string* Find(const std::string& name) const {
    const auto it = values_.find(prefix_ + name);
    return it == values_.end() ? nullptr : &it->second;
  }
  template <class N>
  void Number(const char* name, N& v) {
    const std::string* text = Find(name);
    if (text == nullptr) return;
    const auto parsed = ParseInteger(*text);
    if (parsed) v = static_cast<N>(*parsed);
  }
  std::string Enter(const std::string& name) {
    std::string saved = prefix_;
    prefix_ += name + ".";
    return saved;
  }
  const std::map<std::string, std::string>& values_;
  std::string prefix_;
};

bool InRange(std::int64_t v, std::int64_t lo, std::int64_t hi) { return v >= lo && v <= hi; }

bool ReceiptUsable(const Receipt& r, const DeviceState& s) {
  if (!InRange(r.kind, kNoReceipt, kCashReceipt) || !InRange(r.state, 0, 15)) return false;
  if (r.kind == kNoReceipt) return true;
  if ((r.kind == kSaleReceipt || r.kind == kCashReceipt) &&
      !InRange(r.operatorNumber, 1, static_cast<std::int64_t>(s.operators.size()))) {
    return false;
  }
  for (const ReceiptItem& i : r.items) {
    if (!InRange(i.taxGroup, 0, 4) || !InRange(i.department, 0, 99)) return false;
  }
  for (const Adjustment& a : r.adjustments) {
    if (!InRange(a.taxGroup, -1, 4)) return false;
  }
  for (const Payment& p : r.payments) {
    if (!InRange(p.type, 0, static_cast<std::int64_t>(s.paymentTypes.size()) - 1)) return false;
  }
  return true;
}

// A state file is outside input: values the model uses as indexes or divisors are brought
// back into range, and an open receipt that does not hold together is dropped.
void Sanitize(DeviceState& s, const DeviceState& before) {
  if (s.paymentTypes.empty() || s.paymentTypes.size() > 10) s.paymentTypes = before.paymentTypes;
  std::erase_if(s.articles, [](const Article& a) { return !InRange(a.taxGroup, 0, 4) || !InRange(a.department, 0, 99); });
  if (!ReceiptUsable(s.receipt, s)) s.receipt = Receipt{};
  if (!InRange(s.logoMaxWidth, 8, 4096)) s.logoMaxWidth = before.logoMaxWidth;
  if (!InRange(s.logoCapacity, 24, 1 << 20)) s.logoCapacity = before.logoCapacity;
  if (!InRange(s.decimalPoint, 0, 3)) s.decimalPoint = 2;
  if (s.articleCapacity < 0) s.articleCapacity = 0;
  if (s.logo.size() > static_cast<std::size_t>(s.logoCapacity)) s.logo.resize(static_cast<std::size_t>(s.logoCapacity));
}

}  // namespace

std::string SaveStateText(const DeviceState& state) {
  DeviceState copy = state;
  Writer w;
  w.out = std::string(kMagic) + "\n";
  Visit(w, copy);
  return w.out;
}

bool LoadStateText(const std::string& text, DeviceState& state) {
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line != kMagic) return false;
  std::map<std::string, std::string> values;
  while (std::getline(in, line)) {
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  DeviceState loaded = state;
  Reader r(values);
  Visit(r, loaded);
  Sanitize(loaded, state);
  state = std::move(loaded);
  return true;
}

// Replaced whole and flushed to the disk: a crash or a power cut leaves the old state or the new
// one, and an existing file is replaced on Windows too.
bool SaveStateFile(const std::string& path, const DeviceState& state) {
  return platform::ReplaceFileWhole(path, SaveStateText(state), /*durable*/ true);
}

bool LoadStateFile(const std::string& path, DeviceState& state) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  return LoadStateText(text.str(), state);
}

}  // namespace kovrix::sim
