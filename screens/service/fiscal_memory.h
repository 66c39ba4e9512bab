#pragma once
// The screen "Чтение/запись/обнуление фискальной памяти" (TForm7): copies a byte range of the
// registrator's flash memory into a binary image file, writes an image file into the memory at
// an address, and clears the memory. Reading and writing go chunk by chunk with a gauge, the
// current address and a stop button (also Esc).

#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <string>
#include <string_view>

#include "app/screen.h"

namespace kovrix {

/// The most bytes one flash read answers or one flash write carries.
inline constexpr int kFlashChunk = 50;

/// Answers the data text of a flash write: password;address;count;hexdata; where hexdata is the
/// bytes (at most kFlashChunk) as upper-case hexadecimal pairs padded with "0" to 100 characters.
std::string FlashWriteData(const std::string& password, long long address, std::string_view bytes);

/// What a flash read reply's hexadecimal text decodes to.
struct HexPrefix {
  std::string bytes;  // the bytes decoded before the first fault
  bool complete = false;  // false: a character outside "0"-"9", "A"-"F", or the text ran short
};
/// Decodes the first count bytes of upper-case hexadecimal text, pair by pair.
HexPrefix DecodeHexBytes(std::string_view text, long long count);

/// Answers the gauge's percentage: done * 100 / total, truncated, at most 100 (0 when total is not positive).
int GaugePercent(long long done, long long total);

class FiscalMemory : public Screen {
  Q_OBJECT

 public:
  explicit FiscalMemory(ScreenContext& context, QWidget* parent = nullptr);

  QLineEdit* PasswordBox() const { return password_; }
  QLineEdit* AddressBox() const { return address_; }
  QLineEdit* CountBox() const { return count_; }
  QLineEdit* RepeatLimitBox() const { return repeatLimit_; }
  QLineEdit* RepeatsBox() const { return repeats_; }
  QLineEdit* ResultBox() const { return result_; }
  QLineEdit* StatusBox() const { return status_; }
  QLineEdit* CurrentAddressBox() const { return currentAddress_; }
  QProgressBar* Gauge() const { return gauge_; }
  QPushButton* WriteButton() const { return write_; }
  QPushButton* ReadButton() const { return read_; }
  QPushButton* ClearButton() const { return clear_; }
  QPushButton* CloseButton() const { return close_; }
  QPushButton* StopButton() const { return stop_; }

  /// While an operation runs, closing the window stops it instead.
  void reject() override;

 protected:
  void Activate() override;
  /// Esc presses "Остановить".
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void CheckInput(QLineEdit* changed);
  void ClearFlash();
  void ReadFlash();
  void WriteFlash();
  /// Answers the start address, the byte count and the repeat limit; refuses negatives.
  bool Inputs(long long& start, long long& count, int* repeatLimit);
  void SetBusy(bool busy);
  /// Shows the current address and the gauge, at most every kRefreshMs while an operation runs.
  void ShowProgress(long long address, int percent);
  void FlushProgress();
  static void SetText(QLineEdit* box, const QString& text);
  void ShowReply(const ReplyRecord& reply);
  std::string Password() const;

  QLineEdit* password_ = nullptr;
  QLineEdit* address_ = nullptr;
  QLineEdit* count_ = nullptr;
  QLineEdit* repeatLimit_ = nullptr;
  QLineEdit* repeats_ = nullptr;
  QLineEdit* result_ = nullptr;
  QLineEdit* status_ = nullptr;
  QLineEdit* currentAddress_ = nullptr;
  QProgressBar* gauge_ = nullptr;
  QPushButton* write_ = nullptr;
  QPushButton* read_ = nullptr;
  QPushButton* clear_ = nullptr;
  QPushButton* close_ = nullptr;
  QPushButton* stop_ = nullptr;
  static constexpr int kRefreshMs = 50;
  QElapsedTimer refresh_;
  long long shownAddress_ = 0;
  int shownPercent_ = 0;
  bool progressPending_ = false;
  bool stopRequested_ = false;
  bool busy_ = false;
  bool readEnabled_ = false;
  bool writeEnabled_ = false;
};

}  // namespace kovrix
