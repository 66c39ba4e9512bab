#pragma once
// The screen "Установить и прочитать ID_DEV" (TForm50): writes and reads the registrator's
// device identifier, a signed 32-bit number, and shows it also in hexadecimal.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/screen.h"

namespace kovrix {

/// Answers the hexadecimal label of an identifier: the caption, a blank and eight upper-case
/// digits, negative values in two's complement (-1 gives FFFFFFFF).
QString IdDevHexLabel(int value);

class DeviceIdentifier : public Screen {
  Q_OBJECT

 public:
  explicit DeviceIdentifier(ScreenContext& context, QWidget* parent = nullptr);

  QLineEdit* ValueBox() const { return value_; }
  QLabel* HexLabel() const { return hex_; }
  QLineEdit* PasswordBox() const { return password_; }
  QPushButton* ReadButton() const { return read_; }
  QPushButton* SetButton() const { return set_; }
  QPushButton* ExitButton() const { return exit_; }

 private:
  void SetIdentifier();
  void ReadIdentifier();

  QLineEdit* value_ = nullptr;
  QLabel* hex_ = nullptr;
  QLineEdit* password_ = nullptr;
  QPushButton* read_ = nullptr;
  QPushButton* set_ = nullptr;
  QPushButton* exit_ = nullptr;
};

}  // namespace kovrix
