#pragma once
// The dialog "RQM707 дневные отчеты" for the registrators of the second model line: X and Z
// reports, and one action that uploads and then clears the control tape and, when asked, also
// clears the article base.

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <string>

#include "app/screen.h"

namespace kovrix {

/// Answers whether the upload-and-clear action is offered: protocol version "3.02" or the access
/// level "high".
bool ControlTapeUploadOffered(const ConnectionState& state);

class SecondLineDailyReports : public Screen {
  Q_OBJECT

 public:
  explicit SecondLineDailyReports(ScreenContext& context, QWidget* parent = nullptr);

  QLineEdit* PasswordBox() const { return password_; }
  QLineEdit* ErrorCodeBox() const { return errorCode_; }
  QPushButton* XReportButton() const { return xReport_; }
  QPushButton* ZReportButton() const { return zReport_; }
  QPushButton* UploadButton() const { return upload_; }
  QCheckBox* ClearArticlesBox() const { return clearArticles_; }
  QPushButton* StatusButton() const { return status_; }
  QPushButton* CloseButton() const { return close_; }

 private:
  void DailyReport(int selector);
  void UploadAndClear();
  void Refresh();
  void Close();
  /// Marks a reported success: the status button opens, the connection counts as checked.
  void Succeeded();
  /// Sends a daily report command; answers whether it was sent and succeeded, having shown its
  /// code and, on an error, the message.
  bool SendReport(int selector);
  std::string Password() const;

  QLineEdit* password_ = nullptr;
  QLineEdit* errorCode_ = nullptr;
  QPushButton* xReport_ = nullptr;
  QPushButton* zReport_ = nullptr;
  QPushButton* upload_ = nullptr;
  QCheckBox* clearArticles_ = nullptr;
  QPushButton* status_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace kovrix
