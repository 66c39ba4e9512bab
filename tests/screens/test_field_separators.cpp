// A ";" typed into any box whose text becomes one field of a command would end that field early
// and move every later field: each such box refuses it with the same message, and nothing is sent.

#include <QImage>
#include <QTableWidget>
#include <QTemporaryDir>
#include <functional>

#include "screens/programming/date_time.h"
#include "screens/programming/decimal_point.h"
#include "screens/programming/fiscal_parameters.h"
#include "screens/programming/fiscalisation.h"
#include "screens/programming/header_text.h"
#include "screens/programming/id_dev.h"
#include "screens/programming/serial_number.h"
#include "screens/reports/additional_reports.h"
#include "screens/reports/daily_reports.h"
#include "screens/reports/free_resources.h"
#include "screens/reports/goods_sold_report.h"
#include "screens/reports/periodic_report.h"
#include "screens/reports/second_line_daily_reports.h"
#include "screens/sales/article_loading.h"
#include "screens/sales/cash_in_out.h"
#include "screens/sales/fiscal_receipt.h"
#include "screens/sales/non_fiscal_receipt.h"
#include "screens/sales/receipt_copy.h"
#include "screens/service/firmware_reading.h"
#include "screens/service/fiscal_memory.h"
#include "screens/service/last_acquirer.h"
#include "screens/service/logo_programming.h"
#include "screens/service/modem_state.h"
#include "screens/service/modem_state_short.h"
#include "screens/service/service_counters.h"
#include "screens/service/service_reminder.h"
#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using Messages = std::vector<std::string>;

std::string Refusal(const std::string& label) { return "Ошибка! Символ \";\" недопустим в поле \"" + label + "\"."; }

class FieldSeparatorTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    // Programming the fiscal parameters asks first which groups to program: all of them.
    ui.onModal["TForm22"] = [this](QDialog&) {
      confirmation.FiscalNumberBox()->setChecked(true);
      confirmation.TaxIdBox()->setChecked(true);
      confirmation.TaxesBox()->setChecked(true);
      confirmation.ContinueButton()->click();
    };
  }

  QTemporaryDir dir;
  ServiceReminder reminder{context};
  LogoProgramming logo{context};
  FiscalMemory memory{context};
  FirmwareReading firmware{context};
  ModemState modem{context};
  ModemStateShort modemShort{context};
  ServiceCounters counters{context};
  LastAcquirerSession acquirer{context};
  HeaderAndAdvertising header{context};
  ProgrammingConfirmation confirmation;
  OperationResult result;
  FiscalParameters taxes{context, confirmation, result, true};
  SerialNumberScreen serial{context};
  Fiscalisation fiscalisation{context};
  ArticleLoading articles{context};
  FiscalReceipt receipt{context, articles};
  ReceiptCopy copy{context};
  NonFiscalReceipt nonFiscal{context};
  CashInOutScreen cash{context};
  DailyReports daily{context};
  SecondLineDailyReports secondLineDaily{context};
  AdditionalReports additional{context};
  FreeResources resources{context};
  GoodsSoldReport goodsSold{context};
  PeriodicReport periodic{context};
  DateAndTime clock{context};
  DecimalPointPosition point{context};
  DeviceIdentifier idDev{context};
};

TEST_F(FieldSeparatorTest, EveryBoxThatBecomesACommandFieldRefusesTheSeparator) {
  struct Case {
    const char* what;
    Screen* screen;
    std::function<void()> type;  // puts the ";" into the box
    QAbstractButton* button;
    std::string label;
  } cases[] = {
      {"reminder old password", &reminder, [&] { reminder.OldPasswordBox()->setText("11;111"); }, reminder.SetButton(),
       "Старый пароль:"},
      {"reminder new password", &reminder,
       [&] {
         reminder.OldPasswordBox()->setText("111111");
         reminder.NewPasswordBox()->setText("22;222");
         reminder.RepeatPasswordBox()->setText("22;222");
       },
       reminder.SetButton(), "Новый пароль:"},
      {"logo password", &logo,
       [&] {
         QImage picture(16, 8, QImage::Format_RGB32);
         picture.fill(Qt::black);
         const QString path = dir.filePath("logo.bmp");
         ASSERT_TRUE(picture.save(path, "BMP"));
         ui.fileNames = {path};
         Click(logo.OpenButton());
         logo.PasswordBox()->setText("48;916");
       },
       logo.ProgramButton(), "Пароль для программирования:"},
      {"fiscal memory clear", &memory, [&] { memory.PasswordBox()->setText("48;916"); }, memory.ClearButton(),
       "Пароль:"},
      {"fiscal memory read", &memory,
       [&] {
         memory.AddressBox()->setText("0");
         memory.CountBox()->setText("10");
       },
       memory.ReadButton(), "Пароль:"},
      {"fiscal memory write", &memory,
       [&] {
         memory.AddressBox()->setText("1");  // new texts: the buttons follow the boxes' changes
         memory.CountBox()->setText("5");
       },
       memory.WriteButton(), "Пароль:"},
      {"firmware password", &firmware, [&] { firmware.PasswordBox()->setText(";"); }, firmware.ReadButton(), "Пароль:"},
      {"modem password", &modem, [&] { modem.PasswordBox()->setText("4;"); }, modem.ReportButton(), "Пароль:"},
      {"short modem password", &modemShort, [&] { modemShort.PasswordBox()->setText("4;"); }, modemShort.ReportButton(),
       "Пароль:"},
      {"counter read", &counters, [&] { counters.PasswordBox()->setText("4;"); }, counters.ReadButton(), "Пароль:"},
      {"counter set", &counters, [&] { counters.CounterList()->setCurrentIndex(1); }, counters.SetButton(), "Пароль:"},
      {"acquirer password", &acquirer, [&] { acquirer.PasswordBox()->setText("4;"); }, acquirer.RunButton(), "Пароль:"},
      {"header password", &header,
       [&] {
         header.PasswordBox()->setText("4;");
         header.OperationBox()->setCurrentIndex(HeaderAndAdvertising::ReadAll);
       },
       header.ExecuteButton(), "Пароль:"},
      {"header line", &header,
       [&] {
         header.PasswordBox()->setText("482916");
         header.HeaderGrid()->item(3, 1)->setText("a;b");
         header.HeaderGrid()->item(3, 2)->setText(HeaderAndAdvertising::kSingle);
         header.OperationBox()->setCurrentIndex(HeaderAndAdvertising::ProgramAll);
       },
       header.ExecuteButton(), "Заголовок чека, строка 3"},
      {"advertising line", &header,
       [&] {
         header.HeaderGrid()->item(3, 1)->setText("ab");
         header.AdvertisingGrid()->item(1, 1)->setText(";");
         header.AdvertisingGrid()->item(1, 2)->setText(HeaderAndAdvertising::kDouble);
       },
       header.ExecuteButton(), "Рекламный текст, строка 1"},
      {"tax rate", &taxes, [&] { taxes.RateBox(2)->setText("20;00"); }, taxes.ProgramButton(),
       "Налог В: Ставка налога"},
      {"tax name", &taxes,
       [&] {
         taxes.RateBox(2)->setText("20.00");
         taxes.NameBox(4)->setText("ПДВ;Д");
       },
       taxes.ProgramButton(), "Налог Д: Наименование"},
      {"fiscal number", &taxes,
       [&] {
         taxes.NameBox(4)->setText("ПДВ_Д");
         taxes.FiscalNumberBox()->setText("12345;7890");
       },
       taxes.ProgramButton(), "Фискальный номер:"},
      {"tax identifier", &taxes,
       [&] {
         taxes.FiscalNumberBox()->setText("1234567890");
         taxes.IdBox()->setText("12345678901;");
       },
       taxes.ProgramButton(), "(ІД)"},
      {"tax number", &taxes,
       [&] {
         taxes.IdBox()->setText("123456789012");
         taxes.TaxNumberBox()->setText("123456789012;");
       },
       taxes.ProgramButton(), "(ПН)"},
      {"serial number", &serial, [&] { serial.SerialBox()->setText("AB;12345678"); }, serial.SetSerialButton(),
       "Заводской номер:"},
      {"fiscalisation serial number", &fiscalisation,
       [&] {
         fiscalisation.SerialBox()->setText("AB;1234567");
         fiscalisation.InspectorBox()->setText("111111");
         fiscalisation.RepeatBox()->setText("111111");
       },
       fiscalisation.FiscaliseButton(), "Заводской номер ККМ:"},
      {"article loading password", &articles,
       [&] {
         articles.LinesBox()->setPlainText("1;A;1.00;0;1;");
         articles.PasswordBox()->setText("48;916");
       },
       articles.WriteButton(), "Пароль:"},
      {"receipt password", &receipt, [&] { receipt.PasswordBox()->setText("48;916"); }, receipt.OpenButton(),
       "Пароль:"},
      {"receipt password before the terminal charges", &receipt,
       [&] {
         state.protocolVersion = "4.00";  // the card path
         receipt.PaymentTypeList()->setCurrentText("1");
         receipt.PaymentAmountBox()->setText("1.00");
       },
       receipt.PayButton(), "Пароль:"},
      {"typed transaction identifier", &receipt,
       [&] {
         receipt.PasswordBox()->setText("482916");
         receipt.PaymentTypeList()->setCurrentText("1");
         receipt.OwnTransactionBox()->setChecked(true);
         receipt.TransactionBox()->setText("RRN;77");
       },
       receipt.PayButton(), "Использовать указанный идентификатор транзакций"},
      {"printed comment", &receipt, [&] { receipt.CommentBox()->setText("a;b"); }, receipt.CommentButton(),
       "Комментарий"},
      {"displayed comment", &receipt, [] {}, receipt.DisplayButton(), "Комментарий"},
      {"receipt copy password", &copy, [&] { copy.PasswordBox()->setText("48;916"); }, copy.CopyButton(), "Пароль:"},
      {"non-fiscal receipt password", &nonFiscal,
       [&] {
         nonFiscal.LinesBox()->setPlainText("a");
         nonFiscal.PasswordBox()->setText("48;916");
       },
       nonFiscal.PrintButton(), "Пароль:"},
      {"cash in password", &cash, [&] { cash.PasswordBox()->setText("48;916"); }, cash.CashInButton(), "Пароль:"},
      {"X report password", &daily, [&] { daily.PasswordBox()->setText("48;916"); }, daily.XReportButton(),
       "Пароль:"},
      {"control tape password", &daily, [] {}, daily.ControlTapeButton(), "Пароль:"},
      {"clearing the control tape", &daily, [] {}, daily.ClearTapeButton(), "Пароль:"},
      {"second line X report", &secondLineDaily, [&] { secondLineDaily.PasswordBox()->setText("48;916"); },
       secondLineDaily.XReportButton(), "Пароль:"},
      {"additional report", &additional, [&] { additional.PasswordBox()->setText("48;916"); },
       additional.ReportButton(), "Пароль:"},
      {"free resources", &resources, [&] { resources.PasswordBox()->setText("48;916"); }, resources.ReportButton(),
       "Пароль:"},
      {"goods sold report", &goodsSold, [&] { goodsSold.PasswordBox()->setText("48;916"); },
       goodsSold.ReportButton(), "Пароль:"},
      {"periodic report", &periodic, [&] { periodic.PasswordBox()->setText("48;916"); }, periodic.ReportButton(),
       "Пароль:"},
      {"time", &clock, [&] { clock.TimeBox()->setText("09;4"); }, clock.SetButton(), "Время (HHMM):"},
      {"clock setting password", &clock,
       [&] {
         clock.TimeBox()->setText("0904");
         clock.PasswordBox()->setText("48;916");
       },
       clock.SetButton(), "Пароль:"},
      {"clock reading password", &clock, [] {}, clock.ReadButton(), "Пароль:"},
      {"decimal point reading", &point, [&] { point.PasswordBox()->setText("48;916"); }, point.ReadButton(),
       "Пароль:"},
      {"decimal point setting", &point, [] {}, point.SetButton(), "Пароль:"},
      {"ID_DEV value", &idDev, [&] { idDev.ValueBox()->setText("7;1"); }, idDev.SetButton(), "Значение ID_DEV:"},
      {"ID_DEV setting password", &idDev,
       [&] {
         idDev.ValueBox()->setText("7");
         idDev.PasswordBox()->setText("48;916");
       },
       idDev.SetButton(), "Пароль:"},
      {"ID_DEV reading password", &idDev, [] {}, idDev.ReadButton(), "Пароль:"},
  };
  for (const Case& c : cases) {
    Open(*c.screen);
    TakeSent();
    TakeMessages();
    c.type();
    ui.fileNames = {"/nonexistent/never-opened.bin"};
    ASSERT_TRUE(c.button->isEnabled()) << c.what;
    Click(c.button);
    EXPECT_EQ(TakeMessages(), Messages{Refusal(c.label)}) << c.what;
    EXPECT_EQ(TakeSent(), std::vector<test::Sent>{}) << c.what;
    c.screen->hide();
  }
}

}  // namespace
}  // namespace kovrix
