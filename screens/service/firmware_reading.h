#pragma once
// The screen "Чтение ПО" (TForm45): copies the registrator's internal software into a file
// through the data-buffer reading, with a progress bar and a stop button.

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "app/screen.h"

namespace kovrix {

class FirmwareReading : public Screen {
  Q_OBJECT

 public:
  explicit FirmwareReading(ScreenContext& context, QWidget* parent = nullptr);

  QLineEdit* PasswordBox() const { return password_; }
  QLineEdit* ErrorCodeBox() const { return errorCode_; }
  QProgressBar* Progress() const { return progress_; }
  QPushButton* ReadButton() const { return read_; }
  QPushButton* StopButton() const { return stop_; }
  bool Reading() const { return reading_; }

  /// While a reading runs, closing the window (Esc, the title bar) stops it instead.
  void reject() override;

 protected:
  void Activate() override;

 private:
  void ReadFirmware();

  QLineEdit* password_ = nullptr;
  QLineEdit* errorCode_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* read_ = nullptr;
  QPushButton* stop_ = nullptr;
  bool stopRequested_ = false;
  bool reading_ = false;
};

}  // namespace kovrix
