#include "screens/programming/payment_types.h"

#include "driver/codepage.h"
#include "driver/commands.h"
#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;
using Journal = std::vector<Sent>;

TEST(PaymentMaskTest, PermissionsMapToTheirBitsBothWays) {
  struct Case {
    bool sale, refund, change;
    int mask;
  } cases[] = {{true, true, true, 0x83}, {false, false, true, 0x80}, {false, false, false, 0x00},
               {true, false, false, 0x01}, {false, true, false, 0x02}};
  for (const Case& c : cases) EXPECT_EQ(PaymentMask(c.sale, c.refund, c.change), c.mask) << c.mask;

  const QString yes = "Разрешено", no = "Запрещено";
  EXPECT_EQ(PaymentPermissionTexts("81"), (QStringList{yes, no, yes}));
  EXPECT_EQ(PaymentPermissionTexts("  03"), (QStringList{yes, yes, no}));  // leading blanks skipped
  EXPECT_EQ(PaymentPermissionTexts("8Z"), (QStringList{no, no, no}));      // reading stops at Z: 8
  EXPECT_EQ(PaymentPermissionTexts(""), (QStringList{no, no, no}));
}

class PaymentTypesTest : public test::SimScreenFixture {
 protected:
  QStringList Row(int row) {
    QStringList cells;
    for (int column = 0; column < screen.Table()->columnCount(); ++column) {
      const QTableWidgetItem* item = screen.Table()->item(row, column);
      cells << (item ? item->text() : QString());
    }
    return cells;
  }

  PaymentTypes screen{context};
};

TEST_F(PaymentTypesTest, ReadingFillsOneRowPerTypeAndStaysUntilTheProgramEnds) {
  state.paymentTypeCount = 4;
  Open(screen);
  ASSERT_EQ(screen.Table()->rowCount(), 4);
  EXPECT_EQ(Row(3), (QStringList{"3", "", "", "", ""}));
  EXPECT_FALSE(screen.AddButton()->isEnabled());

  WithDevice([](sim::DeviceState& s) { s.paymentTypes[2] = {0x81, Utf8ToCp1251("ВАУЧЕР")}; });
  Click(screen.ReadButton());
  EXPECT_EQ(TakeSent(), (Journal{{0x2E, "482916;0;"}, {0x2E, "482916;1;"}, {0x2E, "482916;2;"}, {0x2E, "482916;3;"}}));
  EXPECT_TRUE(TakeMessages().empty());
  EXPECT_EQ(Row(0), (QStringList{"0", "ГОТІВКА", "Разрешено", "Разрешено", "Разрешено"}));
  EXPECT_EQ(Row(2), (QStringList{"2", "ВАУЧЕР", "Разрешено", "Запрещено", "Разрешено"}));
  EXPECT_TRUE(screen.ReadButton()->isEnabled());

  // Closing and opening again keeps the table and the inputs.
  screen.NameBox()->setText("БОНУС");
  screen.hide();
  state.paymentTypeCount = 10;
  Open(screen);
  EXPECT_EQ(screen.Table()->rowCount(), 4);
  EXPECT_EQ(Row(2)[1], "ВАУЧЕР");
  EXPECT_EQ(screen.NameBox()->text(), "БОНУС");
}

TEST_F(PaymentTypesTest, AddSendsTheMaskAndTheDeviceAcceptsPaymentsByIt) {
  Open(screen);
  EXPECT_EQ(screen.Table()->rowCount(), 10);
  screen.NameBox()->setText("БОНУС");
  EXPECT_FALSE(screen.AddButton()->isEnabled());
  screen.NumberBox()->setText("5");
  EXPECT_TRUE(screen.AddButton()->isEnabled());
  screen.ChangeBox()->setChecked(true);
  Click(screen.AddButton());
  EXPECT_EQ(TakeSent(), (Journal{{0x2D, "482916;5;80;БОНУС;"}}));
  EXPECT_EQ(TakeMessages(), Messages{"Успешно!"});
  EXPECT_EQ(Row(5)[1], "");  // the table waits for a reading
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.paymentTypes[5]; }),
            (sim::PaymentType{0x80, Utf8ToCp1251("БОНУС")}));

  // Sales: a type without the sale permission is refused, one with it accepted.
  WithDevice([](sim::DeviceState& s) { s.articles.push_back({1, "Bread", 1000, 0, 0, 0, 0}); });
  int err = 0;
  ASSERT_EQ(OpenFiscalReceipt("482916", 1, 1, 0, err)->errorText, "0000");
  ASSERT_EQ(SellItemEx("482916", 1, 10.0, 1.0, err)->errorText, "0000");
  EXPECT_EQ(Payment("482916", 5, 10.0, err)->errorText, "090B");
  screen.SaleBox()->setChecked(true);
  Click(screen.AddButton());  // the open receipt's shift locks the payment types
  EXPECT_EQ(TakeMessages(), Messages{"Добавление формы оплаты:\n  Команда не может быть выполнена в данном состоянии "
                                     "регистратора!\nКоманда невыполнима в данном состоянии смены!"});

  screen.NumberBox()->setText("x");
  TakeSent();
  Click(screen.AddButton());
  EXPECT_EQ(TakeMessages(), Messages{"'x' is not a valid integer value"});
  EXPECT_TRUE(TakeSent().empty());
}

TEST_F(PaymentTypesTest, AFailedReadingKeepsTheRowsReadAndFreesTheButtons) {
  state.paymentTypeCount = 12;  // two more than the device has
  Open(screen);
  Click(screen.ReadButton());
  EXPECT_EQ(TakeSent().size(), 11u);
  EXPECT_EQ(TakeMessages(), Messages{"Чтение форм оплаты:\n  Значение поля номер 2 выходит за допустимый диапазон!"});
  EXPECT_EQ(Row(9)[0], "9");
  EXPECT_EQ(Row(3)[1], "СЕРТИФІКАТ");
  EXPECT_EQ(Row(10), (QStringList{"10", "", "", "", ""}));
  EXPECT_TRUE(screen.ReadButton()->isEnabled());
}

}  // namespace
}  // namespace kovrix
