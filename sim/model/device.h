#pragma once
// The simulated registrator's state with the rules that many commands share: the device clock,
// the status bytes, printing to the tape, and the preconditions of documents and the shift.

#include <functional>
#include <string>
#include <string_view>

#include "driver/codepage.h"
#include "driver/frame.h"
#include "sim/model/device_state.h"
#include "sim/model/tape.h"

namespace kovrix::sim {

/// Answers the cp1251 bytes of a UTF-8 text written in the source.
inline std::string Cp(std::string_view utf8) { return Utf8ToCp1251(utf8); }

/// Status bits forced on or off on top of the model's own (the fault plan's status faults).
struct StatusMasks {
  StatusBytes set{};
  StatusBytes clear{};
};

class Device {
 public:
  using WallClock = std::function<DeviceTime()>;

  explicit Device(DeviceState state, WallClock clock = LocalWallClock);

  DeviceState s;
  Tape tape;
  StatusMasks masks;
  /// Set by a command after which the registrator restarts; the serving side takes it (and
  /// keeps the device off the line while it boots).
  bool restartRequested = false;

  /// Answers the device's own time (the wall clock moved by the set offset).
  DeviceTime Now() const;
  /// Sets the device clock.
  void SetNow(DeviceTime t);
  /// Answers the six status bytes (top bits clear; the reply frame sets them).
  StatusBytes Status() const;
  /// Answers whether the model name contains the text.
  bool ModelHas(std::string_view part) const { return s.model.find(part) != std::string::npos; }
  /// Answers the paper width in characters for the model.
  int PaperWidth() const;

  /// Prints one line: to the tape, and to the open document's copy.
  void Print(const std::string& line);
  void PrintCentered(const std::string& text);
  /// Prints left and right texts at the two ends of one line.
  void PrintColumns(const std::string& left, const std::string& right);
  /// Refuses with the printer error when the printer cannot print (fault, paper out, cover open).
  void RequirePrinter() const;

  /// Refuses with the document-state error unless no receipt is open.
  void RequireNoDocument() const;
  /// Refuses with the shift-state error while the shift is open.
  void RequireShiftClosed() const;
  /// Refuses when the serial number is not set or the shift has run for more than 24 hours.
  void RequireFiscalWork() const;
  /// Opens the shift when it is closed.
  void OpenShift();

  /// Answers the article of the code, or null.
  Article* FindArticle(std::int64_t code);
  /// Answers the open receipt's total: items, their discounts and the receipt adjustments.
  std::int64_t ReceiptTotal() const;
  std::int64_t ReceiptPaid() const;
  /// Answers the open receipt's total of one tax group (items and their discounts).
  std::int64_t GroupTotal(int group) const;
  /// Answers the letter of a tax group (cp1251).
  static std::string TaxLetter(int group);

 private:
  WallClock clock_;
};

}  // namespace kovrix::sim
