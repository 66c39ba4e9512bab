#pragma once
// The screen "Дата и время" (TForm27): sets the registrator's clock from a date picker and a
// time box, and reads the clock back into them.

#include <QDate>
#include <QDateEdit>
#include <QDateTime>
#include <QLineEdit>
#include <QPushButton>
#include <functional>
#include <string>

#include "app/screen.h"

namespace kovrix {

/// Answers the date of a device date DDMMYY, years 00..99 meaning 2000..2099; for anything else
/// throws InputError "'x' is not a valid date", x being the field with a point inserted after its
/// second and its fourth character (the text the date box is given).
QDate DateOfDevice(const std::string& ddmmyy);

class DateAndTime : public Screen {
  Q_OBJECT

 public:
  explicit DateAndTime(ScreenContext& context, QWidget* parent = nullptr);

  /// Replaces the clock that activation reads (tests fix the time).
  void SetClock(std::function<QDateTime()> clock) { clock_ = std::move(clock); }

  QDateEdit* DateBox() const { return date_; }
  QLineEdit* TimeBox() const { return time_; }
  QLineEdit* PasswordBox() const { return password_; }
  QPushButton* SetButton() const { return set_; }
  QPushButton* ReadButton() const { return read_; }
  QPushButton* StatusButton() const { return status_; }
  QPushButton* ExitButton() const { return exit_; }

 protected:
  void Activate() override;

 private:
  void SetClockOfDevice();
  void ReadClockOfDevice();
  void Exit();

  std::function<QDateTime()> clock_ = [] { return QDateTime::currentDateTime(); };
  QDateEdit* date_ = nullptr;
  QLineEdit* time_ = nullptr;
  QLineEdit* password_ = nullptr;
  QPushButton* set_ = nullptr;
  QPushButton* read_ = nullptr;
  QPushButton* status_ = nullptr;
  QPushButton* exit_ = nullptr;
};

}  // namespace kovrix
