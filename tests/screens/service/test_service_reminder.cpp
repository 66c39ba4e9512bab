#include <QDate>

#include "screens/service/service_reminder.h"
#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;
using Requests = std::vector<Sent>;

TEST(ReminderMessage, FirstLineStartsTheBufferAndEmptyFurtherLinesAreSkipped) {
  struct Case {
    const char* text;
    std::vector<ReminderLine> lines;
  } cases[] = {
      {"", {}},
      {"one", {{0, "one"}}},
      {"one\n\nthree", {{0, "one"}, {1, "three"}}},
      {"\ntwo\n", {{0, ""}, {1, "two"}}},
  };
  for (const auto& c : cases) EXPECT_EQ(ReminderLines(QString::fromUtf8(c.text)), c.lines) << c.text;
}

class ServiceReminderTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    Open(screen);
  }
  void TypeReminder(const char* oldPassword, const char* newPassword, const char* repeat) {
    screen.OldPasswordBox()->setText(oldPassword);
    screen.NewPasswordBox()->setText(newPassword);
    screen.RepeatPasswordBox()->setText(repeat);
  }
  std::string MaskTicks() {
    std::string ticks;
    for (int bit = 4; bit >= 0; --bit) ticks += screen.MaskBox(bit)->isChecked() ? '1' : '0';
    return ticks;
  }

  ServiceReminder screen{context};
};

TEST_F(ServiceReminderTest, ReminderIsSetReadBackAndPrinted) {
  EXPECT_EQ(screen.DateBox()->date(), QDate::currentDate());
  EXPECT_EQ(screen.DateBox()->text(), QDate::currentDate().toString("dd.MM.yy"));
  screen.MessageBox()->setPlainText("Викличте майстра\n\n0441234567");
  TypeReminder("", "111111", "111111");
  screen.DateBox()->setDate(QDate(2026, 6, 15));
  screen.DaysBox()->setText("14");
  screen.MaskBox(1)->setChecked(true);  // display
  screen.MaskBox(4)->setChecked(true);  // sound
  Click(screen.SetButton());
  EXPECT_EQ(TakeSent(), (Requests{{0x34, "482916;0;Викличте майстра;"},
                                  {0x34, "482916;1;0441234567;"},
                                  {0x35, ";111111;150626;14;12;"}}));
  EXPECT_EQ(TakeMessages(), Messages{"Успешно!"});

  screen.DateBox()->setDate(QDate(2030, 1, 1));
  screen.DaysBox()->clear();
  screen.MaskBox(1)->setChecked(false);
  screen.MaskBox(0)->setChecked(true);
  Click(screen.ReadButton());
  EXPECT_EQ(TakeSent(), (Requests{{0x36, "482916;"}}));
  EXPECT_EQ(TakeMessages(), Messages{"Успешно!"});
  EXPECT_EQ(screen.DateBox()->text(), "15.06.26");
  EXPECT_EQ(screen.DaysBox()->text(), "14");
  EXPECT_EQ(MaskTicks(), "10010");

  Click(screen.ReportButton());
  EXPECT_EQ(TakeSent(), (Requests{{0x60, "482916;"}, {0x84, "482916;3;"}, {0x65, "482916;0;"}}));
  EXPECT_TRUE(TakeMessages().empty());
  const std::string tape = Tape();
  EXPECT_NE(tape.find("Викличте майстра\n0441234567\n"), std::string::npos) << tape;

  // An empty message box keeps the stored message; the old password must now be given.
  screen.MessageBox()->clear();
  TypeReminder("111111", "222222", "222222");
  Click(screen.SetButton());
  EXPECT_EQ(TakeSent(), (Requests{{0x35, "111111;222222;150626;14;12;"}}));
  EXPECT_EQ(TakeMessages(), Messages{"Успешно!"});
  WithDevice([](sim::DeviceState& s) {
    EXPECT_EQ(s.reminder.password, "222222");
    EXPECT_EQ(s.reminder.message.size(), 2u);
  });

  // Each opening puts today's date back.
  screen.hide();
  Open(screen);
  EXPECT_EQ(screen.DateBox()->date(), QDate::currentDate());
}

TEST_F(ServiceReminderTest, ReadMaskTicksExactlyItsBits) {
  for (int mask : {0x1F, 0x00, 0x05}) {
    WithDevice([mask](sim::DeviceState& s) { s.reminder.mask = mask; });
    Click(screen.ReadButton());
    EXPECT_EQ(TakeMessages(), Messages{"Успешно!"});
    for (int bit = 0; bit < 5; ++bit) EXPECT_EQ(screen.MaskBox(bit)->isChecked(), ((mask >> bit) & 1) == 1) << mask;
  }
}

TEST_F(ServiceReminderTest, BadInputSendsNothing) {
  struct Case {
    const char* text;
    const char* newPassword;
    const char* repeat;
    const char* days;
    const char* shown;
  } cases[] = {
      {"line", "111111", "111112", "1", "Неверный пароль. Попробуйте ещё раз!"},
      // Refused before the message lines go, so the device's buffer is left untouched.
      {"line", "111111", "111111", "1a", "'1a' is not a valid integer value"},
      {"line", "111111", "111111", "", "'' is not a valid integer value"},
      {"line\nits;part", "111111", "111111", "1", "Сообщение не может содержать символ \";\"."},
  };
  for (const auto& c : cases) {
    screen.MessageBox()->setPlainText(c.text);
    TypeReminder("", c.newPassword, c.repeat);
    screen.DaysBox()->setText(c.days);
    Click(screen.SetButton());
    EXPECT_TRUE(TakeSent().empty()) << c.shown;
    EXPECT_EQ(TakeMessages(), Messages{c.shown});
  }
  EXPECT_EQ(screen.OldPasswordBox()->maxLength(), 6);
  EXPECT_EQ(screen.NewPasswordBox()->echoMode(), QLineEdit::Password);
}

TEST_F(ServiceReminderTest, RefusalsStopAtTheStepThatFailed) {
  WithDevice([](sim::DeviceState& s) { s.reminder.password = "111111"; });
  screen.MessageBox()->setPlainText("first\nsecond");
  TypeReminder("999999", "123456", "123456");
  screen.DaysBox()->setText("3");
  Click(screen.SetButton());
  EXPECT_EQ(TakeSent().size(), 3u);
  EXPECT_EQ(TakeMessages(),
            Messages{"Установить информацию о сервисном обслуживании:\n  Неверный пароль доступа!"});
  EXPECT_EQ(screen.OldPasswordBox()->text(), "999999");

  server.faults().FailCommand(0x34, sim::err::kLowBuffer);
  Click(screen.SetButton());
  EXPECT_EQ(TakeSent(), (Requests{{0x34, "482916;0;first;"}}));
  const Messages lineFailed = TakeMessages();
  ASSERT_EQ(lineFailed.size(), 1u);
  EXPECT_EQ(lineFailed[0].rfind("Добавить строку во временный буфер:\n  ", 0), 0u) << lineFailed[0];

  server.faults().Clear();
  server.faults().FailCommand(0x36, sim::err::kPassword);
  server.faults().FailCommand(0x84, sim::err::kPassword);
  Click(screen.ReadButton());
  Click(screen.ReportButton());
  EXPECT_EQ(TakeSent(), (Requests{{0x36, "482916;"}, {0x60, "482916;"}, {0x84, "482916;3;"}}));
  EXPECT_EQ(TakeMessages(), (Messages{"Чтение информации о напоминании сервисного обслуживания:\n  Неверный пароль доступа!",
                                      "Отчет об напоминании ТО:\n  Неверный пароль доступа!"}));

  // The receipt left open by the failed report refuses the next one; its text stands alone.
  server.faults().Clear();
  Click(screen.ReportButton());
  EXPECT_EQ(TakeSent().size(), 1u);
  const Messages openFailed = TakeMessages();
  ASSERT_EQ(openFailed.size(), 1u);
  EXPECT_EQ(openFailed[0].find(':'), std::string::npos) << openFailed[0];
}

}  // namespace
}  // namespace kovrix
