// Service: the technical-service reminder, service counters, modem state, network settings
// and the last acquirer session.

#include "sim/model/commands.h"
#include "sim/model/error_code.h"

namespace kovrix::sim {

namespace {

constexpr std::size_t kReminderLines = 10;
constexpr DeviceTime kHours72 = 72 * 3600;

// 34h: password; 0 starts a new message, 1 appends; text.
std::string AddServiceTextLine(Device& d, const Args& a) {
  const auto append = a.integer(2, 0, 1);
  const std::string& text = a.text(3, static_cast<std::size_t>(d.PaperWidth()));
  std::vector<std::string>& pending = d.s.reminder.pending;
  if (append == 1 && pending.size() >= kReminderLines) throw Refusal{err::kLowBuffer};
  if (append == 0) pending.clear();
  pending.push_back(text);
  return {};
}

// 35h: reminder password (in the password position); new reminder password; date DDMMYY;
// days ahead; event mask %02X. The lines collected by 34h become the message.
std::string SetServiceInfo(Device& d, const Args& a) {
  ServiceReminder& r = d.s.reminder;
  const std::string& oldPassword = a.text(1);
  const std::string& newPassword = a.text(2, 6);
  const DeviceTime date = a.date(3);
  const auto days = a.integer(4, 0, 999);
  const auto mask = a.hex(5, 2);
  if (mask > 0x1F) throw Refusal{err::FieldValue(5)};
  if (oldPassword != r.password) throw Refusal{err::kPassword};
  r.password = newPassword;
  r.date = date;
  r.days = static_cast<int>(days);
  r.mask = static_cast<int>(mask);
  if (!r.pending.empty()) {
    r.message = r.pending;
    r.pending.clear();
  }
  return {};
}

// 36h: password -> date DDMMYY; days; mask.
std::string GetServiceInfo(Device& d, const Args&) {
  const ServiceReminder& r = d.s.reminder;
  return Join({DateText(r.date), Num(r.days), Hex2(r.mask)});
}

// 88h: password; counter 0..15; value. Counter 0 (battery) cannot be set; counter 3 = 1
// switches the registrator to the USB storage mode, which takes it off the serial link.
std::string SetServiceCounter(Device& d, const Args& a) {
  const auto counter = a.integer(2, 0, 15);
  if (counter == 0) throw Refusal{err::FieldValue(2)};
  const std::int64_t hi = counter == 1 ? 3 : counter == 3 || counter == 4 || counter == 5 ? 1 : 2147483647;
  const auto value = a.integer(3, 0, hi);
  d.s.counters[static_cast<std::size_t>(counter)] = value;
  if (counter == 3 && value == 1) {
    d.s.usbStorage = true;
    d.s.counters[3] = 0;
  }
  return {};
}

// 89h: password; counter -> value. Counters 3, 4 and 5 cannot be read.
std::string GetServiceCounter(Device& d, const Args& a) {
  const auto counter = a.integer(2, 0, 15);
  if (counter >= 3 && counter <= 5) throw Refusal{err::FieldValue(2)};
  return Join({Num(d.s.counters[static_cast<std::size_t>(counter)])});
}

std::string Stamp(DeviceTime t) { return t == 0 ? std::string() : DateText(t) + TimeText(t); }

bool Blocked72(const Device& d) {
  return d.s.modem.undelivered > 0 && d.Now() - d.s.modem.firstUndelivered > kHours72;
}

// EAh: password; print flag (optional). The short layout of the models with a built-in modem
// line (KR-12, QX41) gives the modem number and stamps DDMMYYHHMM; the others give the state
// byte with dates and times.
std::string ModemReport(Device& d, const Args& a) {
  const bool print = a.has(2) && a.integer(2, 0, 1) == 1;
  const ModemState& m = d.s.modem;
  std::string reply;
  if (d.ModelHas("KR-12") || d.ModelHas("QX41")) {
    reply = Join({Num(d.s.idDev), Stamp(m.personalised ? m.personalisedAt : 0),
                  Stamp(m.undelivered > 0 ? m.firstUndelivered + kHours72 : 0),
                  Stamp(m.undelivered > 0 ? m.firstUndelivered : 0), Num(m.undelivered)});
  } else {
    const int state = (m.samFault ? 0x01 : 0) | (m.cardFault ? 0x02 : 0) | (Blocked72(d) ? 0x04 : 0) |
                      (d.s.idDevSet ? 0x08 : 0) | (m.technicalRegistration ? 0x10 : 0) |
                      (m.personalised ? 0x20 : 0) | (m.ethernet ? 0x40 : 0) | (m.undelivered > 0 ? 0x80 : 0);
    const bool pending = m.undelivered > 0;
    reply = Join({Hex2(state), pending ? DateText(m.firstUndelivered) : std::string(),
                  pending ? TimeText(m.firstUndelivered) : std::string(),
                  m.personalised ? DateText(m.personalisedAt) : std::string(),
                  m.personalised ? TimeText(m.personalisedAt) : std::string()});
  }
  if (print) {
    d.RequireNoDocument();
    d.RequirePrinter();
    d.PrintCentered(Cp("СТАН МОДЕМА"));
    d.PrintColumns(Cp("НЕ ПЕРЕДАНО ДОКУМЕНТІВ"), std::to_string(m.undelivered));
    d.PrintColumns("ID_DEV", std::to_string(d.s.idDev));
  }
  return reply;
}

std::string Hex8(std::uint32_t v) { return Hex4(static_cast<int>(v >> 16)) + Hex4(static_cast<int>(v & 0xFFFF)); }
std::string LowFirst(int v) { return Hex2(v & 0xFF) + Hex2((v >> 8) & 0xFF); }

// FAh: password -> DHCP flag; address; mask; gateway; server; port; period; retry.
std::string GetNetwork(Device& d, const Args&) {
  const NetworkSettings& n = d.s.network;
  return Join({n.dhcp ? "1" : "0", Hex8(n.address), Hex8(n.mask), Hex8(n.gateway), Hex8(n.server), LowFirst(n.port),
               LowFirst(n.period), LowFirst(n.retry)});
}

int LowFirstField(const Args& a, int n) {
  const auto v = static_cast<int>(a.hex(n, 4));
  return ((v & 0xFF) << 8) | (v >> 8);
}

// FBh: password; DHCP flag; four addresses of eight hexadecimal digits; port, period and retry
// as four hexadecimal digits, low byte first. Period up to 1440 minutes, retry up to 3600 s.
std::string SetNetwork(Device& d, const Args& a) {
  const std::string& flag = a.text(2);
  if (flag != "0" && flag != "1") throw Refusal{err::FieldFormat(2)};
  NetworkSettings n;
  n.dhcp = flag == "1";
  n.address = static_cast<std::uint32_t>(a.hex(3, 8));
  n.mask = static_cast<std::uint32_t>(a.hex(4, 8));
  n.gateway = static_cast<std::uint32_t>(a.hex(5, 8));
  n.server = static_cast<std::uint32_t>(a.hex(6, 8));
  n.port = LowFirstField(a, 7);
  n.period = LowFirstField(a, 8);
  n.retry = LowFirstField(a, 9);
  if (n.port == 0) throw Refusal{err::FieldValue(7)};
  if (n.period > 1440) throw Refusal{err::FieldValue(8)};
  if (n.retry > 3600) throw Refusal{err::FieldValue(9)};
  d.s.network = n;
  return {};
}

// FCh: password -> date; time of the last successful session with the acquirer.
std::string LastAcquirerSession(Device& d, const Args&) {
  const DeviceTime t = d.s.lastAcquirer;
  return Join({t == 0 ? std::string() : DateText(t), t == 0 ? std::string() : TimeText(t)});
}

}  // namespace

void AddServiceCommands(std::vector<CommandEntry>& t) {
  t.push_back({0x34, Access::Any, AddServiceTextLine});
  t.push_back({0x35, Access::None, SetServiceInfo});
  t.push_back({0x36, Access::Any, GetServiceInfo});
  t.push_back({0x88, Access::Programming, SetServiceCounter});
  t.push_back({0x89, Access::Any, GetServiceCounter});
  t.push_back({0xEA, Access::Any, ModemReport});
  t.push_back({0xFA, Access::Any, GetNetwork});
  t.push_back({0xFB, Access::Programming, SetNetwork});
  t.push_back({0xFC, Access::Any, LastAcquirerSession});
}

}  // namespace kovrix::sim
