// Why a port cannot be connected, as the window tells it: every reason the network line can give
// has a Russian text, and a device that does not open is named with its reason.

#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <netdb.h>
#include <regex>
#include <set>
#include <sstream>

#include "app/main_window_port_texts.h"
#include "app/screen_helpers.h"
#include "driver/reply.h"
#include "driver/serial_line.h"

namespace kovrix {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The reasons a source file produces after one of its reason-making heads ("Fail(", "why = ", ...):
// the expression that follows, string literals kept and every other operand written "{}", so that
// "...at " + std::to_string(baud) + " baud" reads "...at {} baud". Expressions that do not begin with
// a literal (a reason passed on) are not reasons of their own.
std::set<std::string> ReasonsIn(const std::string& file, const std::vector<std::string>& heads) {
  std::string text = ReadFile(file);
  text = std::regex_replace(text, std::regex(R"re(std::string\(("[^"]*")\))re"), "$1");
  std::set<std::string> reasons;
  for (const std::string& head : heads) {
    for (std::size_t at = text.find(head); at != std::string::npos; at = text.find(head, at + 1)) {
      std::size_t i = at + head.size();
      while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
      if (i >= text.size() || text[i] != '"') continue;
      std::string reason;
      bool operand = false;  // inside an operand that is not a literal
      int depth = 0;
      for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"' && depth == 0) {
          const std::size_t end = text.find('"', i + 1);
          reason += text.substr(i + 1, end - i - 1);
          i = end;
        } else if (depth == 0 && (c == ';' || c == ')' || c == ',')) {
          break;
        } else if (depth == 0 && c == '+') {
          operand = false;
        } else if (!std::isspace(static_cast<unsigned char>(c))) {
          if (!operand) reason += "{}";
          operand = true;
          if (c == '(') ++depth;
          if (c == ')') --depth;
        }
      }
      reasons.insert(reason);
    }
  }
  return reasons;
}

// Russian text has no English word in it (names such as "tcp", "RFC" and "IPv6" are shorter).
bool LooksRussian(const QString& text) {
  return !text.contains(QRegularExpression(QStringLiteral("[A-Za-z]{4,}"))) &&
         text.contains(QRegularExpression(QStringLiteral("[а-яА-Я]")));
}

TEST(NetworkReasons, EveryReasonTheNetworkLineCanGiveHasARussianText) {
  const std::string root = KOVRIX_SOURCE_DIR;
  std::set<std::string> reasons;
  const std::pair<const char*, std::vector<std::string>> sources[] = {
      {"/driver/network_port.cpp", {"Refuse(error,"}},
      {"/driver/network_serial_line.cpp", {"Fail(", "why = "}},
      {"/driver/resolver.cpp", {"failure = "}},
      {"/driver/posix_socket_io.cpp", {"return ", "reason = "}},
      {"/driver/win32_socket_io.cpp", {"return ", "reason = "}},
  };
  for (const auto& [file, heads] : sources) reasons.merge(ReasonsIn(root + file, heads));
  // The reading above finds them all: a few that must be among them.
  for (const char* known : {"the port number is not 1..65535", "name not resolved ({})",
                            "the converter cannot run its line at {} baud", "connection refused", "socket error {}"}) {
    EXPECT_TRUE(reasons.count(known)) << known;
  }
  EXPECT_GE(reasons.size(), 24u);

  for (const std::string& reason : reasons) {
    const std::string sample = std::regex_replace(reason, std::regex(R"(\{\})"), "4800");
    const std::optional<QString> russian = RussianNetworkReason(sample);
    ASSERT_TRUE(russian.has_value()) << "no Russian text for \"" << reason << "\"";
    EXPECT_TRUE(LooksRussian(*russian)) << sample << " -> " << russian->toStdString();
    if (reason.find("{}") != std::string::npos) {
      EXPECT_TRUE(russian->contains("4800")) << russian->toStdString();
    }
  }
}

// Reasons in the system's own words: the resolver's, and connecting's errno texts other than the
// four the socket layer names itself.
TEST(NetworkReasons, TheSystemsOwnWordsAreToldInRussian) {
  for (const int code : {EAI_AGAIN, EAI_BADFLAGS, EAI_FAIL, EAI_FAMILY, EAI_MEMORY, EAI_NONAME, EAI_SERVICE,
                         EAI_SOCKTYPE, EAI_NODATA, EAI_ADDRFAMILY, EAI_SYSTEM, EAI_OVERFLOW}) {
    const std::string reason = std::string("name not resolved (") + gai_strerror(code) + ")";
    EXPECT_TRUE(LooksRussian(NetworkFailureText(reason))) << reason << " -> " << NetworkFailureText(reason).toStdString();
  }
  // What socket(2), connect(2) and a connection's pending error can answer.
  for (const int code : {EACCES, EPERM, EADDRINUSE, EADDRNOTAVAIL, EAFNOSUPPORT, ECONNRESET, ECONNABORTED, EHOSTDOWN,
                         ENETDOWN, ENETRESET, EMFILE, ENFILE, ENOBUFS, ENOMEM, EPROTONOSUPPORT, EINVAL}) {
    EXPECT_TRUE(RussianNetworkReason(std::strerror(code)).has_value()) << std::strerror(code);
  }
  // Something no table knows is still said to be a network failure, with the system's words kept.
  EXPECT_EQ(NetworkFailureText("Exec format error"), "сбой сети (Exec format error)");
  EXPECT_EQ(NetworkFailureText("name not resolved (Odd failure)"), "имя узла не найдено (Odd failure)");
}

// The kind of a failed device open, through the real line.
TEST(DeviceOpenFailure, EachKindIsToldInRussian) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("kovrix-port-texts-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "plain-file") << "x";
  int master = -1;
  int slave = -1;
  char name[256] = {};
  ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
  ::close(slave);

  struct Case {
    std::string port;
    int baud;
    PortOpenFailure kind;
    const char* text;
  };
  const Case cases[] = {
      {(dir / "no-such-port").string(), 9600, PortOpenFailure::Missing,
       "нет такого устройства (имя порта неверно или адаптер отключён)"},
      {(dir / "no-dir" / "ttyUSB0").string(), 9600, PortOpenFailure::Missing,
       "нет такого устройства (имя порта неверно или адаптер отключён)"},
      {dir.string(), 9600, PortOpenFailure::NotSerial, "это не последовательный порт"},
      {(dir / "plain-file").string(), 9600, PortOpenFailure::NotSerial, "это не последовательный порт"},
      {name, 12345, PortOpenFailure::Refused, "порт не принял скорость или настройки линии"},
  };
  auto line = MakeSystemSerialLine();
  for (const Case& c : cases) {
    EXPECT_FALSE(line->open(c.port, c.baud)) << c.port;
    EXPECT_EQ(LastPortOpenFailure(), c.kind) << c.port;
    EXPECT_EQ(PortOpenFailureMessage(c.port), "Невозможно подключить порт\n  " + QString::fromStdString(c.port) + ": " +
                                                   QString::fromUtf8(c.text));
  }
  EXPECT_TRUE(line->open(name, 9600));
  EXPECT_EQ(LastPortOpenFailure(), PortOpenFailure::None);
  line->close();
  ::close(master);
  std::filesystem::remove_all(dir);
}

// A record whose frame never went out (the port closed or lost before it) says so; one whose frame
// went out and got no answer says nothing more than silence.
TEST(LinkFaultNote, ACommandThatWasNotSentSaysSo) {
  ReplyRecord record;
  record.command = 0x80;
  record.status = ST_NO_REPLY;
  EXPECT_TRUE(LinkFaultNote(record).startsWith("Порт закрыт или потерян: команда не отправлена.\n"));
  record.linkFault = LinkFault::NotConnected;
  EXPECT_TRUE(LinkFaultNote(record).startsWith("Соединение с конвертером потеряно и не восстановлено: команда не отправлена.\n"));
  record.linkFault = LinkFault::None;
  record.sentFrame = "\x01frame";
  EXPECT_EQ(LinkFaultNote(record), "");
  record.status = 0;
  record.sentFrame.clear();
  EXPECT_EQ(LinkFaultNote(record), "") << "a record before any command";
}

}  // namespace
}  // namespace kovrix
