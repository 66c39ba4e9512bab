#pragma once
// The screen "Фискализация" (TForm19): fiscalises the registrator with the tax inspector's
// password, waits for it to come back from its restart, and prints the confirmation receipt.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/screen.h"

namespace kovrix {

class Fiscalisation : public Screen {
  Q_OBJECT

 public:
  explicit Fiscalisation(ScreenContext& context, QWidget* parent = nullptr);

  /// Longest wait for the registrator after its restart, in milliseconds (a minute by default).
  void SetWaitLimit(int ms) { waitLimitMs_ = ms; }

  QLineEdit* SerialBox() const { return serial_; }
  QLineEdit* InspectorBox() const { return inspector_; }
  QLineEdit* RepeatBox() const { return repeat_; }
  QLineEdit* PasswordBox() const { return password_; }
  QLineEdit* ErrorCodeBox() const { return errorCode_; }
  QLabel* WaitNote() const { return waitNote_; }
  QPushButton* FiscaliseButton() const { return fiscalise_; }
  QPushButton* StopWaitButton() const { return stopWait_; }
  QPushButton* CloseButton() const { return close_; }

 public slots:
  void reject() override;

 private:
  void Fiscalise();
  bool WaitForRegistrator();
  bool Step(const ReplyRecord* reply, int err, const QString& heading);

  QLineEdit* serial_ = nullptr;
  QLineEdit* inspector_ = nullptr;
  QLineEdit* repeat_ = nullptr;
  QLineEdit* password_ = nullptr;
  QLineEdit* errorCode_ = nullptr;
  QLabel* waitNote_ = nullptr;
  QPushButton* fiscalise_ = nullptr;
  QPushButton* stopWait_ = nullptr;
  QPushButton* close_ = nullptr;
  int waitLimitMs_ = 60000;
  bool waiting_ = false;
  bool stopRequested_ = false;
  bool closeRequested_ = false;
};

}  // namespace kovrix
