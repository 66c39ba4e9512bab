#pragma once
// The screen "Параметры связи" (TForm49): the network settings of the registrator's modem (DHCP,
// static address, mask, gateway, server address and port, connection and retry periods), read
// and written in the device's hexadecimal form, and loaded from a text file.

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <optional>
#include <string>

#include "app/screen.h"

namespace kovrix {

/// Answers the device form of a dotted address: two upper-case hexadecimal digits per part, in
/// order (up to four parts; 10.0.1 gives three octets). Answers nothing for an empty part, a part
/// outside 0..255 or more than four parts; a part that is not a decimal integer throws InputError.
std::optional<std::string> EncodeAddress(const QString& dotted);

/// Answers the dotted decimal address of an eight-digit device field (digits "0"-"9" and "A"-"F"
/// only), or nothing for any other field.
std::optional<QString> DecodeAddress(const std::string& field);

/// Answers a 16-bit number as four upper-case hexadecimal digits, low byte first (5000 gives 8813).
std::string EncodeLowFirst(int value);

/// Answers the number of a four-digit low-byte-first device field, or nothing for any other field.
std::optional<int> DecodeLowFirst(const std::string& field);

/// How reading a settings file went.
enum class SettingsFileStatus { Ok, Unreadable, TooShort };

/// Reads the eight lines of a network settings file (cp1251; line breaks removed, each line cut
/// to 29 characters) into lines; lines is left alone unless the answer is Ok.
SettingsFileStatus ReadNetworkSettingsFile(const QString& path, QStringList& lines);

class CommunicationParameters : public Screen {
  Q_OBJECT

 public:
  explicit CommunicationParameters(ScreenContext& context, QWidget* parent = nullptr);

  QCheckBox* DhcpBox() const { return dhcp_; }
  QLineEdit* AddressBox() const { return address_; }
  QLineEdit* MaskBox() const { return mask_; }
  QLineEdit* GatewayBox() const { return gateway_; }
  QLineEdit* ServerBox() const { return server_; }
  QLineEdit* PortBox() const { return port_; }
  QLineEdit* PeriodBox() const { return period_; }
  QLineEdit* RetryBox() const { return retry_; }
  QLineEdit* PasswordBox() const { return password_; }
  QPushButton* ReadButton() const { return read_; }
  QPushButton* WriteButton() const { return write_; }
  QPushButton* LoadButton() const { return load_; }
  QPushButton* ExitButton() const { return exit_; }

 protected:
  void Activate() override;

 private:
  void ReadSettings();
  void WriteSettings();
  void LoadSettings();

  bool activated_ = false;
  QCheckBox* dhcp_ = nullptr;
  QLineEdit* address_ = nullptr;
  QLineEdit* mask_ = nullptr;
  QLineEdit* gateway_ = nullptr;
  QLineEdit* server_ = nullptr;
  QLineEdit* port_ = nullptr;
  QLineEdit* period_ = nullptr;
  QLineEdit* retry_ = nullptr;
  QLineEdit* password_ = nullptr;
  QPushButton* read_ = nullptr;
  QPushButton* write_ = nullptr;
  QPushButton* load_ = nullptr;
  QPushButton* exit_ = nullptr;
};

}  // namespace kovrix
