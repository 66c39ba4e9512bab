#pragma once
// The screen "Установить заводской номер" (TForm15): sets the registrator's date and time,
// restarts it, and programs its serial number.

#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <functional>

#include "app/screen.h"

namespace kovrix {

/// Checks a typed DDMMYY date (six digits of a real day, years 2000..2099); throws InputError
/// "'x' is not a valid date" otherwise.
void CheckDeviceDate(const QString& ddmmyy);
/// Checks a typed HHMM time (four digits, 00..23 hours, 00..59 minutes); throws InputError
/// "'x' is not a valid time" otherwise.
void CheckDeviceTime(const QString& hhmm);

class SerialNumberScreen : public Screen {
  Q_OBJECT

 public:
  explicit SerialNumberScreen(ScreenContext& context, QWidget* parent = nullptr);

  /// Replaces the clock that activation reads (tests fix the time).
  void SetClock(std::function<QDateTime()> clock) { clock_ = std::move(clock); }

  QLineEdit* DateBox() const { return date_; }
  QLineEdit* TimeBox() const { return time_; }
  QLineEdit* SerialBox() const { return serial_; }
  QLineEdit* PasswordBox() const { return password_; }
  QLabel* Notice() const { return notice_; }
  QPushButton* SetDateTimeButton() const { return setDateTime_; }
  QPushButton* SetSerialButton() const { return setSerial_; }
  QPushButton* CloseButton() const { return close_; }

 protected:
  void Activate() override;

 private:
  void SetDateTimeAndRestart();
  void SetSerial();

  std::function<QDateTime()> clock_ = [] { return QDateTime::currentDateTime(); };
  QLineEdit* date_ = nullptr;
  QLineEdit* time_ = nullptr;
  QLineEdit* serial_ = nullptr;
  QLineEdit* password_ = nullptr;
  QLabel* notice_ = nullptr;
  QPushButton* setDateTime_ = nullptr;
  QPushButton* setSerial_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace kovrix
