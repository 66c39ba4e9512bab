#include "screens/programming/fiscal_parameters.h"

#include <QTemporaryDir>
#include <functional>

#include "ini/private_profile.h"
#include "support/menu_screens.h"
#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;
using Lines = std::vector<std::string>;
using ButtonOf = QPushButton* (ProgrammingConfirmation::*)() const;

TEST(FiscalParameterLists, LinkedGroupsReadNoneInTheRowsOwnPlace) {
  EXPECT_EQ(LinkedGroupNames(0), (QStringList{"Отсутствует", "Налог Б", "Налог В", "Налог Г", "Налог Д"}));
  EXPECT_EQ(LinkedGroupNames(3), (QStringList{"Налог А", "Налог Б", "Налог В", "Отсутствует", "Налог Д"}));
  EXPECT_EQ(LinkOfPosition(2, 2), -1);
  EXPECT_EQ(LinkOfPosition(2, 0), 0);
  struct Case {
    int row;
    const char* field;
    std::optional<int> position;
  } cases[] = {{4, "-1", 4}, {2, "0", 0}, {0, "4", 4}, {1, "5", std::nullopt}, {1, "-2", std::nullopt},
               {1, "", std::nullopt}, {1, "1x", std::nullopt}};
  for (const Case& c : cases) EXPECT_EQ(PositionOfLink(c.row, c.field), c.position) << c.field;
  EXPECT_EQ(TaxTypeNames(false).size(), 4);
  EXPECT_EQ(TaxTypeNames(true).at(7), "Налог 2  Наложенный +");
}

class FiscalParametersTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    ASSERT_TRUE(dir.isValid());
    state.iniPath = dir.filePath("fpinit.ini").toStdString();
    ui.onModal["TForm36"] = [this](QDialog&) {
      cut << test::CutTexts(result);
      resultLines.push_back({result.FiscalNumberLine()->text().toStdString(), result.TaxIdLine()->text().toStdString(),
                             result.TaxesLine()->text().toStdString()});
      result.ContinueButton()->click();
    };
  }
  // Answers the confirmation dialog: ticks the boxes, then presses a button (or none: the close box).
  void Confirm(bool fiscalNumber, bool taxId, bool taxes, ButtonOf button) {
    ui.onModal["TForm22"] = [=, this](QDialog&) {
      cut << test::CutTexts(confirmation);
      confirmation.FiscalNumberBox()->setChecked(fiscalNumber);
      confirmation.TaxIdBox()->setChecked(taxId);
      confirmation.TaxesBox()->setChecked(taxes);
      if (button) (confirmation.*button)()->click();
    };
  }
  void ConfirmAll() { Confirm(true, true, true, &ProgrammingConfirmation::ContinueButton); }
  void Fill(FiscalParameters& s) {
    s.FiscalNumberBox()->setText("1234567890");
    s.IdBox()->setText("123456789012");
    s.TaxNumberBox()->setText("1234567890123");
  }

  QTemporaryDir dir;
  ProgrammingConfirmation confirmation;
  OperationResult result;
  FiscalParameters standard{context, confirmation, result, false};
  FiscalParameters extended{context, confirmation, result, true};
  std::vector<Lines> resultLines;
  QStringList cut;  // texts of the dialogs a user would find cut
};

TEST_F(FiscalParametersTest, ReadingFillsTheBoxesAndNamesTypesTheScreenDoesNotKnow) {
  WithDevice([](sim::DeviceState& s) {
    s.fiscalNumber = "1111111111";
    s.taxNumber = "1234567890123";
    s.taxes[2] = {5, 700, sim::Cp("АКЦИЗ"), 0};
    return 0;
  });
  Open(standard);
  standard.IdBox()->setText("stale");
  Click(standard.ReadButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x42, "482916;"}, {0x44, "482916;"}, {0x46, "482916;"},
                                          {0x48, "482916;0;"}, {0x48, "482916;1;"}, {0x48, "482916;2;"},
                                          {0x48, "482916;3;"}, {0x48, "482916;4;"}}));
  EXPECT_EQ(TakeMessages(), Messages{"Успешно!\nНалог В: неизвестный тип налога (5)."});
  EXPECT_EQ(standard.SerialBox()->text(), "KR230000001");
  EXPECT_EQ(standard.FiscalNumberBox()->text(), "1111111111");
  EXPECT_EQ(standard.IdBox()->text(), "");
  EXPECT_EQ(standard.TaxNumberBox()->text(), "1234567890123");
  EXPECT_EQ(standard.TypeBox(0)->currentText(), "Вложенный");
  EXPECT_EQ(standard.RateBox(0)->text(), "20.00");
  EXPECT_EQ(standard.TypeBox(2)->currentIndex(), -1);
  EXPECT_EQ(standard.RateBox(2)->text(), "7.00");
  EXPECT_EQ(standard.NameBox(2)->text(), "АКЦИЗ");

  // Programming with a type left unchosen is refused before anything is sent.
  ConfirmAll();
  Click(standard.ProgramButton());
  EXPECT_EQ(TakeMessages(), Messages{"Налог В:\n  Не выбран тип налога!"});
  EXPECT_TRUE(TakeSent().empty());
  EXPECT_TRUE(resultLines.empty());

  // The extended screen knows the type and shows the links.
  Open(extended);
  Click(extended.ReadButton());
  EXPECT_EQ(TakeMessages(), Messages{"Успешно!"});
  EXPECT_EQ(extended.TypeBox(2)->currentText(), "Наложенный 2");
  EXPECT_EQ(extended.LinkBox(2)->currentText(), "Налог А");
  EXPECT_EQ(extended.LinkBox(4)->currentText(), "Отсутствует");
}

TEST_F(FiscalParametersTest, AReadValueLongerThanItsBoxIsRefusedAndEndsTheReading) {
  Open(extended);
  extended.FiscalNumberBox()->setText("1234567890");
  extended.IdBox()->setText("123456789012");
  extended.NameBox(1)->setText("ПДВ_Б");
  const std::string tail = " символов и не принято.";
  struct Case {
    std::function<void(sim::DeviceState&)> set;
    std::string message;
    QLineEdit* box;  // keeps what it held: cut, the value would be programmed back cut
    QString kept;
  } cases[] = {
      {[](sim::DeviceState& s) { s.fiscalNumber = "12345678901"; },
       "Ошибка! Значение \"12345678901\" для поля \"Фискальный номер:\" длиннее 10" + tail,
       extended.FiscalNumberBox(), "1234567890"},
      {[](sim::DeviceState& s) { s.taxId = "1234567890123"; },
       "Ошибка! Значение \"1234567890123\" для поля \"(ІД)\" длиннее 12" + tail, extended.IdBox(), "123456789012"},
      {[](sim::DeviceState& s) { s.taxes[1].name = std::string(20, 'N'); },
       "Ошибка! Значение \"" + std::string(20, 'N') + "\" для поля \"Налог Б: Наименование\" длиннее 19" + tail,
       extended.NameBox(1), "ПДВ_Б"},
  };
  for (const Case& c : cases) {
    WithDevice([&](sim::DeviceState& s) {
      s.fiscalNumber = "0987654321";
      s.taxId = "210987654321";
      s.taxes[1].name = "B";
      c.set(s);
      return 0;
    });
    Click(extended.ReadButton());
    EXPECT_EQ(TakeMessages(), Messages{c.message});
    EXPECT_EQ(c.box->text(), c.kept);
  }
}

TEST_F(FiscalParametersTest, ProgrammingTheExtendedScreenSendsEachGroupAndReadsBack) {
  Open(extended);
  EXPECT_EQ(extended.objectName(), "TForm37");
  Fill(extended);
  extended.TypeBox(2)->setCurrentIndex(6);
  extended.RateBox(2)->setText("5.00");
  extended.LinkBox(2)->setCurrentIndex(0);  // "Налог А"
  ConfirmAll();
  Click(extended.ProgramButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x47, "482916;0;01;20.00;ПДВ_А;-1;"},
                                          {0x47, "482916;1;01;0.00;ПДВ_Б;-1;"},
                                          {0x47, "482916;2;06;5.00;ПДВ_В;0;"},
                                          {0x47, "482916;3;00;0.00;ПДВ_Г;-1;"},
                                          {0x47, "482916;4;00;0.00;ПДВ_Д;-1;"},
                                          {0x43, "482916;1234567890;"},
                                          {0x45, "482916;123456789012;1234567890123;"}}));
  EXPECT_TRUE(TakeMessages().empty());
  EXPECT_EQ(resultLines, (std::vector<Lines>{{"Фискальный номер - успешно.", "Регистрационный номер - успешно.",
                                              "Ставки налогов - успешно."}}));
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.taxes[2]; }), (sim::TaxRate{6, 500, sim::Cp("ПДВ_В"), 0}));

  // Reopening resets the lists; reading brings the programmed values back.
  extended.hide();
  Open(extended);
  EXPECT_EQ(extended.TypeBox(2)->currentIndex(), 0);
  EXPECT_EQ(extended.LinkBox(2)->currentText(), "Отсутствует");
  extended.FiscalNumberBox()->clear();
  Click(extended.ReadButton());
  EXPECT_EQ(extended.TypeBox(2)->currentIndex(), 6);
  EXPECT_EQ(extended.LinkBox(2)->currentText(), "Налог А");
  EXPECT_EQ(extended.FiscalNumberBox()->text(), "1234567890");
}

TEST_F(FiscalParametersTest, TheConfirmationDecidesWhatIsProgrammed) {
  Open(standard);
  // Continue with nothing ticked: nothing sent, every group reported as not programmed.
  Confirm(false, false, false, &ProgrammingConfirmation::ContinueButton);
  Click(standard.ProgramButton());
  EXPECT_TRUE(TakeSent().empty());
  EXPECT_EQ(resultLines, (std::vector<Lines>{{"Фискальный номер - не программировался.",
                                              "Регистрационный номер - не программировался.",
                                              "Ставки налогов - не программировались."}}));
  // Cancel and the close box both end without sending anything and without a result.
  for (ButtonOf button : {ButtonOf(&ProgrammingConfirmation::CancelButton), ButtonOf(nullptr)}) {
    Confirm(true, true, true, button);
    Click(standard.ProgramButton());
    EXPECT_TRUE(TakeSent().empty());
    EXPECT_EQ(resultLines.size(), 1u);
  }
  // The boxes keep their ticks from one use to the next.
  ui.onModal["TForm22"] = [this](QDialog&) { confirmation.ContinueButton()->click(); };
  Click(standard.ProgramButton());
  EXPECT_EQ(TakeSent().size(), 7u);
  EXPECT_TRUE(confirmation.TaxesBox()->isChecked());
  EXPECT_EQ(cut, QStringList());
}

TEST_F(FiscalParametersTest, AFailedGroupIsReportedAndTheNextGroupsAreStillProgrammed) {
  Open(standard);
  Fill(standard);
  standard.IdBox()->setText("12345");  // the standard screen leaves the length to the registrator
  standard.RateBox(1)->setText("120.00");
  server.faults().FailCommand(0x43, sim::err::kShiftState);
  ConfirmAll();
  Click(standard.ProgramButton());
  EXPECT_EQ(TakeMessages(), (Messages{"Налог Б:\n  Значение поля номер 4 выходит за допустимый диапазон!",
                                      "Ошибка SetFiscalNumber!", "Ошибка SetTaxIdNumber!"}));
  const auto sent = TakeSent();
  ASSERT_EQ(sent.size(), 4u);  // taxes А and Б, then the two numbers
  EXPECT_EQ(sent[2].command, 0x43);
  EXPECT_EQ(sent[3], (Sent{0x45, "482916;12345;1234567890123;"}));
  EXPECT_EQ(resultLines, (std::vector<Lines>{{"Фискальный номер - ошибка.", "Регистрационный номер - ошибка.",
                                              "Ставки налогов - ошибка."}}));

  // A rate that is not a number stops before the first command.
  standard.RateBox(1)->setText("2O.00");
  Click(standard.ProgramButton());
  EXPECT_EQ(TakeMessages(), Messages{"'2O.00' is not a valid floating point value"});
  EXPECT_TRUE(TakeSent().empty());
}

TEST_F(FiscalParametersTest, EachProgrammingStepHasItsOwnTimeoutMessage) {
  Open(standard);
  struct Case {
    bool fiscalNumber, taxId, taxes;
    const char* message;
    const char* result;  // the line of the result dialog that reports the error
  } cases[] = {
      {true, false, false, "Таймаут устройства! SetFiscalNumber Ошибка!", "Фискальный номер - ошибка."},
      {false, true, false, "Таймаут устройства! SetTaxIdNumber Ошибка!", "Регистрационный номер - ошибка."},
      {false, false, true, "Налог А:\n  Таймаут устройства! Ошибка!", "Ставки налогов - ошибка."},
  };
  for (const Case& c : cases) {
    resultLines.clear();
    server.faults().Queue(sim::LineFault::Drop);
    Confirm(c.fiscalNumber, c.taxId, c.taxes, &ProgrammingConfirmation::ContinueButton);
    Click(standard.ProgramButton());
    EXPECT_EQ(TakeMessages(), Messages{c.message});
    EXPECT_EQ(TakeSent().size(), 1u) << c.message;
    ASSERT_EQ(resultLines.size(), 1u);
    const Lines& lines = resultLines[0];
    EXPECT_NE(std::find(lines.begin(), lines.end(), c.result), lines.end()) << c.result;
  }
}

TEST_F(FiscalParametersTest, ReadingStopsAtItsFirstFailureWithTheFunctionsMessage) {
  Open(standard);
  struct Case {
    std::function<void()> fault;
    int sent;
    const char* message;
  } cases[] = {
      {[this] { server.faults().Queue(sim::LineFault::Drop); }, 1, "Таймаут устройства! GetSerialNumber Ошибка!"},
      {[this] { server.faults().FailCommand(0x44, sim::err::kPassword); }, 2, "Ошибка GetFiscalNumber!"},
      {[this] { server.faults().FailCommand(0x46, sim::err::kPassword); }, 3, "Ошибка GetTaxIdNumber!"},
      {[this] { server.faults().FailCommand(0x48, sim::err::kPassword); }, 4, "Налог А:\n  Неверный пароль доступа!"},
  };
  for (const Case& c : cases) {
    server.faults().Clear();
    c.fault();
    Click(standard.ReadButton());
    EXPECT_EQ(TakeSent().size(), static_cast<std::size_t>(c.sent)) << c.message;
    EXPECT_EQ(TakeMessages(), Messages{c.message});
  }
}

TEST_F(FiscalParametersTest, TheExtendedScreenChecksNumberLengthsBeforeSendingAnything) {
  Open(extended);
  Fill(extended);
  struct Case {
    const char* fiscal;
    const char* id;
    const char* tax;
    const char* message;
  } cases[] = {
      {"123456789", "123456789012", "123456789012", "Неверная длина фискального номера, исправьте!"},
      {"1234567890", "12345678901", "123456789012", "Неверный длина идентификационного номера, исправьте!"},
      {"1234567890", "123456789012", "12345678901", "Неверный длина налогового номера, исправьте!"},
  };
  ConfirmAll();
  for (const Case& c : cases) {
    extended.FiscalNumberBox()->setText(c.fiscal);
    extended.IdBox()->setText(c.id);
    extended.TaxNumberBox()->setText(c.tax);
    Click(extended.ProgramButton());
    EXPECT_EQ(TakeMessages(), Messages{c.message});
    EXPECT_TRUE(TakeSent().empty()) << c.message;
  }
  EXPECT_TRUE(resultLines.empty());

  // Empty numbers pass the check and are sent empty.
  Confirm(true, true, false, &ProgrammingConfirmation::ContinueButton);
  extended.FiscalNumberBox()->clear();
  extended.IdBox()->clear();
  extended.TaxNumberBox()->clear();
  Click(extended.ProgramButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x43, "482916;;"}, {0x45, "482916;;;"}}));
}

TEST_F(FiscalParametersTest, CountryCodeTwoHidesTheIdentificationNumberButStillSendsIt) {
  ASSERT_TRUE(WritePrivateProfileString("CountryMode", "Country code", "2", state.iniPath));
  Open(standard);
  EXPECT_TRUE(standard.IdBox()->isHidden());
  Fill(standard);
  Confirm(false, true, false, &ProgrammingConfirmation::ContinueButton);
  Click(standard.ProgramButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x45, "482916;123456789012;1234567890123;"}}));

  ASSERT_TRUE(WritePrivateProfileString("CountryMode", "Country code", "3", state.iniPath));  // counts as 0
  standard.hide();
  Open(standard);
  EXPECT_FALSE(standard.IdBox()->isHidden());
}

}  // namespace
}  // namespace kovrix
