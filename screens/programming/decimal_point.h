#pragma once
// The screen of the decimal point position (TForm32): how many digits follow the decimal point
// in money amounts, read from and set on the registrator.

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/screen.h"

namespace kovrix {

class DecimalPointPosition : public Screen {
  Q_OBJECT

 public:
  explicit DecimalPointPosition(ScreenContext& context, QWidget* parent = nullptr);

  QComboBox* PositionList() const { return position_; }
  QLineEdit* ErrorCodeBox() const { return errorCode_; }
  QLineEdit* PasswordBox() const { return password_; }
  QPushButton* ReadButton() const { return read_; }
  QPushButton* SetButton() const { return set_; }
  QPushButton* StatusButton() const { return status_; }
  QPushButton* CloseButton() const { return close_; }

 protected:
  void Activate() override;

 private:
  void ReadPosition();
  void SetPosition();

  QComboBox* position_ = nullptr;
  QLineEdit* errorCode_ = nullptr;
  QLineEdit* password_ = nullptr;
  QPushButton* read_ = nullptr;
  QPushButton* set_ = nullptr;
  QPushButton* status_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace kovrix
