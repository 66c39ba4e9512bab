// The screen "Профиль регистратора" against the simulator: a profile read and saved to a file,
// the file edited, opened and compared (the differing rows marked), applied after a question that
// names the number of fields, and compared equal afterwards; fields the registrator refuses in its
// state stop the apply before anything is written; every reason is told in Russian.

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <fstream>

#include <nlohmann/json.hpp>

#include "app/long_run.h"
#include "screens/programming/device_profile_screen.h"
#include "support/sim_screen_fixture.h"

namespace kovrix::test {
namespace {

using nlohmann::json;

class DeviceProfileScreenTest : public SimScreenFixture {
 protected:
  json ReadFile() {
    std::ifstream in(path.toStdString());
    return json::parse(in);
  }
  void WriteFile(const json& profile) { std::ofstream(path.toStdString()) << profile.dump(2); }
  std::vector<std::string> MarkedRows() {
    std::vector<std::string> out;
    for (int r = 0; r < screen.Table()->rowCount(); ++r) {
      if (screen.RowDiffers(r)) {
        out.push_back((screen.Table()->item(r, 1)->text() + " " + screen.Table()->item(r, 2)->text() + " -> " +
                       screen.Table()->item(r, 3)->text())
                          .toStdString());
      }
    }
    return out;
  }
  int Writes() {
    int n = 0;
    for (const Sent& s : TakeSent()) n += s.command == 0x22 || s.command == 0x47 || s.command == 0x49;
    return n;
  }
  // The English words of a message: runs of two or more Latin letters outside its JSON Pointers.
  static QStringList EnglishWords(const std::string& message) {
    QString text = QString::fromStdString(message);
    text.remove(QRegularExpression(QStringLiteral("/\\S*")));
    QStringList words;
    auto it = QRegularExpression(QStringLiteral("[A-Za-z]{2,}")).globalMatch(text);
    while (it.hasNext()) words << it.next().captured();
    return words;
  }

  QTemporaryDir dir;
  QString path = dir.filePath(QStringLiteral("shop.json"));
  DeviceProfileScreen screen{context};
};

TEST_F(DeviceProfileScreenTest, ReadSaveEditCompareAndApplyAfterTheQuestion) {
  Open(screen);
  EXPECT_FALSE(screen.ApplyButton()->isEnabled());
  ui.fileNames = {path};
  Click(screen.SaveButton());
  EXPECT_EQ(TakeMessages(), std::vector<std::string>{"Профиль сохранён в " + path.toStdString()});
  json profile = ReadFile();
  EXPECT_EQ(profile["decimalPoint"], 2);
  EXPECT_EQ(profile["header"]["lines"][1]["text"], "м. Київ, вул. Хрещатик, 1");

  profile["decimalPoint"] = 3;
  profile["header"]["lines"][1]["text"] = "Каса 2";
  WriteFile(profile);
  ui.fileNames = {path};
  Click(screen.CompareButton());
  EXPECT_TRUE(TakeMessages().empty());
  EXPECT_EQ(MarkedRows(), (std::vector<std::string>{"— 2 -> 3", "lines/1/text м. Київ, вул. Хрещатик, 1 -> Каса 2"}));
  EXPECT_GT(screen.Table()->rowCount(), 50);
  // The two differences are the first rows, and the line under the table counts them.
  EXPECT_TRUE(screen.RowDiffers(0) && screen.RowDiffers(1) && !screen.RowDiffers(2));
  EXPECT_EQ(screen.Summary()->text(), QStringLiteral("Различаются полей: 2 из %1 (выделены и показаны первыми).")
                                          .arg(screen.Table()->rowCount()));
  ASSERT_TRUE(screen.ApplyButton()->isEnabled());

  // Cancelled: nothing written.
  TakeSent();
  ui.answers = {false};
  Click(screen.ApplyButton());
  EXPECT_EQ(ui.questions.back().toStdString(), "Будет записано полей: 2.\nПрименить профиль?");
  EXPECT_EQ(Writes(), 0);

  ui.answers = {true};
  Click(screen.ApplyButton());
  EXPECT_EQ(TakeMessages(), std::vector<std::string>{"Записано полей: 2."});
  EXPECT_EQ(Writes(), 2);
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.decimalPoint; }), 3);
  EXPECT_TRUE(MarkedRows().empty());

  Click(screen.ApplyButton());
  EXPECT_EQ(TakeMessages(), std::vector<std::string>{"Регистратор уже совпадает с профилем: записывать нечего."});
}

TEST_F(DeviceProfileScreenTest, FieldsAnOpenShiftRefusesStopTheApplyUnlessSkipped) {
  WriteFile(json{{"format", 1}, {"decimalPoint", 3}, {"idDev", 12}});
  WithDevice([](sim::DeviceState& s) { s.shift.open = true; return 0; });
  Open(screen);
  ui.fileNames = {path};
  Click(screen.CompareButton());
  EXPECT_EQ(MarkedRows(), (std::vector<std::string>{"— 2 -> 3", "— 0 -> 12"}));
  TakeSent();
  Click(screen.ApplyButton());
  const auto messages = TakeMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0],
            "Регистратор сейчас не примет эти поля, ничего не записано:\n"
            "  /decimalPoint: открыта смена: сначала закройте её Z-отчетом\n"
            "Отметьте «Пропустить поля, которые регистратор сейчас не примет», чтобы записать остальные.");
  EXPECT_EQ(EnglishWords(messages[0]), QStringList());
  EXPECT_EQ(Writes(), 0);

  screen.SkipRefusedBox()->setChecked(true);
  ui.answers = {true};
  Click(screen.ApplyButton());
  EXPECT_EQ(ui.questions.back().toStdString().rfind("Будет записано полей: 1.\nБудут пропущены:\n  /decimalPoint", 0), 0u);
  EXPECT_EQ(TakeMessages(), std::vector<std::string>{"Записано полей: 1."});
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.idDev; }), 12);
}

// Every reply comes late, so the apply's window shows how far it got; its stop leaves the rest.
TEST_F(DeviceProfileScreenTest, TheApplyShowsItsProgressAndStopsBetweenTwoWrites) {
  WriteFile(json{{"format", 1}, {"decimalPoint", 3}, {"idDev", 12}});
  Open(screen);
  ui.fileNames = {path};
  Click(screen.CompareButton());
  server.faults().SynBeforeReply(250, 20);
  QString shown;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    LongRun* run = LongRun::Current();
    if (run == nullptr || !run->Window()->isVisible() || !shown.isEmpty()) return;
    shown = run->Window()->findChild<QLabel*>()->text();
    Click(run->StopButton());
  });
  poll.start(20);
  ui.answers = {true};
  Click(screen.ApplyButton());
  poll.stop();
  EXPECT_EQ(shown.toStdString(), "Выполняется 1 из 2");
  EXPECT_EQ(TakeMessages(), std::vector<std::string>{"Записано полей: 1.\nНе записывалось полей: 1."});
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return std::make_pair(s.decimalPoint, s.idDev); }),
            std::make_pair(3, std::int64_t{0}));
  server.faults().Clear();
}

// A profile file that breaks the rules is refused before anything is sent, each field's problem
// told in Russian after its JSON Pointer.
TEST_F(DeviceProfileScreenTest, ABadProfileIsRefusedInRussianNamingTheField) {
  struct Case {
    const char* name;
    const char* profile;
    const char* problem;
  };
  const std::vector<Case> cases = {
      {"wrong type", R"({"format": 1, "decimalPoint": "2"})", "/decimalPoint: должно быть целым числом"},
      {"out of range", R"({"format": 1, "communication": {"port": 0}})",
       "/communication/port: должно быть от 1 до 65535"},
      {"unknown field", R"({"format": 1, "taxes": [{"colour": "red"}]})",
       "/taxes/0/colour: такого поля нет в профиле этого формата"},
      {"separator in a text", R"({"format": 1, "header": {"lines": [{"text": "Кава; чай"}]}})",
       "/header/lines/0/text: не должно содержать \";\""},
      {"unknown format", R"({"format": 2, "decimalPoint": 3})",
       "/format: неизвестный формат профиля (эта версия программы читает формат 1)"},
      {"date format", R"({"format": 1, "serviceReminder": {"date": "2026-07-15"}})",
       "/serviceReminder/date: должно быть существующей датой дд.мм.гг"},
  };
  Open(screen);
  TakeSent();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(json::parse(c.profile));
    ui.fileNames = {path};
    Click(screen.CompareButton());
    const auto messages = TakeMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], std::string("Профиль не принят, ничего не отправлено:\n  ") + c.problem);
    EXPECT_EQ(EnglishWords(messages[0]), QStringList()) << messages[0];
    EXPECT_TRUE(TakeSent().empty());
    EXPECT_FALSE(screen.ApplyButton()->isEnabled());
  }
}

// The registrator's refusals reach the operator in Russian, its own error text as it gave it.
TEST_F(DeviceProfileScreenTest, TheRegistratorsRefusalsAreShownInRussianWithItsOwnText) {
  Open(screen);
  server.faults().FailCommand(0x80, sim::err::kPassword);
  Click(screen.SaveButton());
  EXPECT_EQ(TakeMessages(), std::vector<std::string>{"Чтение профиля:\n  чтение диагностической информации: "
                                                     "регистратор отказал (ошибка 0006): Неверный пароль доступа!"});
  server.faults().Clear();

  WriteFile(json{{"format", 1}, {"idDev", 12}});
  ui.fileNames = {path};
  Click(screen.CompareButton());
  server.faults().FailCommand(0x4B, sim::err::kPassword);
  ui.answers = {true};
  Click(screen.ApplyButton());
  const auto messages = TakeMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Записано полей: 0.\nОтказ: /idDev: регистратор отказал (ошибка 0006): Неверный пароль доступа!");
  EXPECT_EQ(EnglishWords(messages[0]), QStringList());
  server.faults().Clear();

  // The write's every reply lost: its outcome is unknown, and the message says why.
  server.faults().Aim(0x4B, sim::LineFault::Mute, 0);
  ui.answers = {true};
  Click(screen.ApplyButton());
  EXPECT_EQ(TakeMessages(), std::vector<std::string>{"Записано полей: 0.\nНеизвестно, записано ли: /idDev (нет ответа: что "
                                                     "сделал регистратор, неизвестно). Примените профиль ещё раз."});
  server.faults().Clear();
}

// A profile the registrator's own size refuses (a logo wider than it takes) is named as refused
// when applied, not taken for one with nothing to write.
TEST_F(DeviceProfileScreenTest, AProfileTheRegistratorsSizeRefusesIsNamedWhenApplied) {
  WriteFile(json{{"format", 1},
                 {"decimalPoint", 3},
                 {"logo", {{"width", 400}, {"height", 1}, {"bitmap", std::string(100, 'F')}}}});
  Open(screen);
  ui.fileNames = {path};
  Click(screen.CompareButton());
  ASSERT_TRUE(screen.ApplyButton()->isEnabled());
  TakeSent();
  Click(screen.ApplyButton());
  EXPECT_EQ(TakeMessages(), std::vector<std::string>{"Профиль не принят, ничего не записано:\n"
                                                     "  /logo/width: шире, чем принимает регистратор (наибольшая "
                                                     "ширина в точках: 384)"});
  EXPECT_TRUE(ui.questions.empty());
  EXPECT_EQ(Writes(), 0);
}

}  // namespace
}  // namespace kovrix::test
