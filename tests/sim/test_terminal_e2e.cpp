// The bank terminal over its own pseudo-terminal, driven through a raw termios line.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "sim/bank_terminal.h"

namespace kovrix::sim {
namespace {

class SimTerminalE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(terminal.start());
    fd = ::open(terminal.slavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
  }
  void TearDown() override {
    if (fd >= 0) ::close(fd);
    terminal.stop();
  }
  void Send(const std::string& bytes) { ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size())); }
  // Reads exactly n bytes, or what came within the time limit.
  std::string Read(std::size_t n, int limitMs = 2000) {
    std::string out;
    char buf[512];
    while (out.size() < n) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, limitMs) <= 0) break;
      const ssize_t got = ::read(fd, buf, std::min(sizeof buf, n - out.size()));
      if (got <= 0) break;
      out.append(buf, static_cast<std::size_t>(got));
    }
    return out;
  }
  std::string ReadMessage() {
    const std::string length = Read(2);
    if (length.size() != 2) return {};
    return Read((static_cast<std::uint8_t>(length[0]) << 8) | static_cast<std::uint8_t>(length[1]));
  }

  BankTerminal terminal;
  int fd = -1;
  const std::string ack{"\x00\x01\x06", 3};
};

TEST_F(SimTerminalE2E, ACardPaymentExchangeRunsToTheTransactionIdentifier) {
  Send(std::string("\x00\x01\x12", 3));
  EXPECT_EQ(Read(3), ack);
  const std::string card = ReadMessage();
  const std::string id = TerminalSession::Field(card, "00");
  EXPECT_FALSE(id.empty());
  Send(ack);
  Send(TerminalSession::Frame("\x02" "00=" + id + "\x1C" "03=S\x1C" "05=1250\x1C" "52=980\x1C" "53=UAH\x1C" "61=1"));
  EXPECT_EQ(Read(3), ack);
  EXPECT_EQ(TerminalSession::Field(ReadMessage(), "58").size(), 12u);
  Send(ack);
  ASSERT_EQ(terminal.purchases().size(), 1u);
  EXPECT_EQ(terminal.purchases()[0].fields.at("05"), "1250");
}

TEST_F(SimTerminalE2E, AWithheldAcknowledgementLeavesTheLineSilent) {
  terminal.QueueFault(TerminalFault::NoAckToStart);
  Send(std::string("\x00\x01\x12", 3));
  EXPECT_EQ(Read(3, 150), "");
}

}  // namespace
}  // namespace kovrix::sim
