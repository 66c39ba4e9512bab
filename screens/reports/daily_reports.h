#pragma once

#include <cstdint>
#include <optional>
// The dialog "Печать дневных отчетов": X and Z reports, the control tape printed inside a
// non-fiscal receipt, and clearing the control tape.

#include <QLineEdit>
#include <QPushButton>
#include <string>

#include "app/screen.h"

namespace kovrix {

class DailyReports : public Screen {
  Q_OBJECT

 public:
  explicit DailyReports(ScreenContext& context, QWidget* parent = nullptr);

  QLineEdit* PasswordBox() const { return password_; }
  QLineEdit* ErrorCodeBox() const { return errorCode_; }
  QPushButton* XReportButton() const { return xReport_; }
  QPushButton* ZReportButton() const { return zReport_; }
  QPushButton* ControlTapeButton() const { return controlTape_; }
  QPushButton* ClearTapeButton() const { return clearTape_; }
  QPushButton* StatusButton() const { return status_; }
  QPushButton* CloseButton() const { return close_; }

 private:
  void EarlierSettled(const ReplyRecord* answer) override;
  void DailyReport(int selector);
  void PrintControlTape();
  void ClearControlTape();
  void Close();
  /// Marks a reported success: the status button opens, the connection counts as checked.
  void Succeeded();
  /// Sends the report, or asks again for the reply to a Z report whose reply was lost (same SEQ:
  /// the registrator answers from its memory and never prints a second one); false when the user
  /// chose not to send.
  bool SendReport(int selector);
  std::string Password() const;

  QLineEdit* password_ = nullptr;
  QLineEdit* errorCode_ = nullptr;
  QPushButton* xReport_ = nullptr;
  QPushButton* zReport_ = nullptr;
  QPushButton* controlTape_ = nullptr;
  QPushButton* clearTape_ = nullptr;
  QPushButton* status_ = nullptr;
  QPushButton* close_ = nullptr;
  // A Z report lost its reply and the registrator stayed silent: its outcome is unknown.
  bool lostZ_ = false;
};

}  // namespace kovrix
