// A long run against the simulated registrator: its window never takes the keys meant for the
// screen, Esc stops it wherever the focus is, and a device that stops answering ends it after three
// commands in a row instead of one time-out per line for the rest of the run.

#include <QTimer>

#include "app/input_gate.h"
#include "app/long_run.h"
#include "screens/programming/fiscal_parameters.h"
#include "screens/programming/header_text.h"
#include "screens/sales/article_loading.h"
#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using Messages = std::vector<std::string>;

const QString kThreeArticles = QStringLiteral("1;A;1.00;0;1;\n2;B;1.00;0;1;\n3;C;1.00;0;1;");

class LongRunTest : public test::SimScreenFixture {
 protected:
  /// Writes the articles while the first reply comes late, so that the run's window is up; at that
  /// moment presses the keys on whatever holds the focus, then on the run's window and its button.
  /// Answers whether the window was up and the focus outside it when the keys came.
  bool WriteArticlesPressing(std::vector<Qt::Key> keys) {
    articles.LinesBox()->setPlainText(kThreeArticles);
    server.faults().SynBeforeReply(LongRun::kShowAfterMs + 300);
    bool shownWithoutFocus = false;
    QTimer::singleShot(LongRun::kShowAfterMs + 150, [&] {
      LongRun* run = LongRun::Current();
      if (run == nullptr) return;
      QWidget* focus = QApplication::focusWidget();
      shownWithoutFocus = run->Window()->isVisible() && QApplication::activeWindow() != run->Window() &&
                          (focus == nullptr || focus->window() != run->Window());
      for (Qt::Key key : keys) {
        QTest::keyClick(focus != nullptr ? focus : static_cast<QWidget*>(&articles), key);
        // Were the window to get the focus after all, its button would take no key but Esc either.
        if (key != Qt::Key_Escape) {
          QTest::keyClick(run->StopButton(), key);
          QTest::keyClick(run->Window(), key);
        }
      }
    });
    Click(articles.WriteButton());
    return shownWithoutFocus;
  }

  ArticleLoading articles{context};
};

TEST_F(LongRunTest, EnterAndSpaceGoNowhereDuringARunAndEscStopsIt) {
  Open(articles);
  articles.WriteButton()->setFocus();
  TakeSent();
  EXPECT_TRUE(WriteArticlesPressing({Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}));
  EXPECT_EQ(TakeSent().size(), 3u);
  EXPECT_EQ(TakeMessages(), Messages{"Завершено"});
  EXPECT_TRUE(articles.isVisible());
  EXPECT_EQ(LongRun::Current(), nullptr);

  EXPECT_TRUE(WriteArticlesPressing({Qt::Key_Escape}));
  EXPECT_EQ(TakeSent().size(), 1u);
  EXPECT_EQ(TakeMessages(), (Messages{"Завершено", "Загрузка остановлена пользователем: отправлено строк 1 из 3."}));
  EXPECT_TRUE(articles.isVisible()) << "Esc stopped the run, not closed the screen";
}

// Esc answers a question the program asks inside a run; it does not stop the run then.
TEST_F(LongRunTest, EscInsideARunsQuestionAnswersTheQuestion) {
  Open(articles);
  LongRun run(&articles, QStringLiteral("Проверка"), 2);
  QDialog question(&articles);
  {
    const InputGate::Opening asking;
    question.show();
    QTest::keyClick(&question, Qt::Key_Escape);
  }
  EXPECT_FALSE(question.isVisible());
  EXPECT_TRUE(run.Continue());
  EXPECT_FALSE(run.Stopped());
}

class SilentDeviceTest : public LongRunTest {
 protected:
  void SetUp() override {
    LongRunTest::SetUp();
    ui.onModal["TForm22"] = [this](QDialog&) {
      confirmation.FiscalNumberBox()->setChecked(true);
      confirmation.TaxIdBox()->setChecked(true);
      confirmation.TaxesBox()->setChecked(true);
      confirmation.ContinueButton()->click();
    };
    ui.onModal["TForm36"] = [this](QDialog&) { result.ContinueButton()->click(); };
  }

  HeaderAndAdvertising header{context};
  ProgrammingConfirmation confirmation;
  OperationResult result;
  FiscalParameters taxes{context, confirmation, result, false};
};

TEST_F(SilentDeviceTest, ARunEndsAfterThreeCommandsInARowWithoutAReply) {
  const std::string timeout = "Таймаут устройства! Ошибка!";
  const auto silent = [this] { server.faults().Queue(sim::LineFault::Drop, 20); };
  struct Case {
    const char* what;
    Screen* screen;
    std::function<void()> start;
    std::size_t sent;
    Messages messages;
  } cases[] = {
      // A reply between time-outs starts the count again: 2 unanswered, 1 answered, then 3 unanswered.
      {"articles", &articles,
       [&] {
         QStringList lines;
         for (int i = 1; i <= 9; ++i) lines << QStringLiteral("%1;A;1.00;0;1;").arg(i);
         articles.LinesBox()->setPlainText(lines.join(u'\n'));
         server.faults().Queue(sim::LineFault::Drop, 2);
         server.faults().SynBeforeReply(1);
         silent();
         Click(articles.WriteButton());
       },
       6,
       {"Завершено",
        "Ошибка! Таймаут устройства! Регистратор не ответил 3 раза подряд, выполнение остановлено (выполнено 6 из 9).",
        "Регистратор не принял строк: 5.\nПервая из них, строка 1: 1;A;1.00;0;1;\n  " + timeout}},
      // Runs that end at their first failure say so and send no more.
      {"header lines", &header,
       [&] {
         silent();
         header.OperationBox()->setCurrentIndex(HeaderAndAdvertising::ReadAll);
         Click(header.ExecuteButton());
       },
       1, {"Заголовок.\n  Строка 0 :\n  " + timeout}},
      {"fiscal parameters", &taxes,
       [&] {
         silent();
         Click(taxes.ProgramButton());
       },
       3,
       {"Налог А:\n  " + timeout, "Таймаут устройства! SetFiscalNumber Ошибка!",
        "Таймаут устройства! SetTaxIdNumber Ошибка!"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Open(*c.screen);
    TakeSent();
    TakeMessages();
    c.start();
    EXPECT_EQ(TakeSent().size(), c.sent);
    EXPECT_EQ(TakeMessages(), c.messages);
    EXPECT_EQ(LongRun::Current(), nullptr);
    server.faults().Clear();
    c.screen->hide();
  }
}

}  // namespace
}  // namespace kovrix
