#pragma once
// The dialog "Печать периодического отчета ": the periodic report from fiscal memory for a range
// of dates or of daily report numbers, short or full, printed inside a non-fiscal receipt that
// the dialog opens and closes around it.

#include <QDate>
#include <QDateEdit>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <functional>
#include <string>

#include "app/screen.h"

namespace kovrix {

class PeriodicReport : public Screen {
  Q_OBJECT

 public:
  explicit PeriodicReport(ScreenContext& context, QWidget* parent = nullptr);

  /// Replaces the clock that gives today's date on activation (tests).
  void SetToday(std::function<QDate()> today) { today_ = std::move(today); }

  QRadioButton* ByDateChoice() const { return byDate_; }
  QRadioButton* ByNumberChoice() const { return byNumber_; }
  QRadioButton* ShortChoice() const { return short_; }
  QRadioButton* FullChoice() const { return full_; }
  QGroupBox* DateGroup() const { return dateGroup_; }
  QGroupBox* NumberGroup() const { return numberGroup_; }
  QDateEdit* FirstDateBox() const { return firstDate_; }
  QDateEdit* LastDateBox() const { return lastDate_; }
  QLineEdit* FirstNumberBox() const { return firstNumber_; }
  QLineEdit* LastNumberBox() const { return lastNumber_; }
  QLineEdit* PasswordBox() const { return password_; }
  QLineEdit* ErrorCodeBox() const { return errorCode_; }
  QPushButton* ReportButton() const { return report_; }
  QPushButton* StatusButton() const { return status_; }
  QPushButton* ExitButton() const { return exit_; }

 protected:
  void Activate() override;

 private:
  void ShowRangeGroup();
  void MakeReport();
  /// Shows the reply's code; on an error also the dialog's heading and the error's text.
  void ShowResult(const ReplyRecord& reply);

  std::function<QDate()> today_ = [] { return QDate::currentDate(); };
  QRadioButton* byDate_ = nullptr;
  QRadioButton* byNumber_ = nullptr;
  QRadioButton* short_ = nullptr;
  QRadioButton* full_ = nullptr;
  QGroupBox* dateGroup_ = nullptr;
  QGroupBox* numberGroup_ = nullptr;
  QDateEdit* firstDate_ = nullptr;
  QDateEdit* lastDate_ = nullptr;
  QLineEdit* firstNumber_ = nullptr;
  QLineEdit* lastNumber_ = nullptr;
  QLineEdit* password_ = nullptr;
  QLineEdit* errorCode_ = nullptr;
  QPushButton* report_ = nullptr;
  QPushButton* status_ = nullptr;
  QPushButton* exit_ = nullptr;
};

}  // namespace kovrix
