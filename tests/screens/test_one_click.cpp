// One click, one command: what the user does while the registrator is slow to answer is dropped,
// never run afterwards; the windows keep repainting and show a busy cursor meanwhile.

#include <QCursor>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QPainter>
#include <QTimer>

#include "app/input_gate.h"
#include "app/long_run.h"
#include "screens/programming/header_text.h"
#include "screens/reports/daily_reports.h"
#include "screens/sales/article_loading.h"
#include "screens/sales/fiscal_receipt.h"
#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;

// How long the simulated registrator delays the reply (a SYN stream), and when the second click
// comes: well inside the delay.
constexpr int kDelayMs = 600;
constexpr int kSecondClickMs = 120;

int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class OneClickTest : public test::SimScreenFixture {
 protected:
  /// Clicks the button, and clicks it again while its command waits for the delayed reply; then
  /// lets the program run idle for a while, as a user's program would after the first action.
  void ClickTwiceDuringDelay(QAbstractButton* button) {
    server.faults().SynBeforeReply(kDelayMs);
    QTimer::singleShot(kSecondClickMs, button, [this, button] { Click(button); });
    Click(button);
    QTest::qWait(kDelayMs);
  }
  static int CountOf(const std::vector<Sent>& sent, int command) {
    return static_cast<int>(std::count_if(sent.begin(), sent.end(), [&](const Sent& s) { return s.command == command; }));
  }
};

TEST_F(OneClickTest, ASlowPaymentClickedTwicePaysOnce) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QFile file(dir.filePath("goods.art"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(QByteArray::fromStdString(Utf8ToCp1251("1;Хліб;12.50;0;1;\r\n")));
  file.close();
  ui.fileNames.push_back(file.fileName());
  ArticleLoading articles{context};
  FiscalReceipt screen{context, articles};
  state.protocolVersion = "3.01";
  Open(screen);
  Click(screen.OpenButton());
  screen.ArticleList()->itemClicked(screen.ArticleList()->item(0));
  screen.QuantityBox()->setText("1");
  screen.PriceBox()->setText("12.50");
  Click(screen.SellButton());
  TakeSent();
  TakeMessages();

  screen.PaymentTypeList()->setCurrentText("0");
  screen.PaymentAmountBox()->setText("5.00");
  ClickTwiceDuringDelay(screen.PayButton());

  EXPECT_EQ(CountOf(TakeSent(), 0x67), 1);
  EXPECT_EQ(Count(Tape(), "5.00"), 1) << Tape();
  EXPECT_TRUE(TakeMessages().empty());
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0000");
}

TEST_F(OneClickTest, ASlowXReportClickedTwicePrintsOneReport) {
  DailyReports screen{context};
  Open(screen);
  WithDevice([](sim::DeviceState& s) { s.shift.open = true; });
  ClickTwiceDuringDelay(screen.XReportButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0xA1, "482916;1;"}}));
  EXPECT_EQ(Count(Tape(), "X-ЗВІТ"), 1) << Tape();
  EXPECT_TRUE(TakeMessages().empty());
}

// A widget that notes when it was last painted.
class PaintProbe : public QWidget {
 public:
  PaintProbe() { resize(120, 40); }
  std::vector<qint64> paintedAt;
  QElapsedTimer clock;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter(this).fillRect(rect(), Qt::white);
    paintedAt.push_back(clock.elapsed());
  }
};

TEST_F(OneClickTest, DuringASilenceTheWindowRepaintsAndShowsABusyCursorAndKeysAreDropped) {
  DailyReports screen{context};
  Open(screen);
  PaintProbe probe;
  probe.show();
  QApplication::processEvents();
  // A silent device: the X report waits out the whole silence (10 passes of 30 ms).
  server.faults().Queue(sim::LineFault::Drop);
  probe.clock.start();
  probe.paintedAt.clear();
  std::vector<qint64> asked;
  bool busyCursor = false;
  QTimer ask;
  QObject::connect(&ask, &QTimer::timeout, [&] {
    asked.push_back(probe.clock.elapsed());
    probe.update();
    busyCursor = busyCursor || (QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor);
    QTest::keyClick(&screen, Qt::Key_Escape);  // would close the screen
  });
  ask.start(60);
  const long droppedBefore = InputGate::Instance().DroppedCount();
  Click(screen.XReportButton());
  const qint64 exchangeEnd = probe.clock.elapsed();
  ask.stop();

  ASSERT_GE(asked.size(), 2u) << "timers do not run during the exchange";
  ASSERT_FALSE(probe.paintedAt.empty());
  // Every repaint asked for during the silence came within 100 ms, not after the exchange (one
  // asked for in its last 100 ms may come just after it).
  for (qint64 at : asked) {
    if (at + 100 > exchangeEnd) continue;
    const auto painted = std::find_if(probe.paintedAt.begin(), probe.paintedAt.end(), [&](qint64 p) { return p >= at; });
    ASSERT_NE(painted, probe.paintedAt.end());
    EXPECT_LT(*painted - at, 100) << "asked at " << at << " ms, exchange ended at " << exchangeEnd << " ms";
  }
  EXPECT_TRUE(busyCursor);
  EXPECT_TRUE(screen.isVisible());
  EXPECT_GT(InputGate::Instance().DroppedCount(), droppedBefore);
  EXPECT_EQ(TakeMessages().size(), 1u);  // the time-out, once
  // Once control is back with the user, the cursor is the ordinary one again.
  QTest::qWait(20);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(OneClickTest, AStopButtonsInputPassesDuringAnExchange) {
  DailyReports screen{context};
  Open(screen);
  QPushButton stop(QStringLiteral("Стоп"));
  InputGate::MarkStop(&stop);
  stop.show();
  int stops = 0;
  QObject::connect(&stop, &QPushButton::clicked, [&] { ++stops; });
  WithDevice([](sim::DeviceState& s) { s.shift.open = true; });
  server.faults().SynBeforeReply(kDelayMs);
  QTimer::singleShot(kSecondClickMs, &stop, [&] { Click(&stop); });
  Click(screen.XReportButton());
  EXPECT_EQ(stops, 1);
}

// A long run stopped while a command waits for the slow device: the stop window has shown, its
// button passes the gate, and the run ends after that command with its own ending.
TEST_F(OneClickTest, LongRunsStopAfterTheCommandInProgress) {
  ArticleLoading articles{context};
  HeaderAndAdvertising header{context};
  struct Case {
    const char* what;
    Screen* screen;
    std::function<void()> start;
    int command;
    std::vector<std::string> messages;
  } cases[] = {
      {"articles", &articles,
       [&] {
         articles.LinesBox()->setPlainText("1;A;1.00;0;1;\n2;B;1.00;0;1;\n3;C;1.00;0;1;\n4;D;1.00;0;1;");
         Click(articles.WriteButton());
       },
       0x24, {"Завершено", "Загрузка остановлена пользователем: отправлено строк 1 из 4."}},
      {"header lines", &header,
       [&] {
         header.OperationBox()->setCurrentIndex(3);  // read the header and the advertising
         Click(header.ExecuteButton());
       },
       0x23, {"Остановлено пользователем: выполнено строк 1."}},
      // A stop that arrives while the last line is on its way keeps nothing back: the run is whole.
      {"the last header line", &header,
       [&] {
         header.HeaderGrid()->item(9, 1)->setText("END");
         header.HeaderGrid()->item(9, 2)->setText(HeaderAndAdvertising::kSingle);
         header.OperationBox()->setCurrentIndex(HeaderAndAdvertising::ProgramHeader);
         Click(header.ExecuteButton());
       },
       0x22, {"Успешно!"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Open(*c.screen);
    TakeSent();
    TakeMessages();
    server.faults().SynBeforeReply(LongRun::kShowAfterMs + 300);
    bool shown = false, shownAtTheEnd = false;
    ui.onMessage = [&](const QString&) {
      shownAtTheEnd = shownAtTheEnd || (LongRun::Current() && LongRun::Current()->Window()->isVisible());
    };
    QTimer::singleShot(LongRun::kShowAfterMs + 150, [&] {
      ASSERT_NE(LongRun::Current(), nullptr);
      shown = LongRun::Current()->Window()->isVisible();
      Click(LongRun::Current()->StopButton());
    });
    c.start();
    EXPECT_TRUE(shown);
    EXPECT_FALSE(shownAtTheEnd);  // the ending is shown without the run's window
    ui.onMessage = nullptr;
    EXPECT_EQ(LongRun::Current(), nullptr);
    const std::vector<Sent> sent = TakeSent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].command, c.command);
    EXPECT_EQ(TakeMessages(), c.messages);
    c.screen->hide();
  }
}

// Inside a run the user's input is dropped, except while the program asks something (a message
// box, a question): then the user answers, with the ordinary cursor, and the run goes on gated.
TEST(InputGateTest, InsideARunOnlyTheProgramsQuestionsTakeInput) {
  QPushButton button(QStringLiteral("OK"));
  button.show();
  int clicks = 0;
  QObject::connect(&button, &QPushButton::clicked, [&] { ++clicks; });
  const auto waitCursor = [] { return QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor; };
  {
    const BusySpan run;
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicks, 0);
    EXPECT_TRUE(waitCursor());
    {
      const InputGate::Opening asking;
      QTest::mouseClick(&button, Qt::LeftButton);
      EXPECT_EQ(clicks, 1);
      EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    EXPECT_TRUE(waitCursor());
    QTest::keyClick(&button, Qt::Key_Space);
    EXPECT_EQ(clicks, 1);
  }
  QTest::mouseClick(&button, Qt::LeftButton);
  EXPECT_EQ(clicks, 2);
  // A double-click on a button (a press and release, then the second press coming as a double
  // click) is one click, also when nothing is in progress.
  QTest::mouseClick(&button, Qt::LeftButton);
  QTest::mouseDClick(&button, Qt::LeftButton);
  EXPECT_EQ(clicks, 3);
  QTest::qWait(10);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace kovrix
