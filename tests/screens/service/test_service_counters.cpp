#include "screens/service/service_counters.h"
#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;
using Requests = std::vector<Sent>;

ReplyRecord ReplyOf(std::vector<std::string> fields) {
  ReplyRecord reply;
  reply.errorText = "0000";
  reply.fieldCount = static_cast<int>(fields.size());
  reply.fields = std::move(fields);
  return reply;
}

TEST(ServiceCounterValues, EachCounterShowsItsValueByItsMeaning) {
  struct Case {
    int counter;
    std::vector<std::string> fields;
    const char* shown;
  } cases[] = {
      {0, {"87"}, "87%"},          {1, {"2"}, "2. USB"},      {1, {"0"}, "0. Auto"}, {1, {"3x"}, "3. Bluetooth"},
      {1, {"4"}, ""},              {1, {}, ""},               {2, {"30", "s"}, "30"}, {7, {"1"}, "1"},
      {11, {"524288", "x"}, ""},   {15, {}, ""},              {16, {"1"}, ""},       {-1, {"1"}, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CounterValueText(c.counter, ReplyOf(c.fields)).toStdString(), c.shown) << c.counter;
  }
  EXPECT_EQ(ServiceCounterList().size(), 16u);
}

class ServiceCountersTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    Open(screen);
  }
  void Select(int counter) { screen.CounterList()->setCurrentIndex(counter); }

  ServiceCounters screen{context};
};

TEST_F(ServiceCountersTest, SelectingACounterEnablesWhatItAllows) {
  EXPECT_EQ(screen.CounterList()->currentIndex(), 0);
  EXPECT_EQ(screen.CounterList()->count(), 16);
  EXPECT_EQ(screen.CounterList()->itemText(3), "Режим USB накопителя");
  EXPECT_TRUE(screen.ReadButton()->isEnabled());
  EXPECT_FALSE(screen.SetButton()->isEnabled());
  const bool readable[16] = {1, 1, 1, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  for (int counter = 15; counter >= 0; --counter) {
    screen.ValueBox()->setText("5");
    Select(counter);
    EXPECT_EQ(screen.ReadButton()->isEnabled(), readable[counter]) << counter;
    EXPECT_EQ(screen.SetButton()->isEnabled(), counter != 0) << counter;
    EXPECT_EQ(screen.ValueBox()->text(), counter == 1 || counter == 2 ? "0" : "") << counter;
  }
  // Each opening starts again from counter 0 with an empty value.
  Select(7);
  screen.ValueBox()->setText("5");
  screen.hide();
  Open(screen);
  EXPECT_EQ(screen.CounterList()->currentIndex(), 0);
  EXPECT_EQ(screen.ValueBox()->text(), "");
  EXPECT_FALSE(screen.SetButton()->isEnabled());
}

TEST_F(ServiceCountersTest, CountersAreSetAndReadBack) {
  Click(screen.ReadButton());
  EXPECT_EQ(TakeSent(), (Requests{{0x89, "482916;0;"}}));
  EXPECT_EQ(screen.ValueBox()->text(), "87%");

  struct Case {
    int counter;
    const char* typed;
    const char* sent;
    const char* readBack;
  } cases[] = {{1, "2", "482916;1;2;", "2. USB"}, {2, "120", "482916;2;120;", "120"}, {11, "4096", "482916;11;4096;", "4096"}};
  for (const auto& c : cases) {
    Select(c.counter);
    screen.ValueBox()->setText(c.typed);
    Click(screen.SetButton());
    screen.ValueBox()->clear();
    Click(screen.ReadButton());
    EXPECT_EQ(TakeSent(), (Requests{{0x88, c.sent}, {0x89, "482916;" + std::to_string(c.counter) + ";"}}));
    EXPECT_EQ(screen.ValueBox()->text(), c.readBack);
  }
  // An empty value box sets 0.
  Select(5);
  Click(screen.SetButton());
  EXPECT_EQ(TakeSent(), (Requests{{0x88, "482916;5;0;"}}));
  EXPECT_EQ(TakeMessages(), Messages(8, "Успешно!"));
}

TEST_F(ServiceCountersTest, BadValuesAndRefusalsLeaveTheDialogAsItWas) {
  Select(7);
  screen.ValueBox()->setText("1,5");
  Click(screen.SetButton());
  EXPECT_TRUE(TakeSent().empty());
  EXPECT_EQ(TakeMessages(), Messages{"'1,5' is not a valid integer value"});

  Select(1);
  screen.ValueBox()->setText("9");
  Click(screen.SetButton());
  server.faults().FailCommand(0x89, sim::err::kPassword);
  Click(screen.ReadButton());
  EXPECT_EQ(TakeMessages(), (Messages{"Установка служебных счетчиков:\n  Значение поля номер 3 выходит за допустимый диапазон!",
                                      "Чтение служебных счетчиков:\n  Неверный пароль доступа!"}));
  EXPECT_EQ(screen.ValueBox()->text(), "9");
}

TEST_F(ServiceCountersTest, UsbStorageModeClosesThePortOnlyWhenTheDeviceTookIt) {
  Select(3);
  screen.ValueBox()->setText("1");
  server.faults().FailCommand(0x88, sim::err::kPassword);
  Click(screen.SetButton());
  EXPECT_EQ(TakeMessages(), Messages{"Установка служебных счетчиков:\n  Неверный пароль доступа!"});
  EXPECT_TRUE(TheLink().IsOpen());
  EXPECT_EQ(shell.disconnectedShown, 0);
  EXPECT_TRUE(screen.isVisible());

  server.faults().Clear();
  Click(screen.SetButton());
  EXPECT_EQ(TakeMessages(), Messages{"Успешно!"});
  EXPECT_FALSE(TheLink().IsOpen());
  EXPECT_EQ(shell.disconnectedShown, 1);
  EXPECT_FALSE(screen.isVisible());
  EXPECT_EQ(TakeSent(), (Requests{{0x88, "482916;3;1;"}, {0x88, "482916;3;1;"}}));
}

}  // namespace
}  // namespace kovrix
