#pragma once
// The screen "Последний успешный сеанс связи с эквайером" (TForm53): the date and time of the
// registrator's last successful session with the acquirer (the bank host).

#include <QLineEdit>
#include <QPushButton>

#include "app/screen.h"

namespace kovrix {

class LastAcquirerSession : public Screen {
  Q_OBJECT

 public:
  explicit LastAcquirerSession(ScreenContext& context, QWidget* parent = nullptr);

  QLineEdit* PasswordBox() const { return password_; }
  QLineEdit* ErrorCodeBox() const { return errorCode_; }
  QLineEdit* DateBox() const { return date_; }
  QLineEdit* TimeBox() const { return time_; }
  QPushButton* RunButton() const { return run_; }
  QPushButton* CloseButton() const { return close_; }

 private:
  void ReadSession();

  QLineEdit* password_ = nullptr;
  QLineEdit* errorCode_ = nullptr;
  QLineEdit* date_ = nullptr;
  QLineEdit* time_ = nullptr;
  QPushButton* run_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace kovrix
