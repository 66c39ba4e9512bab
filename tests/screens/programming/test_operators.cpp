#include "screens/programming/mode_passwords.h"
#include "screens/programming/operators.h"

#include "driver/codepage.h"
#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;
using Journal = std::vector<Sent>;

class OperatorsTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    Open(screen);
  }
  sim::Operator DeviceOperator(int number) {
    return WithDevice([&](sim::DeviceState& s) { return s.operators[static_cast<std::size_t>(number - 1)]; });
  }

  OperatorParameters screen{context};
};

TEST_F(OperatorsTest, SetReadsBackAndTheNewPasswordOpensTheOperatorsCommands) {
  EXPECT_EQ(screen.NumberBox()->text(), "");
  EXPECT_EQ(screen.OperatorPasswordBox()->text(), "482916");
  screen.NumberBox()->setText("3");
  screen.OperatorPasswordBox()->setText("111111");
  screen.NameBox()->setText("Олена Коваль");
  Click(screen.SetButton());
  EXPECT_EQ(TakeSent(), (Journal{{0x2F, "482916;3;111111;Олена Коваль;"}}));
  EXPECT_EQ(TakeMessages(), Messages{"Успешно!"});
  EXPECT_EQ(Cp1251ToUtf8(DeviceOperator(3).name), "Олена Коваль");

  // The operator's own password is accepted where any password is; a wrong one is refused.
  WithDevice([](sim::DeviceState& s) { s.operators[2].madeSales = true; });
  screen.PasswordBox()->setText("111111");
  Click(screen.ReadButton());
  EXPECT_EQ(TakeSent(), (Journal{{0x30, "111111;3;"}}));
  EXPECT_EQ(TakeMessages(), Messages{"Успешно!"});
  EXPECT_EQ(screen.ReadNameBox()->text(), "Олена Коваль");
  EXPECT_TRUE(screen.MadeSalesBox()->isChecked());

  screen.PasswordBox()->setText("999999");
  Click(screen.ReadButton());
  EXPECT_EQ(TakeMessages(), Messages{"Оператор 3 \n  Неверный пароль доступа!"});
  EXPECT_TRUE(screen.MadeSalesBox()->isChecked());  // a refused read changes nothing

  // Any sales field but "1" unticks the box.
  WithDevice([](sim::DeviceState& s) { s.operators[2].madeSales = false; });
  screen.PasswordBox()->setText("482916");
  Click(screen.ReadButton());
  EXPECT_FALSE(screen.MadeSalesBox()->isChecked());
}

TEST_F(OperatorsTest, DeletingOneOrAllOperatorsTakesOneCommand) {
  screen.NumberBox()->setText("2");
  Click(screen.DeleteButton());
  EXPECT_EQ(TakeSent(), (Journal{{0x2C, "482916;2;"}}));
  EXPECT_EQ(TakeMessages(), Messages{"Успешно!"});
  EXPECT_EQ(DeviceOperator(2), sim::Operator{});
  EXPECT_FALSE(DeviceOperator(3).name.empty());

  screen.NumberBox()->setText("-1");
  Click(screen.DeleteButton());
  EXPECT_EQ(TakeSent(), (Journal{{0x2C, "482916;-1;"}}));
  for (int n = 1; n <= 16; ++n) EXPECT_EQ(DeviceOperator(n), sim::Operator{}) << n;
  EXPECT_TRUE(screen.DeleteButton()->toolTip().contains("-1"));
}

TEST_F(OperatorsTest, BadInputIsRefusedBeforeAnythingIsSentAndDeviceRefusalsNameTheOperator) {
  struct Case {
    const char* number;
    const char* name;
    QPushButton* button;
    const char* message;
  } cases[] = {
      {"abc", "", screen.ReadButton(), "Ошибка! Номер оператора неверный."},
      {"", "", screen.DeleteButton(), "Ошибка! Номер оператора неверный."},
      {"1.5", "", screen.SetButton(), "Ошибка! Номер оператора неверный."},
      // A ";" would end the name early and shift the fields after it.
      {"1", "Іван;2", screen.SetButton(), "Ошибка! Символ \";\" недопустим в поле \"Имя:\"."},
  };
  for (const Case& c : cases) {
    screen.NumberBox()->setText(c.number);
    screen.NameBox()->setText(c.name);
    Click(c.button);
    EXPECT_EQ(TakeMessages(), Messages{c.message}) << c.number;
    EXPECT_TRUE(TakeSent().empty()) << c.number;
  }

  screen.NumberBox()->setText(" 17 ");
  Click(screen.ReadButton());
  EXPECT_EQ(TakeMessages(), Messages{"Оператор 17 \n  Значение поля номер 2 выходит за допустимый диапазон!"});
  server.faults().FailCommand(0x2F, sim::err::kShiftState);
  screen.NumberBox()->setText("3");
  screen.NameBox()->setText("Петро");
  Click(screen.SetButton());
  EXPECT_EQ(TakeMessages(), Messages{"Оператор 3 \n  Команда не может быть выполнена в данном состоянии регистратора!\n"
                                     "Команда невыполнима в данном состоянии смены!"});
}

class ModePasswordsTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    Open(screen);
  }
  ModePasswords screen{context};
};

TEST_F(ModePasswordsTest, NewPasswordsGuardTheModesAndTheOldAdministratorPasswordNoLongerWorks) {
  EXPECT_EQ(screen.NewAdminPasswordBox()->echoMode(), QLineEdit::Password);
  EXPECT_EQ(screen.AdminPasswordBox()->maxLength(), 6);
  screen.ProgrammingPasswordBox()->setText("111111");
  screen.ReportsPasswordBox()->setText("2222");
  screen.NewAdminPasswordBox()->setText("333333");
  Click(screen.RunButton());
  EXPECT_EQ(TakeSent(), (Journal{{0x2B, "482916;111111;2222;333333;"}}));
  EXPECT_EQ(TakeMessages(), Messages{"Успешно!"});
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.programmingPassword + "/" + s.reportsPassword + "/" + s.adminPassword; }),
            "111111/2222/333333");

  // The same press again carries the old administrator password: refused, nothing changes.
  Click(screen.RunButton());
  EXPECT_EQ(TakeMessages(), Messages{"Ошибка установки паролей: \n  Неверный пароль доступа!"});
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.adminPassword; }), "333333");

  screen.AdminPasswordBox()->setText("333333");
  screen.ReportsPasswordBox()->setText("22;22");
  Click(screen.RunButton());
  EXPECT_EQ(TakeMessages(), Messages{"Ошибка! Символ \";\" недопустим в поле \"Новый пароль отчетов:\"."});
  EXPECT_EQ(TakeSent().size(), 1u);  // only the refused command above
}

}  // namespace
}  // namespace kovrix
