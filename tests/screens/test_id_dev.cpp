#include "screens/programming/id_dev.h"

#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;

class IdDevTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    Open(screen);
  }

  DeviceIdentifier screen{context};
};

TEST_F(IdDevTest, SetThenReadBackShowsTheValueInDecimalAndHex) {
  EXPECT_EQ(screen.HexLabel()->text(), "Значение ID_DEV (Hex):");
  struct Case {
    const char* value;
    const char* hex;
  } cases[] = {{"4660", "00001234"}, {"-1", "FFFFFFFF"}, {"-2147483648", "80000000"}};
  for (const auto& c : cases) {
    screen.ValueBox()->setText(c.value);
    Click(screen.SetButton());
    screen.ValueBox()->clear();
    Click(screen.ReadButton());
    EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x4B, std::string("482916;") + c.value + ";"}, {0x4C, "482916;"}}));
    EXPECT_EQ(TakeMessages(), (Messages{"Успешно!", "Успешно!"}));
    EXPECT_EQ(screen.ValueBox()->text(), c.value);
    EXPECT_EQ(screen.HexLabel()->text().toStdString(), std::string("Значение ID_DEV (Hex): ") + c.hex);
  }
}

TEST_F(IdDevTest, AnEmptyValueOrATextBeyondOneFrameSendsNothing) {
  const char* notSent = "Команда не отправлена: данные не помещаются в кадр.";
  struct Case {
    QString value;
    QString password;
    QPushButton* button;
    const char* message;
  } cases[] = {
      {"", "482916", screen.SetButton(), "Не введён ID_DEV. Ошибка!"},
      {QString(212, u'1'), "482916", screen.SetButton(), notSent},  // 221 bytes with both ";"
      {"", QString(219, u'1'), screen.ReadButton(), notSent},       // 220 bytes with the ";"
  };
  for (const auto& c : cases) {
    screen.ValueBox()->setText(c.value);
    screen.PasswordBox()->setText(c.password);
    Click(c.button);
    EXPECT_TRUE(TakeSent().empty()) << c.message;
    EXPECT_EQ(TakeMessages(), Messages{c.message});
  }
}

TEST_F(IdDevTest, RefusalsAndSilenceHaveTheirOwnMessages) {
  screen.ValueBox()->setText("7");
  server.faults().FailCommand(0x4B, sim::err::FieldValue(2));
  server.faults().FailCommand(0x4C, sim::err::kPassword);
  Click(screen.SetButton());
  Click(screen.ReadButton());
  EXPECT_EQ(TakeMessages(), (Messages{"Проверка состояния регистратора:\n  Значение поля номер 2 выходит за допустимый диапазон!",
                                      "Чтение ID_DEV, код ошибки:\n  0006"}));
  EXPECT_EQ(screen.ValueBox()->text(), "7");
  EXPECT_EQ(screen.HexLabel()->text(), "Значение ID_DEV (Hex):");

  server.faults().Clear();
  server.faults().Queue(sim::LineFault::Drop, 2);
  Click(screen.SetButton());
  Click(screen.ReadButton());
  EXPECT_EQ(TakeMessages(), (Messages{"Ошибка выполнения команды установка ID_DEV. Таймаут",
                                      "Ошибка выполнения команды. Таймаут"}));
}

TEST_F(IdDevTest, AValueTheDeviceRefusesIsSentAsTyped) {
  screen.ValueBox()->setText("12ab");
  Click(screen.SetButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x4B, "482916;12ab;"}}));
  EXPECT_EQ(TakeMessages(), Messages{"Проверка состояния регистратора:\n  Неправильный формат поля номер 2!"});
}

TEST_F(IdDevTest, AReadValueBeyondThirtyTwoBitsEndsWithTheConversionErrorAfterFillingTheBox) {
  WithDevice([](sim::DeviceState& s) { s.idDev = 4294967296LL; });
  Click(screen.ReadButton());
  EXPECT_EQ(TakeMessages(), Messages{"'4294967296' is not a valid integer value"});
  EXPECT_EQ(screen.ValueBox()->text(), "4294967296");
  EXPECT_EQ(screen.HexLabel()->text(), "Значение ID_DEV (Hex):");
}

}  // namespace
}  // namespace kovrix
