#pragma once
// The dialog "Печать дополнительных дневных отчетов": the department report, the operator report
// or the control tape, printed inside a non-fiscal receipt that the dialog opens and closes.

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/screen.h"

namespace kovrix {

class AdditionalReports : public Screen {
  Q_OBJECT

 public:
  explicit AdditionalReports(ScreenContext& context, QWidget* parent = nullptr);

  QLineEdit* PasswordBox() const { return password_; }
  QComboBox* ReportTypeList() const { return reportType_; }
  QLineEdit* ErrorCodeBox() const { return errorCode_; }
  QPushButton* ReportButton() const { return report_; }
  QPushButton* StatusButton() const { return status_; }
  QPushButton* CloseButton() const { return close_; }

 protected:
  void Activate() override;

 private:
  void EarlierSettled(const ReplyRecord* answer) override;
  void CloseReceipt();
  void MakeReport();

  QLineEdit* password_ = nullptr;
  QComboBox* reportType_ = nullptr;
  QLineEdit* errorCode_ = nullptr;
  QPushButton* report_ = nullptr;
  QPushButton* status_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace kovrix
