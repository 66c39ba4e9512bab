// Discovery and recovery of the registrator's USB virtual COM port over the in-memory registry.

#include <gtest/gtest.h>

#include "port/memory_registry.h"
#include "port/usb_port.h"

namespace kovrix {
namespace {

const std::string kRegistrator = "STMicroelectronics Virtual COM Port";

// Records what the functions ask of the program, in order.
class RecordingHost final : public UsbHost {
 public:
  explicit RecordingHost(const MemoryDeviceRegistry& registry) : registry_(registry) {}
  void ShowMessage(const std::string& text) override { events.push_back("message " + text); }
  void SetCaption(const std::string& caption) override { events.push_back("caption " + caption); }
  void LetEventsRun(int ms) override { events.push_back("events " + std::to_string(ms)); }
  // The number of state changes made so far shows whether the link closed before them.
  void CloseLink() override { events.push_back("close after " + std::to_string(registry_.changes.size())); }
  void ShowLinkClosed() override { events.push_back("shown closed"); }
  void EnableRecovery(bool enabled) override { events.push_back(enabled ? "button on" : "button off"); }

  std::vector<std::string> events;

 private:
  const MemoryDeviceRegistry& registry_;
};

TEST(GetUSBPort, AnswersForTheDeviceAtTheIndex) {
  struct Case {
    const char* name;
    std::vector<std::optional<std::string>> friendly;  // devices of the class
    int index;
    const char* className;
    int code;
    const char* port;  // "keep": the out argument is untouched
  } cases[] = {
      {"match", {"Other (ttyS0)", kRegistrator + " (ttyACM0)"}, 1, "Ports", 0, "ttyACM0"},
      {"match with text around", {"USB " + kRegistrator + " 2 (COM12) (x)"}, 0, "Ports", 0, "COM12"},
      {"class name in other letter case", {kRegistrator + " (ttyACM0)"}, 0, "PORTS", 0, "ttyACM0"},
      {"no parentheses", {kRegistrator}, 0, "Ports", 0, ""},
      {"closing before opening", {kRegistrator + " )ttyACM0("}, 0, "Ports", 0, ""},
      {"199 bytes fit the buffer", {(kRegistrator + " (ttyACM0)").append(199 - kRegistrator.size() - 10, 'x')}, 0, "Ports", 0, "ttyACM0"},
      {"200 bytes do not", {(kRegistrator + " (ttyACM0)").append(200 - kRegistrator.size() - 10, 'x')}, 0, "Ports", -1, "keep"},
      {"another device", {"QinHeng Electronics CH340 serial converter (ttyUSB0)"}, 0, "Ports", -1, "keep"},
      {"search text is case-sensitive", {"STMicroelectronics Virtual Com Port (ttyACM0)"}, 0, "Ports", -1, "keep"},
      {"unreadable friendly name", {std::nullopt}, 0, "Ports", -1, "keep"},
      {"index past the last device", {kRegistrator + " (ttyACM0)"}, 1, "Ports", -2, "keep"},
      {"negative index", {kRegistrator + " (ttyACM0)"}, -1, "Ports", -2, "keep"},
      {"no devices", {}, 0, "Ports", -2, "keep"},
      {"unknown class", {kRegistrator + " (ttyACM0)"}, 0, "Net", -2, "keep"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryDeviceRegistry registry;
    for (const auto& f : c.friendly) registry.devices.push_back(PortDevice{"ttyX", f, ""});
    std::string port = "keep";
    EXPECT_EQ(GetUSBPort(registry, c.index, port, kUsbSearchText, c.className), c.code);
    EXPECT_EQ(port, c.port);
  }
}

TEST(ScanUsbPort, StepsThroughTheDevicesUntilTheFirstRegistrator) {
  struct Case {
    const char* name;
    std::vector<std::string> friendly;
    const char* port;
    int steps;
  } cases[] = {
      {"third device", {"A (ttyS0)", "B (ttyS1)", kRegistrator + " (ttyACM2)"}, "ttyACM2", 3},
      {"two registrators: the first wins", {kRegistrator + " (ttyACM0)", kRegistrator + " (ttyACM1)"}, "ttyACM0", 1},
      {"none among two devices", {"A (ttyS0)", "B (ttyS1)"}, "", 3},
      {"no devices", {}, "", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryDeviceRegistry registry;
    for (const auto& f : c.friendly) registry.Add("ttyX", f);
    RecordingHost host(registry);
    EXPECT_EQ(ScanUsbPort(registry, host), c.port);
    std::vector<std::string> expected;
    for (int step = 1; step <= c.steps; ++step) {
      expected.push_back("caption Тестирование USB устройств: Шаг " + std::to_string(step));
      expected.push_back("events 100");
    }
    EXPECT_EQ(host.events, expected);
    EXPECT_TRUE(registry.changes.empty());
  }
}

TEST(RecoverUsbPort, RestartsTheFirstRegistratorAndReportsEachFailedHalf) {
  const std::string notRemoved = "Устройство не удалено (SetupDiSetClassInstallParams)!";
  const std::string notRemovedApplied = "Устройство не удалено (SetupDiCallInstaller)!";
  const std::string notRestored = "Устройство не восстановлено (SetupDiSetClassInstallParams)!";
  const std::string notRestoredApplied = "Устройство не восстановлено (SetupDiCallInstaller)!";
  struct Case {
    StateChange disable, enable;
    std::vector<std::string> messages;
  } cases[] = {
      {StateChange::Done, StateChange::Done, {}},
      {StateChange::NotPrepared, StateChange::NotPrepared, {notRemoved, notRestored}},
      {StateChange::NotApplied, StateChange::Done, {notRemovedApplied}},
      {StateChange::Done, StateChange::NotApplied, {notRestoredApplied}},
      {StateChange::NotApplied, StateChange::NotPrepared, {notRemovedApplied, notRestored}},
  };
  for (const Case& c : cases) {
    MemoryDeviceRegistry registry;
    registry.Add("ttyS0", "A (ttyS0)", "pnp")
        .Add("ttyACM0", kRegistrator + " (ttyACM0)", "usb-a")
        .Add("ttyACM1", kRegistrator + " (ttyACM1)", "usb-b");
    registry.disableOutcome = c.disable;
    registry.enableOutcome = c.enable;
    RecordingHost host(registry);
    EXPECT_EQ(RecoverUsbPort(registry, host), "ttyACM0");
    EXPECT_EQ(registry.changes, (std::vector<std::string>{"disable usb-a", "enable usb-a"}));
    std::vector<std::string> expected = {"button off", "close after 0"};
    for (const auto& m : c.messages) expected.push_back("message " + m);
    expected.insert(expected.end(), {"shown closed", "button on"});
    EXPECT_EQ(host.events, expected);
  }
}

TEST(RecoverUsbPort, AGoneDeviceEndsWithAnEmptyNameAndNothingShown) {
  MemoryDeviceRegistry registry;
  registry.Add("ttyS0", "A (ttyS0)", "pnp");
  RecordingHost host(registry);
  EXPECT_EQ(RecoverUsbPort(registry, host), "");
  EXPECT_EQ(host.events, (std::vector<std::string>{"button off", "button on"}));
  EXPECT_TRUE(registry.changes.empty());

  registry.classMissing = true;
  std::string port = "ttyACM0";
  EXPECT_EQ(RestoreUSBPort(registry, host, 0, port, kUsbSearchText, kPortsClassName), -2);
  EXPECT_EQ(port, "ttyACM0");
}

}  // namespace
}  // namespace kovrix
