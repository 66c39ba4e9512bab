#pragma once
// The dialog "Копия чека": prints copies of stored fiscal receipts chosen by a range of their
// running numbers, inside a non-fiscal receipt that it opens and closes around the copy command.

#include <QLineEdit>
#include <QPushButton>

#include "app/screen.h"

namespace kovrix {

class ReceiptCopy : public Screen {
  Q_OBJECT

 public:
  explicit ReceiptCopy(ScreenContext& context, QWidget* parent = nullptr);

  QLineEdit* PasswordBox() const { return password_; }
  QLineEdit* FirstBox() const { return first_; }
  QLineEdit* LastBox() const { return last_; }
  QLineEdit* ErrorCodeBox() const { return errorCode_; }
  QPushButton* CopyButton() const { return copy_; }
  QPushButton* CloseButton() const { return close_; }

 private:
  void PrintCopies();
  void EarlierSettled(const ReplyRecord* answer) override;
  void CloseReceipt();
  /// Shows the reply's error code and answers whether it succeeded; a failure is reported with the heading.
  bool Check(const QString& heading);

  QLineEdit* password_ = nullptr;
  QLineEdit* first_ = nullptr;
  QLineEdit* last_ = nullptr;
  QLineEdit* errorCode_ = nullptr;
  QPushButton* copy_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace kovrix
