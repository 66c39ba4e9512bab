#include "app/main_window_port_texts.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>

#include "driver/network_port.h"
#include "driver/network_serial_line.h"
#include "port/port_access.h"

#ifdef _WIN32
#include <ws2tcpip.h>
#else
#include <netdb.h>
#endif

namespace kovrix {
namespace {

// The network line's reasons. "{}" stands for what the reason carries: a number, or the resolver's
// own words (translated by ResolverDetail where known). A reason written whole comes before a
// pattern that would also take it.
constexpr std::pair<std::string_view, std::string_view> kNetworkReasons[] = {
    // The name as typed.
    {"not a network port (tcp://HOST:PORT or rfc2217://HOST:PORT)",
     "это не сетевой порт (нужно tcp://УЗЕЛ:ПОРТ или rfc2217://УЗЕЛ:ПОРТ)"},
    {"no closing bracket after the IPv6 address", "после адреса IPv6 нет закрывающей скобки «]»"},
    {"no host given", "не указан узел (нужно УЗЕЛ:ПОРТ)"},
    {"not an IPv6 address in brackets", "в квадратных скобках не адрес IPv6"},
    {"an IPv6 address must stand in brackets", "адрес IPv6 пишется в квадратных скобках: [адрес]:порт"},
    {"the host holds a character that no host name has", "в имени узла недопустимый символ"},
    {"the host name is too long", "имя узла слишком длинное"},
    {"no port number given (HOST:PORT)", "не указан номер порта (нужно УЗЕЛ:ПОРТ)"},
    {"the port number is not 1..65535", "номер порта должен быть от 1 до 65535"},
    // Finding the converter.
    {"the network is not available", "сеть недоступна"},
    {"name not resolved (no address of a known kind)", "имя узла не найдено (у него нет адреса IPv4 или IPv6)"},
    {"name not resolved: no answer from the resolver within {} ms",
     "имя узла не найдено: служба имён не ответила за {} мс"},
    {"name not resolved ({})", "имя узла не найдено ({})"},
    // Connecting to it.
    {"connection refused", "соединение отклонено"},
    {"timed out", "время ожидания истекло"},
    {"host unreachable", "узел недоступен"},
    {"network unreachable", "сеть недоступна"},
    {"socket error {}", "ошибка сокета {}"},
    // Setting up its line (RFC 2217).
    {"no line speed", "не задана скорость линии"},
    {"connection lost while setting up the line", "соединение потеряно при настройке линии преобразователя"},
    {"the converter does not offer serial port control (RFC 2217)", "преобразователь не управляет линией (RFC 2217)"},
    {"timed out waiting for the converter to set the line speed", "преобразователь не подтвердил скорость линии"},
    {"connection closed by the converter", "преобразователь закрыл соединение"},
    {"the converter cannot run its line at {} baud", "преобразователь не поддерживает скорость {} бод"},
};

// The resolver's own words (gai_strerror), which depend on the system: matched through their codes.
QString ResolverDetail(const std::string& detail) {
  static const std::pair<int, const char*> kCodes[] = {
      {EAI_AGAIN, "временный сбой службы имён"},
      {EAI_BADFLAGS, "неверные флаги запроса"},
      {EAI_FAIL, "неустранимый сбой службы имён"},
      {EAI_FAMILY, "семейство адресов не поддерживается"},
      {EAI_MEMORY, "не хватает памяти"},
      {EAI_NONAME, "имя неизвестно"},
      {EAI_SERVICE, "номер порта не принят"},
      {EAI_SOCKTYPE, "тип сокета не поддерживается"},
#ifdef EAI_NODATA
      {EAI_NODATA, "у имени нет адреса"},
#endif
#ifdef EAI_ADDRFAMILY
      {EAI_ADDRFAMILY, "у имени нет адреса этого семейства"},
#endif
#ifdef EAI_SYSTEM
      {EAI_SYSTEM, "системная ошибка"},
#endif
#ifdef EAI_OVERFLOW
      {EAI_OVERFLOW, "слишком длинный ответ"},
#endif
  };
  for (const auto& [code, russian] : kCodes) {
    if (detail == gai_strerror(code)) return QString::fromUtf8(russian);
  }
  return QString::fromLocal8Bit(detail.c_str());
}

// Connecting reports any other errno of the system in the system's words: matched through the codes
// that connecting to an address can give.
std::optional<QString> SystemErrorText(const std::string& reason) {
  static const std::pair<int, const char*> kCodes[] = {
      {EACCES, "доступ к сети запрещён"},
      {EPERM, "соединение запрещено правилами сети"},
      {EADDRINUSE, "адрес уже используется"},
      {EADDRNOTAVAIL, "адрес недоступен на этом компьютере"},
      {EAFNOSUPPORT, "семейство адресов не поддерживается"},
      {ECONNRESET, "соединение сброшено"},
      {ECONNABORTED, "соединение прервано"},
      {EHOSTDOWN, "узел выключен"},
      {ENETDOWN, "сеть отключена"},
      {ENETRESET, "сеть сбросила соединение"},
      {EMFILE, "открыто слишком много файлов"},
      {ENFILE, "в системе открыто слишком много файлов"},
      {ENOBUFS, "не хватает буферов сети"},
      {ENOMEM, "не хватает памяти"},
      {EPROTONOSUPPORT, "протокол не поддерживается"},
      {EINVAL, "неверный адрес"},
  };
  for (const auto& [code, russian] : kCodes) {
    if (reason == std::strerror(code)) return QString::fromUtf8(russian);
  }
  return std::nullopt;
}

}  // namespace

std::optional<QString> RussianNetworkReason(const std::string& reason) {
  for (const auto& [english, russian] : kNetworkReasons) {
    const std::size_t slot = english.find("{}");
    if (slot == std::string_view::npos) {
      if (reason == english) return QString::fromUtf8(russian.data(), static_cast<qsizetype>(russian.size()));
      continue;
    }
    const std::string_view head = english.substr(0, slot);
    const std::string_view tail = english.substr(slot + 2);
    if (reason.size() < head.size() + tail.size() || reason.compare(0, head.size(), head) != 0 ||
        reason.compare(reason.size() - tail.size(), tail.size(), tail) != 0) {
      continue;
    }
    const std::string carried = reason.substr(head.size(), reason.size() - head.size() - tail.size());
    const bool resolverWords = head.rfind("name not resolved (", 0) == 0;
    QString text = QString::fromUtf8(russian.data(), static_cast<qsizetype>(russian.size()));
    return text.replace(QStringLiteral("{}"),
                        resolverWords ? ResolverDetail(carried) : QString::fromStdString(carried));
  }
  return SystemErrorText(reason);
}

QString NetworkFailureText(const std::string& reason) {
  if (std::optional<QString> text = RussianNetworkReason(reason)) return *text;
  return QStringLiteral("сбой сети (%1)").arg(QString::fromLocal8Bit(reason.c_str()));
}

QString DeviceOpenFailureText(PortOpenFailure failure) {
  switch (failure) {
    case PortOpenFailure::None: break;
    case PortOpenFailure::Busy: return QStringLiteral("порт занят другой программой");
    case PortOpenFailure::Missing:
      return QStringLiteral("нет такого устройства (имя порта неверно или адаптер отключён)");
    case PortOpenFailure::Denied: return QStringLiteral("нет прав на доступ к порту");
    case PortOpenFailure::NotSerial: return QStringLiteral("это не последовательный порт");
    case PortOpenFailure::Refused: return QStringLiteral("порт не принял скорость или настройки линии");
    case PortOpenFailure::Other: return QStringLiteral("система не открыла порт");
  }
  return {};
}

QString PortOpenFailureMessage(const std::string& port) {
  QString message = QStringLiteral("Невозможно подключить порт\n  ");
  if (IsNetworkPortName(port)) {
    // A converter on the network: which address failed and why; it has no device file.
    const std::optional<NetworkPort> network = ParseNetworkPort(port);
    return message + (network ? QString::fromStdString(HostPortText(*network)) : QFile::decodeName(port.c_str())) + QStringLiteral(": ") +
           NetworkFailureText(LastNetworkOpenFailure());
  }
  // Lack of rights: which group owns the device and how to join it.
  if (const auto denial = CheckPortAccess(port)) {
    return message + QString::fromStdString(PortAccessAdvice(*denial, AdviceLanguage::Russian));
  }
  return message + QFile::decodeName(PortPath(port).c_str()) + QStringLiteral(": ") +
         DeviceOpenFailureText(LastPortOpenFailure());
}

}  // namespace kovrix
