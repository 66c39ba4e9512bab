#pragma once
// The dialog "Служебное внесение и изъятие денег": a service cash deposit into the till or a
// withdrawal from it, by one dedicated command or by a short service receipt, and the cash in the
// till that the registrator reports afterwards.

#include <QLineEdit>
#include <QPushButton>
#include <string>

#include "app/screen.h"

namespace kovrix {

/// Answers whether the cash moves by the one dedicated command (protocol "2.01", "2.02" or "2.03"
/// below the access level "high") rather than by a service receipt.
bool CashBySingleCommand(const std::string& protocolVersion, bool highAccess);

class CashInOutScreen : public Screen {
  Q_OBJECT

 public:
  explicit CashInOutScreen(ScreenContext& context, QWidget* parent = nullptr);

  QLineEdit* PasswordBox() const { return password_; }
  QLineEdit* AmountBox() const { return amount_; }
  QLineEdit* OperatorBox() const { return operator_; }
  QLineEdit* CashBox() const { return cash_; }
  QPushButton* CashInButton() const { return cashIn_; }
  QPushButton* CashOutButton() const { return cashOut_; }
  QPushButton* CloseButton() const { return close_; }

 private:
  void MoveCash(bool in);
  /// After a step whose reply stayed lost: says what is not known and the safe next step.
  void Unsettled(const QString& advice);
  void EarlierSettled(const ReplyRecord* answer) override;

  QLineEdit* password_ = nullptr;
  QLineEdit* amount_ = nullptr;
  QLineEdit* operator_ = nullptr;
  QLineEdit* cash_ = nullptr;
  QPushButton* cashIn_ = nullptr;
  QPushButton* cashOut_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace kovrix
