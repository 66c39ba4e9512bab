// Vendor and product names from usb.ids, and the friendly-name rule.

#include <gtest/gtest.h>

#include <sstream>

#include "port/usb_names.h"

namespace kovrix {
namespace {

const std::string kFixture = std::string(KOVRIX_PORT_TEST_DATA) + "/usb.ids";

TEST(UsbIds, LooksUpVendorAndProductInTheirBlocks) {
  struct Case {
    std::uint16_t vendor, product;
    const char* vendorName;
    const char* productName;
  } cases[] = {
      {0x0483, 0x5740, "STMicroelectronics", "Virtual COM Port"},
      {0x0483, 0x7523, "STMicroelectronics", ""},  // interface lines and other vendors' products
      {0x1a86, 0x7523, "QinHeng Electronics", "CH340 serial converter"},
      {0x0403, 0x6001, "Future Technology Devices International, Ltd", "FT232 Serial (UART) IC"},
      {0xabcd, 0x0001, "Vendor Without Products", ""},
      {0x0002, 0x0002, "", ""},  // the class section holds no vendors
      {0xffff, 0x5740, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.vendorName);
    const UsbNames names = LookUpUsbIdsFiles({kFixture}, c.vendor, c.product);
    EXPECT_EQ(names.vendor, c.vendorName);
    EXPECT_EQ(names.product, c.productName);
  }
}

TEST(UsbIds, ToleratesCarriageReturnsAndOddLines) {
  std::istringstream text("0483\n04\n0483  ST\r\n\t57\n\t5740\n\t5740  VCP\r\n");
  const UsbNames names = LookUpUsbIds(text, 0x0483, 0x5740);
  EXPECT_EQ(names.vendor, "ST");
  EXPECT_EQ(names.product, "VCP");
}

TEST(UsbIds, TakesTheFirstFileThatOpens) {
  EXPECT_EQ(LookUpUsbIdsFiles({"/nonexistent/usb.ids", kFixture}, 0x0483, 0x5740).product, "Virtual COM Port");
  const UsbNames none = LookUpUsbIdsFiles({"/nonexistent/usb.ids"}, 0x0483, 0x5740);
  EXPECT_EQ(none.vendor + none.product, "");
}

TEST(UsbFriendlyName, TakesEachNameFromTheFirstSourceThatHasIt) {
  const UsbIdentity device{0x0483, 0x5740, "STMicro", "STM32 Virtual ComPort", "/sys/x"};
  const UsbIdentity bare{0x0483, 0x5740, "", "", "/sys/x"};
  struct Case {
    UsbIdentity usb;
    UsbNames hwdb, ids;
    const char* expected;
  } cases[] = {
      {device, {"HwVendor", "HwModel"}, {"IdVendor", "IdModel"}, "HwVendor HwModel (ttyACM0)"},
      {device, {}, {"STMicroelectronics", "Virtual COM Port"}, "STMicroelectronics Virtual COM Port (ttyACM0)"},
      {device, {"HwVendor", ""}, {"", "IdModel"}, "HwVendor IdModel (ttyACM0)"},
      {device, {}, {"IdVendor", ""}, "IdVendor STM32 Virtual ComPort (ttyACM0)"},
      {device, {}, {}, "STMicro STM32 Virtual ComPort (ttyACM0)"},
      {bare, {}, {}, "0483 5740 (ttyACM0)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UsbFriendlyName(c.usb, "ttyACM0", c.hwdb, c.ids), c.expected);
  }
}

}  // namespace
}  // namespace kovrix
