#pragma once
// The monitor's command boxes without widgets: the code box with its change handling, the
// password and data boxes, and the error and status boxes. A headless host keeps them here;
// the window can use the same decoding.

#include <string>
#include <string_view>
#include <utility>

#include "driver/commands.h"
#include "driver/frame.h"

namespace kovrix::script {

/// Decodes two hexadecimal characters (either case) into code, starting from 0. Answers false
/// at the first character that is not hexadecimal; code then holds what was decoded before it.
bool DecodeCommandCode(std::string_view text, int& code);

/// Answers the status box text: each byte as two upper-case hexadecimal digits and a blank.
std::string StatusBoxText(const StatusBytes& bytes);

class MonitorBoxes {
 public:
  /// Sets the code box and runs its change handling: with exactly two characters in it and six
  /// in the password box the code is decoded; answers false when "Неверный код команды!" is due.
  bool SetCode(std::string text);
  /// Sets the password box; the command code is not touched.
  void SetPassword(std::string text) { password_ = std::move(text); }
  /// Sets the data box.
  void SetData(std::string text) { data_ = std::move(text); }

  /// Answers whether "Выполнить" is enabled: two characters of code and six of password.
  bool SendEnabled() const { return code_.size() == 2 && password_.size() == 6; }

  // The boxes' texts and the code last decoded.
  const std::string& Code() const { return code_; }
  const std::string& Password() const { return password_; }
  const std::string& Data() const { return data_; }
  int CommandCode() const { return commandCode_; }

  // Boxes the monitor only writes: "Код ошибки:", "Статус:", "Ном. стр. скрипта:".
  std::string errorBox;
  std::string statusBox;
  std::string lineNumberBox = "0";

 private:
  std::string code_;
  std::string password_ = kDefaultPassword;
  std::string data_;
  int commandCode_ = 0;
};

}  // namespace kovrix::script
