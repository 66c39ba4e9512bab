#pragma once
// The screen "Состояние модема для " + model name (TForm44): the shorter modem report of the
// models whose modem keeps receipts (QX41, KR-12): the modem number, when it was personalised,
// when the 72 hours run out, the first receipt not yet passed to the modem and how many wait.

#include <QLineEdit>
#include <QPushButton>
#include <string>

#include "app/screen.h"

namespace kovrix {

/// Answers a DDMMYYHHMM stamp as DD-MM-YY HH:MM; a field that is not ten characters long
/// (empty when the device has no such moment) is answered as received.
QString ModemStampText(const std::string& field);

class ModemStateShort : public Screen {
  Q_OBJECT

 public:
  explicit ModemStateShort(ScreenContext& context, QWidget* parent = nullptr);

  QLineEdit* PasswordBox() const { return password_; }
  QLineEdit* ModemNumberBox() const { return modemNumber_; }
  QLineEdit* PersonalisedBox() const { return personalised_; }
  QLineEdit* BlockExpectedBox() const { return blockExpected_; }
  QLineEdit* FirstPendingBox() const { return firstPending_; }
  QLineEdit* PendingCountBox() const { return pendingCount_; }
  QPushButton* ReportButton() const { return report_; }
  QPushButton* CloseButton() const { return close_; }

 private:
  void GetReport();

  QLineEdit* password_ = nullptr;
  QLineEdit* modemNumber_ = nullptr;
  QLineEdit* personalised_ = nullptr;
  QLineEdit* blockExpected_ = nullptr;
  QLineEdit* firstPending_ = nullptr;
  QLineEdit* pendingCount_ = nullptr;
  QPushButton* report_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace kovrix
