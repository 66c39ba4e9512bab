// The system's registry over a sysfs tree of the test's own: which tty entries count as
// ports, their names and friendly names, their order, and the restart through "authorized".

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "port/linux_registry.h"

namespace kovrix {
namespace {

namespace fs = std::filesystem;

const std::string kUsbIds = std::string(KOVRIX_PORT_TEST_DATA) + "/usb.ids";

class FakeSysfs {
 public:
  FakeSysfs() {
    std::string pattern = (fs::temp_directory_path() / "kovrix-sysfs-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data()) ? pattern : "";
    fs::create_directories(fs::path(root_) / "class/tty");
  }
  ~FakeSysfs() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  const std::string& root() const { return root_; }
  fs::path At(const std::string& relative) const { return fs::path(root_) / relative; }

  void File(const std::string& relative, const std::string& text) const {
    fs::create_directories(At(relative).parent_path());
    std::ofstream(At(relative)) << text;
  }
  // A tty entry as the kernel lays it out: the tty directory below its device, "device"
  // pointing at the device, and class/tty/<name> pointing at the tty directory.
  void Tty(const std::string& deviceDir, const std::string& name, const char* type = nullptr,
           bool withDevice = true, bool withUevent = true) const {
    const std::string ttyDir = deviceDir + "/tty/" + name;
    fs::create_directories(At(ttyDir));
    if (withUevent) File(ttyDir + "/uevent", "MAJOR=4\nMINOR=64\nDEVNAME=" + name + "\n");
    if (type) File(ttyDir + "/type", std::string(type) + "\n");
    if (withDevice) fs::create_directory_symlink("../..", At(ttyDir + "/device"));
    fs::create_directory_symlink("../../" + ttyDir, At("class/tty/" + name));
  }
  void Usb(const std::string& dir, const char* vendor, const char* product, const char* manufacturer,
           const char* productName) const {
    File(dir + "/idVendor", std::string(vendor) + "\n");
    File(dir + "/idProduct", std::string(product) + "\n");
    if (manufacturer) File(dir + "/manufacturer", std::string(manufacturer) + "\n");
    if (productName) File(dir + "/product", std::string(productName) + "\n");
    File(dir + "/authorized", "1\n");
  }

 private:
  std::string root_;
};

constexpr char kUsbBus[] = "devices/pci0000:00/0000:00:14.0/usb1";

class LinuxRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(sysfs.root().empty());
    sysfs.Tty("devices/pnp0/00:05", "ttyS0", "4");
    sysfs.Tty("devices/pnp0/00:06", "ttyS10", "4");
    sysfs.Tty("devices/pnp0/00:07", "ttyS2", "4");
    sysfs.Tty("devices/pnp0/00:08", "ttyS3", "4", true, false);   // no uevent: name unreadable
    sysfs.Tty("devices/platform/serial8250", "ttyS1", "0");         // reserved, no UART
    sysfs.Tty("devices/virtual", "tty0", nullptr, false);            // a virtual console
    const std::string bus = kUsbBus;
    sysfs.Usb(bus + "/1-2", "0483", "5740", "STMicroelectronics", "STM32 Virtual ComPort");
    sysfs.Tty(bus + "/1-2/1-2:1.0", "ttyACM0");
    sysfs.Usb(bus + "/1-3", "1a86", "7523", nullptr, "USB Serial");
    sysfs.Tty(bus + "/1-3/1-3:1.0/ttyUSB0", "ttyUSB0");                // usb-serial: one level deeper
    sysfs.Usb(bus + "/1-4", "ffff", "0001", "Acme", "Meter");
    sysfs.Tty(bus + "/1-4/1-4:1.0", "ttyACM1");
  }

  LinuxDeviceRegistry Registry(std::function<UsbNames(std::uint16_t, std::uint16_t)> hwdb = nullptr) {
    return LinuxDeviceRegistry(RegistrySources{sysfs.root(), {"/nonexistent/usb.ids", kUsbIds}, hwdb});
  }
  std::string UsbDir(const std::string& device) const {
    return fs::canonical(sysfs.At(std::string(kUsbBus) + "/" + device)).string();
  }

  FakeSysfs sysfs;
};

TEST_F(LinuxRegistryTest, ListsThePortsWithHardwareInNameOrder) {
  auto registry = Registry();
  const auto devices = registry.PresentDevices("Ports");
  ASSERT_TRUE(devices);
  struct Row {
    std::optional<std::string> port;
    std::string friendly;
    std::string id;
  };
  const std::vector<Row> expected = {
      {"ttyACM0", "STMicroelectronics Virtual COM Port (ttyACM0)", UsbDir("1-2")},
      {"ttyACM1", "Acme Meter (ttyACM1)", UsbDir("1-4")},
      {"ttyS0", "Serial port (ttyS0)", ""},
      {"ttyS2", "Serial port (ttyS2)", ""},
      {std::nullopt, "Serial port (ttyS3)", ""},
      {"ttyS10", "Serial port (ttyS10)", ""},
      {"ttyUSB0", "QinHeng Electronics CH340 serial converter (ttyUSB0)", UsbDir("1-3")},
  };
  ASSERT_EQ(devices->size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(expected[i].friendly);
    EXPECT_EQ((*devices)[i].portName, expected[i].port);
    EXPECT_EQ((*devices)[i].friendlyName, expected[i].friendly);
    EXPECT_EQ((*devices)[i].id, expected[i].id);
  }
}

TEST_F(LinuxRegistryTest, TheHardwareDatabaseComesBeforeUsbIds) {
  auto registry = Registry([](std::uint16_t vendor, std::uint16_t) {
    return vendor == 0x0483 ? UsbNames{"STMicroelectronics", "Virtual COM Port"} : UsbNames{"Db", ""};
  });
  const auto devices = registry.PresentDevices("Ports");
  ASSERT_TRUE(devices);
  EXPECT_EQ((*devices)[0].friendlyName, "STMicroelectronics Virtual COM Port (ttyACM0)");
  EXPECT_EQ((*devices)[1].friendlyName, "Db Meter (ttyACM1)");
  EXPECT_EQ(devices->back().friendlyName, "Db CH340 serial converter (ttyUSB0)");
}

TEST_F(LinuxRegistryTest, OnlyTheClassPortsExistsAndAnUnreadableTreeHasNone) {
  auto registry = Registry();
  EXPECT_TRUE(registry.PresentDevices("ports"));
  EXPECT_FALSE(registry.PresentDevices("Net"));
  LinuxDeviceRegistry missing(RegistrySources{sysfs.root() + "/nonexistent", {}, nullptr});
  EXPECT_FALSE(missing.PresentDevices("Ports"));
  fs::remove_all(sysfs.At("class"));
  EXPECT_FALSE(registry.PresentDevices("Ports"));
}

TEST_F(LinuxRegistryTest, RestartWritesTheAuthorizedAttribute) {
  auto registry = Registry();
  const PortDevice acm{"ttyACM0", "x", UsbDir("1-2")};
  const auto authorized = [&] {
    std::ifstream in(fs::path(acm.id) / "authorized");
    return std::string(1, static_cast<char>(in.get()));
  };
  EXPECT_EQ(registry.ChangeState(acm, false), StateChange::Done);
  EXPECT_EQ(authorized(), "0");
  EXPECT_EQ(registry.ChangeState(acm, true), StateChange::Done);
  EXPECT_EQ(authorized(), "1");
}

TEST_F(LinuxRegistryTest, RestartFailuresTellWhichHalfFailed) {
  sysfs.File("devices/odd/dir-attribute/authorized/x", "");
  sysfs.File("devices/odd/full-attribute/.keep", "");
  fs::create_symlink("/dev/full", sysfs.At("devices/odd/full-attribute/authorized"));
  sysfs.File("devices/odd/no-attribute/.keep", "");
  const auto dir = [&](const char* relative) { return fs::canonical(sysfs.At(relative)).string(); };
  struct Case {
    std::string id;
    StateChange expected;
  } cases[] = {
      {"", StateChange::NotPrepared},                                       // not on USB
      {dir("devices/odd/no-attribute"), StateChange::NotPrepared},
      {dir("devices/odd/dir-attribute"), StateChange::NotPrepared},         // cannot be opened
      {dir("devices/odd/full-attribute"), StateChange::NotApplied},         // the write fails
      {fs::temp_directory_path().string(), StateChange::NotPrepared},       // outside the tree
      {dir("devices/odd") + "/../../../", StateChange::NotPrepared},
  };
  auto registry = Registry();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    for (bool enable : {false, true}) EXPECT_EQ(registry.ChangeState(PortDevice{"ttyACM9", "x", c.id}, enable), c.expected);
  }
}

TEST(PortNameOrder, ComparesNumbersAsNumbers) {
  std::vector<std::string> names = {"ttyUSB0", "ttyS10", "ttyS2", "ttyACM1", "ttyS0", "ttyS1a", "ttyS01", "ttyS1"};
  std::sort(names.begin(), names.end(), PortNameLess);
  EXPECT_EQ(names, (std::vector<std::string>{"ttyACM1", "ttyS0", "ttyS01", "ttyS1", "ttyS2", "ttyS10", "ttyS1a", "ttyUSB0"}));
}

}  // namespace
}  // namespace kovrix
