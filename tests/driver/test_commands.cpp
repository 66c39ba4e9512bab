#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "driver/codepage.h"
#include "driver/commands.h"
#include "driver/driver.h"
#include "driver/frame.h"
#include "support/scripted_line.h"

namespace kovrix {
namespace {

const std::string P = "482916";

std::string W(const char* utf8) { return Utf8ToCp1251(utf8); }

int CodeOf(const std::string& frame) { return static_cast<std::uint8_t>(frame.at(3)); }
std::string DataOf(const std::string& frame) { return frame.substr(4, frame.size() - 10); }

using Call = std::function<const ReplyRecord*(int& err)>;

// The process's link on a scripted line, with the waits shrunk to nothing.
class CommandApi : public ::testing::Test {
 protected:
  void SetUp() override {
    UseSerialLine(std::make_unique<test::ScriptedLine>(line));
    TheLink().SetTiming({/*silencePasses*/ 2, /*readTimeoutMs*/ 1, /*repeatWaitMs*/ 0, /*usbRepeatWaitMs*/ 0});
    TheLink().SetSleeper([](int) {});
    SetRepeatCount(0);
    ASSERT_EQ(OpenComPort("x", 9600), 0);
  }
  // The link must not keep a line that points into this fixture.
  void TearDown() override { UseSerialLine(MakeSystemSerialLine()); }

  void Answer(const std::string& data, const std::string& error = "0000") {
    line.replies.push_back(BuildReplyFrame(0x21, 0x20, error, data, StatusBytes{0, 0, 0, 0, 0, 0x10}));
  }

  test::ScriptedLine::Shared line;
};

struct SendCase {
  const char* name;
  Call call;
  int code;
  std::string data;
  bool keepsErr = false;  // functions that do not write 0 to err when they send
};

TEST_F(CommandApi, EveryFunctionSendsItsCodeAndDataText) {
  const std::string logo = std::string(24, 'F') + std::string(24, '0');
  const std::vector<SendCase> cases = {
      {"SetDateTime", [](int& e) { return SetDateTime(P, "010224", "1230", e); }, 0x20, "482916;010224;1230;"},
      {"GetDateTime", [](int& e) { return GetDateTime(P, e); }, 0x21, "482916;", true},
      {"RestartRegistrator", [](int& e) { return RestartRegistrator(P, e); }, 0xF3, "482916;"},
      {"GetDiagnosticInfo", [](int& e) { return GetDiagnosticInfo(P, e); }, 0x80, "482916;"},
      {"GetFreeResources", [](int& e) { return GetFreeResources(P, e); }, 0xA0, "482916;"},
      {"SetHeaderFooter", [](int& e) { return SetHeaderFooter(P, 20, W("Магазин №1"), 1, e); }, 0x22,
       "482916;20;" + W("Магазин №1") + ";1;"},
      {"GetHeaderFooter", [](int& e) { return GetHeaderFooter(P, 0, e); }, 0x23, "482916;0;"},
      {"SetUserLogo", [&](int& e) { return SetUserLogo(P, 3, logo, e); }, 0x29, "482916;3;" + logo + ";"},
      {"PrintEAN13Code", [](int& e) { return PrintEAN13Code(P, 50, "400638133393", e); }, 0x6F,
       "482916;50;0051A9D7BD12CD50A142E90B35000000;"},
      {"SetRegistratorParams", [](int& e) { return SetRegistratorParams(P, 9600, 5, 0x1A2, 0x0F, 255, 0, 7, e); }, 0x27,
       "482916;9600;5;01A2;0F;FF;00;07;"},
      {"GetRegistratorParams", [](int& e) { return GetRegistratorParams(P, e); }, 0x28, "482916;"},
      {"SetDecimalPoint", [](int& e) { return SetDecimalPoint(P, 2, e); }, 0x49, "482916;2;"},
      {"GetDecimalPoint", [](int& e) { return GetDecimalPoint(P, e); }, 0x4A, "482916;"},
      {"SetModePsw", [](int& e) { return SetModePsw(P, "111111", "222222", "333333", e); }, 0x2B,
       "482916;111111;222222;333333;"},
      {"ClearOpetratorPsw", [](int& e) { return ClearOpetratorPsw(P, 3, e); }, 0x2C, "482916;3;"},
      {"SetOperatorParams", [](int& e) { return SetOperatorParams(P, 1, "0001", W("Іваненко"), e); }, 0x2F,
       "482916;1;0001;" + W("Іваненко") + ";"},
      {"GetOperatorParams", [](int& e) { return GetOperatorParams(P, 1, e); }, 0x30, "482916;1;"},
      {"SetPaymentParams", [](int& e) { return SetPaymentParams(P, 2, 0x0B, W("Карта"), e); }, 0x2D,
       "482916;2;0B;" + W("Карта") + ";"},
      {"GetPaymentParams", [](int& e) { return GetPaymentParams(P, 2, e); }, 0x2E, "482916;2;"},
      {"Fiscalize", [](int& e) { return Fiscalize(P, "12345678901", "000000", e); }, 0x40,
       "482916;12345678901;000000;"},
      {"SetSerialNumber", [](int& e) { return SetSerialNumber(P, "12345678901", e); }, 0x41, "482916;12345678901;"},
      {"GetSerialNumber", [](int& e) { return GetSerialNumber(P, e); }, 0x42, "482916;"},
      {"SetFiscalNumber", [](int& e) { return SetFiscalNumber(P, "1234567890", e); }, 0x43, "482916;1234567890;"},
      {"GetFiscalNumber", [](int& e) { return GetFiscalNumber(P, e); }, 0x44, "482916;"},
      {"SetTaxIdNumber", [](int& e) { return SetTaxIdNumber(P, "123456789012", "1", e); }, 0x45,
       "482916;123456789012;1;"},
      {"GetTaxIdNumber", [](int& e) { return GetTaxIdNumber(P, e); }, 0x46, "482916;"},
      {"SetTaxes", [](int& e) { return SetTaxes(P, 0, 0x21, "20.00", W("ПДВ"), e); }, 0x47,
       "482916;0;21;20.00;" + W("ПДВ") + ";-1;"},
      {"SetTaxesExt", [](int& e) { return SetTaxesExt(P, 4, 1, "7.00", "B", 2, e); }, 0x47, "482916;4;01;7.00;B;2;"},
      {"GetTaxes", [](int& e) { return GetTaxes(P, 1, e); }, 0x48, "482916;1;"},
      {"OpenNonFiscalReceipt", [](int& e) { return OpenNonFiscalReceipt(P, e); }, 0x60, "482916;"},
      {"PrintText", [](int& e) { return PrintText(P, W("Текст"), e); }, 0x61, "482916;" + W("Текст") + ";"},
      {"CloseNonFiscalReceipt", [](int& e) { return CloseNonFiscalReceipt(P, e); }, 0x65, "482916;0;"},
      {"OpenFiscalReceipt", [](int& e) { return OpenFiscalReceipt(P, 1, 2, 0, e); }, 0x63, "482916;1;2;0;"},
      {"SellItemEx", [](int& e) { return SellItemEx(P, 4820000000001LL, 12.5, 1.0, e); }, 0x64,
       "482916;4820000000001;1.000;12.50;"},
      {"SellItemEx price 0", [](int& e) { return SellItemEx(P, 7, 0.0, 0.25, e); }, 0x64, "482916;7;0.250;0.00;"},
      {"Payment", [](int& e) { return Payment(P, 9, 100.0, e); }, 0x67, "482916;9;100.00;"},
      {"PrintTotal true", [](int& e) { return PrintTotal(P, true, e); }, 0x6D, "482916;1;"},
      {"PrintTotal false", [](int& e) { return PrintTotal(P, false, e); }, 0x6D, "482916;0;"},
      {"CloseFiscalReceipt", [](int& e) { return CloseFiscalReceipt(P, 1, e); }, 0x65, "482916;1;"},
      {"Annulment", [](int& e) { return Annulment(P, 2, e); }, 0x6B, "482916;2;"},
      {"DiscountItemPercent", [](int& e) { return DiscountItemPercent(P, -5.5, e); }, 0x68, "482916;-5.50;"},
      {"DiscountItemAbsolute", [](int& e) { return DiscountItemAbsolute(P, 3, e); }, 0x69, "482916;3.00;"},
      {"DiscountSubtotalPercent", [](int& e) { return DiscountSubtotalPercent(P, 10, e); }, 0x73, "482916;10.00;"},
      {"DiscountSubtotalAbsolute", [](int& e) { return DiscountSubtotalAbsolute(P, 0.5, e); }, 0x74, "482916;0.50;"},
      {"DiscountTaxGroupPercent", [](int& e) { return DiscountTaxGroupPercent(P, 2.25, 1, e); }, 0x75,
       "482916;2.25;1;"},
      {"DiscountTaxGroupAbsolute", [](int& e) { return DiscountTaxGroupAbsolute(P, -1, 3, e); }, 0x76,
       "482916;-1.00;3;"},
      {"CashInOut", [](int& e) { return CashInOut(P, 1, -250.75, e); }, 0x6E, "482916;1;-250.75;"},
      {"ServiceCashInOut", [](int& e) { return ServiceCashInOut(P, 0, 50, e); }, 0x77, "482916;0;50.00;"},
      {"DisplayText", [](int& e) { return DisplayText(P, W("Привіт"), 2, 0, e); }, 0x81,
       "482916;2;0;" + W("Привіт") + ";"},
      {"PrintReport", [](int& e) { return PrintReport(P, 0, e); }, 0xA1, "482916;0;"},
      {"FindReportByDate", [](int& e) { return FindReportByDate(P, "010124", "310124", 1, e); }, 0xA2,
       "482916;010124;310124;1;"},
      {"PrintPeriodicReport", [](int& e) { return PrintPeriodicReport(P, 1, 30, 1, e); }, 0xA3, "482916;1;30;1;"},
      {"PrintArticulReport", [](int& e) { return PrintArticulReport(P, 1, 9999999999999LL, e); }, 0xA4,
       "482916;1;9999999999999;"},
      {"PrintReceiptCopies", [](int& e) { return PrintReceiptCopies(P, 5, 7, e); }, 0xA5, "482916;5;7;"},
      {"PrintAdditionalReport", [](int& e) { return PrintAdditionalReport(P, 2, 8, 9, e); }, 0xA6, "482916;2;;;"},
      {"PrintServiceReport", [](int& e) { return PrintServiceReport(P, 3, e); }, 0x84, "482916;3;"},
      {"AddServiceTextLine", [](int& e) { return AddServiceTextLine(P, 0, W("Сервіс"), e); }, 0x34,
       "482916;0;" + W("Сервіс") + ";"},
      {"SetServiceInfo", [](int& e) { return SetServiceInfo(P, "654321", "010725", 90, 3, e); }, 0x35,
       "482916;654321;010725;90;03;"},
      {"GetServiceInfo", [](int& e) { return GetServiceInfo(P, e); }, 0x36, "482916;"},
      {"SetServiceCounters", [](int& e) { return SetServiceCounters(P, 1, 1000, e); }, 0x88, "482916;1;1000;"},
      {"GetServiceCounters", [](int& e) { return GetServiceCounters(P, 1, e); }, 0x89, "482916;1;"},
      {"SetDataSource 0", [](int& e) { return SetDataSource(P, 0, "", 17, e); }, 0xE7, "482916;0;;17;", true},
      {"SetDataSource 1", [](int& e) { return SetDataSource(P, 1, "x", 17, e); }, 0xE7, "482916;1;;17;", true},
      {"SetDataSource 2", [](int& e) { return SetDataSource(P, 2, "", 17, e); }, 0xE7, "482916;2;;;", true},
      {"SetDataSource 3", [](int& e) { return SetDataSource(P, 3, "", 17, e); }, 0xE7, "482916;3;;17;", true},
      {"SetDataSource 5", [](int& e) { return SetDataSource(P, 5, "", 17, e); }, 0xE7, "482916;5;;;", true},
      {"ReadDataFromBuf", [](int& e) { return ReadDataFromBuf(P, e); }, 0xE8, "482916;", true},
  };
  for (const SendCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::size_t before = line.written.size();
    Answer(std::string("R;") + c.name + ";");
    int err = 99;
    const ReplyRecord* record = c.call(err);
    ASSERT_EQ(line.written.size(), before + 1);
    EXPECT_EQ(CodeOf(line.written.back()), c.code);
    EXPECT_EQ(DataOf(line.written.back()), c.data);
    EXPECT_EQ(err, c.keepsErr ? 99 : 0);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record, LatestRecord());
    EXPECT_EQ(record->field(2), c.name);  // the record is this exchange's
  }
}

struct RefusalCase {
  const char* name;
  Call call;
  int err;
};

// A refused call writes its code, sends nothing and answers the previous command's record as it was.
TEST_F(CommandApi, RefusedArgumentsSendNothingAndKeepTheLatestRecord) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<RefusalCase> cases = {
      {"EAN 11 characters", [](int& e) { return PrintEAN13Code(P, 50, "40063813339", e); }, ERR_EAN13_LENGTH},
      {"EAN 13 characters", [](int& e) { return PrintEAN13Code(P, 50, "4006381333931", e); }, ERR_EAN13_LENGTH},
      {"EAN not digits", [](int& e) { return PrintEAN13Code(P, 50, "40063813339X", e); }, ERR_EAN13_NOT_DIGITS},
      {"logo line -1", [](int& e) { return SetUserLogo(P, -1, std::string(48, '0'), e); }, ERR_LOGO_LINE},
      {"logo 64 characters", [](int& e) { return SetUserLogo(P, 0, std::string(64, '0'), e); }, ERR_LOGO_DATA},
      {"logo 47 characters", [](int& e) { return SetUserLogo(P, 0, std::string(47, '0'), e); }, ERR_LOGO_DATA},
      {"header line 21", [](int& e) { return SetHeaderFooter(P, 21, "x", 0, e); }, ERR_HEADER_LINE},
      {"header line -1", [](int& e) { return SetHeaderFooter(P, -1, "x", 0, e); }, ERR_HEADER_LINE},
      {"read header line 21", [](int& e) { return GetHeaderFooter(P, 21, e); }, ERR_HEADER_LINE_READ},
      {"read header line -1", [](int& e) { return GetHeaderFooter(P, -1, e); }, ERR_HEADER_LINE_READ},
      {"quantity 0", [](int& e) { return SellItemEx(P, 1, 1.0, 0.0, e); }, ERR_QUANTITY},
      {"quantity -1", [](int& e) { return SellItemEx(P, 1, 1.0, -1.0, e); }, ERR_QUANTITY},
      {"quantity NaN", [&](int& e) { return SellItemEx(P, 1, 1.0, nan, e); }, ERR_QUANTITY},
      {"quantity 0 before price -1", [](int& e) { return SellItemEx(P, 1, -1.0, 0.0, e); }, ERR_QUANTITY},
      {"price -0.01", [](int& e) { return SellItemEx(P, 1, -0.01, 1.0, e); }, ERR_PRICE},
      {"price infinite", [&](int& e) { return SellItemEx(P, 1, inf, 1.0, e); }, ERR_PRICE},
      {"payment type 10", [](int& e) { return Payment(P, 10, 1.0, e); }, ERR_PAYMENT_TYPE},
      {"payment type -1", [](int& e) { return Payment(P, -1, 1.0, e); }, ERR_PAYMENT_TYPE},
      {"payment NaN", [&](int& e) { return Payment(P, 0, nan, e); }, ERR_AMOUNT},
      {"cash in infinite", [&](int& e) { return CashInOut(P, 0, inf, e); }, ERR_AMOUNT},
      {"service cash out -infinite", [&](int& e) { return ServiceCashInOut(P, 1, -inf, e); }, ERR_AMOUNT},
      {"item discount % NaN", [&](int& e) { return DiscountItemPercent(P, nan, e); }, ERR_AMOUNT},
      {"item discount NaN", [&](int& e) { return DiscountItemAbsolute(P, nan, e); }, ERR_AMOUNT},
      {"subtotal discount % infinite", [&](int& e) { return DiscountSubtotalPercent(P, inf, e); }, ERR_AMOUNT},
      {"subtotal discount NaN", [&](int& e) { return DiscountSubtotalAbsolute(P, nan, e); }, ERR_AMOUNT},
      {"tax group discount % NaN", [&](int& e) { return DiscountTaxGroupPercent(P, nan, 1, e); }, ERR_AMOUNT},
      {"tax group discount infinite", [&](int& e) { return DiscountTaxGroupAbsolute(P, inf, 1, e); }, ERR_AMOUNT},
      {"source type 4", [](int& e) { return SetDataSource(P, 4, "", 0, e); }, ERR_SOURCE_TYPE},
      {"source type 6", [](int& e) { return SetDataSource(P, 6, "", 0, e); }, ERR_SOURCE_TYPE},
      {"source type -1", [](int& e) { return SetDataSource(P, -1, "", 0, e); }, ERR_SOURCE_TYPE},
      {"data of 220 bytes", [](int& e) { return PrintText(P, std::string(212, 'a'), e); }, ERR_DATA_TOO_LONG},
      {"data too long, no err on send", [](int& e) { return GetDateTime(std::string(219, '1'), e); },
       ERR_DATA_TOO_LONG},
      {"long data from a short format", [](int& e) { return SetModePsw(P, P, P, std::string(200, '9'), e); },
       ERR_DATA_TOO_LONG},
  };
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.name);
    Answer("previous;");
    int sendErr = 99;
    const ReplyRecord* previous = GetDiagnosticInfo(P, sendErr);
    ASSERT_EQ(sendErr, 0);
    const ReplyRecord copy = *previous;
    const std::size_t written = line.written.size();

    int err = 0;
    const ReplyRecord* record = c.call(err);
    EXPECT_EQ(err, c.err);
    EXPECT_EQ(line.written.size(), written);
    EXPECT_EQ(record, previous);
    EXPECT_EQ(record->command, copy.command);
    EXPECT_EQ(record->sentFrame, copy.sentFrame);
    EXPECT_EQ(record->replyData, copy.replyData);
    EXPECT_EQ(record->errorText, copy.errorText);
  }
}

TEST_F(CommandApi, DataOfExactlyOneFrameIsSent) {
  Answer("");
  int err = 99;
  PrintText(P, std::string(211, 'a'), err);  // 7 + 211 + 1 = 219 bytes
  EXPECT_EQ(err, 0);
  ASSERT_EQ(line.written.size(), 1u);
  EXPECT_EQ(DataOf(line.written[0]).size(), kMaxFrameData);
}

TEST_F(CommandApi, RefusalBeforeAnyCommandAnswersTheLinksRecord) {
  int err = 0;
  const ReplyRecord* record = SetHeaderFooter(P, 21, "x", 0, err);
  EXPECT_EQ(err, ERR_HEADER_LINE);
  EXPECT_TRUE(line.written.empty());
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record, LatestRecord());
}

// The device's answer comes back in the record: its error field and, without a reply, bit 26.
TEST_F(CommandApi, DeviceErrorsAndSilenceAreReportedThroughTheRecordNotErr) {
  Answer("", "0503");
  int err = 99;
  const ReplyRecord* record = PrintReport(P, 0, err);
  EXPECT_EQ(err, 0);
  EXPECT_EQ(record->errorText, "0503");
  EXPECT_EQ(record->status & ST_NO_REPLY, 0u);

  err = 99;
  record = PrintReport(P, 1, err);  // no reply scripted
  EXPECT_EQ(err, 0);
  EXPECT_NE(record->status & ST_NO_REPLY, 0u);
}

}  // namespace
}  // namespace kovrix
