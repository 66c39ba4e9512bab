#include <gtest/gtest.h>

#include "driver/ean13.h"
#include "sim/model/args.h"
#include "sim/model/error_code.h"
#include "sim/model/receipt_print.h"
#include "sim/model/values.h"

namespace kovrix::sim {
namespace {

TEST(SimValues, FixedPointTextsParseOrAreRefused) {
  struct Case {
    const char* text;
    int decimals;
    std::optional<std::int64_t> value;
  } cases[] = {
      {"12.50", 2, 1250}, {"12.5", 2, 1250},  {"-1.00", 2, -100}, {"5", 2, 500},     {"0.001", 3, 1},
      {"1.000", 3, 1000}, {".5", 2, 50},      {"1.234", 2, {}},   {"", 2, {}},       {"-", 2, {}},
      {"1,5", 2, {}},     {"1.2.3", 2, {}},   {" 1", 2, {}},      {"123456789012345", 2, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseFixed(c.text, c.decimals), c.value) << c.text;
  EXPECT_EQ(FormatFixed(-1250, 2), "-12.50");
  EXPECT_EQ(FormatFixed(5, 3), "0.005");
  EXPECT_EQ(FormatFixed(-5, 2), "-0.05");
}

TEST(SimValues, ErrorCodesGoOutDetailFirst) {
  EXPECT_EQ(err::kOk.WireText(), "0000");
  EXPECT_EQ(err::kDocState.WireText(), "000B");
  EXPECT_EQ(err::FieldFormat(5).WireText(), "0503");
  EXPECT_EQ(err::FieldValue(16).WireText(), "1004");
  EXPECT_EQ(err::kPassword.WireText(), "0006");
  EXPECT_EQ(err::kTimeBackwards.WireText(), "0E05");
}

TEST(SimValues, DatesAreCheckedAgainstTheCalendar) {
  EXPECT_TRUE(ParseDeviceDate("290224", "2359"));
  EXPECT_FALSE(ParseDeviceDate("290223"));
  EXPECT_FALSE(ParseDeviceDate("310424"));
  EXPECT_FALSE(ParseDeviceDate("010124", "2400"));
  EXPECT_FALSE(ParseDeviceDate("1a0124"));
  const DeviceTime t = *ParseDeviceDate("050307", "0905");
  EXPECT_EQ(DateText(t), "050307");
  EXPECT_EQ(TimeText(t), "0905");
}

TEST(SimArgs, FieldsSplitLikeTheReplyDecoderAndRefuseByNumber) {
  const Args a("482916;;12.5;x;FF");
  EXPECT_EQ(a.count(), 5);
  EXPECT_EQ(a.text(2), "");
  EXPECT_EQ(a.fixed(3, 2), 1250);
  EXPECT_EQ(a.hex(5, 2), 0xFFu);
  const auto refusal = [&](auto&& call) {
    try {
      call();
    } catch (const Refusal& r) {
      return r.code.WireText();
    }
    return std::string("none");
  };
  EXPECT_EQ(refusal([&] { a.integer(4, 0, 9); }), "0403");
  EXPECT_EQ(refusal([&] { a.integer(1, 0, 9); }), "0104");
  EXPECT_EQ(refusal([&] { a.text(6); }), "0603");
  EXPECT_EQ(refusal([&] { a.hex(5, 4); }), "0503");
  EXPECT_EQ(Args("").count(), 0);
  EXPECT_EQ(Args("a;").count(), 1);
}

TEST(SimValues, BarcodeModulesDecodeBackToTheCode) {
  for (const char* code : {"400638133393", "978020137962", "590123412345", "012345678901"}) {
    const std::string hex = Ean13PixelText(code);
    EXPECT_EQ(DecodeEan13(hex), std::string(code) + std::to_string(Ean13CheckDigit(code))) << code;
  }
  EXPECT_EQ(DecodeEan13(std::string(32, '0')), "");
  EXPECT_EQ(DecodeEan13("0051A9D7BD12CD50A142E90B35"), "");
}

}  // namespace
}  // namespace kovrix::sim
