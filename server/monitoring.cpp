#include "server/monitoring.h"

#include <chrono>
#include <functional>

#include "server/metrics.h"

namespace kovrix::server {
namespace {

using Snapshot = RegistratorMonitor::Snapshot;
using Regs = std::vector<MonitoredRegistrator>;

double UnixSeconds(RegistratorMonitor::Clock::time_point t) {
  return std::chrono::duration<double>(t.time_since_epoch()).count();
}

bool Bit(const StatusBytes& b, int byte, int mask) { return (b[static_cast<std::size_t>(byte)] & mask) != 0; }

// A family whose samples, one label set per registrator, come from `value` (nothing: no sample).
void PerRegistrator(Exposition& out, const Regs& regs, const std::string& name, const char* type,
                    const std::string& help, const std::function<std::optional<double>(const Snapshot&)>& value) {
  out.Family(name, type, help);
  for (const MonitoredRegistrator& r : regs) {
    if (const auto v = value(r.snapshot)) out.Sample(name, {{"registrator", r.id}}, *v);
  }
}

// A gauge of one bit of the status bytes, reported once a valid reply has been seen.
void StatusBit(Exposition& out, const Regs& regs, const std::string& name, const std::string& help, int byte,
               int mask) {
  PerRegistrator(out, regs, name, "gauge", help, [&](const Snapshot& s) -> std::optional<double> {
    if (!s.statusKnown) return std::nullopt;
    return Bit(s.status, byte, mask) ? 1 : 0;
  });
}

// A gauge per tape (receipt and control) of two bits of status byte 1.
void Tapes(Exposition& out, const Regs& regs, const std::string& name, const std::string& help, int receiptMask,
           int controlMask) {
  out.Family(name, "gauge", help);
  for (const MonitoredRegistrator& r : regs) {
    if (!r.snapshot.statusKnown) continue;
    out.Sample(name, {{"registrator", r.id}, {"tape", "receipt"}}, Bit(r.snapshot.status, 1, receiptMask) ? 1 : 0);
    out.Sample(name, {{"registrator", r.id}, {"tape", "control"}}, Bit(r.snapshot.status, 1, controlMask) ? 1 : 0);
  }
}

void Requests(Exposition& out, const Regs& regs, const std::map<int, std::uint64_t>& shared) {
  out.Family("kovrix_requests_total", "counter",
             "HTTP requests answered, by status; those of a registrator's endpoints carry its label");
  for (const MonitoredRegistrator& r : regs) {
    for (const auto& [status, n] : r.snapshot.requests)
      out.Sample("kovrix_requests_total", {{"registrator", r.id}, {"status", std::to_string(status)}}, static_cast<double>(n));
  }
  for (const auto& [status, n] : shared)
    out.Sample("kovrix_requests_total", {{"status", std::to_string(status)}}, static_cast<double>(n));
}

void Receipts(Exposition& out, const Regs& regs) {
  out.Family("kovrix_receipts_total", "counter",
             "Receipt requests by kind (fiscal, non-fiscal) and outcome: printed; annulled (opened, then undone by "
             "the service); refused (nothing printed); unknown (the registrator fell silent, the outcome is "
             "learnt by repeating the request with its Idempotency-Key)");
  for (const MonitoredRegistrator& r : regs) {
    for (const char* kind : {"fiscal", "non-fiscal"}) {
      for (const char* outcome : {"printed", "annulled", "refused", "unknown"}) {
        std::uint64_t n = 0;
        if (const auto k = r.snapshot.receipts.find(kind); k != r.snapshot.receipts.end()) {
          if (const auto o = k->second.find(outcome); o != k->second.end()) n = o->second;
        }
        out.Sample("kovrix_receipts_total", {{"registrator", r.id}, {"kind", kind}, {"outcome", outcome}},
                   static_cast<double>(n));
      }
    }
  }
}

void LinkFamilies(Exposition& out, const Regs& regs) {
  out.Family("kovrix_exchange_seconds", "histogram",
             "Time of one command exchange with the registrator, its repeats included");
  for (const MonitoredRegistrator& r : regs) r.snapshot.exchanges.Write(out, "kovrix_exchange_seconds", {{"registrator", r.id}});
  const auto counter = [&](const std::string& name, const std::string& help, std::uint64_t LinkCounters::*field) {
    PerRegistrator(out, regs, name, "counter", help,
                   [field](const Snapshot& s) -> std::optional<double> { return static_cast<double>(s.link.*field); });
  };
  counter("kovrix_link_frames_total", "Frames sent to the registrator, repeats included", &LinkCounters::frames);
  counter("kovrix_link_timeouts_total", "Frames whose wait for a reply ended in silence", &LinkCounters::timeouts);
  counter("kovrix_link_repeats_total", "Frames sent again after a garbled, wrong or missing reply",
          &LinkCounters::repeats);
  counter("kovrix_link_stray_replies_total",
          "Replies to other frames (a late reply after a time-out) and late bytes dropped before a frame",
          &LinkCounters::strays);
  out.Family("kovrix_link_spoilt_replies_total", "counter", "Replies that were a NAK or had a wrong checksum");
  for (const MonitoredRegistrator& r : regs) {
    out.Sample("kovrix_link_spoilt_replies_total", {{"registrator", r.id}, {"reason", "nak"}},
               static_cast<double>(r.snapshot.link.naks));
    out.Sample("kovrix_link_spoilt_replies_total", {{"registrator", r.id}, {"reason", "bad_checksum"}},
               static_cast<double>(r.snapshot.link.badChecksums));
  }
}

void DeviceFamilies(Exposition& out, const Regs& regs) {
  PerRegistrator(out, regs, "kovrix_connected", "gauge",
                 "1 when the registrator answered its last exchange or reading, else 0",
                 [](const Snapshot& s) -> std::optional<double> { return s.answered ? 1 : 0; });
  StatusBit(out, regs, "kovrix_receipt_open", "1 while a receipt is open on the registrator (status byte 2)", 2, 0x0F);
  Tapes(out, regs, "kovrix_paper_low", "1 when the registrator reports its paper tape running out (status byte 1)",
        0x01, 0x02);
  Tapes(out, regs, "kovrix_paper_out", "1 when the registrator reports its paper tape ended (status byte 1)", 0x04,
        0x08);
  StatusBit(out, regs, "kovrix_cover_open", "1 when the printer cover is open (status byte 1)", 1, 0x10);
  StatusBit(out, regs, "kovrix_printer_fault", "1 when the printing mechanism is faulty (status byte 0)", 0, 0x10);
  StatusBit(out, regs, "kovrix_fiscal_memory_nearly_full",
            "1 when the fiscal memory has room for fewer than 30 daily reports (status byte 4)", 4, 0x04);
  StatusBit(out, regs, "kovrix_fiscal_memory_full", "1 when the fiscal memory is full (status byte 4)", 4, 0x08);
  StatusBit(out, regs, "kovrix_shift_open", "1 while a shift is open: a Z report closes it (status byte 5)", 5, 0x10);
  StatusBit(out, regs, "kovrix_shift_ending",
            "1 when less than 60 minutes are left of the 24 hours a shift may stay open (status byte 5)", 5, 0x40);
  PerRegistrator(out, regs, "kovrix_fiscal_memory_free_records", "gauge",
                 "Daily reports the fiscal memory still has room for, as the registrator reports them",
                 [](const Snapshot& s) -> std::optional<double> {
                   if (!s.gauges.fiscalMemoryFree) return std::nullopt;
                   return static_cast<double>(*s.gauges.fiscalMemoryFree);
                 });
  PerRegistrator(out, regs, "kovrix_shift_opened_timestamp_seconds", "gauge",
                 "When the open shift began (Unix time, measured by the registrator's clock); absent while no "
                 "shift is open. A Z report is due 24 hours after it",
                 [](const Snapshot& s) { return s.gauges.shiftOpenedAt; });
  PerRegistrator(out, regs, "kovrix_device_read_timestamp_seconds", "gauge",
                 "When the registrator's free resources and clock were last read (Unix time)",
                 [](const Snapshot& s) -> std::optional<double> {
                   if (!s.gaugesReadAt) return std::nullopt;
                   return UnixSeconds(*s.gaugesReadAt);
                 });
}

}  // namespace

std::string MetricsText(const Regs& registrators, const std::map<int, std::uint64_t>& sharedRequests) {
  Exposition out;
  Receipts(out, registrators);
  Requests(out, registrators, sharedRequests);
  LinkFamilies(out, registrators);
  DeviceFamilies(out, registrators);
  return out.text();
}

Answer Readiness(const Regs& registrators) {
  Answer a{200, {{"ready", true}, {"registrators", nlohmann::ordered_json::array()}}};
  for (const MonitoredRegistrator& r : registrators) {
    nlohmann::ordered_json entry{{"id", r.id}, {"ready", r.snapshot.answered}};
    if (!r.snapshot.answered) {
      entry["message"] = r.snapshot.contacted ? r.snapshot.why : "not read yet: the registrator is busy";
      a.status = 503;
      a.body["ready"] = false;
    }
    a.body["registrators"].push_back(std::move(entry));
  }
  return a;
}

}  // namespace kovrix::server
