// The screen "Профиль регистратора" against the simulator: a profile read and saved to a file,
// the file edited, opened and compared (the differing rows marked), applied after a question that
// names the number of fields, and compared equal afterwards; fields the registrator refuses in its
// state stop the apply before anything is written.

#include <QDir>
#include <QFile>
#include <QLabel>
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
  EXPECT_EQ(messages[0].rfind("Регистратор сейчас не примет эти поля, ничего не записано:\n  /decimalPoint: a shift is open", 0), 0u)
      << messages[0];
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

}  // namespace
}  // namespace kovrix::test
