#include "screens/service/firmware_reading.h"

#include <QFile>
#include <QTemporaryDir>

#include "screens/service/data_buffer.h"
#include "sim/model/commands.h"
#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;

const char* kSequence = "Ошибка последовательного номера пакета - чтение остановлено!";

std::string FileBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return "<missing>";
  return file.readAll().toStdString();
}

class FirmwareReadingTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    ASSERT_TRUE(dir.isValid());
    Open(screen);
  }
  QString Path(const char* name) const { return dir.filePath(name); }
  void ReadInto(const QString& file) {
    ui.fileNames.push_back(file);
    Click(screen.ReadButton());
  }
  /// Runs f when pending events are let run for the n-th time (before packet n - 1).
  void AtEventRun(int n, std::function<void()> f) {
    ui.onEvents = [this, n, f, runs = 0]() mutable {
      if (++runs == n) f();
    };
  }

  QTemporaryDir dir;
  FirmwareReading screen{context};
};

TEST_F(FirmwareReadingTest, TheFileHoldsTheRegistratorsImageByteForByte) {
  const std::string image = sim::FirmwareImage();
  int largest = 0;
  ui.onEvents = [&] { largest = std::max(largest, screen.Progress()->value()); };
  ReadInto(Path("fw.HEX"));
  EXPECT_EQ(TakeMessages(), Messages{"Чтение внутреннего ПО - успешно!"});
  EXPECT_EQ(FileBytes(Path("fw.HEX")), image);
  const auto sent = TakeSent();
  ASSERT_GT(sent.size(), 2u);
  EXPECT_EQ(sent[0], (Sent{0xE7, "482916;5;;;"}));
  for (std::size_t i = 1; i < sent.size(); ++i) EXPECT_EQ(sent[i], (Sent{0xE8, "482916;"}));
  // One event run per packet asked for, the empty end packet included.
  EXPECT_EQ(ui.eventRuns, static_cast<int>(sent.size()) - 1);
  EXPECT_EQ(screen.Progress()->maximum(), static_cast<int>(image.size()));
  EXPECT_LE(largest, static_cast<int>(image.size()));  // the bar follows at a readable pace
  EXPECT_EQ(screen.Progress()->value(), 0);
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0000");
  EXPECT_EQ(ui.fileDialogs.back(),
            (test::UiRecorder::FileDialog{"Чтение внутреннего ПО", "HEX файлы (*.HEX *.hex);;Все файлы (*)", "HEX"}));

  // A second reading overwrites the file without asking.
  ReadInto(Path("fw.HEX"));
  EXPECT_EQ(FileBytes(Path("fw.HEX")), image);
  EXPECT_TRUE(ui.questions.empty());
}

TEST_F(FirmwareReadingTest, StopLeavesAPartialFileAndResetsTheProgress) {
  AtEventRun(3, [this] {
    EXPECT_FALSE(screen.ReadButton()->isEnabled());
    Click(screen.StopButton());
  });
  ReadInto(Path("part.HEX"));
  EXPECT_EQ(TakeMessages(), Messages{"Чтение остановлено по запросу пользователя!"});
  EXPECT_EQ(TakeSent().size(), 3u);  // the source and two packets
  const std::string part = FileBytes(Path("part.HEX"));
  EXPECT_GT(part.size(), 0u);
  EXPECT_EQ(part, sim::FirmwareImage().substr(0, part.size()));
  EXPECT_EQ(screen.Progress()->value(), 0);
  EXPECT_TRUE(screen.ReadButton()->isEnabled());

  // Closing the window while reading stops it too, and the window stays.
  AtEventRun(2, [this] { screen.reject(); });
  ReadInto(Path("part2.HEX"));
  EXPECT_EQ(TakeMessages(), Messages{"Чтение остановлено по запросу пользователя!"});
  EXPECT_TRUE(screen.isVisible());
}

TEST_F(FirmwareReadingTest, APacketOutOfSequenceStopsWithTheSequenceMessage) {
  // The registrator skips a packet number, then repeats one.
  for (int shift : {+1, -1}) {
    AtEventRun(3, [this, shift] { WithDevice([&](sim::DeviceState& s) { s.packetNumber += shift; }); });
    ReadInto(Path("seq.HEX"));
    EXPECT_EQ(TakeMessages(), Messages{kSequence}) << shift;
    const std::string part = FileBytes(Path("seq.HEX"));
    EXPECT_EQ(part, sim::FirmwareImage().substr(0, part.size()));
    EXPECT_GT(part.size(), 0u);
    EXPECT_EQ(screen.Progress()->value(), 0);
  }
}

TEST_F(FirmwareReadingTest, AMalformedPacketInItsTurnIsNamedAsSuchNotAsOutOfSequence) {
  const std::string malformed = "Ошибка формата пакета 1: более 200 байтов данных или незавершённая "
                                "escape-последовательность - чтение остановлено!";
  struct Case {
    const char* what;
    std::string packet;
  } cases[] = {
      {"201 bytes", std::string(201, 'x')},
      {"a lone escape at the end", "abc\\"},
  };
  for (const Case& c : cases) {
    // The first packet is good; the second comes with the right number and a bad data field.
    AtEventRun(2, [this, &c] { server.faults().ReplaceReplyData(0xE8, "1;" + c.packet + ";"); });
    ReadInto(Path("bad.HEX"));
    EXPECT_EQ(TakeMessages(), Messages{malformed}) << c.what;
    EXPECT_EQ(FileBytes(Path("bad.HEX")), sim::FirmwareImage().substr(0, 100)) << c.what;
  }
}

TEST_F(FirmwareReadingTest, NoDataLeavesTheProgressBarEmptyNotBusy) {
  server.faults().ReplaceReplyData(0xE7, "0;");
  ReadInto(Path("none.HEX"));
  EXPECT_EQ(TakeMessages(), Messages{"Нет данных!"});
  EXPECT_GT(screen.Progress()->maximum(), screen.Progress()->minimum());  // 0..0 would be a busy indicator
  EXPECT_EQ(screen.Progress()->value(), 0);
  EXPECT_FALSE(QFile::exists(Path("none.HEX")));
}

TEST_F(FirmwareReadingTest, ACancelledDialogSendsNothingAndRefusalsAreReported) {
  ui.fileNames.push_back("");
  Click(screen.ReadButton());
  EXPECT_TRUE(TakeSent().empty());
  EXPECT_TRUE(TakeMessages().empty());

  server.faults().FailCommand(0xE7, sim::err::kWrongMode);
  ReadInto(Path("a.HEX"));
  const auto refused = TakeMessages();
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0].rfind("SetDataSource ошибка:\n  ", 0), 0u) << refused[0];
  EXPECT_FALSE(QFile::exists(Path("a.HEX")));
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0007");
  server.faults().Clear();

  AtEventRun(2, [this] { server.faults().FailCommand(0xE8, sim::err::kNoSource); });
  ReadInto(Path("b.HEX"));
  const auto shown = TakeMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].rfind("ReadDataFromBuf ошибка:\n  ", 0), 0u) << shown[0];
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0109");
  EXPECT_EQ(FileBytes(Path("b.HEX")).size(), 100u);  // the first packet stays
  EXPECT_EQ(screen.Progress()->value(), 0);
}

// The procedure on its own, with the sources the firmware screen does not use.
class DataBufferTest : public test::SimScreenFixture {
 protected:
  DataBufferReading Reading(int source, int argument, const QString& file) {
    DataBufferReading r;
    r.password = "482916";
    r.sourceType = source;
    r.argument = argument;
    r.fileName = file;
    return r;
  }
  QTemporaryDir dir;
};

TEST_F(DataBufferTest, NoDataCreatesNoFileAndAnEmptyFirstPacketGivesAnEmptyFile) {
  const QString file = dir.filePath("report.txt");
  EXPECT_EQ(ReadDataBuffer(ui, state, Reading(0, 7, file)), DataBufferOutcome::NoData);  // no such daily report
  EXPECT_FALSE(QFile::exists(file));
  EXPECT_TRUE(TakeMessages().empty());  // the caller says it

  WithDevice([](sim::DeviceState& s) { s.controlTape = {"line 1", "line 2"}; });
  DataBufferReading tape = Reading(2, 0, file);
  long long size = -1;
  int written = 0;
  tape.onSize = [&](long long n) { size = n; };
  tape.onPacket = [&](int n) { written += n; };
  EXPECT_EQ(ReadDataBuffer(ui, state, tape), DataBufferOutcome::Complete);
  EXPECT_EQ(FileBytes(file), "line 1\r\nline 2\r\n");
  EXPECT_EQ(size, 16);
  EXPECT_EQ(written, 16);

  // A registrator that announces data and then ends with its first packet.
  tape.stopRequested = [this] {
    WithDevice([](sim::DeviceState& s) { s.dataBuffer.clear(); });
    return false;
  };
  EXPECT_EQ(ReadDataBuffer(ui, state, tape), DataBufferOutcome::Complete);
  EXPECT_EQ(FileBytes(file), "");
  EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(DataBufferTest, AFileThatCannotBeCreatedIsReportedAndNothingIsRead) {
  EXPECT_EQ(ReadDataBuffer(ui, state, Reading(5, 0, dir.filePath("no/such/fw.HEX"))), DataBufferOutcome::FileFailed);
  const auto shown = TakeMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].rfind("Не удалось создать файл", 0), 0u);
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0xE7, "482916;5;;;"}}));
}

}  // namespace
}  // namespace kovrix
