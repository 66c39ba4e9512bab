#include "screens/programming/header_text.h"

#include "driver/commands.h"
#include "app/model_settings.h"
#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;
using Screen_ = HeaderAndAdvertising;

TEST(HeaderLineCentring, PadsByHalfThePaperOrAQuarterForDoubleWidth) {
  struct Case {
    QString text;
    int width;
    bool doubleWidth;
    QString sent;
  } cases[] = {
      {"0123456789", 40, false, QString(15, u' ') + "0123456789"},
      {"0123456789", 40, true, QString(5, u' ') + "0123456789"},
      {QString(30, u'x'), 40, true, QString(30, u'x')},     // 10 - 15 is negative: no blanks
      {"   ", 40, false, ""},                                 // blanks only: sent empty
      {"\t Кава \r\n", 32, false, QString(14, u' ') + "Кава"},
      {"abc", 41, false, QString(19, u' ') + "abc"},          // 20 - 1, both divisions truncated
  };
  for (const Case& c : cases) EXPECT_EQ(CenterHeaderLine(c.text, c.width, c.doubleWidth), c.sent) << c.text.toStdString();
}

TEST(HeaderLineModes, SelectingAModeCellCyclesItsThreeValues) {
  EXPECT_EQ(NextHeaderMode(Screen_::kSkip), Screen_::kSingle);
  EXPECT_EQ(NextHeaderMode(Screen_::kSingle), Screen_::kDouble);
  EXPECT_EQ(NextHeaderMode(Screen_::kDouble), Screen_::kSkip);
  EXPECT_EQ(NextHeaderMode("что-то"), "что-то");
}

class HeaderTextTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    Open(screen);
  }
  QTableWidget* Grid(int g) { return g == 0 ? screen.HeaderGrid() : screen.AdvertisingGrid(); }
  QString Mode(int g, int row) { return Grid(g)->item(row, 2)->text(); }
  void ClickCell(int g, int row, int column) {
    const QRect rect = Grid(g)->visualRect(Grid(g)->model()->index(row, column));
    QTest::mouseClick(Grid(g)->viewport(), Qt::LeftButton, {}, rect.center());
  }
  // Clicks the mode cell until it reads the mode wanted.
  void SetMode(int g, int row, const QString& mode) {
    for (int i = 0; i < 3 && Mode(g, row) != mode; ++i) ClickCell(g, row, 2);
    ASSERT_EQ(Mode(g, row), mode);
  }
  void SetLine(int g, int row, const QString& text, const QString& mode, bool centred = false) {
    Grid(g)->item(row, 1)->setText(text);
    SetMode(g, row, mode);
    screen.CenterBox(g, row)->setChecked(centred);
  }
  void Run(Screen_::Operation operation) {
    screen.OperationBox()->setCurrentIndex(operation);
    Click(screen.ExecuteButton());
  }
  // A service receipt: the header at its top, the advertising text at its bottom.
  void PrintReceipt() {
    int err = 0;
    ASSERT_EQ(OpenFiscalReceipt("482916", 1, 0, 2, err)->errorText, "0000");
    ASSERT_EQ(CloseFiscalReceipt("482916", 0, err)->errorText, "0000");
    TakeSent();
  }

  HeaderAndAdvertising screen{context};
};

TEST_F(HeaderTextTest, AFreshScreenSkipsEveryLineAndNeedsAnOperation) {
  EXPECT_FALSE(screen.ExecuteButton()->isEnabled());
  EXPECT_FALSE(screen.OnlyNonEmptyBox()->isEnabled());
  EXPECT_EQ(Grid(0)->horizontalHeaderItem(1)->text(), "        Текст");
  EXPECT_EQ(Grid(1)->item(3, 0)->text(), "3");
  for (int g = 0; g < 2; ++g) {
    for (int r = 0; r < Grid(g)->rowCount(); ++r) EXPECT_EQ(Mode(g, r), Screen_::kSkip);
  }
  Run(Screen_::ProgramAll);
  EXPECT_TRUE(screen.OnlyNonEmptyBox()->isEnabled());
  EXPECT_TRUE(TakeSent().empty());
  EXPECT_EQ(TakeMessages(), Messages{"Успешно!"});
  screen.OperationBox()->setCurrentIndex(Screen_::ReadAll);
  EXPECT_FALSE(screen.OnlyNonEmptyBox()->isEnabled());
}

TEST_F(HeaderTextTest, ModeCellsCycleOnSelectionAndResetOnEveryOpening) {
  ClickCell(0, 4, 2);
  EXPECT_EQ(Mode(0, 4), Screen_::kSingle);
  ClickCell(0, 4, 2);  // clicked again while selected
  EXPECT_EQ(Mode(0, 4), Screen_::kDouble);
  Grid(0)->setFocus();
  QTest::keyClick(Grid(0), Qt::Key_Down);  // the keyboard selects the cell below
  EXPECT_EQ(Mode(0, 5), Screen_::kSingle);
  ClickCell(0, 4, 1);  // a text cell is left alone
  EXPECT_EQ(Mode(0, 4), Screen_::kDouble);

  Grid(0)->item(4, 1)->setText("kept");
  screen.CenterBox(0, 4)->setChecked(true);
  screen.hide();
  Open(screen);
  EXPECT_EQ(Mode(0, 4), Screen_::kSkip);
  EXPECT_EQ(Mode(0, 5), Screen_::kSkip);
  EXPECT_EQ(Grid(0)->item(4, 1)->text(), "kept");
  EXPECT_TRUE(screen.CenterBox(0, 4)->isChecked());
}

TEST_F(HeaderTextTest, ProgrammedLinesReachTheNextReceiptAndReadBack) {
  SetLine(0, 0, "Магазин", Screen_::kSingle, true);
  SetLine(0, 2, " как есть ", Screen_::kDouble);
  SetLine(0, 3, "", Screen_::kSingle);   // empty: skipped with "only non-empty"
  SetLine(0, 4, " ", Screen_::kSingle);  // one blank is not empty: sent
  SetLine(1, 1, "Дякуємо", Screen_::kDouble, true);
  screen.OnlyNonEmptyBox()->setChecked(true);
  Run(Screen_::ProgramAll);
  EXPECT_EQ(TakeMessages(), Messages{"Успешно!"});
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x22, "482916;0;" + std::string(17, ' ') + "Магазин;0;"},
                                          {0x22, "482916;2; как есть ;1;"},
                                          {0x22, "482916;4; ;0;"},
                                          {0x22, "482916;11;" + std::string(7, ' ') + "Дякуємо;1;"}}));
  PrintReceipt();
  const std::string tape = Tape();
  EXPECT_EQ(tape.find(std::string(17, ' ') + "Магазин\n"), 0u) << tape;  // printed as laid out
  EXPECT_LT(tape.find("Магазин"), tape.find("Д я к у є м о"));

  screen.ClearButton(0)->click();
  screen.ClearButton(1)->click();
  screen.hide();
  Open(screen);  // every mode back to "не записывать"
  Run(Screen_::ReadAll);
  EXPECT_EQ(TakeMessages(), Messages{"Успешно!"});
  const auto sent = TakeSent();
  ASSERT_EQ(sent.size(), 14u);
  EXPECT_EQ(sent[13], (Sent{0x23, "482916;13;"}));
  EXPECT_EQ(Grid(0)->item(0, 1)->text().toStdString(), std::string(17, ' ') + "Магазин");
  EXPECT_EQ(Mode(0, 0), Screen_::kSingle);
  EXPECT_EQ(Grid(0)->item(2, 1)->text(), " как есть ");
  EXPECT_EQ(Mode(0, 2), Screen_::kDouble);
  EXPECT_EQ(Mode(1, 1), Screen_::kDouble);
}

TEST_F(HeaderTextTest, ClearingSendsEmptyLinesOnlyForLinesWithAMode) {
  SetLine(0, 1, "x", Screen_::kSingle);
  SetLine(0, 9, "y", Screen_::kDouble);
  SetLine(1, 0, "z", Screen_::kSingle);
  Run(Screen_::ClearAll);
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x22, "482916;1;;0;"}, {0x22, "482916;9;;1;"}, {0x22, "482916;10;;0;"}}));
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.header[10].text; }), "");
  Run(Screen_::ClearHeader);
  EXPECT_EQ(TakeSent().size(), 2u);
  EXPECT_EQ(Grid(0)->item(1, 1)->text(), "x");  // the grid keeps its texts
}

TEST_F(HeaderTextTest, FailuresNameTheLineAndEndTheOperation) {
  SetLine(1, 0, "a", Screen_::kSingle);
  SetLine(1, 2, "b", Screen_::kSingle);
  SetLine(1, 3, "c", Screen_::kSingle);
  // A line longer than the paper is refused by the registrator: programming names the row.
  Grid(1)->item(2, 1)->setText(QString(41, u'w'));
  Run(Screen_::ProgramAdvertising);
  EXPECT_EQ(TakeMessages(),
            Messages{"Рекламный текст.\n  Строка 2 :\n  Значение поля номер 3 выходит за допустимый диапазон!"});
  EXPECT_EQ(TakeSent().size(), 2u);  // row 3 is not sent

  // Clearing and reading name the device line; a failed reading leaves the row as it was.
  server.faults().FailCommand(0x22, sim::err::kPassword);
  server.faults().FailCommand(0x23, sim::err::kPassword);
  Run(Screen_::ClearAdvertising);
  Run(Screen_::ReadAdvertising);
  EXPECT_EQ(TakeMessages(), (Messages{"Рекламный текст.\n  Строка 10 :\n  Неверный пароль доступа!",
                                      "Рекламный текст.\n  Строка 10 :\n  Неверный пароль доступа!"}));
  EXPECT_EQ(Grid(1)->item(0, 1)->text(), "a");
  server.faults().Clear();
  server.faults().FailCommand(0x23, sim::err::kPrinter);
  Run(Screen_::ReadHeader);
  EXPECT_EQ(TakeMessages(), Messages{"Заголовок.\n  Строка 0 :\n  Ошибка оборудования!\n Ошибка принтера!"});

  server.faults().Clear();
  server.faults().Queue(sim::LineFault::Drop);
  Run(Screen_::ProgramHeader);  // every header line skipped: nothing to time out
  Run(Screen_::ProgramAdvertising);
  EXPECT_EQ(TakeMessages(), (Messages{"Успешно!", "Рекламный текст.\n  Строка 0 :\n  Таймаут устройства! Ошибка!"}));
  TakeSent();

  screen.WidthNumberBox()->setText("4O");
  Run(Screen_::ProgramAll);
  EXPECT_EQ(TakeMessages(), Messages{"'4O' is not a valid integer value"});
  EXPECT_TRUE(TakeSent().empty());
}

TEST_F(HeaderTextTest, AnUnknownWidthDigitKeepsTheModeAndTheListWidthCentres) {
  WithDevice([](sim::DeviceState& s) {
    s.header[3] = {"odd", 7};
    return 0;
  });
  SetMode(0, 3, Screen_::kDouble);
  Run(Screen_::ReadHeader);
  EXPECT_EQ(Grid(0)->item(3, 1)->text(), "odd");
  EXPECT_EQ(Mode(0, 3), Screen_::kDouble);
  TakeMessages();
  TakeSent();

  // A model with a width list: the screen centres on the list's choice.
  state.paperWidth.listShown = true;
  state.paperWidth.listEntries = {"42", "48"};
  state.paperWidth.listText = "42";
  screen.hide();
  Open(screen);
  EXPECT_TRUE(screen.WidthNumberBox()->isHidden());
  EXPECT_FALSE(screen.WidthListBox()->isHidden());
  screen.WidthListBox()->setCurrentText("48");
  SetLine(0, 0, "ab", Screen_::kSingle, true);
  Run(Screen_::ProgramHeader);
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x22, "482916;0;" + std::string(23, ' ') + "ab;0;"}}));
  // Reopening keeps the user's choice until the main window sets a new width.
  screen.hide();
  Open(screen);
  EXPECT_EQ(screen.WidthListBox()->currentText(), "48");
}

TEST_F(HeaderTextTest, EveryConnectSetsThePaperWidthAgainEvenForTheSameModel) {
  ApplyPaperWidth("Veltra KR-26", state.paperWidth);  // a connect
  screen.hide();
  Open(screen);
  EXPECT_EQ(screen.WidthNumberBox()->text(), "40");
  screen.WidthNumberBox()->setText("33");
  screen.hide();
  Open(screen);
  EXPECT_EQ(screen.WidthNumberBox()->text(), "33");  // the user's width stands between openings
  ApplyPaperWidth("Veltra KR-26", state.paperWidth);  // a reconnect to the same model
  screen.hide();
  Open(screen);
  EXPECT_EQ(screen.WidthNumberBox()->text(), "40");
}

}  // namespace
}  // namespace kovrix
