#include "sim/device_link.h"

#include "driver/frame.h"

namespace kovrix::sim {

DeviceLink::DeviceLink(Registrator& device, FaultPlan& faults, Journal& journal)
    : device_(device), faults_(faults), journal_(journal) {}

std::vector<Transmission> DeviceLink::Receive(std::string_view bytes) {
  std::vector<RequestFrame> frames;
  parser_.Feed(bytes, frames);
  std::vector<Transmission> out;
  for (const RequestFrame& frame : frames) {
    if (auto t = Answer(frame)) out.push_back(std::move(*t));
  }
  return out;
}

void DeviceLink::HostGone() {
  parser_.Reset();
  device_.state().usbStorage = false;
}

std::string DeviceLink::Execute(const RequestFrame& frame, JournalEntry& entry) {
  const bool repeat = havePrevious_ && frame.seq == previous_.seq && frame.command == previous_.command &&
                      frame.data == previous_.data;
  if (repeat) {
    entry.outcome = Outcome::Repeated;
    entry.error = previousError_;
    return previousReply_;
  }
  device_.device().masks = faults_.Masks();
  Reply reply;
  if (const auto forced = faults_.CommandFailure(frame.command)) {
    entry.outcome = Outcome::Failed;
    reply.error = *forced;
    reply.status = device_.device().Status();
  } else {
    reply = device_.handle(Request{frame.seq, frame.command, frame.data});
    if (auto data = faults_.ReplacedData(frame.command)) reply.data = std::move(*data);
  }
  entry.error = reply.error.WireText();
  previous_ = frame;
  havePrevious_ = true;
  previousError_ = entry.error;
  previousReply_ = BuildReplyFrame(frame.seq, frame.command, entry.error, reply.data, reply.status);
  return previousReply_;
}

std::optional<Transmission> DeviceLink::Answer(const RequestFrame& frame) {
  JournalEntry entry;
  entry.time = std::chrono::system_clock::now();
  entry.seq = frame.seq;
  entry.command = frame.command;
  entry.data = frame.data;
  Transmission t;
  t.requestBytes = frame.size;
  const auto record = [&](Outcome outcome) {
    entry.outcome = outcome;
    journal_.Add(entry);
  };
  // A restarting registrator, like one in the USB storage mode or one briefly out, hears nothing.
  const auto now = std::chrono::steady_clock::now();
  if (device_.state().usbStorage || now < bootedAt_ || now < deafUntil_) {
    record(Outcome::Offline);
    return std::nullopt;
  }
  if (!frame.checksumOk) {
    record(Outcome::BadChecksum);
    t.bytes = std::string(1, static_cast<char>(kNAK));
    return t;
  }
  const bool repeat = havePrevious_ && frame.seq == previous_.seq && frame.command == previous_.command &&
                      frame.data == previous_.data;
  auto step = faults_.TakeNext();
  const auto aimed = faults_.TakeAimed(frame.command, repeat);
  if (!step) step = aimed;
  if (step && step->kind == LineFault::Nak) {
    record(Outcome::Naked);
    t.bytes = std::string(1, static_cast<char>(kNAK));
    return t;
  }
  if (step && step->kind == LineFault::Drop) {
    record(Outcome::Dropped);
    return std::nullopt;
  }
  t.bytes = Execute(frame, entry);
  // The reply goes out; then the registrator restarts and boots.
  if (device_.device().restartRequested) {
    device_.device().restartRequested = false;
    bootedAt_ = std::chrono::steady_clock::now() + bootTime_;
  }
  // A muted reply was executed but never sent: the journal shows no error field for it.
  if (step && step->kind == LineFault::Mute) entry.error.clear();
  if (step && step->deafMs > 0) deafUntil_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(step->deafMs);
  journal_.Add(entry);
  if (!step) return t;
  switch (step->kind) {
    case LineFault::Mute:
      return std::nullopt;
    case LineFault::BadChecksum: {
      char& c = t.bytes[t.bytes.size() - 2];
      c = static_cast<char>(0x30 + ((c - 0x30) ^ 0x01));
      break;
    }
    case LineFault::Garble:
      if (t.bytes.size() > 8) t.bytes[8] = '#';
      break;
    case LineFault::Cut:
      t.bytes.resize(t.bytes.size() / 2);
      break;
    case LineFault::Syn:
      t.synMs = step->synMs;
      t.synIntervalMs = step->synIntervalMs;
      break;
    default:
      break;
  }
  return t;
}

}  // namespace kovrix::sim
