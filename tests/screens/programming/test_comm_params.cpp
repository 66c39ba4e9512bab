#include <QDir>
#include "screens/programming/comm_params.h"

#include <QFile>
#include <QTemporaryDir>

#include "app/input.h"
#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;
using Journal = std::vector<Sent>;

TEST(NetworkEncodingTest, AddressesBothWays) {
  struct Case {
    const char* dotted;
    std::optional<std::string> field;
  } encodings[] = {
      {"192.168.1.10", "C0A8010A"}, {"10.0.0.1", "0A000001"}, {"255.255.255.0", "FFFFFF00"},
      {"10.0.1", "0A0001"},         {" 10.0.0.2", "0A000002"},  // blanks around a part are the converter's
      {"10..1.1", std::nullopt},    {".10.1.1", std::nullopt},  {"10.0.0.", std::nullopt},
      {"", std::nullopt},           {"256.0.0.1", std::nullopt}, {"10.0.0.-1", std::nullopt},
      {"1.2.3.4.5", std::nullopt},
  };
  for (const Case& c : encodings) EXPECT_EQ(EncodeAddress(QString::fromUtf8(c.dotted)), c.field) << c.dotted;
  EXPECT_THROW(EncodeAddress("10.O.0.1"), InputError);

  struct Back {
    const char* field;
    std::optional<QString> dotted;
  } decodings[] = {
      {"C0A8010A", "192.168.1.10"}, {"00000000", "0.0.0.0"}, {"FFFFFFFF", "255.255.255.255"},
      {"c0a8010a", std::nullopt},   {"0A0001", std::nullopt}, {"0A0000011", std::nullopt},
      {"0A00G001", std::nullopt},   {"", std::nullopt},
  };
  for (const Back& c : decodings) EXPECT_EQ(DecodeAddress(c.field), c.dotted) << c.field;
}

TEST(NetworkEncodingTest, SixteenBitNumbersTravelLowByteFirst) {
  const std::pair<int, const char*> numbers[] = {{5000, "8813"}, {80, "5000"}, {8080, "901F"}, {0, "0000"}, {65535, "FFFF"}};
  for (const auto& [value, field] : numbers) {
    EXPECT_EQ(EncodeLowFirst(value), field);
    EXPECT_EQ(DecodeLowFirst(field), value) << field;
  }
  for (const char* bad : {"881", "88130", "88 3", "8g13", "-001"}) EXPECT_EQ(DecodeLowFirst(bad), std::nullopt) << bad;
}

class CommParamsTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    ASSERT_TRUE(dir.isValid());
    Open(screen);
  }
  void Fill(const QStringList& values) {
    QLineEdit* const boxes[] = {screen.AddressBox(), screen.MaskBox(),   screen.GatewayBox(), screen.ServerBox(),
                                screen.PortBox(),    screen.PeriodBox(), screen.RetryBox()};
    for (int i = 0; i < 7; ++i) boxes[i]->setText(values[i]);
  }
  QStringList Boxes() {
    return {screen.AddressBox()->text(), screen.MaskBox()->text(),   screen.GatewayBox()->text(), screen.ServerBox()->text(),
            screen.PortBox()->text(),    screen.PeriodBox()->text(), screen.RetryBox()->text()};
  }
  QString WriteFile(const QByteArray& content) {
    const QString path = dir.filePath(QStringLiteral("net%1.txt").arg(++files_));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
    return path;
  }
  sim::NetworkSettings DeviceNetwork() {
    return WithDevice([](sim::DeviceState& s) { return s.network; });
  }

  const QStringList example = {"10.0.0.1", "255.255.255.0", "10.0.0.254", "10.0.0.2", "5000", "60", "30"};
  QTemporaryDir dir;
  CommunicationParameters screen{context};

 private:
  int files_ = 0;
};

TEST_F(CommParamsTest, WrittenSettingsReadBackThroughTheDevicesForm) {
  EXPECT_FALSE(screen.DhcpBox()->isChecked());
  EXPECT_EQ(Boxes(), QStringList(7));
  Fill(example);
  Click(screen.WriteButton());
  EXPECT_EQ(TakeSent(), (Journal{{0xFB, "482916;0;0A000001;FFFFFF00;0A0000FE;0A000002;8813;3C00;1E00;"}}));
  EXPECT_EQ(TakeMessages(), Messages{"Успешно!"});
  EXPECT_EQ(DeviceNetwork(), (sim::NetworkSettings{false, 0x0A000001, 0xFFFFFF00, 0x0A0000FE, 0x0A000002, 5000, 60, 30}));

  WithDevice([](sim::DeviceState& s) {
    s.network.dhcp = true;
    s.network.port = 80;
  });
  Fill(QStringList(7));
  Click(screen.ReadButton());
  EXPECT_EQ(TakeSent(), (Journal{{0xFA, "482916;"}}));
  EXPECT_EQ(TakeMessages(), Messages{"Успешно!"});
  EXPECT_TRUE(screen.DhcpBox()->isChecked());
  EXPECT_EQ(Boxes(), (QStringList{"10.0.0.1", "255.255.255.0", "10.0.0.254", "10.0.0.2", "80", "60", "30"}));

  // Later openings keep what the screen shows.
  screen.hide();
  Open(screen);
  EXPECT_EQ(Boxes()[4], "80");
  EXPECT_TRUE(screen.DhcpBox()->isChecked());
}

TEST_F(CommParamsTest, BadFieldsAreRefusedWithTheirOwnMessageAndNothingIsSent) {
  struct Case {
    int box;
    const char* value;
    const char* message;
  } cases[] = {
      {0, "10..0.1", "Некорректный IP-адрес. Ошибка!"},
      {1, ".255.255.0", "Некорректный IP-адрес. Ошибка!"},
      {2, "10.0.0.256", "Некорректный IP-адрес. Ошибка!"},
      {3, "10.0.0.2.1", "Некорректный IP-адрес. Ошибка!"},
      {3, "10.0.x.2", "'x' is not a valid integer value"},
      {4, "65536", "Некорректный номер порта. Ошибка!"},
      {4, "-1", "Некорректный номер порта. Ошибка!"},
      {5, "70000", "Некорректная величина параметра Периодичность связи. Ошибка!"},
      {5, "-60", "Некорректная величина параметра Периодичность связи. Ошибка!"},
      {6, "-5", "Некорректная величина параметра Повторной попытки. Ошибка!"},
      {6, "", "'' is not a valid integer value"},
  };
  for (const Case& c : cases) {
    QStringList values = example;
    values[c.box] = QString::fromUtf8(c.value);
    Fill(values);
    Click(screen.WriteButton());
    EXPECT_EQ(TakeMessages(), Messages{c.message}) << c.value;
  }
  EXPECT_TRUE(TakeSent().empty());
  EXPECT_EQ(DeviceNetwork(), sim::NetworkSettings{});
}

TEST_F(CommParamsTest, DeviceRefusalsAndSilenceAreReportedAndDecodeNothing) {
  // The hints name the device's limits; the screen leaves them to the device.
  EXPECT_EQ(screen.PeriodBox()->toolTip(), "В минутах, не более 1440");
  QStringList values = example;
  values[5] = "1441";
  Fill(values);
  Click(screen.WriteButton());
  EXPECT_EQ(TakeMessages(), Messages{"Проверка состояния регистратора:\n  Значение поля номер 8 выходит за допустимый диапазон!"});

  // A refused read carries no settings: the boxes stay as they are.
  screen.PasswordBox()->setText("999999");
  Click(screen.ReadButton());
  EXPECT_EQ(TakeMessages(), Messages{"Проверка состояния регистратора:\n  Неверный пароль доступа!"});
  EXPECT_EQ(Boxes(), values);

  server.faults().Queue(sim::LineFault::Drop, 2);
  Click(screen.ReadButton());
  Click(screen.WriteButton());
  EXPECT_EQ(TakeMessages(), (Messages{"Ошибка выполнения команды. Таймаут", "Ошибка выполнения команды. Таймаут"}));
}

TEST_F(CommParamsTest, SettingsFileFillsTheBoxesAndSendsNothing) {
  ui.fileNames = {WriteFile("0\r\n192.168.1.10\r\n255.255.0.0\r\n192.168.1.1\r\n10.20.30.40\r\n8080\r\n1440\r\n3600\r\n")};
  screen.DhcpBox()->setChecked(true);
  Click(screen.LoadButton());
  EXPECT_TRUE(TakeMessages().empty());
  EXPECT_FALSE(screen.DhcpBox()->isChecked());
  EXPECT_EQ(Boxes(), (QStringList{"192.168.1.10", "255.255.0.0", "192.168.1.1", "10.20.30.40", "8080", "1440", "3600"}));
  ASSERT_EQ(ui.fileDialogs.size(), 1u);
  EXPECT_EQ(ui.fileDialogs[0].caption, "Чтение параметров связи из файла");
  EXPECT_EQ(ui.fileDialogs[0].defaultSuffix, "TXT");

  // A file without the eight lines, one that cannot be read, and a cancelled dialog change no box.
  const QStringList loaded = Boxes();
  const QString shortFile = WriteFile("1\n10.0.0.1\n255.0.0.0\n");
  ui.fileNames = {shortFile, dir.filePath("missing.txt"), ""};
  Click(screen.LoadButton());
  Click(screen.LoadButton());
  Click(screen.LoadButton());
  EXPECT_EQ(TakeMessages(),
            (Messages{"В файле " + QDir::toNativeSeparators(shortFile).toStdString() + " меньше восьми строк. Настройки не загружены.",
                      "Невозможно прочитать файл " + QDir::toNativeSeparators(dir.filePath("missing.txt")).toStdString() +
                          ". Ошибка.",
                      "Файл не выбран. Ошибка."}));
  EXPECT_EQ(Boxes(), loaded);
  EXPECT_FALSE(screen.DhcpBox()->isChecked());
  EXPECT_TRUE(TakeSent().empty());

  // Any first character but "0" means DHCP on; the last line needs no line break.
  ui.fileNames = {WriteFile("yes\n1.1.1.1\n2.2.2.2\n3.3.3.3\n4.4.4.4\n1\n2\n3")};
  Click(screen.LoadButton());
  EXPECT_TRUE(screen.DhcpBox()->isChecked());
  EXPECT_EQ(Boxes()[6], "3");
}

TEST_F(CommParamsTest, FileValuesAreTrimmedAndLoadedWholeOrNotAtAll) {
  // Blanks around a value are no part of it; a full-length address fits its box whole.
  ui.fileNames = {WriteFile(" 0 \r\n 192.168.100.100\r\n255.255.255.0 \r\n\t10.0.0.1\r\n10.0.0.2\r\n 8080\r\n60\r\n30\r\n")};
  Click(screen.LoadButton());
  EXPECT_EQ(TakeMessages(), Messages{});
  EXPECT_FALSE(screen.DhcpBox()->isChecked());
  EXPECT_EQ(Boxes(), (QStringList{"192.168.100.100", "255.255.255.0", "10.0.0.1", "10.0.0.2", "8080", "60", "30"}));
  Click(screen.WriteButton());
  EXPECT_EQ(TakeSent(), (Journal{{0xFB, "482916;0;C0A86464;FFFFFF00;0A000001;0A000002;901F;3C00;1E00;"}}));
  TakeMessages();

  // A value longer than its box is refused by its line and the limit; no box takes anything.
  struct Case {
    QByteArray file;
    std::string message;
  } cases[] = {
      {"1\n1192.168.100.100\n2.2.2.2\n3.3.3.3\n4.4.4.4\n1\n2\n3\n",
       "Ошибка! Значение \"1192.168.100.100\" для поля \"строка 2 файла, Статический IP адрес:\" длиннее 15 символов и "
       "не принято."},
      {"1\n1.1.1.1\n2.2.2.2\n3.3.3.3\n4.4.4.4\n1\n2\n123456\n",
       "Ошибка! Значение \"123456\" для поля \"строка 8 файла, Период повтора при неудачной попытке связи (сек.):\" "
       "длиннее 5 символов и не принято."},
  };
  for (const Case& c : cases) {
    ui.fileNames = {WriteFile(c.file)};
    Click(screen.LoadButton());
    EXPECT_EQ(TakeMessages(), Messages{c.message});
    EXPECT_EQ(Boxes(), (QStringList{"192.168.100.100", "255.255.255.0", "10.0.0.1", "10.0.0.2", "8080", "60", "30"}));
    EXPECT_FALSE(screen.DhcpBox()->isChecked());
  }
  EXPECT_TRUE(TakeSent().empty());
}

}  // namespace
}  // namespace kovrix
