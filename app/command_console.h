#pragma once
// The command console (TForm14): sends any registrator command by its two-digit hexadecimal code,
// with the password and a free command line, and shows the raw reply, error field and status bytes.

#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <optional>

#include "app/screen.h"

namespace kovrix {

/// Answers the command code of a code box text: the first two characters as hexadecimal digits
/// (either case), later characters ignored; nothing when a digit is invalid. Throws InputError,
/// saying that two hexadecimal digits are needed, when the text is shorter than two characters.
std::optional<int> DecodeCommandCode(const QString& text);

class CommandConsole : public Screen {
  Q_OBJECT

 public:
  explicit CommandConsole(ScreenContext& context, QWidget* parent = nullptr);

  /// Opens the console from the main window's menu: caption and status panel, then modally.
  void OpenFromMenu();

  QLineEdit* CodeBox() const { return code_; }
  QLineEdit* CommandLineBox() const { return commandLine_; }
  QLineEdit* PasswordBox() const { return password_; }
  QLineEdit* ResultBox() const { return result_; }
  QLineEdit* ErrorBox() const { return error_; }
  QLineEdit* StatusBox() const { return status_; }
  QPushButton* ExecuteButton() const { return execute_; }
  QPushButton* StatusButton() const { return statusButton_; }
  QStatusBar* StatusBar() const { return statusBar_; }

 protected:
  void Activate() override;

 private:
  void Execute();

  QLineEdit* code_ = nullptr;
  QLineEdit* commandLine_ = nullptr;
  QLineEdit* password_ = nullptr;
  QLineEdit* result_ = nullptr;
  QLineEdit* error_ = nullptr;
  QLineEdit* status_ = nullptr;
  QPushButton* execute_ = nullptr;
  QPushButton* statusButton_ = nullptr;
  QStatusBar* statusBar_ = nullptr;
};

}  // namespace kovrix
