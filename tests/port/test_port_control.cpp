// TPortControl on a pseudo-terminal: codes and texts of every operation, the line settings it
// writes, and reading and writing under its time-outs.

#include <gtest/gtest.h>
#include <termios.h>

#include <functional>

#include "pty_fixture.h"

namespace kovrix {
namespace {

using test::Clock;
using test::PtyTest;

struct Call {
  const char* name;
  std::function<int(TPortControl&)> run;
  int code;
  const char* descr;
};

int WriteOne(TPortControl& p) {
  std::size_t n = 0;
  return p.WriteData("x", 1, n);
}
int ReadOne(TPortControl& p) {
  char c;
  std::size_t n = 0;
  return p.ReadData(&c, 1, n);
}

TEST_F(PtyTest, EveryOperationOnAClosedPortAnswersNotOpen) {
  const char* notOpen = "Port was not opened!\nError = -1";
  const Call calls[] = {
      {"ClosePort", [](TPortControl& p) { return p.ClosePort(); }, -1, notOpen},
      {"StartSession", [](TPortControl& p) { return p.StartSession(true); }, -1, notOpen},
      {"EndSession", [](TPortControl& p) { return p.EndSession(true); }, -1, notOpen},
      {"WriteData", WriteOne, -1, "Port was not opened.\nError = -1"},
      {"ReadData", ReadOne, -1, notOpen},
      {"ClearError", [](TPortControl& p) { return p.ClearError(); }, -1, notOpen},
      {"SetPortTimeouts", [](TPortControl& p) { return p.SetPortTimeouts(); }, -1, "Port was not opened!\nError = -20"},
      {"EscapeCommFunction", [](TPortControl& p) { return p.EscapeCommFunction(TPortControl::SETDTR); }, -1, notOpen},
      {"ClearBuffers", [](TPortControl& p) { return p.ClearBuffers(TPortControl::PURGE_RXCLEAR); }, -1, notOpen},
  };
  for (const Call& c : calls) {
    SCOPED_TRACE(c.name);
    port.EnableDescr = true;
    EXPECT_EQ(c.run(port), c.code);
    EXPECT_EQ(port.Descr(), c.descr);
    EXPECT_EQ(port.LastError(), 0);
    port.EnableDescr = false;
    EXPECT_EQ(c.run(port), c.code);
    EXPECT_EQ(port.Descr(), "");
  }
}

TEST_F(PtyTest, OperationsThatNeedASessionRefuseWithoutOne) {
  ASSERT_EQ(port.OpenPort(), 0);
  const char* dot = "Session was not opened.\nError = -21";
  const Call calls[] = {
      {"OpenPort", [](TPortControl& p) { return p.OpenPort(); }, -20, "Port was opened!\nError = -20"},
      {"WriteData", WriteOne, -21, dot},
      {"ReadData", ReadOne, -21, "Session was not opened!!\nError = -21"},
      {"ClearError", [](TPortControl& p) { return p.ClearError(); }, -21, "Session was not opened\nError = -21"},
      {"EndSession", [](TPortControl& p) { return p.EndSession(false); }, -21, "Session was not opened!\nError = -21"},
      {"EscapeCommFunction", [](TPortControl& p) { return p.EscapeCommFunction(TPortControl::SETDTR); }, -21, dot},
      {"ClearBuffers", [](TPortControl& p) { return p.ClearBuffers(TPortControl::PURGE_RXCLEAR); }, -21, dot},
      {"StartSession", [](TPortControl& p) { return p.StartSession(false); }, 0, ""},
      {"StartSession again", [](TPortControl& p) { return p.StartSession(false); }, -16, "Session was opened!\nError = -16"},
      {"SetPortTimeouts needs no session", [](TPortControl& p) { return p.SetPortTimeouts(); }, 0, ""},
  };
  for (const Call& c : calls) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.run(port), c.code);
    EXPECT_EQ(port.Descr(), c.descr);
  }
}

TEST_F(PtyTest, APortThatCannotBeOpenedStaysClosedWithTheSystemsMessage) {
  TPortControl holder(registry, system);
  holder.SetNumPort(path);
  ASSERT_EQ(holder.OpenPort(), 0);
  struct Case {
    std::string port;
    int code;
    int error;
    const char* descr;
  } cases[] = {
      {"/nonexistent/ttyS0", -2, ENOENT, "No such file or directory\nError = 0x2"},
      {path, -2, EWOULDBLOCK, "Resource temporarily unavailable\nError = 0xb"},  // held by another
      {"/dev/null", -3, ENOTTY, "Inappropriate ioctl for device\nError = 0x19"},
      {"", -2, EISDIR, "Is a directory\nError = 0x15"},  // no port set: "/dev/" is no device
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.port);
    TPortControl other(registry, system);
    other.EnableDescr = true;
    if (!c.port.empty()) other.SetNumPort(c.port);
    EXPECT_EQ(other.OpenPort(), c.code);
    EXPECT_EQ(other.LastError(), c.error);
    EXPECT_EQ(other.Descr(), c.descr);
    EXPECT_EQ(other.Handle(), -1);
  }
}

TEST_F(PtyTest, ClosingReleasesThePortForOthers) {
  {
    TPortControl scoped(registry, system);
    scoped.SetNumPort(path);
    ASSERT_EQ(scoped.OpenPort(), 0);
    ASSERT_EQ(port.OpenPort(), -2);
  }  // the destructor closes
  ASSERT_EQ(port.OpenPort(), 0);
  EXPECT_EQ(port.ClosePort(), 0);
  EXPECT_EQ(port.Handle(), -1);
  EXPECT_EQ(port.ClosePort(), -1);
  TPortControl next(registry, system);
  next.SetNumPort(path);
  EXPECT_EQ(next.OpenPort(), 0);
}

TEST_F(PtyTest, OpenWritesTheLineSettingsOfTheProperties) {
  using P = TPortControl;
  struct Case {
    P::speed speed;
    P::databit bits;
    P::parity parity;
    P::stopbits stop;
    LineConfig expected;
  } cases[] = {
      {P::S011400, P::Bits8, P::NO, P::ONE, {11400, 8, 0, 0}},
      {P::S256000, P::Bits7, P::EVEN, P::TWO, {256000, 7, 2, 2}},
      {P::S000110, P::Bits5, P::MARK, P::ONE5, {110, 5, 3, 1}},
      {P::S115200, P::Bits6, P::ODD, P::ONE, {115200, 6, 1, 0}},
      {P::S056000, P::Bits8, P::NO, P::ONE, {56000, 8, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected.rate);
    port.BaudRate = c.speed;
    port.DataBits = c.bits;
    port.Parity = c.parity;
    port.StopBits = c.stop;
    ASSERT_EQ(port.OpenPort(), 0) << port.Descr();
    EXPECT_EQ(port.LineSettings(), c.expected);
    // A pseudo-terminal keeps the rate and the stop bits (it forces 8 data bits, no parity).
    LineConfig line;
    ASSERT_TRUE(ReadLineConfig(slave, line));
    EXPECT_EQ(line.rate, c.expected.rate);
    EXPECT_EQ(line.stopBits, c.expected.stopBits ? 2 : 0);
    ASSERT_EQ(port.ClosePort(), 0);
  }
}

TEST(LineSettings, FlagsForDataBitsParityAndStopBits) {
  struct Case {
    LineConfig config;
    unsigned flags;
  } cases[] = {
      {{9600, 8, 0, 0}, CS8},
      {{9600, 7, 2, 2}, CS7 | PARENB | CSTOPB},
      {{9600, 6, 1, 0}, CS6 | PARENB | PARODD},
      {{9600, 5, 3, 1}, CS5 | PARENB | PARODD | CMSPAR | CSTOPB},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    EXPECT_EQ(LineFlags(c.config), c.flags);
    LineConfig decoded = c.config;
    decoded.stopBits = c.config.stopBits ? 2 : 0;
    EXPECT_EQ(DecodeLineFlags(c.flags | CREAD | CLOCAL, 9600), decoded);
  }
}

TEST_F(PtyTest, WritesEveryByteUnchangedAtOnceOrOneByOne) {
  OpenWithSession();
  const std::string bytes("\x00\x01\x03\r\n\x11\x13\x7f\xff" "abc", 12);
  for (bool buffering : {true, false}) {
    port.Buffering = buffering;
    std::size_t written = 99;
    EXPECT_EQ(port.WriteData(bytes.data(), bytes.size(), written), 0);
    EXPECT_EQ(written, bytes.size());
    EXPECT_EQ(Receive(bytes.size()), bytes);
  }
}

TEST_F(PtyTest, ReadsWhatCameOrUpToTheEndCharacter) {
  OpenWithSession();
  struct Case {
    const char* name;
    std::string sent;
    std::size_t count;
    bool waitEnd;
    char endChar;
    int code;
    std::string read;
  } cases[] = {
      {"one read takes what came, unchanged", std::string("\x00\x03\r\n\x11\x13\x7f\xff", 8), 20, false, 0, 0,
       std::string("\x00\x03\r\n\x11\x13\x7f\xff", 8)},
      {"nothing came", "", 5, false, 0, 0, ""},
      {"up to the end character", "ab\x03" "cd", 10, true, 3, 0, "ab\x03"},
      {"the end character NUL", std::string("ab\0c", 4), 10, true, 0, 0, std::string("ab\0", 3)},
      {"the end character did not come", "abc", 10, true, 3, -19, "abc"},
      {"count bytes without it", "abcdef", 4, true, 3, -19, "abcd"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(port.ClearBuffers(TPortControl::PURGE_RXCLEAR), 0);
    port.WaitEndChar = c.waitEnd;
    port.EndChar = c.endChar;
    Send(c.sent);
    int code = 1;
    EXPECT_EQ(Read(c.count, code), c.read);
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(port.Descr(), c.code ? "End character is absent.\nError = -19" : "");
  }
}

TEST_F(PtyTest, ReadsEndAsTheTimeoutsSay) {
  OpenWithSession();
  struct Case {
    const char* name;
    T1CommTimeouts timeouts;
    std::string sent;
    std::size_t count;
    std::size_t read;
    int minMs, maxMs;
  } cases[] = {
      {"total constant", {0, 0, 60, 0, 0}, "abc", 10, 3, 60, 900},
      {"multiplier times the bytes asked", {0, 20, 0, 0, 0}, "abc", 4, 3, 80, 900},
      {"interval after the last byte, no total", {40, 0, 0, 0, 0}, "abc", 10, 3, 40, 900},
      {"at once", {kMaxTimeout, 0, 0, 0, 0}, "", 10, 0, 0, 500},
      {"first byte: returns with it", {kMaxTimeout, kMaxTimeout, 2000, 0, 0}, "abc", 10, 3, 0, 1500},
      {"first byte: waits the constant", {kMaxTimeout, kMaxTimeout, 60, 0, 0}, "", 10, 0, 60, 900},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    port.Timeout = c.timeouts;
    ASSERT_EQ(port.SetPortTimeouts(), 0);
    Send(c.sent);
    if (!c.sent.empty()) {
      ASSERT_TRUE(InputArrives());
    }
    int code = 1;
    const auto start = Clock::now();
    EXPECT_EQ(Read(c.count, code).size(), c.read);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_EQ(code, 0);
    EXPECT_GE(ms, c.minMs);
    EXPECT_LT(ms, c.maxMs);
  }
}

TEST_F(PtyTest, TimeoutsApplyOnlyWhenSet) {
  port.Timeout = {0, 0, 40, 0, 0};
  OpenWithSession();
  port.Timeout = {0, 0, 3000, 0, 0};  // not applied yet
  int code = 1;
  auto start = Clock::now();
  Read(1, code);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1500));
  port.Timeout = {0, 0, 150, 0, 0};
  ASSERT_EQ(port.SetPortTimeouts(), 0);
  start = Clock::now();
  Read(1, code);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(150));
}

TEST_F(PtyTest, StoppedOutputEndsTheWriteAtItsTimeout) {
  port.Timeout = {0, 0, 50, 0, 40};
  OpenWithSession();
  ASSERT_EQ(port.EscapeCommFunction(TPortControl::SETXOFF), 0);
  std::size_t written = 99;
  port.Buffering = false;
  EXPECT_EQ(port.WriteData("abc", 3, written), -18);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(port.LastError(), ETIMEDOUT);
  EXPECT_EQ(port.Descr(), "Connection timed out\nError = 0x6e");
  port.Buffering = true;
  EXPECT_EQ(port.WriteData("abc", 3, written), 0);  // a write that times out is short, not failed
  EXPECT_EQ(written, 0u);
  ASSERT_EQ(port.EscapeCommFunction(TPortControl::SETXON), 0);
  EXPECT_EQ(port.WriteData("abc", 3, written), 0);
  EXPECT_EQ(written, 3u);
  EXPECT_EQ(Receive(3), "abc");
}

TEST_F(PtyTest, ALineThatIsGoneFailsReadsAndWritesAndStillCloses) {
  OpenWithSession();
  ::close(master);
  master = -1;
  std::size_t n = 99;
  char c;
  EXPECT_EQ(port.ReadData(&c, 1, n), -17);  // a hung-up line reads as end of file
  EXPECT_EQ(port.Descr(), "Input/output error\nError = 0x5");
  port.WaitEndChar = true;
  EXPECT_EQ(port.ReadData(&c, 1, n), -17);
  EXPECT_EQ(port.WriteData("x", 1, n), -18);
  EXPECT_EQ(port.LastError(), EIO);
  // Sending what is left fails, and the port is closed all the same: a dead line must not
  // keep it open for good.
  EXPECT_EQ(port.ClosePort(), -6);
  EXPECT_EQ(port.Handle(), -1);
  EXPECT_EQ(port.ClosePort(), -1);
}

TEST_F(PtyTest, NoBufferIsNoCrash) {
  OpenWithSession();
  std::size_t n = 99;
  EXPECT_EQ(port.WriteData(nullptr, 3, n), -18);
  EXPECT_EQ(port.LastError(), EFAULT);
  EXPECT_EQ(port.ReadData(nullptr, 3, n), -17);
  EXPECT_EQ(port.LastError(), EFAULT);
  EXPECT_EQ(port.ReadData(nullptr, 0, n), 0);
  EXPECT_EQ(n, 0u);
}

TEST_F(PtyTest, EscapeAndPurgeFunctions) {
  OpenWithSession();
  const Call calls[] = {
      {"DTR on a line without modem lines", [](TPortControl& p) { return p.EscapeCommFunction(TPortControl::SETDTR); },
       -22, "Inappropriate ioctl for device\nError = 0x19"},
      {"reset", [](TPortControl& p) { return p.EscapeCommFunction(TPortControl::RESETDEV); }, -22,
       "Invalid argument\nError = 0x16"},
      {"unknown function", [](TPortControl& p) { return p.EscapeCommFunction(42); }, -22, "Invalid argument\nError = 0x16"},
      {"unknown purge flag", [](TPortControl& p) { return p.ClearBuffers(0x10); }, -23, "Invalid argument\nError = 0x16"},
      {"abort flags", [](TPortControl& p) { return p.ClearBuffers(TPortControl::PURGE_TXABORT | TPortControl::PURGE_RXABORT); },
       0, ""},
  };
  for (const Call& c : calls) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.run(port), c.code);
    EXPECT_EQ(port.Descr(), c.descr);
  }
}

TEST_F(PtyTest, PurgingDiscardsWaitingInput) {
  OpenWithSession();
  const Call purges[] = {
      {"ClearBuffers", [](TPortControl& p) { return p.ClearBuffers(TPortControl::PURGE_RXCLEAR); }, 0, ""},
      {"ClearError", [](TPortControl& p) { return p.ClearError(); }, 0, ""},
      {"EndSession", [](TPortControl& p) { return p.EndSession(true); }, 0, ""},
      {"StartSession", [](TPortControl& p) { return p.EndSession(false) + p.StartSession(true); }, 0, ""},
  };
  for (const Call& c : purges) {
    SCOPED_TRACE(c.name);
    Send("abc");
    ASSERT_TRUE(InputArrives());
    EXPECT_EQ(c.run(port), 0);
    int code = 1;
    ASSERT_TRUE(port.SessionOpen() || port.StartSession(false) == 0);
    EXPECT_EQ(Read(3, code), "");
  }
}

TEST(PortControl, ThePortSetterTakesSerialTtyNamesAndPaths) {
  struct Case {
    const char* name;
    bool taken;
  } cases[] = {
      {"ttyS0", true},    {"ttyUSB12", true}, {"ttyACM0", true},  {"ttyAMA511", true}, {"/dev/pts/3", true},
      {"", false},        {"COM1", false},    {"ttyS", false},    {"tty0", false},     {"ttyS01", false},
      {"ttyS512", false}, {"ttyS-1", false},  {"ttyUSB1a", false}, {"TTYS0", false},   {"dev/ttyS0", false},
  };
  MemoryDeviceRegistry registry;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TPortControl port(registry);
    port.SetNumPort("ttyS9");
    port.SetNumPort(c.name);
    EXPECT_EQ(port.Port(), c.taken ? c.name : "ttyS9");
  }
}

TEST_F(PtyTest, ThePortSetterIsIgnoredWhileOpen) {
  ASSERT_EQ(port.OpenPort(), 0);
  port.SetNumPort("ttyS1");
  EXPECT_EQ(port.Port(), path);
  ASSERT_EQ(port.ClosePort(), 0);
  port.SetNumPort("ttyS1");
  EXPECT_EQ(port.Port(), "ttyS1");
}

TEST(PortControl, ErrorStringGivesTheSystemsMessageAndTheCode) {
  MemoryDeviceRegistry registry;
  TPortControl port(registry);
  const std::pair<unsigned long, const char*> cases[] = {
      {2, "No such file or directory\nError = 0x2"},
      {13, "Permission denied\nError = 0xd"},
      {0x12345, "Unknown error 74565\nError = 0x12345"},
  };
  for (const auto& [code, text] : cases) {
    port.ErrorString(code);
    EXPECT_EQ(port.Descr(), text);
  }
}

TEST(PortControl, PublishedDefaults) {
  MemoryDeviceRegistry registry;
  TPortControl port(registry);
  EXPECT_EQ(port.Timeout, (T1CommTimeouts{0, 0, 1000, 0, 0}));
  EXPECT_EQ(TPortControl::RateOf(port.BaudRate), 9600u);
  EXPECT_EQ(port.DTR, TPortControl::DTR_HANDSHAKE);
  EXPECT_EQ(port.RTS, TPortControl::RTS_HANDSHAKE);
  EXPECT_EQ(port.DataBits, TPortControl::Bits8);
  EXPECT_EQ(port.Port(), "");
  EXPECT_EQ(port.Handle(), -1);
}

}  // namespace
}  // namespace kovrix
