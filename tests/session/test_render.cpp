#include <gtest/gtest.h>

#include "session/render.h"
#include "driver/codepage.h"

namespace kovrix::session {
namespace {

TEST(JsonString, EscapesQuotesBackslashesAndControlCharacters) {
  EXPECT_EQ(JsonString("a\"b\\c"), R"("a\"b\\c")");
  EXPECT_EQ(JsonString("\n\r\t\b\f"), R"("\n\r\t\b\f")");
  EXPECT_EQ(JsonString(std::string("\x01\x1F\x7F", 3)), "\"\\u0001\\u001F\x7F\"");
  EXPECT_EQ(JsonString(std::string("a\0b", 3)), R"("a\u0000b")");
  EXPECT_EQ(JsonString("Чек"), "\"Чек\"");
}

ReplyRecord SampleRecord() {
  ReplyRecord r;
  r.command = 0x23;
  r.commandName = Utf8ToCp1251("Команда 23h: Чтение заголовка и окончания документа");
  r.errorText = "0000";
  r.replyData = Utf8ToCp1251("Магазин \"Ромашка\";;1;");
  r.fields = {Utf8ToCp1251("Магазин \"Ромашка\""), "", "1"};
  r.fieldCount = 3;
  r.statusBytes = {0, 0, 0x08, 0, 0x11, 0x10};
  r.status = ST_RECEIPT_CURRENT | ST_SERIAL_SET | ST_ID_DEV_SET | ST_SHIFT_OPEN;
  r.sentFrame = std::string("\x01\x2F\x21\x23", 4) + "482916;1;" + std::string("\x05", 1) + "0>35\x03";
  r.rawReply = std::string("\x01\x16\xFF", 3);
  return r;
}

TEST(RenderJson, OneObjectWithEveryKeyInOrder) {
  EXPECT_EQ(RenderJson(SampleRecord()),
            R"({"command":"23","error":"0000","ok":true,"message":"",)"
            R"("data":"Магазин \"Ромашка\";;1;","fields":["Магазин \"Ромашка\"","","1"],)"
            R"("statusBytes":[0,0,8,0,17,16],"status":8586240,"noReply":false,"nak":false,"badChecksum":false,)"
            R"("sentFrame":"012F21233438323931363B313B05303E333503","rawReply":"0116FF"})");
}

TEST(RenderJson, DeviceErrorAndLinkOutcomes) {
  ReplyRecord r = SampleRecord();
  r.errorText = "0001";
  const std::string error = RenderJson(r);
  EXPECT_NE(
      error.find(R"("error":"0001","ok":false,"message":"Ошибка оборудования!\n Неопределенная ошибка оборудования!")"),
      std::string::npos)
      << error;

  r.status = ST_NO_REPLY;
  const std::string silent = RenderJson(r);
  EXPECT_NE(silent.find(R"("ok":false,"message":"Таймаут устройства! Ошибка!")"), std::string::npos) << silent;
  EXPECT_NE(silent.find(R"("status":67108864,"noReply":true,"nak":false,"badChecksum":false)"), std::string::npos);

  r.status = ST_NAK | ST_BAD_CHECKSUM;
  EXPECT_NE(RenderJson(r).find(R"("noReply":false,"nak":true,"badChecksum":true)"), std::string::npos);
  EXPECT_EQ(RenderRefusalJson(-121), R"({"err":-121})");
}

TEST(RenderText, ReadableLinesInUtf8) {
  EXPECT_EQ(RenderText(SampleRecord()),
            "command: 23 (Команда 23h: Чтение заголовка и окончания документа)\n"
            "error: 0000 OK\n"
            "data: Магазин \"Ромашка\";;1;\n"
            "field 1: Магазин \"Ромашка\"\n"
            "field 2: \n"
            "field 3: 1\n"
            "status bytes: 00 00 08 00 11 10\n"
            "status: 0x00830400 ST_RECEIPT_CURRENT ST_SERIAL_SET ST_ID_DEV_SET ST_SHIFT_OPEN\n");
  ReplyRecord r = SampleRecord();
  r.errorText = "00C0";
  EXPECT_NE(RenderText(r).find("error: 00C0 (no message for this code)\n"), std::string::npos);
}

}  // namespace
}  // namespace kovrix::session
