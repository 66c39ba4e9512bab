#include <gtest/gtest.h>

#include <QTest>

#include "app/status_bytes_screen.h"
#include "driver/driver.h"
#include "sim/device_server.h"
#include "support/fake_shell.h"
#include "support/ui_recorder.h"

namespace kovrix {
namespace {

class StatusBytesScreenTest : public ::testing::Test {
 protected:
  ConnectionState state;
  test::UiRecorder ui;
  test::FakeShell shell;
  ScreenContext context{state, ui, shell};
  StatusBytesScreen screen{context};

  // Answers the checked bits of one byte as a mask.
  int Checked(int byte) {
    int mask = 0;
    for (int bit = 0; bit < 8; ++bit) mask |= screen.BitBox(byte, bit)->isChecked() ? 1 << bit : 0;
    return mask;
  }
};

TEST_F(StatusBytesScreenTest, ShowsEachBitAndTheReceiptStateOfTheLatestReply) {
  struct Case {
    StatusBytes bytes;
    const char* receiptState;
  } cases[] = {
      {{0x00, 0x00, 0x19, 0x00, 0x00, 0x00}, "9. Режим АННУЛИРОВАНИЕ"},
      {{0x7F, 0x01, 0x00, 0x40, 0x22, 0x10}, "0. Документ закрыт"},
      {{0x01, 0x7F, 0x0F, 0x7F, 0x7F, 0x7F}, "15."},
      {{0x00, 0x00, 0x67, 0x00, 0x00, 0x00}, "7. Открыт чек  внесения/изъятия"},
  };
  ReplyRecord reply;
  state.lastReply = &reply;
  for (const auto& c : cases) {
    reply.statusBytes = c.bytes;
    ui.ShowModal(screen);  // activation reads the latest reply
    for (int byte = 0; byte < 6; ++byte) EXPECT_EQ(Checked(byte), c.bytes[static_cast<std::size_t>(byte)] | 0x80) << byte;
    EXPECT_EQ(screen.ReceiptState()->currentText(), QString::fromUtf8(c.receiptState));
  }
}

TEST_F(StatusBytesScreenTest, WithoutAnyReplyOnlyTheAlwaysSetBitsAreChecked) {
  ReplyRecord reply;
  reply.statusBytes = {0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F};
  screen.Fill(reply);
  ui.ShowModal(screen);  // no command sent yet: an empty record
  for (int byte = 0; byte < 6; ++byte) EXPECT_EQ(Checked(byte), 0x80);
  EXPECT_EQ(screen.ReceiptState()->currentIndex(), 0);
}

TEST_F(StatusBytesScreenTest, ModemModelsRenameTheFirstTwoBitsOfByteFive) {
  screen.SetModemModelCaptions(true);
  EXPECT_EQ(screen.BitBox(5, 0)->text(), QStringLiteral("(1)Блокировка 72 часа, данные не переданы"));
  EXPECT_EQ(screen.BitBox(5, 1)->text(), QStringLiteral("(2)Не все чеки переданы в модем, база товаров не обнулена"));
  screen.SetModemModelCaptions(false);
  EXPECT_EQ(screen.BitBox(5, 0)->text(), QStringLiteral("(1) Резерв"));
  EXPECT_EQ(screen.BitBox(5, 1)->text(), QStringLiteral("(2) Резерв"));
  EXPECT_EQ(screen.BitBox(4, 6)->text(), QStringLiteral("(40) Возникла ошибка фискальной памяти (CRC)"));
}

TEST_F(StatusBytesScreenTest, RefreshAsksTheRegistratorAndKeepsTheBoxesOnAnError) {
  sim::DeviceServer server;
  ASSERT_TRUE(server.start());
  UseSerialLine(MakeSerialLine());
  ASSERT_EQ(OpenComPort(server.slavePath(), 115200), 0);
  server.withDevice([](sim::Registrator& r) {
    r.state().paymentTypes.resize(6);
    return 0;
  });
  server.faults().ForceStatusBit(3, 2, true);
  ui.ShowModal(screen);
  QTest::mouseClick(screen.RefreshButton(), Qt::LeftButton);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(Checked(3), 0x84);
  EXPECT_EQ(state.paymentTypeCount, 6);
  EXPECT_TRUE(shell.statusText.startsWith("   Модель:Veltra KR-23,    Версия:3.01,     ")) << shell.statusText.toStdString();
  EXPECT_EQ(state.lastReply, LatestRecord());

  server.faults().ForceStatusBit(3, 2, false);
  server.faults().FailCommand(0x80, sim::err::kPassword);
  shell.statusText.clear();
  QTest::mouseClick(screen.RefreshButton(), Qt::LeftButton);
  EXPECT_EQ(ui.messages, std::vector<QString>{"Проверка состояния регистратора:\n  Неверный пароль доступа!"});
  EXPECT_EQ(Checked(3), 0x84) << "the boxes keep their state";
  EXPECT_EQ(shell.statusText, "");
  CloseComPort();
}

}  // namespace
}  // namespace kovrix
