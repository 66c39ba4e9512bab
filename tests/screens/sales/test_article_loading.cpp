#include "screens/sales/article_loading.h"

#include <QFile>
#include <QTemporaryDir>

#include "driver/error_text.h"
#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;

class ArticleLoadingTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    Open(screen);
  }

  ArticleLoading screen{context};
};

TEST_F(ArticleLoadingTest, LoadsACp1251FileAndWritesEveryLineEvenAfterARefusal) {
  QTemporaryDir dir;
  const QString path = dir.filePath("goods.art");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  // Tax group 3 is not enabled on a fresh registrator: the second line is refused.
  file.write(QByteArray::fromStdString(Utf8ToCp1251("1;Хліб;12.50;0;1;\r\n7;Сир;99.00;3;1;\r\n\r\n2;Молоко;20.00;1;2;\r\n")));
  file.close();
  ui.fileNames.push_back(path);
  Click(screen.LoadButton());
  EXPECT_EQ(ui.fileDialogs.at(0), (test::UiRecorder::FileDialog{"Открыть файл товаров", kArticleFileFilter, "ART"}));
  EXPECT_EQ(screen.FileNameLabel()->text(), path);
  EXPECT_EQ(screen.Lines().size(), 4);

  Click(screen.WriteButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x24, "482916;1;Хліб;12.50;0;1;"},
                                           {0x24, "482916;7;Сир;99.00;3;1;"},
                                           {0x24, "482916;"},
                                           {0x24, "482916;2;Молоко;20.00;1;2;"}}));
  ReplyRecord refused;
  refused.errorText = "050A";
  std::string text;
  GetErrorText(refused, text);
  EXPECT_EQ(TakeMessages(), (Messages{"Завершено", "Регистратор не принял строк: 2.\nПервая из них, строка 2: 7;Сир;99.00;3;1;\n  " +
                                                       Cp1251ToUtf8(text)}));
  EXPECT_EQ(screen.Progress()->value(), 4);
  EXPECT_EQ(screen.Progress()->maximum(), 4);
  EXPECT_EQ(WithDevice([](sim::DeviceState& s) { return s.articles.size(); }), 2u);
  EXPECT_TRUE(screen.StatusBar()->currentMessage().isEmpty());

  // Clearing keeps the file name, so the fiscal receipt does not ask for a file again.
  Click(screen.ClearButton());
  EXPECT_EQ(screen.FileName(), path);
  Click(screen.WriteButton());
  EXPECT_EQ(TakeSent(), std::vector<Sent>{});
  EXPECT_EQ(TakeMessages(), Messages{"Завершено"});
  EXPECT_GT(screen.Progress()->maximum(), 0) << "a range of 0..0 is a busy bar";
}

TEST_F(ArticleLoadingTest, AnOverlongLineIsRefusedUnsentAndATimeOutStaysInTheStatusBar) {
  screen.LinesBox()->setPlainText(QString("1;%1;1.00;0;1;\n2;B;1.00;0;1;").arg(QString(230, 'A')));
  server.faults().Queue(sim::LineFault::Drop);  // the first line that goes out gets no answer
  bool buttonsOff = false;
  QObject::connect(screen.Progress(), &QProgressBar::valueChanged, [&] {
    // While the run goes on, nothing can start another one.
    buttonsOff = !screen.WriteButton()->isEnabled() && !screen.ExitButton()->isEnabled() && screen.LinesBox()->isReadOnly();
  });
  Click(screen.WriteButton());
  EXPECT_TRUE(buttonsOff);
  EXPECT_TRUE(screen.WriteButton()->isEnabled());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x24, "482916;2;B;1.00;0;1;"}}));
  EXPECT_EQ(screen.StatusBar()->currentMessage(), "Ошибка! Таймаут устройства! ");
  const Messages messages = TakeMessages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], "Завершено");
  EXPECT_NE(messages[1].find("Регистратор не принял строк: 2.\nПервая из них, строка 1: 1;AAA"), std::string::npos);
  EXPECT_NE(messages[1].find("данные не помещаются в кадр, строка не отправлена"), std::string::npos);
}

}  // namespace
}  // namespace kovrix
