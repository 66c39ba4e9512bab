#pragma once
// The screen "Параметры регистратора" (TForm26): the registrator's operating parameters (line
// speed, print contrast, document and print options, cash drawer pulses, characters per article
// name line) read and written as one record. A new line speed moves the link with it: the speed
// goes into fpinit.ini and the port is closed and opened again at that speed.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <vector>

#include "app/screen.h"

namespace kovrix {

/// One option bit of the record and the caption of its check box.
struct OptionBit {
  int value;
  const char* caption;
};

/// The document options (four hexadecimal digits) and the extended print options (two).
const std::vector<OptionBit>& DocumentOptionBits();
const std::vector<OptionBit>& PrintOptionBits();

/// Answers the value of a pulse box: empty gives 0, otherwise hexadecimal digits of either case;
/// anything else throws InputError "'x' is not a valid integer value".
int HexBoxValue(const QString& text);

class RegistratorParameters : public Screen {
  Q_OBJECT

 public:
  explicit RegistratorParameters(ScreenContext& context, QWidget* parent = nullptr);

  QComboBox* SpeedList() const { return speed_; }
  QComboBox* ContrastList() const { return contrast_; }
  /// Answers the check box of a document option or print option bit (null for another value).
  QCheckBox* DocumentBox(int value) const;
  QCheckBox* PrintBox(int value) const;
  QPushButton* DocumentClearButton() const { return documentClear_; }
  QPushButton* DocumentSetButton() const { return documentSet_; }
  QPushButton* PrintClearButton() const { return printClear_; }
  QPushButton* PrintSetButton() const { return printSet_; }
  QLineEdit* OpenPulseBox() const { return openPulse_; }
  QLineEdit* ClosePulseBox() const { return closePulse_; }
  QLineEdit* CharactersBox() const { return characters_; }
  QLineEdit* PasswordBox() const { return password_; }
  QLineEdit* ErrorCodeBox() const { return errorCode_; }
  QPushButton* ReadButton() const { return read_; }
  QPushButton* WriteButton() const { return write_; }
  QPushButton* StatusButton() const { return status_; }
  QPushButton* CloseButton() const { return close_; }

 protected:
  void Activate() override;

 private:
  void ReadParameters();
  void WriteParameters();
  void FollowSpeed(int speed);
  void ShowReplyCode();

  QComboBox* speed_ = nullptr;
  QComboBox* contrast_ = nullptr;
  std::vector<QCheckBox*> documentBoxes_;  // in the order of DocumentOptionBits()
  std::vector<QCheckBox*> printBoxes_;     // in the order of PrintOptionBits()
  QPushButton* documentClear_ = nullptr;
  QPushButton* documentSet_ = nullptr;
  QPushButton* printClear_ = nullptr;
  QPushButton* printSet_ = nullptr;
  QLineEdit* openPulse_ = nullptr;
  QLineEdit* closePulse_ = nullptr;
  QLineEdit* characters_ = nullptr;
  QLineEdit* password_ = nullptr;
  QLineEdit* errorCode_ = nullptr;
  QPushButton* read_ = nullptr;
  QPushButton* write_ = nullptr;
  QPushButton* status_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace kovrix
