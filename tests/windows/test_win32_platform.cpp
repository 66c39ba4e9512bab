// What differs on Windows: port names, the serial line's open failures, the per-port lock and
// kept counter under %LOCALAPPDATA%, the port listing, and the session log's absolute paths.
#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/cli.h"
#include "session/port_state.h"
#include "cli/windows_ports.h"
#include "driver/driver.h"
#include "driver/serial_line.h"
#include "driver/session_log.h"

namespace kovrix {
namespace {

TEST(WindowsPortNames, ComNamesTakeTheDevicePrefixInEitherCaseOtherNamesPassAsTheyAre) {
  const struct {
    const char* typed;
    const char* path;
  } cases[] = {
      {"COM1", "\\\\.\\COM1"},         {"COM12", "\\\\.\\COM12"},  {"com12", "\\\\.\\COM12"},
      {"\\\\.\\COM12", "\\\\.\\COM12"}, {"\\\\.\\com3", "\\\\.\\COM3"}, {"Com7", "\\\\.\\COM7"},
      {"COM", "COM"},                   {"COMX1", "COMX1"},          {"COM1:", "COM1:"},
      {"\\\\.\\CNCA0", "\\\\.\\CNCA0"}, {"LPT1", "LPT1"},
  };
  for (const auto& c : cases) EXPECT_EQ(PortPath(c.typed), c.path) << c.typed;
}

TEST(WindowsSerialLine, AMissingPortFailsAsOtherAndAPortHeldElsewhereAsBusy) {
  auto line = MakeSystemSerialLine();
  EXPECT_FALSE(line->open("COM250", 9600));
  EXPECT_EQ(LastPortOpenFailure(), PortOpenFailure::Other);
  EXPECT_FALSE(line->isOpen());
  std::uint8_t byte = 0;
  EXPECT_EQ(line->readByte(byte, 10), SerialLine::ReadResult::Error);
  EXPECT_FALSE(line->write("x"));
  EXPECT_FALSE(line->close());

  // Any file opened without sharing stands in for a port another program holds.
  const std::filesystem::path held = std::filesystem::temp_directory_path() / "kovrix-held-port";
  HANDLE other = CreateFileW(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(line->open(held.string(), 9600));
  EXPECT_EQ(LastPortOpenFailure(), PortOpenFailure::Busy);
  CloseHandle(other);
  std::filesystem::remove(held);
  // The failure kind belongs to the last open of a system line; leave a plain one for later tests.
  EXPECT_FALSE(line->open("COM250", 9600));
}

TEST(WindowsSerialLine, APortHeldByAnotherProgramIsReportedBusyAndNothingIsSent) {
  UseSerialLine(MakeSystemSerialLine());
  const std::filesystem::path held = std::filesystem::temp_directory_path() / "kovrix-held-cli-port";
  HANDLE other = CreateFileW(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  std::ostringstream out, err;
  EXPECT_EQ(cli::RunCli({"-p", held.string(), "exec", "21", "482916;"}, out, err), cli::kExitUsage);
  EXPECT_NE(err.str().find("kovrix-cli: port busy: another program is using " + held.string() + "\n"),
            std::string::npos)
      << err.str();
  CloseHandle(other);
  // Once released, nothing of the refused run is left in the file.
  EXPECT_EQ(std::filesystem::file_size(held), 0u);
  std::filesystem::remove(held);

  err.str("");
  EXPECT_EQ(cli::RunCli({"-p", "COM250", "exec", "21", "482916;"}, out, err), cli::kExitUsage);
  EXPECT_NE(err.str().find("kovrix-cli: cannot open port COM250\n"), std::string::npos) << err.str();
}

// A state directory of this test's own, through LOCALAPPDATA.
class WindowsPortStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() / ("kovrix-state-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(dir);
    saved = _wgetenv(L"LOCALAPPDATA") ? _wgetenv(L"LOCALAPPDATA") : L"";
    _wputenv_s(L"LOCALAPPDATA", dir.c_str());
  }
  void TearDown() override {
    _wputenv_s(L"LOCALAPPDATA", saved.c_str());
    std::filesystem::remove_all(dir);
  }
  std::filesystem::path dir;
  std::wstring saved;
};

TEST_F(WindowsPortStateTest, OneFilePerPortWhateverTheSpellingAndTheCounterIsKept) {
  EXPECT_EQ(session::ResolvedDevicePath("com12"), "\\\\.\\COM12");
  EXPECT_EQ(session::StateFileName("\\\\.\\COM12"), "%5C%5C.%5CCOM12.seq");
  EXPECT_EQ(session::StateFileName("a/b:c%d"), "a%2Fb%3Ac%25d.seq");
  {
    session::PortState state;
    ASSERT_EQ(state.Acquire("COM12", 0), session::PortState::Lock::Held);
    EXPECT_EQ(state.counter(), 0);
    state.Store(254);
    state.Store(7);
  }
  EXPECT_TRUE(std::filesystem::exists(dir / "kovrix" / "%5C%5C.%5CCOM12.seq"));
  for (const char* spelling : {"com12", "\\\\.\\COM12"}) {
    session::PortState state;
    ASSERT_EQ(state.Acquire(spelling, 0), session::PortState::Lock::Held) << spelling;
    EXPECT_EQ(state.counter(), 7) << spelling;
  }
  session::PortState other;
  ASSERT_EQ(other.Acquire("COM3", 0), session::PortState::Lock::Held);
  EXPECT_EQ(other.counter(), 0);
}

TEST_F(WindowsPortStateTest, ASecondHolderWaitsAndGetsBusyUntilTheFirstReleases) {
  session::PortState first;
  ASSERT_EQ(first.Acquire("COM5", 0), session::PortState::Lock::Held);
  first.Store(42);
  session::PortState second;
  const DWORD start = GetTickCount();
  EXPECT_EQ(second.Acquire("com5", 100), session::PortState::Lock::Busy);
  EXPECT_GE(GetTickCount() - start, 90u);
  first.Release();
  ASSERT_EQ(second.Acquire("com5", 0), session::PortState::Lock::Held);
  EXPECT_EQ(second.counter(), 42);
}

TEST_F(WindowsPortStateTest, ADamagedCounterReadsAsAFirstRun) {
  std::filesystem::create_directories(dir / "kovrix");
  for (const char* text : {"", "x7\n", "300\n", "-1\n", "12 junk"}) {
    std::ofstream(dir / "kovrix" / "%5C%5C.%5CCOM9.seq", std::ios::binary) << text;
    session::PortState state;
    ASSERT_EQ(state.Acquire("COM9", 0), session::PortState::Lock::Held);
    EXPECT_EQ(state.counter(), 0) << text;
  }
}

TEST(WindowsPortList, PortsOfBothSourcesOnceInNumberOrderWithNamesIdsAndTheMark) {
  const std::vector<cli::WindowsPortDevice> devices = {
      {"COM10", "STMicroelectronics Virtual COM Port (COM10)", "USB\\VID_0483&PID_5740&REV_0200"},
      {"com2", "Communications Port (COM2)", "ACPI\\PNP0501"},
      {"COM4", "", ""},
  };
  EXPECT_EQ(cli::WindowsPortLines({"COM2", "COM1", "COM10", "", "COM33"}, devices),
            (std::vector<std::string>{
                "COM1",
                "COM2  Communications Port (COM2)",
                "COM4",
                "COM10  STMicroelectronics Virtual COM Port (COM10)  USB 0483:5740  [registrator USB port]",
                "COM33",
            }));
  EXPECT_TRUE(cli::WindowsPortLines({}, {}).empty());
  // detect probes the same ports, by name, in the same order.
  EXPECT_EQ(cli::WindowsPortNames({"COM2", "COM1", "COM10", "", "COM33"}, devices),
            (std::vector<std::string>{"COM1", "COM2", "COM4", "COM10", "COM33"}));
}

TEST(WindowsPortList, UsbIdsComeOnlyFromAWholeVidAndPid) {
  EXPECT_EQ(cli::UsbIdsOf("USB\\VID_0483&PID_5740"), "0483:5740");
  EXPECT_EQ(cli::UsbIdsOf("usb\\vid_1a86&pid_7523&rev_0254"), "1a86:7523");
  EXPECT_EQ(cli::UsbIdsOf("USB\\VID_0483"), "");
  EXPECT_EQ(cli::UsbIdsOf("USB\\VID_04&PID_5740"), "");
  EXPECT_EQ(cli::UsbIdsOf("USB\\VID_04G3&PID_5740"), "");
  EXPECT_EQ(cli::UsbIdsOf(""), "");
}

TEST(WindowsSessionLog, ADriveLetterPathIsUsedAsItIs) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("kovrix-log-" + std::to_string(GetCurrentProcessId()));
  std::filesystem::create_directories(dir);
  const std::string absolute = (dir / "session.log").string();
  ASSERT_TRUE(std::filesystem::path(absolute).is_absolute());
  SessionLog log;
  log.SetLogFileName(absolute);
  log.WriteLog("", "");
  EXPECT_TRUE(std::filesystem::exists(absolute));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kovrix
