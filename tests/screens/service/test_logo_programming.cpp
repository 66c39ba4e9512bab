#include "screens/service/logo_programming.h"

#include <QImage>
#include <QTemporaryDir>

#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;

// A white picture with a black diagonal and a light grey frame, so that every line differs.
QImage Drawing(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(0xFFFFFFFFu);
  for (int x = 0; x < width; ++x) {
    image.setPixel(x, 0, 0xFFF0F0F0u);
    image.setPixel(x, (x * 3) % height, 0xFF000000u);
  }
  for (int y = 0; y < height; ++y) image.setPixel(width - 1, y, 0xFFF0F0F0u);
  return image;
}

class LogoProgrammingTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    ASSERT_TRUE(dir.isValid());
  }
  /// Saves the picture as a BMP file and opens it in the screen.
  QImage Load(const QImage& picture) {
    const QString path = dir.filePath("logo.bmp");
    EXPECT_TRUE(picture.save(path, "BMP"));
    ui.fileNames.push_back(path);
    Click(screen.OpenButton());
    return picture;
  }
  struct Stored {
    std::string logo;
    int width, height;
  };
  Stored Logo() {
    return WithDevice([](sim::DeviceState& s) { return Stored{s.logo, s.logoWidth, s.logoHeight}; });
  }

  QTemporaryDir dir;
  LogoProgramming screen{context};
};

TEST_F(LogoProgrammingTest, APictureIsWrittenLineByLineAndTheRegistratorStoresIt) {
  Open(screen);
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x80, "482916;"}}));
  EXPECT_EQ(screen.MaxWidthBox()->text(), "384");
  EXPECT_EQ(screen.MaxHeightBox()->text(), "100");
  EXPECT_FALSE(screen.ProgramButton()->isEnabled());

  const QImage picture = Load(Drawing(200, 30));
  EXPECT_EQ(ui.fileDialogs.back(), (test::UiRecorder::FileDialog{"Открыть", "BMP файл (*.BMP *.bmp)", "bmp"}));
  EXPECT_EQ(screen.PictureWidthBox()->text(), "200");
  EXPECT_EQ(screen.PictureHeightBox()->text(), "30");
  EXPECT_EQ(screen.WidthBox()->text(), "200");
  EXPECT_EQ(screen.HeightBox()->text(), "30");
  EXPECT_FALSE(screen.Preview()->pixmap().isNull());
  ASSERT_TRUE(screen.ProgramButton()->isEnabled());

  int largest = 0;
  ui.onEvents = [&] { largest = std::max(largest, screen.Progress()->value()); };
  Click(screen.ProgramButton());
  EXPECT_EQ(TakeMessages(), Messages{"Успешно!"});
  const std::string stream = LogoPixelStream(picture, 200, 30);  // 25 bytes a row, 750 bytes
  const auto lines = LogoLines(stream);
  ASSERT_EQ(lines.size(), 32u);
  std::vector<Sent> expected;
  for (std::size_t i = 0; i < lines.size(); ++i) expected.push_back({0x29, "482916;" + std::to_string(i) + ";" + lines[i] + ";"});
  expected.push_back({0x31, "482916;200;30;"});
  EXPECT_EQ(TakeSent(), expected);
  const Stored stored = Logo();
  EXPECT_EQ(stored.logo.substr(0, stream.size()), stream);
  EXPECT_EQ(stored.logo.substr(stream.size()), std::string(32 * 24 - stream.size(), '\0'));
  EXPECT_EQ(stored.width, 200);
  EXPECT_EQ(stored.height, 30);
  EXPECT_EQ(screen.Progress()->maximum(), 750);
  EXPECT_EQ(largest, 750);
  EXPECT_EQ(screen.Progress()->value(), 0);
}

TEST_F(LogoProgrammingTest, APictureLargerThanTheMaximumIsCutToFillTheLogoMemoryExactly) {
  Open(screen);
  const QImage picture = Load(Drawing(400, 120));
  EXPECT_EQ(screen.WidthBox()->text(), "384");
  EXPECT_EQ(screen.HeightBox()->text(), "100");
  TakeSent();
  Click(screen.ProgramButton());
  EXPECT_EQ(TakeMessages(), Messages{"Успешно!"});
  const auto sent = TakeSent();
  ASSERT_EQ(sent.size(), 201u);  // 4800 bytes: 200 lines, no empty line beyond the memory
  EXPECT_EQ(sent.back(), (Sent{0x31, "482916;384;100;"}));
  const Stored stored = Logo();
  EXPECT_EQ(stored.logo, LogoPixelStream(picture, 384, 100));
  EXPECT_EQ(stored.width, 384);
  EXPECT_EQ(stored.height, 100);
}

TEST_F(LogoProgrammingTest, ARefusedOrSilentLineStopsTheWritingWithoutClosingTheLogo) {
  Open(screen);
  Load(Drawing(96, 40));
  TakeSent();
  struct Case {
    const char* what;
    std::function<void()> fault;
    const char* message;
  } cases[] = {
      {"refused", [this] { server.faults().FailCommand(0x29, sim::err::kWrongMode); }, "Ошибка записи логотипа"},
      {"silent", [this] { server.faults().Queue(sim::LineFault::Drop); }, "Ошибка! Таймаут устройства!"},
  };
  for (const Case& c : cases) {
    // The fault hits the third line.
    ui.onEvents = [&, runs = 0]() mutable {
      if (++runs == 2) c.fault();
    };
    Click(screen.ProgramButton());
    server.faults().Clear();
    EXPECT_EQ(TakeMessages(), Messages{c.message}) << c.what;
    const auto sent = TakeSent();
    ASSERT_EQ(sent.size(), 3u) << c.what;
    EXPECT_EQ(sent.back().command, 0x29) << c.what;
    EXPECT_TRUE(screen.ProgramButton()->isEnabled()) << c.what;
    EXPECT_TRUE(screen.CloseButton()->isEnabled()) << c.what;
  }
  EXPECT_EQ(Logo().width, 0);  // never closed

  // A closing command the registrator refuses is not reported as success.
  ui.onEvents = nullptr;
  server.faults().FailCommand(0x31, sim::err::FieldValue(3));
  Click(screen.ProgramButton());
  EXPECT_EQ(TakeMessages(), Messages{"Ошибка записи логотипа"});
}

TEST_F(LogoProgrammingTest, SizesThatCannotBeWrittenAreRefusedBeforeSending) {
  Open(screen);
  Load(Drawing(96, 40));
  TakeSent();
  struct Case {
    QString width, height;
    std::string message;
  } cases[] = {
      {"0", "40", "Ошибка! Размер для загрузки должен быть больше нуля."},
      {"96", "-2", "Ошибка! Размер для загрузки должен быть больше нуля."},
      {"96x", "40", "'96x' is not a valid integer value"},
      {"385", "40", "Ошибка! Размер для загрузки больше максимального размера логотипа."},
      {"96", "101", "Ошибка! Размер для загрузки больше максимального размера логотипа."},
  };
  for (const Case& c : cases) {
    screen.WidthBox()->setText(c.width);
    screen.HeightBox()->setText(c.height);
    Click(screen.ProgramButton());
    EXPECT_EQ(TakeMessages(), Messages{c.message}) << c.message;
    EXPECT_TRUE(TakeSent().empty()) << c.message;
  }
}

TEST_F(LogoProgrammingTest, WithoutTheLimitsProgrammingStaysOff) {
  const std::string noLimits = "Регистратор не сообщил максимальный размер логотипа. Программирование логотипа невозможно.";
  WithDevice([](sim::DeviceState& s) { s.logoMaxWidth = 0; });
  Open(screen);
  EXPECT_EQ(TakeMessages(), Messages{noLimits});
  Load(Drawing(50, 10));
  EXPECT_EQ(screen.PictureWidthBox()->text(), "50");
  EXPECT_FALSE(screen.ProgramButton()->isEnabled());
  EXPECT_TRUE(screen.MaxWidthBox()->text().isEmpty());

  screen.hide();
  server.faults().Queue(sim::LineFault::Drop);
  Open(screen);
  EXPECT_EQ(TakeMessages(), Messages{"Ошибка! Таймаут устройства!"});
  EXPECT_FALSE(screen.ProgramButton()->isEnabled());

  // The next opening reads them again and the loaded picture can be written.
  screen.hide();
  WithDevice([](sim::DeviceState& s) { s.logoMaxWidth = 384; });
  Open(screen);
  EXPECT_TRUE(TakeMessages().empty());
  EXPECT_TRUE(screen.ProgramButton()->isEnabled());

  // A file that is not a picture leaves the loaded one.
  const QString junk = dir.filePath("junk.bmp");
  QFile file(junk);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("not a bitmap");
  file.close();
  ui.fileNames.push_back(junk);
  Click(screen.OpenButton());
  const auto shown = TakeMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].rfind("Не удалось загрузить рисунок", 0), 0u);
  EXPECT_EQ(screen.PictureWidthBox()->text(), "50");
}

}  // namespace
}  // namespace kovrix
