#include "screens/service/fiscal_memory.h"

#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>

#include "driver/error_text.h"
#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;

const char* kReadDone = "Успешно. Чтение данных завершено.";
const char* kWriteDone = "Успешно. Запись данных завершена.";

// The message text of a device error code, as the reply check shows it (UTF-8).
std::string ErrorText(const sim::ErrorCode& code) {
  ReplyRecord r;
  r.errorText = code.WireText();
  std::string text;
  GetErrorText(r, text);
  return Cp1251ToUtf8(text);
}

std::string FileBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return "<missing>";
  return file.readAll().toStdString();
}

void WriteFile(const QString& path, const std::string& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

// Bytes that differ from their neighbours, so that a shifted or repeated chunk shows.
std::string Pattern(std::size_t n, int seed) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += static_cast<char>((i * 7 + i / 251 + static_cast<std::size_t>(seed)) & 0xFF);
  return out;
}

class FiscalMemoryTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    ASSERT_TRUE(dir.isValid());
    WithDevice([](sim::DeviceState& s) { s.flash = Pattern(s.flash.size(), 3); });
    Open(screen);
  }
  QString Path(const char* name) const { return dir.filePath(name); }
  std::string Flash(std::size_t at, std::size_t n) {
    return WithDevice([&](sim::DeviceState& s) { return s.flash.substr(at, n); });
  }
  void Range(const QString& address, const QString& count) {
    screen.AddressBox()->setText(address);
    screen.CountBox()->setText(count);
  }
  /// Reads the range into the file with the question answered OK.
  void Read(const QString& address, const QString& count, const QString& file) {
    Range(address, count);
    ui.fileNames.push_back(file);
    Click(screen.ReadButton());
  }
  void Write(const QString& address, const QString& count, const QString& file) {
    Range(address, count);
    ui.fileNames.push_back(file);
    Click(screen.WriteButton());
  }
  static std::vector<Sent> Reads(std::initializer_list<long long> addresses) {
    std::vector<Sent> out;
    for (long long a : addresses) out.push_back({0xF1, "482916;" + std::to_string(a) + ";"});
    return out;
  }

  QTemporaryDir dir;
  FiscalMemory screen{context};
};

TEST_F(FiscalMemoryTest, ReadsARangeIntoTheFileByteForByte) {
  struct Case {
    const char* address;
    const char* count;
    std::vector<Sent> sent;
    std::size_t start, length;  // what the file holds
    const char* shownAddress;
    int gauge;
  } cases[] = {
      {"1000", "120", Reads({1000, 1050, 1100}), 1000, 120, "1150", 100},  // ends inside the third chunk
      {"1000", "100", Reads({1000, 1050}), 1000, 100, "1100", 100},
      {"65480", "100", Reads({65480, 65530}), 65480, 56, "65536", 56},     // the memory ends first
      {"65536", "10", Reads({65536}), 65536, 0, "65536", 0},
      {"7", "0", {}, 7, 0, "7", 0},                                        // nothing asked, nothing sent
  };
  for (const Case& c : cases) {
    const QString file = Path("image.bin");
    Read(c.address, c.count, file);
    EXPECT_EQ(TakeSent(), c.sent) << c.address;
    EXPECT_EQ(TakeMessages(), Messages{kReadDone}) << c.address;
    EXPECT_EQ(FileBytes(file), Flash(c.start, c.length)) << c.address;
    EXPECT_EQ(screen.CurrentAddressBox()->text(), c.shownAddress);
    EXPECT_EQ(screen.Gauge()->value(), c.gauge) << c.address;
  }
  EXPECT_EQ(ui.questions.back(), "Данные будут записаны в выбранный файл. Продолжать?");
  EXPECT_EQ(ui.fileDialogs.back(), (test::UiRecorder::FileDialog{"Чтение данныхт из флеш-памяти в файл",
                                                                "Бинарные файлы (*.bin *.BIN);;Все файлы (*)", "bin"}));
  EXPECT_EQ(screen.ResultBox()->text(), "0000");
  EXPECT_EQ(screen.StatusBox()->text().size(), 17);
  EXPECT_EQ(screen.RepeatsBox()->text(), "0");
}

TEST_F(FiscalMemoryTest, TheReadTakesAStartAddressBeyondThirtyTwoBits) {
  screen.RepeatLimitBox()->setText("0");  // this memory is smaller: the registrator refuses it once
  Range("3000000000", "10");
  EXPECT_EQ(TakeMessages(), Messages{});  // typed, it is a valid address
  EXPECT_TRUE(screen.ReadButton()->isEnabled());
  ui.fileNames.push_back(Path("far.bin"));
  Click(screen.ReadButton());
  EXPECT_EQ(TakeSent(), Reads({3000000000LL}));
  const auto shown = TakeMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].find("is not a valid integer value"), std::string::npos) << shown[0];
}

TEST_F(FiscalMemoryTest, AWrittenFileReadsBackEqual) {
  const std::string image = Pattern(130, 99);
  WriteFile(Path("in.bin"), image);
  const std::string after = Flash(3120, 10);
  Write("3000", "120", Path("in.bin"));
  EXPECT_EQ(TakeMessages(), Messages{kWriteDone});
  EXPECT_EQ(ui.questions.back(), "Данные будут записаны в флеш-память регистратора. Продолжать?");
  const auto sent = TakeSent();
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0].data.substr(0, 15), "482916;3000;50;");
  EXPECT_EQ(sent[1].data.substr(0, 15), "482916;3050;50;");
  EXPECT_EQ(sent[2].data.substr(0, 15), "482916;3100;20;");
  EXPECT_EQ(sent[2].data.substr(15 + 40), std::string(60, '0') + ";");
  EXPECT_EQ(Flash(3000, 120), image.substr(0, 120));
  EXPECT_EQ(Flash(3120, 10), after);  // bytes of the file beyond the count are not sent
  EXPECT_EQ(screen.CurrentAddressBox()->text(), "3120");
  EXPECT_EQ(screen.Gauge()->value(), 100);

  Read("3000", "120", Path("back.bin"));
  EXPECT_EQ(FileBytes(Path("back.bin")), image.substr(0, 120));
}

TEST_F(FiscalMemoryTest, AnErrorIsRetriedWithinTheRepeatLimitThenEndsTheReading) {
  screen.RepeatLimitBox()->setText("2");
  server.faults().FailCommandTimes(0xF1, sim::err::kLowBuffer, 2);
  Read("500", "100", Path("a.bin"));
  EXPECT_EQ(TakeSent(), Reads({500, 500, 500, 550}));
  EXPECT_EQ(TakeMessages(), Messages{kReadDone});
  EXPECT_EQ(FileBytes(Path("a.bin")), Flash(500, 100));

  // Three refusals of the second chunk exceed the limit; the first chunk stays in the file.
  int events = 0;
  ui.onEvents = [&] {
    if (++events == 1) server.faults().FailCommandTimes(0xF1, sim::err::kLowBuffer, 3);
  };
  Read("500", "100", Path("b.bin"));
  EXPECT_EQ(TakeSent(), Reads({500, 550, 550, 550}));
  EXPECT_EQ(TakeMessages(), Messages{"Ошибка чтения данных из флеш-памяти. \nЧтение данных остановлено. ErrCode=0309"});
  EXPECT_EQ(FileBytes(Path("b.bin")), Flash(500, 50));
  EXPECT_EQ(screen.RepeatsBox()->text(), "0");  // after every reply: the link's own repeats
  EXPECT_EQ(screen.ResultBox()->text(), "0309");

  // An address the memory does not have is refused by the registrator itself, R + 1 times.
  ui.onEvents = nullptr;
  screen.RepeatLimitBox()->setText("0");
  Read("70000", "10", Path("c.bin"));
  EXPECT_EQ(TakeSent(), Reads({70000}));
  EXPECT_EQ(TakeMessages(), Messages{"Ошибка чтения данных из флеш-памяти. \nЧтение данных остановлено. ErrCode=0209"});
  EXPECT_EQ(FileBytes(Path("c.bin")), "");
}

TEST_F(FiscalMemoryTest, StopAndEscEndAtTheNextChunkLeavingAPartialFile) {
  int events = 0;
  ui.onEvents = [&] {
    // While the reading runs only the stop button is live.
    EXPECT_FALSE(screen.ReadButton()->isEnabled());
    EXPECT_FALSE(screen.WriteButton()->isEnabled());
    EXPECT_FALSE(screen.ClearButton()->isEnabled());
    EXPECT_FALSE(screen.CloseButton()->isEnabled());
    EXPECT_TRUE(screen.StopButton()->isEnabled());
    if (++events == 2) QTest::keyClick(&screen, Qt::Key_Escape);
  };
  Read("0", "400", Path("part.bin"));
  EXPECT_EQ(TakeSent(), Reads({0, 50}));
  EXPECT_EQ(TakeMessages(), Messages{"Чтение данных остановлено пользователем."});
  EXPECT_EQ(FileBytes(Path("part.bin")), Flash(0, 100));
  EXPECT_EQ(screen.Gauge()->value(), 25);
  EXPECT_TRUE(screen.isVisible());
  EXPECT_TRUE(screen.ReadButton()->isEnabled());
  EXPECT_TRUE(screen.CloseButton()->isEnabled());

  events = 0;
  ui.onEvents = [&] {
    if (++events == 1) Click(screen.StopButton());
  };
  WriteFile(Path("in.bin"), Pattern(400, 5));
  Write("10000", "400", Path("in.bin"));
  EXPECT_EQ(TakeSent().size(), 1u);
  EXPECT_EQ(TakeMessages(), Messages{"Запись данных остановлено пользователем."});
  EXPECT_EQ(Flash(10000, 50), Pattern(50, 5));
  EXPECT_NE(Flash(10050, 1), Pattern(51, 5).substr(50));

  // A stop pressed while idle does not carry over into the next operation.
  ui.onEvents = nullptr;
  Click(screen.StopButton());
  Read("0", "100", Path("whole.bin"));
  EXPECT_EQ(TakeMessages(), Messages{kReadDone});
  EXPECT_EQ(FileBytes(Path("whole.bin")), Flash(0, 100));
}

TEST_F(FiscalMemoryTest, FailuresAreReportedAndEndTheOperation) {
  WriteFile(Path("short.bin"), Pattern(70, 1));
  const std::string writeHeading = "Ошибка записи в флеш-память:\n  ";

  server.faults().Queue(sim::LineFault::Drop);
  Read("0", "100", Path("t.bin"));
  EXPECT_EQ(TakeSent(), Reads({0}));
  EXPECT_EQ(TakeMessages(), Messages{"Ошибка! Таймаут устройства! Чтение данных остановлено."});
  EXPECT_EQ(FileBytes(Path("t.bin")), "");

  Write("0", "120", Path("short.bin"));
  EXPECT_EQ(TakeSent().size(), 1u);
  EXPECT_EQ(TakeMessages(), Messages{"Ошибка! Незапланированный конец файла!\n   Чтение прервано"});
  EXPECT_EQ(Flash(0, 50), Pattern(50, 1));

  Write("65530", "20", Path("short.bin"));  // beyond the memory: the registrator refuses
  EXPECT_EQ(TakeMessages(), Messages{writeHeading + ErrorText(sim::err::kOutOfArea)});
  EXPECT_EQ(screen.ResultBox()->text(), "0209");

  server.faults().FailCommand(0xF2, sim::err::kWrongMode);
  Write("0", "10", Path("short.bin"));
  EXPECT_EQ(TakeMessages(), Messages{writeHeading + ErrorText(sim::err::kWrongMode)});
  server.faults().Clear();

  server.faults().Queue(sim::LineFault::Drop);
  Write("0", "10", Path("short.bin"));
  EXPECT_EQ(TakeMessages(), Messages{writeHeading + "Таймаут устройства! Ошибка!"});

  server.faults().FailCommand(0xF0, sim::err::kNotCleared);
  Click(screen.ClearButton());
  EXPECT_EQ(TakeMessages(), Messages{"Ошибка обнуления флеш-памяти:\n  " + ErrorText(sim::err::kNotCleared)});
  EXPECT_EQ(screen.ResultBox()->text(), "0009");
  EXPECT_EQ(Flash(100, 10), Pattern(110, 3).substr(100));
}

TEST_F(FiscalMemoryTest, NothingIsSentWhenTheInputsTheQuestionOrTheFileSayNo) {
  WriteFile(Path("in.bin"), Pattern(10, 1));
  struct Case {
    const char* what;
    QString address, count, repeatLimit;
    QPushButton* button;
    std::vector<QString> files;  // answers of the file dialogs
    bool answer;
    std::string message;
    int dialogs;
  } cases[] = {
      {"read cancelled at the question", "0", "10", "2", screen.ReadButton(), {Path("q.bin")}, false,
       "Чтение данных из флеш-памяти отменено!", 1},
      {"write cancelled at the question", "0", "10", "2", screen.WriteButton(), {Path("in.bin")}, false,
       "Запись данных в флеш-память отменена!", 1},
      {"dialog cancelled", "0", "10", "2", screen.ReadButton(), {""}, true, "", 1},
      {"negative count", "0", "-10", "2", screen.ReadButton(), {}, true,
       "Ошибка! Адрес начала данных, количество байтов и количество повторов не могут быть отрицательными.", 0},
      {"negative address", "-1", "10", "2", screen.WriteButton(), {}, true,
       "Ошибка! Адрес начала данных, количество байтов и количество повторов не могут быть отрицательными.", 0},
      {"negative repeat limit", "0", "10", "-1", screen.ReadButton(), {}, true,
       "Ошибка! Адрес начала данных, количество байтов и количество повторов не могут быть отрицательными.", 0},
      {"repeat limit not a number", "0", "10", "x", screen.ReadButton(), {}, true, "'x' is not a valid integer value",
       0},
      {"file that cannot be created", "0", "10", "2", screen.ReadButton(), {Path("no/such/dir.bin")}, true,
       "Не удалось создать файл", 1},
      {"file that cannot be opened", "0", "10", "2", screen.WriteButton(), {Path("missing.bin")}, true,
       "Не удалось открыть файл", 1},
  };
  for (const Case& c : cases) {
    screen.RepeatLimitBox()->setText(c.repeatLimit);
    Range(c.address, c.count);
    TakeMessages();
    for (const QString& f : c.files) ui.fileNames.push_back(f);
    ui.answers.push_back(c.answer);
    ui.fileDialogs.clear();
    Click(c.button);
    ui.answers.clear();
    EXPECT_TRUE(TakeSent().empty()) << c.what;
    const auto shown = TakeMessages();
    if (c.message.empty()) {
      EXPECT_TRUE(shown.empty()) << c.what;
    } else {
      ASSERT_EQ(shown.size(), 1u) << c.what;
      EXPECT_EQ(shown[0].substr(0, c.message.size()), c.message) << c.what;
    }
    EXPECT_EQ(static_cast<int>(ui.fileDialogs.size()), c.dialogs) << c.what;
  }
  EXPECT_FALSE(QFile::exists(Path("q.bin")));
  EXPECT_EQ(FileBytes(Path("in.bin")), Pattern(10, 1));
}

TEST_F(FiscalMemoryTest, ButtonsFollowTheAddressAndCountBoxes) {
  EXPECT_FALSE(screen.ReadButton()->isEnabled());
  EXPECT_FALSE(screen.WriteButton()->isEnabled());
  screen.AddressBox()->setText("12");
  EXPECT_FALSE(screen.ReadButton()->isEnabled());
  screen.CountBox()->setText("5");
  EXPECT_TRUE(screen.ReadButton()->isEnabled());
  EXPECT_TRUE(screen.WriteButton()->isEnabled());
  EXPECT_TRUE(TakeMessages().empty());
  screen.CountBox()->setText("5x");
  EXPECT_EQ(TakeMessages(), Messages{"Ошибка! Только десятичные цифры!"});
  EXPECT_TRUE(screen.ReadButton()->isEnabled());  // left as they were
  screen.CountBox()->clear();
  EXPECT_FALSE(screen.WriteButton()->isEnabled());
  screen.CountBox()->setText("7");
  EXPECT_TRUE(screen.WriteButton()->isEnabled());

  // Each opening switches them off again; the boxes keep their texts.
  screen.hide();
  Open(screen);
  EXPECT_FALSE(screen.ReadButton()->isEnabled());
  EXPECT_FALSE(screen.WriteButton()->isEnabled());
  EXPECT_EQ(screen.AddressBox()->text(), "12");
  EXPECT_EQ(screen.PasswordBox()->text(), "482916");
  EXPECT_EQ(screen.RepeatLimitBox()->text(), "2");
}

TEST_F(FiscalMemoryTest, ClearingAsksFirstAndBlanksTheMemory) {
  const std::string before = Flash(0, 65536);
  const QString question = "Все данные флеш-памяти (фискальной памяти) регистратора будут стерты. Продолжать?";
  ui.answers = {false};
  Click(screen.ClearButton());
  EXPECT_EQ(ui.questions, std::vector<QString>{question});
  EXPECT_EQ(TakeMessages(), Messages{"Обнуление флеш-памяти отменено!"});
  EXPECT_EQ(TakeSent(), std::vector<Sent>{});
  EXPECT_EQ(Flash(0, 65536), before);

  server.faults().ForceStatusBit(2, 3, true);
  Click(screen.ClearButton());
  EXPECT_EQ(ui.questions, (std::vector<QString>{question, question}));
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0xF0, "482916;"}}));
  EXPECT_EQ(TakeMessages(), Messages{"Успешно!"});
  EXPECT_EQ(Flash(0, 65536), std::string(65536, '\xFF'));
  EXPECT_EQ(screen.ResultBox()->text(), "0000");
  EXPECT_EQ(screen.StatusBox()->text(), "00 00 08 00 21 00");  // first byte leftmost, top bits cleared
}

}  // namespace
}  // namespace kovrix
