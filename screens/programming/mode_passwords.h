#pragma once
// The screen "Пароли" (TForm13): with the administrator password, sets the programming, reports
// and administrator passwords of the registrator's modes in one command.

#include <QLineEdit>
#include <QPushButton>

#include "app/screen.h"

namespace kovrix {

class ModePasswords : public Screen {
  Q_OBJECT

 public:
  explicit ModePasswords(ScreenContext& context, QWidget* parent = nullptr);

  QLineEdit* AdminPasswordBox() const { return admin_; }
  QLineEdit* ProgrammingPasswordBox() const { return programming_; }
  QLineEdit* ReportsPasswordBox() const { return reports_; }
  QLineEdit* NewAdminPasswordBox() const { return newAdmin_; }
  QPushButton* RunButton() const { return run_; }
  QPushButton* CloseButton() const { return close_; }

 private:
  void SetPasswords();

  QLineEdit* admin_ = nullptr;
  QLineEdit* programming_ = nullptr;
  QLineEdit* reports_ = nullptr;
  QLineEdit* newAdmin_ = nullptr;
  QPushButton* run_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace kovrix
