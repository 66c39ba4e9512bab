#include "server/service.h"

#include <cstdio>
#include <optional>

#include "cli/device.h"
#include "cli/render.h"
#include "driver/codepage.h"
#include "driver/commands.h"
#include "driver/driver.h"
#include "driver/error_text.h"

namespace kovrix::server {
namespace {

constexpr std::uint32_t kNoValidReply = ST_NO_REPLY | ST_NAK | ST_BAD_CHECKSUM;

std::string Format2(double v) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.2f", v);
  return buf;
}

std::string MessageOf(const ReplyRecord& record) {
  std::string text;
  GetErrorText(record, text);
  if (!text.empty()) return Cp1251ToUtf8(text);
  if (record.status & ST_NAK) return "the registrator answered NAK";
  if (record.status & ST_BAD_CHECKSUM) return "the registrator's reply had a wrong checksum";
  return "unknown error code " + Cp1251ToUtf8(record.errorText);
}

// The outcome of one command: nothing when it went through, else the answer that reports it.
std::optional<Answer> Failure(const ReplyRecord* record, int err, const std::string& step) {
  if (err < 0) {
    return Answer{400, {{"message", "the command refused its arguments: " + cli::RefusalText(step, err)}, {"step", step}}};
  }
  if (record->status & kNoValidReply) return Answer{504, {{"message", MessageOf(*record)}, {"step", step}}};
  std::string text;
  if (GetErrorText(*record, text)) return std::nullopt;
  return Answer{409, {{"error", Cp1251ToUtf8(record->errorText)}, {"message", MessageOf(*record)}, {"step", step}}};
}

Answer PortUnavailable(const cli::DeviceSession& session) { return Answer{503, {{"message", session.error()}}}; }

Answer Done(const ReplyRecord& record) {
  return Answer{200, {{"error", Cp1251ToUtf8(record.errorText)}, {"message", ""}}};
}

std::string ItemStep(const char* what, std::size_t i) { return std::string(what) + " item " + std::to_string(i + 1); }

}  // namespace

Answer Service::DeviceInfo() {
  cli::DeviceSession session(device_);
  if (!session.open()) return PortUnavailable(session);
  int err = 0;
  const ReplyRecord* r = GetDiagnosticInfo("482916", err);
  if (auto failed = Failure(r, err, "diagnostic information")) return *failed;
  nlohmann::ordered_json bytes = nlohmann::ordered_json::array();
  for (std::uint8_t b : r->statusBytes) bytes.push_back(b & 0x7F);
  return Answer{200,
                {{"model", Cp1251ToUtf8(r->field(1))},
                 {"version", Cp1251ToUtf8(r->field(2))},
                 {"serial", Cp1251ToUtf8(r->field(3))},
                 {"fiscalised", (r->statusBytes[4] & 0x02) != 0},
                 {"statusBytes", bytes},
                 {"status", r->status}}};
}

Answer Service::PrintReceipt(const Receipt& receipt) {
  cli::DeviceSession session(device_);
  if (!session.open()) return PortUnavailable(session);
  const std::string& psw = receipt.password;
  int err = 0;

  // Articles are programmed before the receipt opens: a refused article leaves nothing to annul.
  for (std::size_t i = 0; i < receipt.items.size(); ++i) {
    const Item& item = receipt.items[i];
    const std::string data = psw + ";" + std::to_string(item.code) + ";" + item.name + ";" + Format2(item.price) +
                             ";" + std::to_string(item.taxGroup) + ";" + std::to_string(item.department) + ";";
    if (auto failed = Failure(ExecuteCommand(0x24, data), 0, ItemStep("program", i))) return *failed;
  }

  const ReplyRecord* r = OpenFiscalReceipt(psw, receipt.operatorNumber, 1, receipt.isReturn ? 1 : 0, err);
  if (auto failed = Failure(r, err, "open receipt")) return *failed;

  // From here on a receipt is open: whatever stops the sequence annuls it, so none stays open.
  std::string total;
  auto run = [&]() -> std::optional<Answer> {
    for (std::size_t i = 0; i < receipt.items.size(); ++i) {
      const Item& item = receipt.items[i];
      if (auto f = Failure(SellItemEx(psw, item.code, item.price, item.quantity, err), err, ItemStep("sell", i)))
        return f;
      if (item.discountPercent) {
        if (auto f = Failure(DiscountItemPercent(psw, *item.discountPercent, err), err, ItemStep("discount", i)))
          return f;
      }
      if (item.discountAmount) {
        if (auto f = Failure(DiscountItemAbsolute(psw, *item.discountAmount, err), err, ItemStep("discount", i)))
          return f;
      }
    }
    if (receipt.discountPercent) {
      if (auto f = Failure(DiscountSubtotalPercent(psw, *receipt.discountPercent, err), err, "discount subtotal"))
        return f;
    }
    if (receipt.discountAmount) {
      if (auto f = Failure(DiscountSubtotalAbsolute(psw, *receipt.discountAmount, err), err, "discount subtotal"))
        return f;
    }
    for (std::size_t i = 0; i < receipt.comments.size(); ++i) {
      if (auto f = Failure(PrintText(psw, receipt.comments[i], err), err, "comment " + std::to_string(i + 1)))
        return f;
    }
    const ReplyRecord* t = PrintTotal(psw, false, err);
    if (auto f = Failure(t, err, "total")) return f;
    total = Cp1251ToUtf8(t->field(1));
    for (std::size_t i = 0; i < receipt.payments.size(); ++i) {
      const Payment& p = receipt.payments[i];
      if (auto f = Failure(kovrix::Payment(psw, p.type, p.amount, err), err, "payment " + std::to_string(i + 1)))
        return f;
    }
    return Failure(CloseFiscalReceipt(psw, 0, err), err, "close receipt");
  };
  if (auto failed = run()) {
    int annulErr = 0;
    const ReplyRecord* a = Annulment(psw, 0, annulErr);
    std::string text;
    failed->body["annulled"] = annulErr == 0 && !(a->status & kNoValidReply) && GetErrorText(*a, text);
    return *failed;
  }
  return Answer{200, {{"total", total}, {"error", "0000"}}};
}

Answer Service::PrintNonFiscal(const NonFiscal& request) {
  cli::DeviceSession session(device_);
  if (!session.open()) return PortUnavailable(session);
  int err = 0;
  const ReplyRecord* r = OpenNonFiscalReceipt(request.password, err);
  if (auto failed = Failure(r, err, "open receipt")) return *failed;
  for (std::size_t i = 0; i < request.lines.size(); ++i) {
    r = PrintText(request.password, request.lines[i], err);
    if (auto failed = Failure(r, err, "line " + std::to_string(i + 1))) {
      // A non-fiscal receipt cannot be annulled; closing it is what leaves nothing open.
      int closeErr = 0;
      const ReplyRecord* c = CloseNonFiscalReceipt(request.password, closeErr);
      std::string text;
      failed->body["closed"] = closeErr == 0 && !(c->status & kNoValidReply) && GetErrorText(*c, text);
      return *failed;
    }
  }
  r = CloseNonFiscalReceipt(request.password, err);
  if (auto failed = Failure(r, err, "close receipt")) return *failed;
  return Done(*r);
}

Answer Service::CashInOut(const Cash& request) {
  cli::DeviceSession session(device_);
  if (!session.open()) return PortUnavailable(session);
  int err = 0;
  const ReplyRecord* r = kovrix::CashInOut(request.password, request.operatorNumber, request.amount, err);
  if (auto failed = Failure(r, err, request.amount < 0 ? "cash out" : "cash in")) return *failed;
  Answer a = Done(*r);
  a.body["cash"] = Cp1251ToUtf8(r->field(1));
  return a;
}

Answer Service::Report(const std::string& password, int type) {
  cli::DeviceSession session(device_);
  if (!session.open()) return PortUnavailable(session);
  int err = 0;
  const ReplyRecord* r = PrintReport(password, type, err);
  if (auto failed = Failure(r, err, type == 0 ? "Z report" : "X report")) return *failed;
  return Done(*r);
}

Answer Service::Raw(const RawCommand& command) {
  cli::DeviceSession session(device_);
  if (!session.open()) return PortUnavailable(session);
  const ReplyRecord* r = ExecuteCommand(command.code, command.data);
  std::string text;
  const int status = (r->status & kNoValidReply) ? 504 : GetErrorText(*r, text) ? 200 : 409;
  return Answer{status, cli::ReplyJson(*r)};
}

}  // namespace kovrix::server
