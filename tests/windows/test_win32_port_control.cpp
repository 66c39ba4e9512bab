// TPortControl on Windows without hardware: the codes and texts of a closed port, an open that
// the system refuses, the port names it takes, the listing of COM ports and the FIFO settings of
// a device the registry does not hold.

#include <gtest/gtest.h>

#include <functional>

#include "port/memory_registry.h"
#include "port/port_control.h"

namespace kovrix {
namespace {

TEST(Win32PortControl, AClosedPortAndARefusedOpenAnswerTheirCodesAndTexts) {
  MemoryDeviceRegistry registry;
  TPortControl port(registry);
  port.EnableDescr = true;
  const char* notOpen = "Port was not opened!\nError = -1";
  const struct {
    const char* name;
    std::function<int()> run;
    const char* descr;
  } calls[] = {
      {"ClosePort", [&] { return port.ClosePort(); }, notOpen},
      {"StartSession", [&] { return port.StartSession(true); }, notOpen},
      {"EndSession", [&] { return port.EndSession(true); }, notOpen},
      {"WriteData", [&] { std::size_t n = 0; return port.WriteData("x", 1, n); }, "Port was not opened.\nError = -1"},
      {"ReadData", [&] { char c; std::size_t n = 0; return port.ReadData(&c, 1, n); }, notOpen},
      {"SetPortTimeouts", [&] { return port.SetPortTimeouts(); }, "Port was not opened!\nError = -20"},
      {"EscapeCommFunction", [&] { return port.EscapeCommFunction(TPortControl::SETDTR); }, notOpen},
  };
  for (const auto& c : calls) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.run(), -1);
    EXPECT_EQ(port.Descr(), c.descr);
  }
  // A port that does not exist: -2, the system's message and its code, nothing left open.
  port.SetNumPort("COM250");
  ASSERT_EQ(port.Port(), "COM250");
  EXPECT_EQ(port.OpenPort(), -2);
  EXPECT_EQ(port.LastError(), 2);  // the file is not found
  EXPECT_NE(port.Descr().find("\nError = 0x2"), std::string::npos) << port.Descr();
  EXPECT_EQ(port.Handle(), -1);
}

TEST(Win32PortControl, TakesComPortNamesOnly) {
  const struct {
    const char* name;
    bool taken;
  } cases[] = {{"COM1", true},  {"com12", true}, {"\\\\.\\COM200", true}, {"COM256", true}, {"COM257", false},
               {"COM0", false}, {"COM01", false}, {"COM", false},          {"LPT1", false},  {"ttyS0", false},
               {"COM1x", false}, {"", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(IsSerialPortName(c.name), c.taken);
    MemoryDeviceRegistry registry;
    TPortControl port(registry);
    port.SetNumPort(c.name);
    EXPECT_EQ(port.Port(), c.taken ? c.name : "");
  }
  EXPECT_EQ(PortDevicePath("COM12"), "\\\\.\\COM12");
  EXPECT_EQ(PortDevicePath("\\\\.\\COM3"), "\\\\.\\COM3");
}

TEST(Win32PortControl, TheListingAnswersComPortsAndFifoNeedsTheDeviceKey) {
  MemoryDeviceRegistry registry;
  registry.Add("COM3", "USB Serial Device (COM3)", "USB\\VID_0483&PID_5740\\1").Add("LPT1", "Printer port (LPT1)")
      .Add("com4", "Communications Port (COM4)");
  TPortControl port(registry);
  ASSERT_EQ(port.BeginEnumeratePorts(), 0);
  EXPECT_EQ(port.EnumeratePorts(), "COM3");
  EXPECT_EQ(port.EnumeratePorts(), "com4");
  EXPECT_EQ(port.EnumeratePorts(), "");
  EXPECT_EQ(port.EndEnumeratePorts(), 0);
  // The in-memory registry has no hardware keys: every FIFO operation answers -25.
  port.SetNumPort("COM3");
  EXPECT_EQ(port.EnableFIFO(true), -25);
  EXPECT_EQ(port.SetFIFOSize(true, 14), -25);
  EXPECT_EQ(port.IsFIFOEnable(), -25);
  EXPECT_EQ(port.GetFIFOSize(false), -25);
}

}  // namespace
}  // namespace kovrix
