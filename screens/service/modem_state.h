#pragma once
// The screen "Состояние модема" (TForm51): the modem state report of registrators with a data
// modem: the state byte as eight check boxes, when the first undelivered document was made and
// when the modem was personalised; the report can also be printed.

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <array>
#include <string>

#include "app/screen.h"

namespace kovrix {

/// Answers the state byte of a modem report's first field: the second character is the low
/// nibble and the first the high one, each an upper-case hexadecimal digit; a character that is
/// not one counts as 0 (so does a missing one).
int ModemStateBits(const std::string& field);

class ModemState : public Screen {
  Q_OBJECT

 public:
  explicit ModemState(ScreenContext& context, QWidget* parent = nullptr);

  QLineEdit* PasswordBox() const { return password_; }
  QLineEdit* ErrorCodeBox() const { return errorCode_; }
  QCheckBox* PrintBox() const { return print_; }
  QLineEdit* FirstUndeliveredDateBox() const { return firstDate_; }
  QLineEdit* FirstUndeliveredTimeBox() const { return firstTime_; }
  QLineEdit* PersonalisationDateBox() const { return personalisedDate_; }
  QLineEdit* PersonalisationTimeBox() const { return personalisedTime_; }
  /// The box of state bit n (0..7).
  QCheckBox* StateBox(int bit) const { return stateBoxes_[static_cast<std::size_t>(bit)]; }
  QPushButton* ReportButton() const { return report_; }
  QPushButton* CloseButton() const { return close_; }

 private:
  void GetReport();

  QLineEdit* password_ = nullptr;
  QLineEdit* errorCode_ = nullptr;
  QCheckBox* print_ = nullptr;
  QLineEdit* firstDate_ = nullptr;
  QLineEdit* firstTime_ = nullptr;
  QLineEdit* personalisedDate_ = nullptr;
  QLineEdit* personalisedTime_ = nullptr;
  std::array<QCheckBox*, 8> stateBoxes_{};
  QPushButton* report_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace kovrix
