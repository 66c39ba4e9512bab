#pragma once
// The screen "Параметры операторов" (TForm12): sets an operator's password and name, reads an
// operator's name and whether the operator has made sales, and deletes one operator or all.

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/screen.h"

namespace kovrix {

class OperatorParameters : public Screen {
  Q_OBJECT

 public:
  explicit OperatorParameters(ScreenContext& context, QWidget* parent = nullptr);

  QLineEdit* NumberBox() const { return number_; }
  QLineEdit* PasswordBox() const { return password_; }
  QLineEdit* OperatorPasswordBox() const { return operatorPassword_; }
  QLineEdit* NameBox() const { return name_; }
  QLineEdit* ReadNameBox() const { return readName_; }
  QCheckBox* MadeSalesBox() const { return madeSales_; }
  QPushButton* SetButton() const { return set_; }
  QPushButton* ReadButton() const { return read_; }
  QPushButton* DeleteButton() const { return delete_; }
  QPushButton* CloseButton() const { return close_; }

 private:
  enum class Action { Set, Read, Delete };
  void Run(Action action);

  QLineEdit* number_ = nullptr;
  QLineEdit* password_ = nullptr;
  QLineEdit* operatorPassword_ = nullptr;
  QLineEdit* name_ = nullptr;
  QLineEdit* readName_ = nullptr;
  QCheckBox* madeSales_ = nullptr;
  QPushButton* set_ = nullptr;
  QPushButton* read_ = nullptr;
  QPushButton* delete_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace kovrix
