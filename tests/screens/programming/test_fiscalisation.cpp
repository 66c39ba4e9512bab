#include "screens/programming/fiscalisation.h"

#include <QTimer>

#include "sim/model/state_file.h"
#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;

const char* const kNotConfirmed = " Фіскалізацію виконано, чек підтвердження не надруковано.";

class FiscalisationTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    server.setBootTime(std::chrono::milliseconds(400));
    Open(screen);
    screen.SerialBox()->setText("KR230000001");  // the factory simulator's number
    SetInspector("123456", "123456");
  }
  void SetInspector(const QString& password, const QString& repeat) {
    screen.InspectorBox()->setText(password);
    screen.RepeatBox()->setText(repeat);
  }
  bool Fiscalised() { return WithDevice([](sim::DeviceState& s) { return s.fiscalised; }); }
  // Answers the requests with the probes of the wait (80h) taken out, and how many there were.
  std::vector<Sent> SentWithoutProbes(int& probes) {
    std::vector<Sent> out;
    probes = 0;
    for (const Sent& s : TakeSent()) {
      if (s.command == 0x80) {
        ++probes;
      } else {
        out.push_back(s);
      }
    }
    return out;
  }

  Fiscalisation screen{context};
};

TEST_F(FiscalisationTest, AFactoryRegistratorIsFiscalisedAndPrintsTheConfirmation) {
  // The operator's password goes with the fiscalisation only; the receipt uses the fixed one.
  WithDevice([](sim::DeviceState& s) { return s.adminPassword = "111111"; });
  screen.PasswordBox()->setText("111111");
  Click(screen.FiscaliseButton());
  EXPECT_EQ(TakeMessages(), Messages{"Фіскаліз. реєстратора - Успішно!"});
  int probes = 0;
  EXPECT_EQ(SentWithoutProbes(probes),
            (std::vector<Sent>{{0x40, "111111;KR230000001;123456;"},
                               {0x60, "482916;"},
                               {0x84, "482916;1;"},
                               {0x61, "482916;РЕЄСТРАТОР ФІСКАЛІЗОВАНО УСПІШНО!;"},
                               {0x65, "482916;0;"}}));
  EXPECT_GE(probes, 2);  // the first probe finds the registrator restarting
  const auto entries = server.journal().Entries();
  EXPECT_EQ(entries[1].outcome, sim::Outcome::Offline);
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0000");
  EXPECT_NE(Tape().find("РЕЄСТРАТОР ФІСКАЛІЗОВАНО УСПІШНО!"), std::string::npos);

  // The device is fiscalised for good: status bit, fiscal memory record, the saved state.
  EXPECT_TRUE(server.withDevice([](sim::Registrator& r) { return (r.device().Status()[4] & 0x02) != 0; }));
  const std::string saved = WithDevice([](sim::DeviceState& s) { return sim::SaveStateText(s); });
  EXPECT_NE(saved.find("\nfiscalised=1\n"), std::string::npos);
  sim::DeviceState reloaded = sim::FactoryState();
  ASSERT_TRUE(sim::LoadStateText(saved, reloaded));
  EXPECT_TRUE(reloaded.fiscalised);

  // A second fiscalisation is refused by the registrator and nothing follows it.
  Click(screen.FiscaliseButton());
  EXPECT_EQ(TakeMessages(), Messages{"Фіскаліз. реєстратора:\n  Команда не может быть выполнена в данном состоянии "
                                     "регистратора!\nНеверный режим регистратора (перемычка)!"});
  EXPECT_EQ(TakeSent().size(), 1u);
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0007");
}

TEST_F(FiscalisationTest, InspectorPasswordsMustBeSixCharactersAndEqual) {
  struct Case {
    const char* password;
    const char* repeat;
    const char* message;
  } cases[] = {
      {"12345", "12345", "Довжина пароля - 6!"},
      {"123456", "12345", "Довжина пароля - 6!"},
      {"123456", "654321", "Повторно зроби ввод паролей та фіскалізацію"},
  };
  for (const Case& c : cases) {
    SetInspector(c.password, c.repeat);
    Click(screen.FiscaliseButton());
    EXPECT_EQ(TakeMessages(), Messages{c.message});
  }
  EXPECT_TRUE(TakeSent().empty());
  EXPECT_FALSE(Fiscalised());
}

TEST_F(FiscalisationTest, AFailedStepOfTheConfirmationReceiptEndsIt) {
  server.setBootTime(std::chrono::milliseconds(0));
  for (int command : {0x60, 0x61, 0x65}) {
    WithDevice([](sim::DeviceState& s) {
      s.fiscalised = false;
      s.receipt = sim::Receipt{};
      return 0;
    });
    server.faults().Clear();
    server.faults().FailCommand(static_cast<std::uint8_t>(command), sim::err::kDocState);
    Click(screen.FiscaliseButton());
    EXPECT_EQ(TakeMessages(), Messages{"Фіскаліз. реєстратора:\n  Ошибка работы с продажами!\n Неверное состояние документа!"})
        << std::hex << command;
    EXPECT_EQ(TakeSent().back().command, command);
    EXPECT_EQ(screen.ErrorCodeBox()->text(), "000B");
  }
}

TEST_F(FiscalisationTest, AFailedServiceReportIsPassedOver) {
  server.faults().FailCommand(0x84, sim::err::kPrinter);
  Click(screen.FiscaliseButton());
  EXPECT_EQ(TakeMessages(), (Messages{"Фискализация регистратора:\n  Ошибка оборудования!\n Ошибка принтера!",
                                      "Фіскаліз. реєстратора - Успішно!"}));
  int probes = 0;
  const auto sent = SentWithoutProbes(probes);
  ASSERT_EQ(sent.size(), 5u);
  EXPECT_EQ(sent[4].command, 0x65);
}

TEST_F(FiscalisationTest, TheWaitForASilentRegistratorIsBounded) {
  server.setBootTime(std::chrono::hours(1));  // the registrator never comes back
  screen.SetWaitLimit(700);
  Click(screen.FiscaliseButton());
  EXPECT_EQ(TakeMessages(), Messages{std::string("Фіскаліз. реєстратора:\n  Реєстратор не відповідає після "
                                                 "перезавантаження.") + kNotConfirmed});
  int probes = 0;
  EXPECT_EQ(SentWithoutProbes(probes).size(), 1u);
  EXPECT_GE(probes, 2);
  EXPECT_TRUE(Fiscalised());
  EXPECT_TRUE(screen.FiscaliseButton()->isEnabled());
  EXPECT_TRUE(screen.StopWaitButton()->isHidden());
}

TEST_F(FiscalisationTest, TheWaitCanBeStoppedFromTheScreen) {
  // The registrator comes back but answers every probe with an error: only the user ends the wait.
  server.faults().FailCommand(0x80, sim::err::kPrinter);
  bool shownWhileWaiting = false;
  QTimer::singleShot(50, &screen, [&] {
    shownWhileWaiting = !screen.StopWaitButton()->isHidden() && !screen.CloseButton()->isEnabled();
    Click(screen.StopWaitButton());
  });
  Click(screen.FiscaliseButton());
  EXPECT_TRUE(shownWhileWaiting);
  EXPECT_EQ(TakeMessages(), Messages{std::string("Фіскаліз. реєстратора:\n  Очікування перервано.") + kNotConfirmed});
  EXPECT_TRUE(screen.CloseButton()->isEnabled());
  EXPECT_TRUE(screen.isVisible());
}

TEST_F(FiscalisationTest, ClosingTheScreenDuringTheWaitStopsItThenClosesTheScreen) {
  server.faults().FailCommand(0x80, sim::err::kPrinter);
  bool openWhileWaiting = false;
  QTimer::singleShot(50, &screen, [&] {
    screen.reject();  // the window's own close button or Esc
    openWhileWaiting = screen.isVisible();
  });
  Click(screen.FiscaliseButton());
  EXPECT_TRUE(openWhileWaiting);
  EXPECT_EQ(TakeMessages(), Messages{std::string("Фіскаліз. реєстратора:\n  Очікування перервано.") + kNotConfirmed});
  EXPECT_FALSE(screen.isVisible());
  EXPECT_EQ(screen.result(), QDialog::Rejected);
}

}  // namespace
}  // namespace kovrix
