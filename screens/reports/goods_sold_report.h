#pragma once
// The dialog "Отчет по реализованным товарам": the report of articles sold for a range of article
// codes, printed inside a non-fiscal receipt that the dialog opens and closes around it. Its
// status button also refreshes the model line of the main window.

#include <QLineEdit>
#include <QPushButton>
#include <string>

#include "app/screen.h"

namespace kovrix {

/// Answers the signed 64-bit article code of a text (blanks around it allowed); throws
/// "'x' is not a valid integer value" for anything else, an out-of-range number included.
long long ToArticleCode(const QString& text);

/// Answers the last article code the dialog offers: fourteen nines for protocol versions
/// "2.02", "2.03", "3.00" and for the access level "high", nine nines otherwise.
QString LastArticleCodeFor(const ConnectionState& state);

class GoodsSoldReport : public Screen {
  Q_OBJECT

 public:
  explicit GoodsSoldReport(ScreenContext& context, QWidget* parent = nullptr);

  QLineEdit* PasswordBox() const { return password_; }
  QLineEdit* ErrorCodeBox() const { return errorCode_; }
  QLineEdit* FirstCodeBox() const { return firstCode_; }
  QLineEdit* LastCodeBox() const { return lastCode_; }
  QPushButton* ReportButton() const { return report_; }
  QPushButton* StatusButton() const { return status_; }
  QPushButton* CloseButton() const { return close_; }

 protected:
  void Activate() override;

 private:
  void MakeReport();
  void CheckState();
  /// Shows the reply's code; on an error also the dialog's heading and the error's text.
  void ShowResult(const ReplyRecord& reply);

  QLineEdit* password_ = nullptr;
  QLineEdit* errorCode_ = nullptr;
  QLineEdit* firstCode_ = nullptr;
  QLineEdit* lastCode_ = nullptr;
  QPushButton* report_ = nullptr;
  QPushButton* status_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace kovrix
