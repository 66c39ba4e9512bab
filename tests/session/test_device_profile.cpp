// The device profile against simulated registrators over pseudo-terminals: read, applied to a
// factory registrator and read back equal; every single changed field found and written alone;
// fields a fiscalised registrator or an open shift refuses named before anything is written; a
// reply lost in the middle of an apply; bad input refused before anything is sent; every problem
// of the check told in Russian for the window as well as in English.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "driver/codepage.h"
#include "driver/driver.h"
#include "session/device_profile.h"
#include "sim/device_server.h"

namespace kovrix::session {
namespace {

using nlohmann::json;

// Commands that change a setting of the registrator.
const std::set<int> kWrites{0x22, 0x27, 0x29, 0x2B, 0x31, 0x2D, 0x2F, 0x34, 0x35, 0x43, 0x45, 0x47, 0x49, 0x4B, 0xFB};

class DeviceProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(a.start());
    ASSERT_TRUE(b.start());
    UseSerialLine(MakeSystemSerialLine());
    TheLink().SetTiming(LinkTiming{5, 20, 2000, 3000});
    TheLink().SetSleeper([](int) {});
    SetRepeatCount(1);
    Connect(a);
  }
  void TearDown() override {
    CloseComPort();
    a.stop();
    b.stop();
  }
  void Connect(sim::DeviceServer& server) {
    CloseComPort();
    ASSERT_EQ(OpenComPort(server.slavePath(), 115200), 0);
  }
  static json Read(std::vector<std::string> areas = {}) {
    ReadOptions options;
    options.areas = std::move(areas);
    const ReadResult r = ReadProfile(options);
    EXPECT_TRUE(r.ok()) << (r.failure ? r.failure->message : "");
    return json::parse(r.profile.dump());
  }
  static ApplyResult Apply(const json& profile, bool skipRefused = false) {
    ApplyOptions options;
    options.skipRefused = skipRefused;
    return ApplyProfile(profile, options);
  }
  // The write commands the registrator executed, in order.
  static std::vector<int> Writes(sim::DeviceServer& server) {
    std::vector<int> out;
    for (const sim::JournalEntry& e : server.journal().Entries()) {
      if (kWrites.count(e.command) && e.outcome == sim::Outcome::Executed) out.push_back(e.command);
    }
    return out;
  }
  static std::vector<std::string> Paths(const ApplyResult& r, FieldOutcome outcome) {
    std::vector<std::string> out;
    for (const FieldResult& f : r.fields) {
      if (f.outcome == outcome) out.push_back(f.path);
    }
    return out;
  }

  sim::DeviceServer a;
  sim::DeviceServer b;
};

// A registrator set up by hand in every area the profile holds.
void Customise(sim::DeviceState& s) {
  using sim::Cp;
  s.params.contrast = 3;
  s.params.documentFlags = 0x8201;
  s.params.printFlags = 0x41;
  s.params.drawerOpenPulse = 0x1A;
  s.params.nameLineChars = 24;
  s.decimalPoint = 1;
  s.taxes[1] = sim::TaxRate{2, 700, Cp("ПДВ 7%"), 0};
  s.taxes[4] = sim::TaxRate{3, 0, Cp("Без ПДВ"), -1};
  s.fiscalNumber = "1234567890";
  s.taxId = "123456789012";
  s.taxNumber = "1234567890123";
  s.paymentTypes[1] = sim::PaymentType{0x81, Cp("ПЛАТІЖНА КАРТКА")};
  s.paymentTypes[5] = sim::PaymentType{0x01, Cp("ПОДАРУНОК")};
  s.operators[2].name = Cp("Олена Петренко");
  s.header[0] = {Cp("ТОВ \"ЯБЛУКО\""), 1};
  s.header[9] = {Cp("Каса 3"), 0};
  s.header[12] = {Cp("Гарного дня!"), 0};
  s.network.dhcp = false;
  s.network.address = 0x0A000001;
  s.network.port = 8080;
  s.network.retry = 45;
  s.idDev = -2;
  s.reminder.date = *sim::ParseDeviceDate("010727");
  s.reminder.days = 14;
  s.reminder.mask = 0x12;
}

TEST_F(DeviceProfileTest, AProfileReadAndAppliedToAFactoryRegistratorReadsBackEqualAndASecondApplyWritesNothing) {
  a.withDevice([](sim::Registrator& r) { Customise(r.state()); return 0; });
  json read = Read();
  EXPECT_TRUE(CheckProfile(read).empty()) << ProblemsJson(CheckProfile(read)).dump();
  EXPECT_FALSE(read.contains("passwords"));  // never read, never invented
  EXPECT_EQ(read["operators"][2]["name"], "Олена Петренко");
  EXPECT_EQ(read["communication"]["address"], "10.0.0.1");
  EXPECT_EQ(read["taxes"][1], (json{{"type", "added"}, {"rate", "7.00"}, {"name", "ПДВ 7%"}, {"linked", "А"}}));

  // The renamed cashier can only be written with a password.
  json profile = read;
  profile["passwords"] = {{"operators", {{"3", "111111"}}}};
  Connect(b);
  const ApplyResult first = Apply(profile);
  ASSERT_EQ(first.status, ApplyResult::Status::Done) << ApplyResultJson(first).dump();
  EXPECT_EQ(first.written(), static_cast<int>(first.fields.size()));
  EXPECT_GT(first.written(), 20);

  json back = Read();
  back.erase("source");
  read.erase("source");
  EXPECT_EQ(back, read);
  EXPECT_EQ(b.withDevice([](sim::Registrator& r) { return r.state().operators[2].password; }), "111111");

  b.journal().Clear();
  const ApplyResult second = Apply(profile);
  EXPECT_EQ(second.status, ApplyResult::Status::Done);
  EXPECT_TRUE(second.fields.empty()) << ApplyResultJson(second).dump();
  EXPECT_TRUE(Writes(b).empty());
}

TEST_F(DeviceProfileTest, EachSingleChangedFieldIsFoundAndWrittenAloneByItsAreasCommand) {
  struct Case {
    const char* path;
    json value;
    int command;
  };
  const std::vector<Case> cases = {
      {"/registratorParameters/contrast", "dark", 0x27},
      {"/registratorParameters/document/cutterOff", true, 0x27},
      {"/registratorParameters/print/paper57mm", true, 0x27},
      {"/registratorParameters/drawerClosePulse", "0F", 0x27},
      {"/registratorParameters/nameLineChars", 24, 0x27},
      {"/decimalPoint", 3, 0x49},
      {"/taxes/2/type", "added", 0x47},
      {"/taxes/0/rate", "7.00", 0x47},
      {"/taxes/1/name", "ПДВ 7", 0x47},
      {"/taxes/3/linked", "А", 0x47},
      {"/fiscal/fiscalNumber", "1234567890", 0x43},
      {"/fiscal/taxNumber", "123456789012", 0x45},
      {"/paymentTypes/1/name", "КАРТКА VISA", 0x2D},
      {"/paymentTypes/4/refund", true, 0x2D},
      {"/operators/2/name", "Олена", 0x2F},
      {"/header/lines/3/text", "Дякуємо, що ви з нами", 0x22},
      {"/header/advertising/1/width", "double", 0x22},
      {"/communication/dhcp", false, 0xFB},
      {"/communication/gateway", "10.0.0.254", 0xFB},
      {"/communication/period", 1440, 0xFB},
      {"/idDev", 4660, 0x4B},
      {"/serviceReminder/date", "15.07.26", 0x35},
      {"/serviceReminder/events/sound", true, 0x35},
      {"/serviceReminder/daysAhead", 7, 0x35},
  };
  json factory = Read();
  factory["passwords"] = {{"operators", {{"3", "482916"}}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    json profile = factory;
    profile[json::json_pointer(c.path)] = c.value;

    const json device = Read();
    const auto rows = DiffProfiles(device, profile);
    std::vector<std::string> different;
    for (const DiffRow& r : rows) {
      if (r.state == DiffRow::State::Different) different.push_back(r.path);
    }
    EXPECT_EQ(different, std::vector<std::string>{c.path});

    a.journal().Clear();
    const ApplyResult r = Apply(profile);
    ASSERT_EQ(r.status, ApplyResult::Status::Done) << ApplyResultJson(r).dump();
    EXPECT_EQ(Paths(r, FieldOutcome::Written), std::vector<std::string>{c.path});
    EXPECT_EQ(Writes(a), std::vector<int>{c.command});
    EXPECT_EQ(Read()[json::json_pointer(c.path)], c.value);

    // Back to the factory settings for the next case.
    ASSERT_EQ(Apply(factory).status, ApplyResult::Status::Done);
    ASSERT_FALSE(AnyDifferent(DiffProfiles(Read(), factory)));
  }
}

TEST_F(DeviceProfileTest, FieldsTheRegistratorRefusesInItsStateAreNamedBeforeAnythingIsWritten) {
  struct Case {
    const char* name;
    void (*state)(sim::DeviceState&);
    std::vector<std::string> refused;
    std::vector<std::string> written;
    const char* reason;         // of the first refused field
    const char* russianReason;  // the same, as the window shows it
  };
  const std::vector<Case> cases = {
      {"fiscalised", [](sim::DeviceState& s) { s.fiscalised = true; },
       {"/fiscal/fiscalNumber", "/fiscal/taxId"},
       {"/taxes/0/rate", "/header/lines/2/text"},
       "the registrator is fiscalised: its fiscal numbers are fixed",
       "регистратор фискализирован: его фискальные номера изменить нельзя"},
      {"shift open", [](sim::DeviceState& s) { s.shift.open = true; },
       {"/taxes/0/rate", "/fiscal/fiscalNumber", "/fiscal/taxId"},
       {"/header/lines/2/text"},
       "a shift is open: close it with a Z report first",
       "открыта смена: сначала закройте её Z-отчетом"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    a.withDevice([](sim::Registrator& r) { r.state() = sim::FactoryState(); return 0; });
    json profile = Read({"taxes", "fiscal", "header"});
    a.withDevice([&](sim::Registrator& r) { c.state(r.state()); return 0; });
    profile["/taxes/0/rate"_json_pointer] = "7.00";
    profile["/fiscal/fiscalNumber"_json_pointer] = "1234567890";
    profile["/fiscal/taxId"_json_pointer] = "123456789012";
    profile["/header/lines/2/text"_json_pointer] = "Каса 1";

    a.journal().Clear();
    const ApplyResult refused = Apply(profile);
    EXPECT_EQ(refused.status, ApplyResult::Status::RefusedUpFront);
    EXPECT_EQ(Paths(refused, FieldOutcome::Refused), c.refused);
    for (const FieldResult& f : refused.fields) EXPECT_TRUE(f.outcome != FieldOutcome::Refused || f.upFront);
    EXPECT_TRUE(Writes(a).empty());
    const auto first = std::find_if(refused.fields.begin(), refused.fields.end(),
                                    [](const FieldResult& f) { return f.outcome == FieldOutcome::Refused; });
    ASSERT_NE(first, refused.fields.end());
    EXPECT_EQ(first->reason, c.reason);
    EXPECT_EQ(first->russianReason, c.russianReason);

    const ApplyResult skipped = Apply(profile, /*skipRefused*/ true);
    EXPECT_EQ(skipped.status, ApplyResult::Status::Done) << ApplyResultJson(skipped).dump();
    EXPECT_EQ(Paths(skipped, FieldOutcome::Refused), c.refused);
    EXPECT_EQ(Paths(skipped, FieldOutcome::Written), c.written);
  }
}

TEST_F(DeviceProfileTest, AReplyLostInTheMiddleLeavesThatFieldUnknownAndASecondApplyFinishes) {
  json profile = Read({"header", "idDev"});
  for (int line : {1, 4, 7}) profile["header"]["lines"][line]["text"] = "Рядок " + std::to_string(line);
  profile["idDev"] = 77;
  // The second header line is written by the registrator, and its reply never comes.
  a.faults().Aim(0x22, sim::LineFault::Mute, 2);
  a.journal().Clear();

  const ApplyResult first = Apply(profile);
  EXPECT_EQ(first.status, ApplyResult::Status::Lost);
  EXPECT_EQ(Paths(first, FieldOutcome::Written), std::vector<std::string>{"/header/lines/1/text"});
  EXPECT_EQ(Paths(first, FieldOutcome::Unknown), std::vector<std::string>{"/header/lines/4/text"});
  EXPECT_EQ(Paths(first, FieldOutcome::NotTried), (std::vector<std::string>{"/header/lines/7/text", "/idDev"}));
  // Told in English for kovrix-cli and the service, in Russian for the window.
  ASSERT_TRUE(first.failure);
  EXPECT_EQ(first.failure->step, "writing the header line 4");
  EXPECT_EQ(first.failure->message, "no reply: what the registrator did is unknown");
  EXPECT_EQ(first.failure->russianStep, "запись строки заголовка 4");
  EXPECT_EQ(first.failure->russianMessage, "нет ответа: что сделал регистратор, неизвестно");
  EXPECT_EQ(first.fields[1].russianReason, first.failure->russianMessage);
  // The journal: the written line and the one whose reply was lost ran; nothing after them.
  EXPECT_EQ(Writes(a), (std::vector<int>{0x22, 0x22}));

  a.journal().Clear();
  const ApplyResult second = Apply(profile);
  EXPECT_EQ(second.status, ApplyResult::Status::Done);
  EXPECT_EQ(Paths(second, FieldOutcome::Written), (std::vector<std::string>{"/header/lines/7/text", "/idDev"}));
  EXPECT_EQ(Writes(a), (std::vector<int>{0x22, 0x4B}));
  EXPECT_FALSE(AnyDifferent(DiffProfiles(Read({"header", "idDev"}), profile)));
}

TEST_F(DeviceProfileTest, BadInputIsRefusedWholeBeforeAnythingIsSentNamingEachBadField) {
  struct Case {
    const char* patch;  // merged into a good profile
    std::vector<std::string> paths;
  };
  const std::vector<Case> cases = {
      {R"({"format": 2})", {"/format"}},
      {R"({"format": "1"})", {"/format"}},
      {R"({"decimalPoint": "2"})", {"/decimalPoint"}},
      {R"({"decimalPoint": 4, "idDev": 2147483648})", {"/decimalPoint", "/idDev"}},
      {R"({"taxes": [{"rate": "7.5"}, {"name": "ПДВ довжиною двадцять"}]})", {"/taxes/0/rate", "/taxes/1/name"}},
      {R"({"taxes": [{"linked": "А"}]})", {"/taxes/0/linked"}},
      {R"({"header": {"lines": [{"text": "Кава; чай"}, {"text": "中文"}, {"text": "a\nb"}]}})",
       {"/header/lines/0/text", "/header/lines/1/text", "/header/lines/2/text"}},
      {R"({"header": {"advertising": [{"text": "1234567890123456789012", "width": "double"}]}})",
       {"/header/advertising/0/text"}},
      {R"({"operators": [{"name": 5}, {"nick": "x"}]})", {"/operators/0/name", "/operators/1/nick"}},
      {R"({"paymentTypes": [{"sale": "yes"}]})", {"/paymentTypes/0/sale"}},
      {R"({"communication": {"address": "10.0.0.256", "period": 1441, "port": 0}})",
       {"/communication/address", "/communication/port", "/communication/period"}},
      {R"({"fiscal": {"taxId": "12345", "fiscalNumber": "12345abcde"}})", {"/fiscal/fiscalNumber", "/fiscal/taxId"}},
      {R"({"serviceReminder": {"date": "31.02.26", "events": {"vibrate": true}}})",
       {"/serviceReminder/date", "/serviceReminder/events/vibrate"}},
      {R"({"passwords": {"programming": "1234", "operators": {"17": "1"}}})", {"/passwords", "/passwords/operators/17"}},
      {R"({"registratorParameters": {"drawerOpenPulse": "1a", "nameLineChars": 100}, "logo": {}})",
       {"/logo", "/registratorParameters/drawerOpenPulse", "/registratorParameters/nameLineChars"}},
      {R"({"logo": {"width": 16, "height": 2, "bitmap": "F00F"}, "colour": 1})", {"/colour", "/logo/bitmap"}},
  };
  const json good = Read({"header", "taxes"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.patch);
    json profile = good;
    profile.merge_patch(json::parse(c.patch));
    a.journal().Clear();
    const ApplyResult r = Apply(profile);
    EXPECT_EQ(r.status, ApplyResult::Status::BadInput);
    std::vector<std::string> paths;
    for (const ProfileProblem& p : r.problems) paths.push_back(p.path);
    std::sort(paths.begin(), paths.end());
    std::vector<std::string> expected = c.paths;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(paths, expected) << ProblemsJson(r.problems).dump();
    EXPECT_EQ(a.journal().Size(), 0u);
  }
}

TEST_F(DeviceProfileTest, WhatCannotBeReadBackIsWrittenOnlyWhenAskedAndThePasswordsLast) {
  json profile = Read({"header", "serviceReminder"});
  profile["header"]["lines"][5]["text"] = "Каса 5";
  profile["serviceReminder"]["message"] = {"Час на повірку", "Телефон 0 800 000 000"};
  profile["passwords"] = {{"programming", "111111"}, {"reports", "222222"}, {"admin", "333333"}, {"reminder", "654321"}};
  profile["logo"] = {{"width", 16}, {"height", 2}, {"bitmap", "F00F0ff0"}};

  // Not asked: only the readable field is written, and the passwords are not echoed.
  a.journal().Clear();
  ApplyOptions options;
  ApplyResult r = ApplyProfile(profile, options);
  EXPECT_EQ(Paths(r, FieldOutcome::Written), std::vector<std::string>{"/header/lines/5/text"});
  EXPECT_EQ(Writes(a), std::vector<int>{0x22});

  options.writeUnreadable = true;
  options.access.reminderPassword = "";  // a factory registrator's
  a.journal().Clear();
  r = ApplyProfile(profile, options);
  ASSERT_EQ(r.status, ApplyResult::Status::Done) << ApplyResultJson(r).dump();
  EXPECT_EQ(Paths(r, FieldOutcome::Written),
            (std::vector<std::string>{"/serviceReminder/message", "/passwords/reminder", "/logo", "/passwords/programming",
                                      "/passwords/reports", "/passwords/admin"}));
  EXPECT_EQ(Writes(a), (std::vector<int>{0x34, 0x34, 0x35, 0x29, 0x31, 0x2B}));
  EXPECT_EQ(ApplyResultJson(r).dump().find("333333"), std::string::npos);
  const auto s = a.withDevice([](sim::Registrator& reg) { return reg.state(); });
  EXPECT_EQ(s.adminPassword, "333333");
  EXPECT_EQ(s.programmingPassword, "111111");
  EXPECT_EQ(s.reminder.password, "654321");
  EXPECT_EQ(s.logo, std::string("\xF0\x0F\x0F\xF0") + std::string(20, '\0'));
  EXPECT_EQ(std::make_pair(s.logoWidth, s.logoHeight), std::make_pair(16, 2));
  EXPECT_EQ(s.reminder.message, (std::vector<std::string>{Utf8ToCp1251("Час на повірку"), Utf8ToCp1251("Телефон 0 800 000 000")}));
}

// Each problem the check can make, once. The window shows the Russian text, kovrix-cli and the
// service the English one, which stays as it was.
TEST(ProfileCheckTest, EveryProblemOfTheCheckIsToldInRussianAsWellAsInEnglish) {
  struct Case {
    const char* document;
    const char* path;
  };
  const std::vector<Case> cases = {
      {R"([])", ""},
      {R"({})", "/format"},
      {R"({"format": 2})", "/format"},
      {R"({"format": 1, "colour": 1})", "/colour"},
      {R"({"format": 1, "source": {"model": 5}})", "/source/model"},
      {R"({"format": 1, "fiscal": 5})", "/fiscal"},
      {R"({"format": 1, "fiscal": {"serial": "1"}})", "/fiscal/serial"},
      {R"({"format": 1, "fiscal": {"taxId": 12}})", "/fiscal/taxId"},
      {R"({"format": 1, "fiscal": {"taxNumber": "12345"}})", "/fiscal/taxNumber"},
      {R"({"format": 1, "taxes": {}})", "/taxes"},
      {R"({"format": 1, "taxes": [{}, {}, {}, {}, {}, {}]})", "/taxes"},
      {R"({"format": 1, "taxes": [{"rate": "7.5"}]})", "/taxes/0/rate"},
      {R"({"format": 1, "taxes": [{"linked": "Е"}]})", "/taxes/0/linked"},
      {R"({"format": 1, "taxes": [{"linked": "А"}]})", "/taxes/0/linked"},
      {R"({"format": 1, "decimalPoint": "2"})", "/decimalPoint"},
      {R"({"format": 1, "decimalPoint": 4})", "/decimalPoint"},
      {R"({"format": 1, "registratorParameters": {"contrast": "max"}})", "/registratorParameters/contrast"},
      {R"({"format": 1, "registratorParameters": {"print": 5}})", "/registratorParameters/print"},
      {R"({"format": 1, "registratorParameters": {"drawerOpenPulse": "1a"}})", "/registratorParameters/drawerOpenPulse"},
      {R"({"format": 1, "communication": {"dhcp": 1}})", "/communication/dhcp"},
      {R"({"format": 1, "communication": {"address": "10.0.0.256"}})", "/communication/address"},
      {R"({"format": 1, "operators": [{"name": 5}]})", "/operators/0/name"},
      {R"({"format": 1, "operators": [{"name": "中文"}]})", "/operators/0/name"},
      {R"({"format": 1, "operators": [{"name": "Кава; чай"}]})", "/operators/0/name"},
      {R"({"format": 1, "operators": [{"name": "a\tb"}]})", "/operators/0/name"},
      {R"({"format": 1, "operators": [{"name": "Олена Петренко-Коваленко"}]})", "/operators/0/name"},
      {R"({"format": 1, "serviceReminder": {"date": "31.02.26"}})", "/serviceReminder/date"},
      {R"({"format": 1, "serviceReminder": {"events": {"vibrate": true}}})", "/serviceReminder/events/vibrate"},
      {R"({"format": 1, "logo": {}})", "/logo"},
      {R"({"format": 1, "logo": {"width": 8, "height": 1, "bitmap": "XY"}})", "/logo/bitmap"},
      {R"({"format": 1, "logo": {"width": 16, "height": 2, "bitmap": "F00F"}})", "/logo/bitmap"},
      {R"({"format": 1, "passwords": {"programming": "1"}})", "/passwords"},
      {R"({"format": 1, "passwords": {"programming": "", "reports": "1", "admin": "2"}})", "/passwords/programming"},
      {R"({"format": 1, "passwords": {"reminder": 1}})", "/passwords/reminder"},
      {R"({"format": 1, "passwords": {"reminder": "1234567"}})", "/passwords/reminder"},
      {R"({"format": 1, "passwords": {"operators": 5}})", "/passwords/operators"},
      {R"({"format": 1, "passwords": {"operators": {"17": "1"}}})", "/passwords/operators/17"},
  };
  // Cyrillic letters are two bytes in UTF-8, led by 0xD0 or 0xD1.
  const auto cyrillic = [](const std::string& t) {
    return std::any_of(t.begin(), t.end(), [](char c) { return c == '\xD0' || c == '\xD1'; });
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.document);
    const std::vector<ProfileProblem> problems = CheckProfile(json::parse(c.document));
    EXPECT_TRUE(std::any_of(problems.begin(), problems.end(), [&](const ProfileProblem& p) { return p.path == c.path; }))
        << ProblemsJson(problems).dump();
    for (const ProfileProblem& p : problems) {
      EXPECT_FALSE(p.message.empty()) << p.path;
      EXPECT_TRUE(cyrillic(p.russian)) << p.path << ": " << p.message << " / " << p.russian;
    }
  }

  // The English answers carry no Russian text.
  const auto problems =
      CheckProfile(json::parse(R"({"format": 1, "decimalPoint": 4, "header": {"lines": [{"text": "Кава; чай"}]}})"));
  EXPECT_EQ(ProblemsJson(problems).dump(),
            R"([{"path":"/decimalPoint","message":"must be 0..3"},)"
            R"({"path":"/header/lines/0/text","message":"must not contain \";\""}])");
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_EQ(problems[0].russian, "должно быть от 0 до 3");
  EXPECT_EQ(problems[1].russian, "не должно содержать \";\"");
}

}  // namespace
}  // namespace kovrix::session
