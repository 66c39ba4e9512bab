#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <QTextDocument>

#include "app/input.h"
#include "app/model_settings.h"
#include "app/screen_helpers.h"
#include "app/text_boxes.h"
#include "app/text_codec.h"
#include "support/ui_recorder.h"

namespace kovrix {
namespace {

QString ErrorOf(const std::function<void()>& convert) {
  try {
    convert();
  } catch (const InputError& e) {
    return e.message;
  }
  return {};
}

TEST(InputConversion, ValuesAndToolkitStyleErrors) {
  EXPECT_EQ(ToInt(" 42 "), 42);
  EXPECT_EQ(ToInt("-2147483648"), -2147483648LL);
  EXPECT_EQ(ToFloat("12.50"), 12.5);
  EXPECT_EQ(DateToDevice("07.05.14"), "070514");
  EXPECT_EQ(DateToDevice("1.2.2025"), "010225");
  EXPECT_EQ(DateFromDevice("261125"), QStringLiteral("26.11.25"));
  EXPECT_EQ(DateFromDevice("2611x5"), QStringLiteral("2611x5"));

  struct Case {
    std::function<void()> convert;
    const char* message;
  } cases[] = {
      {[] { ToInt("abc"); }, "'abc' is not a valid integer value"},
      {[] { ToInt(""); }, "'' is not a valid integer value"},
      {[] { ToInt("12a"); }, "'12a' is not a valid integer value"},
      {[] { ToInt("2147483648"); }, "'2147483648' is not a valid integer value"},
      {[] { ToInt("99999999999999999999999"); }, "'99999999999999999999999' is not a valid integer value"},
      {[] { ToFloat("1,5"); }, "'1,5' is not a valid floating point value"},
      {[] { ToFloat("inf"); }, "'inf' is not a valid floating point value"},
      {[] { DateToDevice("31.02.25"); }, "'31.02.25' is not a valid date"},
      {[] { DateToDevice("01.13"); }, "'01.13' is not a valid date"},
      {[] { DateToDevice("aa.bb.cc"); }, "'aa.bb.cc' is not a valid date"},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorOf(c.convert), QString::fromUtf8(c.message));
}

TEST(InputConversion, TheGuardShowsTheErrorAndEndsTheHandler) {
  test::UiRecorder ui;
  bool sent = false;
  Guarded(ui, [&] {
    ToInt("x1");
    sent = true;
  });
  EXPECT_FALSE(sent);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], QStringLiteral("'x1' is not a valid integer value"));
}

TEST(ModelSettings, PaperWidthChain) {
  struct Case {
    const char* model;
    bool list;
    const char* number;
    const char* listText;
    std::vector<std::string> entries;
  } cases[] = {
      {"Veltra KR-12", false, "32", "", {}},
      {"Veltra QX41 KR-12", false, "32", "", {}},  // the first three tests override one another
      {"QX41 KR-26", false, "40", "", {}},
      {"QX53 QX71 KR-25", false, "36", "", {}},  // QX53 ends the chain
      {"QX71 KR-25", true, "40", "42", {"42", "44"}},
      {"Veltra KR-25", true, "40", "42", {"42", "48"}},
      {"Veltra KR-23", true, "40", "40", {"40", "42"}},
      {"Veltra KR-21", true, "40", "40", {"40", "42"}},
      {"KR-23", false, "40", "", {}},  // the last test wants the full name
      {"Veltra KR-24", false, "40", "", {}},
  };
  for (const auto& c : cases) {
    PaperWidthSetting width;
    width.listShown = true;
    width.numberText = "99";
    ApplyPaperWidth(c.model, width);
    EXPECT_EQ(width.listShown, c.list) << c.model;
    EXPECT_EQ(width.numberText, c.number) << c.model;
    EXPECT_EQ(width.listText, c.listText) << c.model;
    EXPECT_EQ(width.listEntries, c.entries) << c.model;
  }
}

TEST(ModelSettings, OtherModelRulesAndProtocolVersion) {
  struct Case {
    const char* model;
    bool modem, smallControl, paper57, secondLine;
  } cases[] = {
      {"Veltra KR-12", true, true, false, false}, {"Veltra KR-23", false, false, true, false},
      {"Veltra KR-27", false, false, true, false}, {"QX41", true, false, false, false},
      {"RQM707", false, false, false, true},       {"veltra kr-12", false, false, false, false},
  };
  for (const auto& c : cases) {
    RegistratorParamsSetting params;
    params.smallFontReceiptShown = true;
    params.smallFontControlShown = false;  // as the connect step leaves it
    ApplyRegistratorParamsRules(c.model, params);
    EXPECT_EQ(HasModemModelRules(c.model), c.modem) << c.model;
    EXPECT_FALSE(params.smallFontReceiptShown) << c.model;
    EXPECT_EQ(params.smallFontControlShown, c.smallControl) << c.model;
    EXPECT_EQ(params.paper57Shown, c.paper57) << c.model;
    EXPECT_EQ(IsSecondModelLine(c.model), c.secondLine) << c.model;
  }
  const std::pair<int, const char*> versions[] = {{-1, "3.05"}, {0, "2.01"}, {1, "2.02"}, {2, "3.00"}, {3, "3.01"}, {7, "prev"}, {-2, "prev"}};
  for (const auto& [value, expected] : versions) EXPECT_EQ(ProtocolVersionFor(value, "3.05", "prev"), expected) << value;
  EXPECT_EQ(FiscalParametersScreenFor(0, false), FiscalParametersScreen::Standard);
  EXPECT_EQ(FiscalParametersScreenFor(2, true), FiscalParametersScreen::ExtendedTax);
  EXPECT_EQ(FiscalParametersScreenFor(1, false), FiscalParametersScreen::ExtendedTax);
  EXPECT_EQ(FiscalParametersScreenFor(2, false), FiscalParametersScreen::IniError);
  EXPECT_EQ(SpeedIndexOf(110), 0);
  EXPECT_EQ(SpeedIndexOf(115200), 10);
  EXPECT_EQ(SpeedIndexOf(14400), -1);
}

ReplyRecord DiagnosticReply(std::vector<std::string> fields) {
  ReplyRecord r;
  r.errorText = "0000";
  r.fields = std::move(fields);
  r.fieldCount = static_cast<int>(r.fields.size());
  return r;
}

TEST(ReplyHelpers, StatusTextModelLineAndPaymentTypes) {
  ReplyRecord r = DiagnosticReply({"Veltra KR-23", "3.01", "12.03.2014", "", "", "", "", "", "", "", "4"});
  r.statusBytes = {0x01, 0x0A, 0xFF, 0x00, 0x10, 0x7F};
  EXPECT_EQ(StatusBytesText(r), QStringLiteral("01 0A FF 00 10 7F"));
  EXPECT_EQ(ModelStatusLine(r, false), QStringLiteral("   Модель:Veltra KR-23,    Версия:3.01,     12.03.2014."));
  EXPECT_EQ(ModelStatusLine(r, true), QStringLiteral("   Модель:Veltra KR-23,    Версия:3.01,     12.03.2014. Сервис.реж."));
  r.statusBytes[0] = 0x02;
  EXPECT_EQ(ModelStatusLine(r, true), ModelStatusLine(r, false));

  const std::pair<const char*, int> counts[] = {{"4", 4}, {"0", 10}, {"", 10}, {"x3", 10}, {"7abc", 7}, {"-3", 10}, {"99999999999999", 2147483647}};
  for (const auto& [field, expected] : counts) {
    r.fields[10] = field;
    EXPECT_EQ(PaymentTypeCount(r), expected) << field;
  }
  EXPECT_EQ(PaymentTypeCount(DiagnosticReply({"short"})), 10) << "a reply of fewer than 11 fields";
}

TEST(ReplyHelpers, TheTwoChecksShowTheirMessages) {
  test::UiRecorder ui;
  ReplyRecord ok = DiagnosticReply({});
  ReplyRecord password = ok;
  password.errorText = "0006";
  ReplyRecord silent = ok;
  silent.status = ST_NO_REPLY;

  EXPECT_TRUE(CheckReply(ui, ok, "H:"));
  EXPECT_FALSE(CheckReply(ui, password, "Проверка состояния регистратора:"));
  EXPECT_FALSE(CheckReply(ui, silent, "H:"));
  EXPECT_TRUE(CheckTimeoutAndCode(ui, ok, "T", "E"));
  EXPECT_FALSE(CheckTimeoutAndCode(ui, password, "T", "E"));
  EXPECT_FALSE(CheckTimeoutAndCode(ui, silent, "T", "E"));
  EXPECT_EQ(ui.messages, (std::vector<QString>{QStringLiteral("Проверка состояния регистратора:\n  Неверный пароль доступа!"),
                                               QStringLiteral("H:\n  Таймаут устройства! Ошибка!"), "E", "T"}));

  // The error code box: no reply shows "----", never the code an earlier reply left in the record.
  EXPECT_EQ(ErrorCodeText(ok), "0000");
  EXPECT_EQ(ErrorCodeText(password), "0006");
  EXPECT_EQ(ErrorCodeText(silent), "----");
}

TEST(TextCodec, RoundTripAndUnmappableCharacters) {
  const std::string bytes = "\xcf\xf0\xee\xe2\xe5\xf0\xea\xe0 A1";  // "Проверка A1"
  EXPECT_EQ(FromCp1251(bytes), QStringLiteral("Проверка A1"));
  EXPECT_EQ(ToCp1251(QStringLiteral("Проверка A1")), bytes);
  EXPECT_EQ(ToCp1251(QStringLiteral("a\u03A9b\U0001F600c")), "a?b?c");
}

TEST(TextBoxes, TooltipHoldsTheWholeTextInShortLinesAndNeverAsMarkup) {
  struct Case {
    QString text;
    int width;
    QString tip;
  } cases[] = {
      {"", 80, ""},
      {"0006", 80, "0006"},
      {"abcdefgh", 3, "abc\ndef\ngh"},
      {"abcdef", 3, "abc\ndef"},
      {"<b>x</b>;1", 80, "<p style='white-space:pre'>&lt;b&gt;x&lt;/b&gt;;1</p>"},
      {"<i>a&b", 4, "<p style='white-space:pre'>&lt;i&gt;a<br>&amp;b</p>"},
  };
  for (const Case& c : cases) EXPECT_EQ(BoxToolTip(c.text, c.width), c.tip) << c.text.toStdString();

  QLineEdit box;
  box.resize(60, box.height());
  ShowBoxText(&box, QString(200, QLatin1Char('x')) + "<tail>");
  EXPECT_EQ(box.cursorPosition(), 0);
  EXPECT_EQ(box.text().size(), 206);
  EXPECT_TRUE(box.toolTip().endsWith("<tail>"));  // markup not at the start is shown as text anyway
  ShowBoxText(&box, "");
  EXPECT_EQ(box.toolTip(), "");

  // An editable data box: the tooltip follows what is typed over a text that was set.
  QLineEdit data;
  KeepToolTipWithText(&data);
  ShowBoxText(&data, "1;2;3");
  data.selectAll();
  QTest::keyClicks(&data, "77");
  EXPECT_EQ(data.toolTip(), "77");
}

}  // namespace
}  // namespace kovrix
