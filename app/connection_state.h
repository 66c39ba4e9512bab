#pragma once
// The one shared state of the registrator connection, and the model-dependent settings that the
// main window works out at connect for the screens that read them when they open.

#include <QString>
#include <string>
#include <vector>

#include "driver/reply.h"

namespace kovrix {

/// Paper width field of the header and advertising text screen: a number box or a drop-down list.
struct PaperWidthSetting {
  bool listShown = false;  // false: the number box is shown
  std::string numberText = "40";
  std::vector<std::string> listEntries;
  std::string listText;
  unsigned setting = 0;  // counts the times the main window set the width (each connect), so that a
                         // screen re-applies it after a reconnect to the same model too
};

/// Visibility of the model-dependent boxes of the registrator parameters screen, and its speed list.
struct RegistratorParamsSetting {
  bool smallFontReceiptShown = false;
  bool smallFontControlShown = true;
  bool paper57Shown = true;
  int speedIndex = -1;  // entry of the screen's speed list chosen at connect; -1 = not chosen
};

/// Line settings and time-outs of the bank-terminal port, prepared by the main window.
struct TerminalPortSettings {
  std::string path;        // device path of the terminal port
  int lastError = 0;       // errno of the trial open, 0 when it succeeded
  int baudRate = 115200;
  int dataBits = 8;
  int parity = 0;          // none
  int stopBits = 1;
  int readIntervalTimeout = 0;
  int readTotalTimeoutMultiplier = 0;
  int readTotalTimeoutConstant = 5000;
  int writeTotalTimeoutMultiplier = 0;
  int writeTotalTimeoutConstant = 0;
  bool prepared = false;   // the terminal indicator is green
};

/// The shared state of the connection. Texts from the device are cp1251 bytes.
struct ConnectionState {
  const ReplyRecord* lastReply = nullptr;  // the driver's record after the latest command
  std::string programDir;
  std::string iniPath;
  std::string protocolVersion;
  std::string modelName;
  std::string accessLevel;
  std::string elJournal;
  int versionOverride = -1;
  bool connected = false;
  bool secondModelLine = false;
  int paymentTypeCount = 10;
  // The amount a service cash receipt moved that is not closed yet ("-12.30" for a withdrawal);
  // empty when none is known to be open. Named before such a receipt is annulled.
  QString openServiceCash;

  PaperWidthSetting paperWidth;
  RegistratorParamsSetting registratorParams;
  TerminalPortSettings terminal;

  /// Answers the latest reply, or an empty record before the first command.
  const ReplyRecord& LastReply() const;
  /// Answers whether the access level unlocks service functions (exactly "high").
  bool HighAccess() const { return accessLevel == "high"; }
};

}  // namespace kovrix
