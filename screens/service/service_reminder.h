#pragma once
// The dialog "Техническое обслуживание": programs the registrator's technical-service reminder
// (message, its own six-character password, the event date, how many days ahead to remind and
// the event mask), reads it back and prints the reminder report.

#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <array>
#include <vector>

#include "app/screen.h"

namespace kovrix {

/// One message line for the device's temporary buffer: mode 0 starts a new buffer, 1 appends.
struct ReminderLine {
  int mode = 0;
  QString text;
  bool operator==(const ReminderLine&) const = default;
};

/// Answers the lines a message text is sent as: nothing for an empty text; otherwise its first
/// line (even an empty one) with 0, then every further non-empty line with 1, top to bottom.
std::vector<ReminderLine> ReminderLines(const QString& message);

class ServiceReminder : public Screen {
  Q_OBJECT

 public:
  explicit ServiceReminder(ScreenContext& context, QWidget* parent = nullptr);

  QPlainTextEdit* MessageBox() const { return message_; }
  QLineEdit* OldPasswordBox() const { return oldPassword_; }
  QLineEdit* NewPasswordBox() const { return newPassword_; }
  QLineEdit* RepeatPasswordBox() const { return repeatPassword_; }
  QDateEdit* DateBox() const { return date_; }
  QLineEdit* DaysBox() const { return days_; }
  /// The event-mask box of bit n (0..4).
  QCheckBox* MaskBox(int bit) const { return mask_[static_cast<std::size_t>(bit)]; }
  QPushButton* SetButton() const { return set_; }
  QPushButton* ReadButton() const { return read_; }
  QPushButton* ReportButton() const { return report_; }
  QPushButton* CloseButton() const { return close_; }

 protected:
  void Activate() override;

 private:
  void SetReminder();
  void ReadReminder();
  void PrintReminderReport();
  int Mask() const;

  QPlainTextEdit* message_ = nullptr;
  QLineEdit* oldPassword_ = nullptr;
  QLineEdit* newPassword_ = nullptr;
  QLineEdit* repeatPassword_ = nullptr;
  QDateEdit* date_ = nullptr;
  QLineEdit* days_ = nullptr;
  std::array<QCheckBox*, 5> mask_{};
  QPushButton* set_ = nullptr;
  QPushButton* read_ = nullptr;
  QPushButton* report_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace kovrix
