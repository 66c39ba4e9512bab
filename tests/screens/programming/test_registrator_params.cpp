#include "screens/programming/registrator_params.h"

#include <QTemporaryDir>

#include "ini/private_profile.h"
#include "driver/commands.h"
#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;
using Journal = std::vector<Sent>;

constexpr int kProductCode = 0x8000;
constexpr int kSmallFontControl = 0x20;

class RegistratorParamsTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    ASSERT_TRUE(dir.isValid());
    state.iniPath = dir.filePath("fpinit.ini").toStdString();
    WritePrivateProfileString("Communication", "Speed", "115200", state.iniPath);
    shell.port = QString::fromStdString(server.slavePath());
    shell.speed = "115200";
    Open(screen);
  }
  std::string IniSpeed() { return GetPrivateProfileString("Communication", "Speed", "", 20, state.iniPath); }
  sim::RegistratorParams DeviceParams() {
    return WithDevice([](sim::DeviceState& s) { return s.params; });
  }
  // Fills the boxes that a write needs, leaving the speed "Не изменять".
  void FillBoxes() {
    screen.SpeedList()->setCurrentText("Не изменять");
    screen.OpenPulseBox()->setText("1A");
    screen.ClosePulseBox()->setText("0F");
    screen.CharactersBox()->setText("24");
  }

  QTemporaryDir dir;
  RegistratorParameters screen{context};
};

TEST_F(RegistratorParamsTest, ReadSetsEveryControlFromTheRecord) {
  WithDevice([](sim::DeviceState& s) { s.params = {115200, 3, 0x8001, 0x22, 0x1A, 0x0F, 24}; });
  screen.SpeedList()->setCurrentText("600");
  Click(screen.ReadButton());
  EXPECT_EQ(TakeSent(), (Journal{{0x28, "482916;"}}));
  EXPECT_EQ(TakeMessages(), Messages{"Успешно!"});
  EXPECT_EQ(screen.SpeedList()->currentText(), "115200");
  EXPECT_EQ(screen.ContrastList()->currentText(), "Темная");
  for (const OptionBit& bit : DocumentOptionBits()) {
    EXPECT_EQ(screen.DocumentBox(bit.value)->isChecked(), bit.value == 0x8000 || bit.value == 0x0001) << bit.caption;
  }
  for (const OptionBit& bit : PrintOptionBits()) {
    EXPECT_EQ(screen.PrintBox(bit.value)->isChecked(), bit.value == 0x02 || bit.value == 0x20) << bit.caption;
  }
  EXPECT_EQ(screen.OpenPulseBox()->text(), "1A");
  EXPECT_EQ(screen.ClosePulseBox()->text(), "0F");
  EXPECT_EQ(screen.CharactersBox()->text(), "24");
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0000");
  EXPECT_TRUE(screen.StatusButton()->isEnabled());

  // A speed the list does not have leaves the list alone.
  WithDevice([](sim::DeviceState& s) { s.params.speed = 14400; });
  Click(screen.ReadButton());
  EXPECT_EQ(screen.SpeedList()->currentText(), "115200");

  // Each opening resets the contrast, the code box and the status button, nothing else.
  screen.hide();
  Open(screen);
  EXPECT_EQ(screen.ContrastList()->currentText(), "По умолчанию (2)");
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "");
  EXPECT_FALSE(screen.StatusButton()->isEnabled());
  EXPECT_TRUE(screen.DocumentBox(kProductCode)->isChecked());
  EXPECT_EQ(screen.CharactersBox()->text(), "24");
}

TEST_F(RegistratorParamsTest, AReadValueLongerThanItsBoxIsRefusedNotCut) {
  WithDevice([](sim::DeviceState& s) { s.params = {115200, 3, 0x8001, 0x22, 0x1A, 0x0F, 24}; });
  Click(screen.ReadButton());
  TakeMessages();
  struct Case {
    std::string reply;  // as a registrator with wider values would answer
    std::string message;
  } cases[] = {
      {"115200;3;8001;22;1FA;0F;24;",
       "Ошибка! Значение \"1FA\" для поля \"Импульс открытия денежного ящика (Hex) :\" длиннее 2 символов и не "
       "принято."},
      {"115200;3;8001;22;1A;0F;124;",
       "Ошибка! Значение \"124\" для поля \"Количество символов в одной линии наименования товара:\" длиннее 2 "
       "символов и не принято."},
  };
  for (const Case& c : cases) {
    server.faults().ReplaceReplyData(0x28, c.reply);
    Click(screen.ReadButton());
    EXPECT_EQ(TakeMessages(), Messages{c.message});
    // Cut to two characters, "1FA" would have been written back as 1F, "124" as 12.
    EXPECT_EQ(screen.OpenPulseBox()->text(), "1A");
    EXPECT_EQ(screen.ClosePulseBox()->text(), "0F");
    EXPECT_EQ(screen.CharactersBox()->text(), "24");
  }
}

TEST_F(RegistratorParamsTest, WriteWithoutASpeedChangeSendsTheFlagsAndKeepsTheLink) {
  FillBoxes();
  screen.DocumentBox(kProductCode)->setChecked(true);
  screen.PrintBox(kSmallFontControl)->setChecked(true);
  Click(screen.WriteButton());
  EXPECT_EQ(TakeSent(), (Journal{{0x27, "482916;0;0;8000;20;1A;0F;24;"}}));
  EXPECT_EQ(TakeMessages(), Messages{"Успешно!"});
  EXPECT_EQ(DeviceParams(), (sim::RegistratorParams{115200, 0, 0x8000, 0x20, 0x1A, 0x0F, 24}));
  EXPECT_EQ(IniSpeed(), "115200");
  EXPECT_EQ(shell.speed, "115200");

  // "Установить все" ticks the whole group; "Очистить все" the other group's none.
  Click(screen.DocumentSetButton());
  Click(screen.PrintClearButton());
  screen.ContrastList()->setCurrentIndex(4);
  Click(screen.WriteButton());
  EXPECT_EQ(TakeSent(), (Journal{{0x27, "482916;0;4;FF0B;00;1A;0F;24;"}}));
  Click(screen.PrintSetButton());
  Click(screen.DocumentClearButton());
  Click(screen.WriteButton());
  EXPECT_EQ(TakeSent(), (Journal{{0x27, "482916;0;4;0000;7B;1A;0F;24;"}}));
  EXPECT_EQ(TakeMessages(), (Messages{"Успешно!", "Успешно!"}));
}

TEST_F(RegistratorParamsTest, ModelRulesHideBoxesThatStillCarryTheirBits) {
  state.registratorParams = {false, false, true, 6};
  screen.hide();
  Open(screen);
  EXPECT_TRUE(screen.PrintBox(0x10)->isHidden());
  EXPECT_TRUE(screen.PrintBox(kSmallFontControl)->isHidden());
  EXPECT_FALSE(screen.PrintBox(0x40)->isHidden());
  EXPECT_EQ(screen.SpeedList()->currentText(), "9600");  // the speed of the connect

  // The user's choice stands at the next opening; only a new connect selects again.
  screen.SpeedList()->setCurrentText("Не изменять");
  screen.hide();
  Open(screen);
  EXPECT_EQ(screen.SpeedList()->currentText(), "Не изменять");

  FillBoxes();
  WithDevice([](sim::DeviceState& s) { s.params.printFlags = kSmallFontControl; });
  Click(screen.ReadButton());
  EXPECT_TRUE(screen.PrintBox(kSmallFontControl)->isChecked());
  screen.SpeedList()->setCurrentText("Не изменять");
  Click(screen.WriteButton());
  EXPECT_EQ(TakeSent().back(), (Sent{0x27, "482916;0;0;0000;20;32;32;20;"}));
}

TEST_F(RegistratorParamsTest, ANewSpeedMovesTheLinkTheListAndTheIniFile) {
  FillBoxes();
  screen.SpeedList()->setCurrentText("9600");
  Click(screen.WriteButton());
  EXPECT_EQ(TakeSent(), (Journal{{0x27, "482916;9600;0;0000;00;1A;0F;24;"}}));
  EXPECT_EQ(TakeMessages(), Messages{"Успешно!"});
  EXPECT_EQ(shell.speed, "9600");
  EXPECT_EQ(IniSpeed(), "9600");
  EXPECT_EQ(shell.disconnectedShown, 0);
  ASSERT_TRUE(TheLink().IsOpen());

  // The reopened link is heard at the new speed.
  Click(screen.ReadButton());
  EXPECT_EQ(TakeSent(), (Journal{{0x28, "482916;"}}));
  EXPECT_EQ(TakeMessages(), Messages{"Успешно!"});
  EXPECT_EQ(screen.SpeedList()->currentText(), "9600");

#ifndef _WIN32
  // A host left at the old speed gets no answer (the loopback TCP port the simulator serves on
  // Windows has no line speed to differ).
  CloseComPort();
  ASSERT_EQ(OpenComPort(server.slavePath(), 115200), 0);
  Click(screen.ReadButton());
  EXPECT_EQ(TakeMessages(), Messages{"Печать дневных отчетов:\n  Таймаут устройства! Ошибка!"});
  EXPECT_TRUE(TakeSent().empty());
#endif
}

TEST_F(RegistratorParamsTest, RefusalsLeaveTheLinkAndTheFileAsTheyWere) {
  FillBoxes();
  screen.SpeedList()->setCurrentText("9600");
  screen.PasswordBox()->setText("111111");
  Click(screen.WriteButton());
  EXPECT_EQ(TakeMessages(), Messages{"Печать дневных отчетов:\n  Неверный пароль доступа!"});
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0006");
  Click(screen.ReadButton());
  EXPECT_EQ(TakeMessages(), Messages{"Печать дневных отчетов:\n  Неверный пароль доступа!"});
  EXPECT_EQ(IniSpeed(), "115200");
  EXPECT_EQ(shell.speed, "115200");
  TakeSent();

  // Inputs that do not convert end the write before anything is sent.
  screen.PasswordBox()->setText("482916");
  const std::pair<QLineEdit*, const char*> inputs[] = {
      {screen.CharactersBox(), "''"}, {screen.CharactersBox(), "'2x'"}, {screen.OpenPulseBox(), "'G1'"}};
  for (const auto& [box, quoted] : inputs) {
    FillBoxes();
    box->setText(QString::fromUtf8(quoted).mid(1).chopped(1));
    Click(screen.WriteButton());
    EXPECT_EQ(TakeMessages(), Messages{std::string(quoted) + " is not a valid integer value"});
  }
  FillBoxes();
  screen.PasswordBox()->setText("4829;6");
  Click(screen.ReadButton());
  Click(screen.WriteButton());
  EXPECT_EQ(TakeMessages(), Messages(2, "Ошибка! Символ \";\" недопустим в поле \"Пароль:\"."));
  EXPECT_TRUE(TakeSent().empty());
  EXPECT_EQ(TheLink().IsOpen(), true);
}

TEST_F(RegistratorParamsTest, APortThatCannotBeOpenedAgainLeavesTheWindowDisconnected) {
  FillBoxes();
  screen.SpeedList()->setCurrentText("19200");
  shell.port = dir.filePath("no-such-port");
  Click(screen.WriteButton());
  EXPECT_EQ(TakeMessages(), (Messages{"Успешно!", "Невозможно подключить порт"}));
  EXPECT_FALSE(TheLink().IsOpen());
  EXPECT_EQ(shell.disconnectedShown, 1);
  EXPECT_EQ(IniSpeed(), "19200");
  EXPECT_EQ(DeviceParams().speed, 19200);
}

TEST(HexBoxValueTest, EmptyIsZeroAndOnlyHexadecimalDigitsConvert) {
  EXPECT_EQ(HexBoxValue(""), 0);
  EXPECT_EQ(HexBoxValue("1a"), 0x1A);
  EXPECT_EQ(HexBoxValue("FF"), 0xFF);
  for (const char* bad : {"G", " 1", "0x", "-1", "Ф"}) {
    EXPECT_THROW(HexBoxValue(QString::fromUtf8(bad)), InputError) << bad;
  }
}

}  // namespace
}  // namespace kovrix
