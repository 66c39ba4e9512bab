// The English API: an answer that carries the registrator's own (Russian) text for an error code
// or a time-out says it in English, the device's text kept in "deviceMessage".
#include "driver/codepage.h"
#include "driver/error_text.h"
#include "server/english_errors.h"
#include "server_fixture.h"

namespace kovrix::server {
namespace {

using namespace testing;
using nlohmann::json;

std::string RussianText(const std::string& code) {
  ReplyRecord record;
  record.errorText = code;
  std::string text;
  GetErrorText(record, text);
  return Cp1251ToUtf8(text);
}

std::string Code(int detail, int group) {
  char code[8];
  std::snprintf(code, sizeof code, "%02X%02X", detail, group);
  return code;
}

// Every code the device's table knows has an English text, and the detail lists are as long as
// the device's: a detail past the Russian list is unknown in English too.
TEST(EnglishErrors, EveryKnownCodeHasAnEnglishText) {
  for (int group = 0; group < 256; ++group) {
    for (int detail = 0; detail < 32; ++detail) {
      const std::string code = Code(detail, group);
      const std::string russian = RussianText(code);
      const std::string english = EnglishErrorText(code);
      if (russian.empty()) {
        EXPECT_TRUE(group == 0 && detail == 0 ? english.empty() : english == "error code " + code) << code;
        continue;
      }
      EXPECT_FALSE(english.empty()) << code;
      EXPECT_EQ(english.rfind("error code", 0), std::string::npos) << code << " " << russian;
      EXPECT_EQ(russian.find("Неизвестная ошибка") != std::string::npos,
                english.find("unknown error") != std::string::npos)
          << code << ": " << russian << " / " << english;
    }
  }
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"090B", "sales error: this payment type is not allowed for this receipt"},
      {"0503", "wrong format of field 5"},
      {"0C04", "value out of range in field 12"},
      {"0006", "wrong access password"},
      {"0002", "no command with this code"},
      {"0000", ""},
      {"0077", "error code 0077"},
      {"zz0B", "error code zz0B"},
      {"0B", "error code 0B"},
  };
  for (const auto& [code, text] : cases) EXPECT_EQ(EnglishErrorText(code), text) << code;
}

TEST(EnglishErrors, OnlyTheDevicesOwnTextMovesToDeviceMessage) {
  const std::string refused = RussianText("090B");
  const std::string timeout = "Таймаут устройства! Ошибка!";
  struct Case {
    nlohmann::ordered_json body;
    nlohmann::ordered_json english;
  };
  const std::vector<Case> cases = {
      {{{"error", "090B"}, {"message", refused}, {"step", "payment 1"}},
       {{"error", "090B"}, {"message", "sales error: this payment type is not allowed for this receipt"},
        {"step", "payment 1"}, {"deviceMessage", refused}}},
      {{{"message", timeout}, {"step", "diagnostic information"}},
       {{"message", "the registrator did not answer in time"}, {"step", "diagnostic information"},
        {"deviceMessage", timeout}}},
      // The service's own texts, and a text that is not the one of its code, stay as they are.
      {{{"message", "no receipt is open on the registrator"}}, {{"message", "no receipt is open on the registrator"}}},
      {{{"error", "0006"}, {"message", refused}}, {{"error", "0006"}, {"message", refused}}},
      {{{"error", "0000"}, {"message", ""}}, {{"error", "0000"}, {"message", ""}}},
  };
  for (Case c : cases) {
    EnglishDeviceMessage(c.body);
    EXPECT_EQ(c.body, c.english);
  }
}

class EnglishAnswers : public ServerFixture {};

TEST_F(EnglishAnswers, ARefusalOrALostReplyIsToldInEnglish) {
  auto post = [this](const std::string& path, const std::string& body) {
    const auto answers = Exchange(port(), PostText(path, body));
    return answers.empty() ? json() : json::parse(answers[0].body, nullptr, false);
  };
  sim.faults().FailCommand(0x67, sim::err::kPayTypeDisabled);
  const json receipt = post("/v1/receipts", kTwoItems);
  EXPECT_EQ(receipt.value("message", ""), "sales error: this payment type is not allowed for this receipt");
  EXPECT_EQ(receipt.value("deviceMessage", ""), RussianText("090B"));
  EXPECT_EQ(receipt.value("annulled", false), true);

  sim.faults().Clear();
  sim.faults().Queue(sim::LineFault::Drop);
  const json raw = post("/v1/commands", R"({"command":"21","data":"482916;"})");
  EXPECT_EQ(raw.value("message", ""), "the registrator did not answer in time");
  EXPECT_EQ(raw.value("deviceMessage", ""), "Таймаут устройства! Ошибка!");
  EXPECT_EQ(raw.value("noReply", false), true);
}

}  // namespace
}  // namespace kovrix::server
