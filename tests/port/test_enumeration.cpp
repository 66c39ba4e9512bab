// The port listing and device lookup of TPortControl over the in-memory registry.

#include <gtest/gtest.h>

#include <functional>

#include "port/memory_registry.h"
#include "port/port_control.h"

namespace kovrix {
namespace {

const PortDevice kUnreadable{std::nullopt, "Serial port (?)", ""};

class EnumerationTest : public ::testing::Test {
 protected:
  // The listing state is shared by all instances; every test leaves it ended.
  void TearDown() override { port.EndEnumeratePorts(); }

  // Calls EnumeratePorts until it answers "" or twice "0", as far as 20 calls.
  std::vector<std::string> Listing() {
    std::vector<std::string> names;
    while (names.size() < 20) {
      names.push_back(port.EnumeratePorts());
      if (names.back().empty()) break;
      if (names.size() >= 2 && names.back() == "0" && names[names.size() - 2] == "0") break;
    }
    return names;
  }

  MemoryDeviceRegistry registry;
  TPortControl port{registry};
};

TEST_F(EnumerationTest, ListsTheTtyDevicesOfTheClass) {
  struct Case {
    const char* name;
    std::vector<PortDevice> devices;
    std::vector<std::string> expected;
  } cases[] = {
      {"tty devices in registry order, others passed over",
       {{"ttyS0", "a", ""}, {"lp0", "b", ""}, {"ttyUSB0", "c", ""}, {"ttyACM3", "d", ""}},
       {"ttyS0", "ttyUSB0", "ttyACM3", ""}},
      {"a class without devices", {}, {""}},
      {"only devices that are no serial ports", {{"lp0", "a", ""}, {"TTYS0", "b", ""}}, {""}},
      {"an unreadable device stops the listing where it is",
       {{"ttyS0", "a", ""}, kUnreadable, {"ttyS1", "c", ""}},
       {"ttyS0", "0", "0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    registry.devices = c.devices;
    ASSERT_EQ(port.BeginEnumeratePorts(), 0);
    EXPECT_EQ(Listing(), c.expected);
    EXPECT_EQ(port.EndEnumeratePorts(), 0);
  }
}

TEST_F(EnumerationTest, TheEndOfTheListStaysTheEndAndEndingAllowsAFreshListing) {
  registry.Add("ttyS0", "a");
  ASSERT_EQ(port.BeginEnumeratePorts(), 0);
  EXPECT_EQ(port.EnumeratePorts(), "ttyS0");
  EXPECT_EQ(port.EnumeratePorts(), "");
  registry.Add("ttyUSB0", "b");
  EXPECT_EQ(port.EnumeratePorts(), "");  // the device set was released at the end
  port.EndEnumeratePorts();
  ASSERT_EQ(port.BeginEnumeratePorts(), 0);
  EXPECT_EQ(Listing(), (std::vector<std::string>{"ttyS0", "ttyUSB0", ""}));
}

TEST_F(EnumerationTest, OneListingAtATimeAcrossInstances) {
  registry.Add("ttyS0", "a");
  TPortControl other(registry);
  ASSERT_EQ(port.BeginEnumeratePorts(), 0);
  EXPECT_EQ(port.BeginEnumeratePorts(), -27);
  EXPECT_EQ(other.BeginEnumeratePorts(), -27);
  EXPECT_EQ(other.EnumeratePorts(), "ttyS0");  // the one shared listing
  other.EndEnumeratePorts();
  EXPECT_EQ(port.BeginEnumeratePorts(), 0);
}

TEST_F(EnumerationTest, AnUnknownClassRefusesTheListingWithoutBlockingTheNext) {
  registry.Add("ttyS0", "a");
  registry.classMissing = true;
  port.EnableDescr = true;
  EXPECT_EQ(port.BeginEnumeratePorts(), -27);
  EXPECT_EQ(port.Descr(), "");
  EXPECT_EQ(port.EnumeratePorts(), "");
  registry.classMissing = false;
  EXPECT_EQ(port.BeginEnumeratePorts(), 0);
}

TEST_F(EnumerationTest, GetDeviceKeyFindsThePortsDevice) {
  registry.Add("ttyS0", "first", "s0").Add("ttyUSB0", "second", "usb0");
  struct Case {
    const char* query;
    bool listing;
    std::vector<PortDevice> before;  // devices put in front of the two
    std::optional<std::string> id;
  } cases[] = {
      {"ttyUSB0", false, {}, "usb0"},
      {"TTYusb0", false, {}, "usb0"},
      {"ttyUSB1", false, {}, std::nullopt},
      {"ttyUSB0", true, {}, std::nullopt},               // not during a listing
      {"ttyUSB0", false, {kUnreadable}, std::nullopt},   // an unreadable device ends the walk
  };
  const auto base = registry.devices;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    registry.devices = c.before;
    registry.devices.insert(registry.devices.end(), base.begin(), base.end());
    if (c.listing) {
      ASSERT_EQ(port.BeginEnumeratePorts(), 0);
    }
    const auto device = port.GetDeviceKey(c.query);
    EXPECT_EQ(device ? std::optional<std::string>(device->id) : std::nullopt, c.id);
    port.EndEnumeratePorts();
  }
}

TEST_F(EnumerationTest, FifoOperationsAnswerUnsupportedForAKnownPortAndNoKeyOtherwise) {
  registry.Add("ttyS0", "a");
  const std::function<int(TPortControl&)> operations[] = {
      [](TPortControl& p) { return p.EnableFIFO(true); },
      [](TPortControl& p) { return p.SetFIFOSize(true, 16); },
      [](TPortControl& p) { return p.SetFIFOSize(false, 16); },
      [](TPortControl& p) { return p.IsFIFOEnable(); },
      [](TPortControl& p) { return p.GetFIFOSize(false); },
  };
  for (const auto& operation : operations) {
    port.SetNumPort("ttyS0");
    EXPECT_EQ(operation(port), -24);
    port.SetNumPort("ttyS1");
    EXPECT_EQ(operation(port), -25);
    port.SetNumPort("ttyS0");
    ASSERT_EQ(port.BeginEnumeratePorts(), 0);
    EXPECT_EQ(operation(port), -25);
    port.EndEnumeratePorts();
  }
}

}  // namespace
}  // namespace kovrix
