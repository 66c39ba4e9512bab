#include "screens/sales/fiscal_receipt.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "app/input_gate.h"
#include "app/text_codec.h"
#include "driver/commands.h"
#include "driver/driver.h"
#include "driver/serial_line.h"
#include "screens/sales/article_loading.h"
#include "screens/screen_kit.h"
#include "session/lost_reply.h"

namespace kovrix {

namespace {

constexpr int kCardPayment = 0x78;
constexpr int kBarcodeHeight = 50;
constexpr int kTransactionLength = 20;

enum DiscountKind { kOnItem, kOnSubtotal, kOnTaxGroup };

const QString kDiscountTimeout = QStringLiteral("Таймаут устройства! Ошибка надбавки-скидки!");
const QString kDiscountError = QStringLiteral("Ошибка надбавки-скидки");
const QString kAnnulTimeout = QStringLiteral("Таймаут устройства! Ошибка аннулирования!");
const QString kAnnulError = QStringLiteral("Ошибка аннулирования");
const QString kCardFailed = QStringLiteral("Ошибка оплаты банковской картой!");
const QString kBadPayment = QStringLiteral("Ошибочный тип оплаты");
// A payment or a close that got no answer may have been carried out and printed: below the
// screen's own time-out line the operator is told that the outcome is unknown and where to look
// before pressing again.
const QString kCheckReceiptState = QStringLiteral(
    "\nПроверьте состояние чека (\"Продажа\" - \"Аннулирование и закрытие чека\"), прежде чем повторять.");
const QString kPaymentTimeout = QStringLiteral("Таймаут устройства! Ошибка оплаты чека!\n"
                                               "Регистратор не ответил, результат оплаты неизвестен.") +
                                kCheckReceiptState;
const QString kCloseTimeout = QStringLiteral("Таймаут устройства! Ошибка закрыиия чека!\n"
                                             "Регистратор не ответил, результат закрытия чека неизвестен.") +
                              kCheckReceiptState;
const QString kCardPaymentTimeout = QStringLiteral("Таймаут устройства! Ошибка оплаты банковской картой!\n"
                                                   "Регистратор не ответил, результат оплаты банковской картой неизвестен.") +
                                    kCheckReceiptState;
const QString kTransactionLabel = QStringLiteral("Использовать указанный идентификатор транзакций");
const QString kTwoDecimals = QStringLiteral("Сумма оплаты банковской картой указывается не более чем с двумя знаками после точки!");
const QString kMayHaveCharged = QStringLiteral(
    "Терминал мог списать оплату с карты. Если чек терминала показывает одобрение, проведите оплату с отметкой "
    "\"Использовать указанный идентификатор транзакций\" и идентификатором транзакции из чека терминала.");

QLineEdit* Box(const QString& text) { return new QLineEdit(text); }

QWidget* Row(std::initializer_list<QWidget*> widgets) {
  auto* row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  for (QWidget* w : widgets) layout->addWidget(w);
  return row;
}

}  // namespace

bool UsesCardPath(int paymentType, const std::string& protocolVersion, const std::string& elJournal) {
  if (paymentType == 0) return false;
  const std::string journal = ToCp1251(QStringLiteral("КСЕФ"));
  return protocolVersion.find("4.00") != std::string::npos || protocolVersion.find("5.00") != std::string::npos ||
         elJournal == journal || elJournal == "КСЕФ";
}

FiscalReceipt::FiscalReceipt(ScreenContext& context, ArticleLoading& articles, QWidget* parent)
    : Screen(context, QStringLiteral("FiscalReceipt"), QStringLiteral("Фискальный чек"), parent), articles_(articles) {
  password_ = NewPasswordBox();
  operator_ = Box(QStringLiteral("1"));
  returnReceipt_ = new QCheckBox(QStringLiteral("Чек возврата"));
  showOnDisplay_ = new QCheckBox(QStringLiteral("Выводить информацию на дисплей"));
  showOnDisplay_->setChecked(true);
  comment_ = Box(QStringLiteral("Comment for printing"));
  comment_->setMinimumWidth(170);
  displayMode_ = new QComboBox;
  displayMode_->addItems({QStringLiteral("Очистить"), QStringLiteral("Верхняя строка"), QStringLiteral("Нижняя строка"),
                          QStringLiteral("Дата и время")});
  displayMode_->setCurrentIndex(1);
  articleList_ = new QListWidget;
  articleLine_ = new QLineEdit;
  quantity_ = Box(QStringLiteral("1.000"));
  price_ = Box(QStringLiteral("1.00"));
  barcode_ = Box(QStringLiteral("012345678901"));
  barcode_->setMaxLength(12);
  percent_ = Box(QStringLiteral("-5.00"));
  percentGroup_ = Box(QStringLiteral("0"));
  absolute_ = Box(QStringLiteral("-5.00"));
  absoluteGroup_ = Box(QStringLiteral("0"));
  total_ = NewErrorCodeBox();
  total_->installEventFilter(this);
  total_->setToolTip(QStringLiteral("Щелчок переносит сумму в величину оплаты"));
  paymentType_ = new QComboBox;
  paymentType_->setEditable(true);
  paymentType_->setToolTip(QStringLiteral("Номер типа оплаты"));
  paymentAmount_ = Box(QStringLiteral("0.00"));
  paymentAmount_->setToolTip(QStringLiteral("Величина оплаты"));
  errorCode_ = NewErrorCodeBox();
  errorCode_->setText(QStringLiteral("0000"));
  ownTransaction_ = new QCheckBox(QStringLiteral("Использовать указанный идентификатор транзакций"));
  transaction_ = new QLineEdit;
  transaction_->setMaxLength(kTransactionLength);
  // A longer identifier from the terminal widens the limit; as the operator edits it, the limit
  // shrinks with it back to the 20 characters that can be typed.
  connect(transaction_, &QLineEdit::textEdited, this, [this](const QString& text) {
    transaction_->setMaxLength(std::max<int>(kTransactionLength, static_cast<int>(text.size())));
  });
  noCardInfo_ = new QCheckBox(QStringLiteral("Не выводить дополнительную информацию для банковской карты"));

  open_ = NewButton(QStringLiteral("Открыть чек"));
  printComment_ = NewButton(QStringLiteral("Печать комментария"));
  sell_ = NewButton(QStringLiteral("Продать"));
  itemPercent_ = NewButton(QStringLiteral(" на товар"));
  subtotalPercent_ = NewButton(QStringLiteral("на подсумму"));
  groupPercent_ = NewButton(QStringLiteral("с налоговой группы"));
  itemAbsolute_ = NewButton(QStringLiteral(" на товар"));
  subtotalAbsolute_ = NewButton(QStringLiteral("на подсумму"));
  groupAbsolute_ = NewButton(QStringLiteral("с налоговой группы"));
  printTotal_ = NewButton(QStringLiteral("Печать итога"));
  pay_ = NewButton(QStringLiteral("Оплатить"));
  closeReceipt_ = NewButton(QStringLiteral("Закрыть чек"));
  annulAll_ = NewButton(QStringLiteral("Аннулирование всего чека"));
  annulStart_ = NewButton(QStringLiteral("Начало аннулирования"));
  annulEnd_ = NewButton(QStringLiteral("Конец аннулирования"));
  annulCancel_ = NewButton(QStringLiteral("Отмена аннулирования"));
  printBarcode_ = NewButton(QStringLiteral("Штрих-код EAN-13"));
  showText_ = NewButton(QStringLiteral("Вывод на индикатор"));
  status_ = NewButton(QStringLiteral("Состояние регистратора"));
  status_->setEnabled(false);
  close_ = NewButton(QStringLiteral("Закрыть"));

  // The wait window of a card payment: it keeps the screen painted and lets the operator give up.
  cardWait_ = new QDialog(this);
  cardWait_->setObjectName(QStringLiteral("CardPaymentWait"));
  cardWait_->setWindowTitle(QStringLiteral("Оплата банковской картой"));
  cardWait_->setWindowModality(Qt::WindowModal);
  cardCancel_ = new QPushButton(QStringLiteral("Отмена"));
  auto* waitLayout = new QVBoxLayout(cardWait_);
  waitLayout->addWidget(new QLabel(QStringLiteral("Ожидание оплаты на банковском терминале...")));
  waitLayout->addWidget(cardCancel_, 0, Qt::AlignHCenter);
  connect(cardCancel_, &QPushButton::clicked, this, [this] { cardCancelled_ = true; });
  connect(cardWait_, &QDialog::rejected, this, [this] { cardCancelled_ = true; });
  InputGate::MarkStop(cardCancel_);
  InputGate::MarkStopWindow(cardWait_);

  BuildLayout();

  // A picked article brings its own price, so that it is never sold at the price of the one before.
  connect(articleList_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    articleLine_->setText(item->text());
    price_->setText(ArticlePrice(item->text()));
  });
  OnSend(open_, [this] { OpenReceipt(); });
  OnSend(printComment_, [this] { PrintComment(); });
  OnSend(sell_, [this] { Sell(); });
  OnSend(itemPercent_, [this] { Discount(kOnItem, true); });
  OnSend(subtotalPercent_, [this] { Discount(kOnSubtotal, true); });
  OnSend(groupPercent_, [this] { Discount(kOnTaxGroup, true); });
  OnSend(itemAbsolute_, [this] { Discount(kOnItem, false); });
  OnSend(subtotalAbsolute_, [this] { Discount(kOnSubtotal, false); });
  OnSend(groupAbsolute_, [this] { Discount(kOnTaxGroup, false); });
  OnSend(printTotal_, [this] { PrintReceiptTotal(); });
  OnSend(pay_, [this] { Pay(); });
  OnSend(closeReceipt_, [this] {
    int err = 0;
    state().lastReply = CloseFiscalReceipt(Password(), showOnDisplay_->isChecked() ? 1 : 0, err);
    if (CheckSent(ui(), err)) {
      Result(state().LastReply(), kCloseTimeout, QStringLiteral("Ошибка закрытия чека"));
    }
  });
  OnSend(annulAll_, [this] { Annul(0); });
  OnSend(annulStart_, [this] { Annul(1); });
  OnSend(annulEnd_, [this] { Annul(2); });
  OnSend(annulCancel_, [this] { Annul(3); });
  OnSend(printBarcode_, [this] { PrintBarcode(); });
  OnSend(showText_, [this] { ShowOnDisplay(); });
  OnClick(status_, [this] { shell().OpenStatusBytes(); });
  OnClick(close_, [this] { CloseScreen(); });
  // Closed any way (Esc, the window's own button), the status button starts disabled next time.
  connect(this, &QDialog::finished, this, [this] { status_->setEnabled(false); });
}

void FiscalReceipt::EarlierSettled(const ReplyRecord* answer) {
  errorCode_->setText(ErrorCodeText(state().LastReply()));
  // The held card charge is recorded now: the identifier box is free again.
  if (pendingCharge_ && answer && answer->command == kCardPayment && answer->errorText == "0000") ReleaseCharge();
}

void FiscalReceipt::BuildLayout() {
  auto* receipt = new QFormLayout;
  receipt->addRow(QStringLiteral("Пароль:"), password_);
  receipt->addRow(QStringLiteral("Номер оператора:"), operator_);
  receipt->addRow(returnReceipt_);
  receipt->addRow(showOnDisplay_);
  receipt->addRow(open_);

  auto* goods = new QGroupBox(QStringLiteral("Товары"));
  auto* goodsForm = new QFormLayout(goods);
  articleList_->setMinimumHeight(110);
  goodsForm->addRow(articleList_);
  goodsForm->addRow(articleLine_);
  goodsForm->addRow(QStringLiteral("Кол-во:"), quantity_);
  goodsForm->addRow(QStringLiteral("Цена за ед.:"), price_);
  goodsForm->addRow(sell_);

  auto* text = new QGroupBox(QStringLiteral("Комментарий, индикатор, штрих-код"));
  auto* textGrid = new QGridLayout(text);
  textGrid->addWidget(comment_, 0, 0);
  textGrid->addWidget(printComment_, 0, 1);
  textGrid->addWidget(displayMode_, 1, 0);
  textGrid->addWidget(showText_, 1, 1);
  textGrid->addWidget(barcode_, 2, 0);
  textGrid->addWidget(printBarcode_, 2, 1);

  auto* left = new QVBoxLayout;
  left->addLayout(receipt);
  left->addWidget(goods, 1);
  left->addWidget(text);

  auto discountGroup = [](const QString& title, QLineEdit* value, QLineEdit* group, QPushButton* item,
                          QPushButton* subtotal, QPushButton* taxGroup) {
    auto* box = new QGroupBox(title);
    auto* grid = new QGridLayout(box);
    grid->addWidget(new QLabel(QStringLiteral("Величина:")), 0, 0);
    grid->addWidget(value, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Налог. группа:")), 0, 2);
    grid->addWidget(group, 0, 3);
    grid->addWidget(item, 1, 0, 1, 2);
    grid->addWidget(subtotal, 1, 2, 1, 2);
    grid->addWidget(taxGroup, 2, 0, 1, 4);
    return box;
  };

  auto* payment = new QGroupBox(QStringLiteral("Итог и оплата"));
  auto* payForm = new QFormLayout(payment);
  payForm->addRow(printTotal_);
  payForm->addRow(QStringLiteral("Сумма по чеку:"), total_);
  payForm->addRow(Row({paymentType_, paymentAmount_, pay_}));
  payForm->addRow(ownTransaction_);
  payForm->addRow(transaction_);
  payForm->addRow(noCardInfo_);
  payForm->addRow(closeReceipt_);

  auto* annulment = new QGroupBox(QStringLiteral("Аннулирование"));
  auto* annulGrid = new QGridLayout(annulment);
  annulGrid->addWidget(annulAll_, 0, 0, 1, 2);
  annulGrid->addWidget(annulStart_, 1, 0);
  annulGrid->addWidget(annulEnd_, 1, 1);
  annulGrid->addWidget(annulCancel_, 2, 0, 1, 2);

  auto* right = new QVBoxLayout;
  right->addWidget(discountGroup(QStringLiteral("Скидка процентная"), percent_, percentGroup_, itemPercent_,
                                 subtotalPercent_, groupPercent_));
  right->addWidget(discountGroup(QStringLiteral("Скидка абсолютная"), absolute_, absoluteGroup_, itemAbsolute_,
                                 subtotalAbsolute_, groupAbsolute_));
  right->addWidget(payment);
  right->addWidget(annulment);
  right->addStretch();

  auto* columns = new QHBoxLayout;
  columns->addLayout(left, 1);
  columns->addLayout(right, 1);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(new QLabel(QStringLiteral("Код ошибки:")));
  errorCode_->setMaximumWidth(80);
  bottom->addWidget(errorCode_);
  bottom->addWidget(status_);
  bottom->addStretch();
  bottom->addWidget(close_);

  auto* outer = new QVBoxLayout(this);
  outer->addLayout(columns);
  outer->addLayout(bottom);
}

std::string FiscalReceipt::Password() const {
  return ToCp1251(SeparatorFreeText(QStringLiteral("Пароль:"), password_->text()));
}

QString FiscalReceipt::Comment() const { return SeparatorFreeText(QStringLiteral("Комментарий"), comment_->text()); }

void FiscalReceipt::Activate() {
  articleList_->clear();
  paymentType_->clear();
  for (int i = 0; i < state().paymentTypeCount; ++i) paymentType_->addItem(QString::number(i));
  paymentType_->setCurrentIndex(0);
  displayMode_->setCurrentIndex(1);
  if (!articles_.FileName().isEmpty()) {
    articleList_->addItems(articles_.Lines());
    return;
  }
  // The file is asked for once the screen is on view: a dialog run from inside the showing would
  // leave the screen unlaid.
  QTimer::singleShot(0, this, [this] {
    articles_.ChooseAndLoadFile();
    articleList_->clear();
    articleList_->addItems(articles_.Lines());
  });
}

bool FiscalReceipt::eventFilter(QObject* watched, QEvent* event) {
  if (watched == total_ && event->type() == QEvent::MouseButtonPress) paymentAmount_->setText(total_->text());
  return Screen::eventFilter(watched, event);
}

bool FiscalReceipt::Result(const ReplyRecord& given, const QString& timeoutMessage, const QString& errorMessage) {
  // The command just sent lost its reply: asked for again with its SEQ, so that it runs once and
  // the answer is the registrator's own.
  const ReplyRecord& reply = &given == LatestRecord() ? *(state().lastReply = SettleLostReply(&given)) : given;
  errorCode_->setText(ErrorCodeText(reply));
  status_->setEnabled(true);
  return CheckTimeoutAndCode(ui(), reply, timeoutMessage, errorMessage);
}

void FiscalReceipt::OpenReceipt() {
  const int operatorNumber = ToInt(operator_->text());
  int err = 0;
  state().lastReply = OpenFiscalReceipt(Password(), operatorNumber, 1, returnReceipt_->isChecked() ? 1 : 0, err);
  if (!CheckSent(ui(), err)) return;
  Result(state().LastReply(), QStringLiteral("Таймаут устройства! Ошибка открытия чека!"),
         QStringLiteral("Ошибка открытия чека"));
}

void FiscalReceipt::PrintComment() {
  int err = 0;
  state().lastReply = PrintText(Password(), ToCp1251(Comment()), err);
  if (!CheckSent(ui(), err)) return;
  Result(state().LastReply(), QStringLiteral("Таймаут устройства! Ошибка печати комментария!"),
         QStringLiteral("Ошибка печати комментария"));
}

void FiscalReceipt::Sell() {
  const QString line = articleLine_->text();
  if (line.isEmpty()) {
    ui().ShowMessage(QStringLiteral("Не выбран товар!"));
    return;
  }
  // Every typed value is checked before the article is programmed, so a typing error sends nothing.
  const long long code = ArticleCode(line);
  const double quantity = ToFloat(quantity_->text());
  const double price = ToFloat(price_->text());
  if (!(quantity > 0)) {
    ui().ShowMessage(QStringLiteral("Количество должно быть больше нуля!"));
    return;
  }
  if (price < 0) {
    ui().ShowMessage(QStringLiteral("Цена не может быть отрицательной!"));
    return;
  }
  if (!state().secondModelLine) {
    int err = 0;
    const ReplyRecord* added = AddArticul(Password(), ToCp1251(line), err);
    if (!CheckSent(ui(), err)) return;
    state().lastReply = added;
    if (!Result(*added, QStringLiteral("Таймаут устройства! Ошибка!"), QStringLiteral("Ошибка "))) return;
  }
  int err = 0;
  // The sale itself always goes with the default password.
  state().lastReply = SellItemEx(kDefaultPassword, code, price, quantity, err);
  if (!CheckSent(ui(), err)) return;
  Result(state().LastReply(), QStringLiteral("Таймаут устройства! Ошибка продажи!"), QStringLiteral("Ошибка продажи"));
}

void FiscalReceipt::Discount(int kind, bool percent) {
  const double value = ToFloat((percent ? percent_ : absolute_)->text());
  const int group = kind == kOnTaxGroup ? ToInt((percent ? percentGroup_ : absoluteGroup_)->text()) : 0;
  int err = 0;
  const std::string password = Password();
  switch (kind) {
    case kOnItem:
      state().lastReply = percent ? DiscountItemPercent(password, value, err) : DiscountItemAbsolute(password, value, err);
      break;
    case kOnSubtotal:
      state().lastReply =
          percent ? DiscountSubtotalPercent(password, value, err) : DiscountSubtotalAbsolute(password, value, err);
      break;
    default:
      state().lastReply = percent ? DiscountTaxGroupPercent(password, value, group, err)
                                  : DiscountTaxGroupAbsolute(password, value, group, err);
      break;
  }
  if (!CheckSent(ui(), err)) return;
  Result(state().LastReply(), kDiscountTimeout, kDiscountError);
}

void FiscalReceipt::PrintReceiptTotal() {
  int err = 0;
  state().lastReply = PrintTotal(Password(), showOnDisplay_->isChecked(), err);
  if (!CheckSent(ui(), err)) return;
  const ReplyRecord& reply = state().LastReply();
  if (Result(reply, QStringLiteral("Таймаут устройства! Ошибка печати итога!"), QStringLiteral("Ошибка печати итога"))) {
    total_->setText(FromCp1251(reply.field(1)));
  }
}

void FiscalReceipt::Pay() {
  int paymentType = 0;
  double amount = 0;
  const QString amountText = paymentAmount_->text().trimmed();
  try {
    paymentType = ToInt(paymentType_->currentText());
    amount = ToFloat(amountText);
  } catch (const InputError&) {
    ui().ShowMessage(kBadPayment);
    return;
  }
  const bool byCard = UsesCardPath(paymentType, state().protocolVersion, state().elJournal);
  // The ordinary payment command takes types 0 to 9; the card payment every type the device reported.
  if (paymentType < 0 || paymentType > (byCard ? state().paymentTypeCount - 1 : 9)) {
    ui().ShowMessage(kBadPayment);
    return;
  }
  if (byCard) {
    PayByCard(paymentType, amountText);
    return;
  }
  int err = 0;
  state().lastReply = Payment(Password(), paymentType, amount, err);
  if (!CheckSent(ui(), err)) return;
  Result(state().LastReply(), kPaymentTimeout, QStringLiteral("Ошибка оплаты чека"));
}

void FiscalReceipt::PayByCard(int paymentType, const QString& amountText) {
  // The password is checked before the terminal charges the card: the payment must then be recorded.
  const std::string password = Password();
  // Both card paths record the amount text as typed: it must be the very number the terminal charges.
  const std::optional<std::string> digits = TerminalAmount(ToCp1251(amountText));
  if (!digits) {
    const int point = static_cast<int>(amountText.indexOf(u'.'));
    ui().ShowMessage(point >= 0 && amountText.size() - point - 1 > 2 ? kTwoDecimals : kBadPayment);
    return;
  }
  if (pendingCharge_ && (pendingCharge_->amount != amountText || pendingCharge_->paymentType != paymentType)) {
    // Another amount or type: a new purchase on the terminal only when the operator says so, told
    // of the charge not yet recorded.
    if (!ui().AskOkCancel(QStringLiteral("Терминал уже провел оплату %1 (идентификатор транзакции %2), которая еще не "
                                         "записана в чек. Провести новую оплату на терминале?")
                              .arg(pendingCharge_->amount, FromCp1251(pendingCharge_->transaction)))) {
      return;
    }
    ReleaseCharge();
  }
  if (pendingCharge_) {
    // Its own frame, were it still the last one sent, was asked for again before this click went
    // on (EarlierSettled): here the registrator refused it, or other frames went out since.
    const PendingCharge charge = *pendingCharge_;
    CompleteCardPayment(password, paymentType, amountText, CardPaymentData{{}, {}, {}, {}, charge.transaction}, false);
    return;
  }
  if (ownTransaction_->isChecked()) {
    // The box takes 20 typed characters; a longer identifier it holds came whole from the terminal
    // and is recorded whole.
    const QString transaction = SeparatorFreeText(kTransactionLabel, transaction_->text());
    // A card payment is never recorded without a transaction identifier.
    if (transaction.trimmed().isEmpty()) {
      ui().ShowMessage(QStringLiteral("Не указан идентификатор транзакции!"));
      return;
    }
    CompleteCardPayment(password, paymentType, amountText, CardPaymentData{{}, {}, {}, {}, ToCp1251(transaction)},
                        false);
    return;
  }
  std::unique_ptr<SerialLine> line = MakeSerialLine();
  const std::string path = state().terminal.path;
  if (path.empty() || !line->open(path, kTerminalBaud)) {
    ui().ShowMessage(kCardFailed);
    return;
  }
  cardCancelled_ = false;
  cardWait_->show();
  ui().ProcessEvents();
  TerminalExchange exchange(*line, terminalTiming_, [this] {
    ui().ProcessEvents();
    return !cardCancelled_;
  });
  exchange.SetLog(terminalLog_);
  std::string failure;
  const std::optional<CardPaymentData> card = exchange.Pay(*digits, failure);
  cardWait_->hide();
  if (!card) {
    line->close();
    // A purchase the terminal took and never answered may still have been charged: say how to record it.
    ui().ShowMessage(exchange.MayHaveCharged() ? kCardFailed + u'\n' + kMayHaveCharged : kCardFailed);
    return;
  }
  CompleteCardPayment(password, paymentType, amountText, *card, true);
  line->close();
}

void FiscalReceipt::CompleteCardPayment(const std::string& password, int paymentType, const QString& amountText,
                                        const CardPaymentData& card, bool fromTerminal) {
  // A typed transaction identifier pays without the card's lines and the signature lines.
  const bool details = fromTerminal && !noCardInfo_->isChecked();
  int err = 0;
  if (details) {
    for (const std::string& text : {card.scheme + " CARD", MaskedCardLine(card.cardDigits), card.holder}) {
      state().lastReply = PrintText(password, text, err);
    }
  }
  const std::string data = password + ";" + std::to_string(paymentType) + ";" + ToCp1251(amountText) + ";" +
                           card.transaction + ";";
  const ReplyRecord* sent = ExecuteFitting(ui(), kCardPayment, data);
  if (sent == nullptr) return;
  sent = SettleLostReply(sent);
  state().lastReply = sent;
  // The driver has one record: keep the payment's reply while the signature lines print.
  const ReplyRecord reply = *sent;
  const bool paid = !(reply.status & ST_NO_REPLY) && reply.errorText == "0000";
  if (paid && details) {
    for (const char* text : {"ПІДПИС", "КАСИРА . . . . . . . . ", "ПІДПИС", "КЛІЄНТА. . . . . . . . "}) {
      state().lastReply = PrintText(password, ToCp1251(QString::fromUtf8(text)), err);
    }
  }
  QString timeoutMessage = kCardPaymentTimeout;
  QString errorMessage = QStringLiteral("Ошибка оплаты чека банковской картой");
  if (!paid && (fromTerminal || pendingCharge_)) {
    // The terminal has charged the card: its identifier, and only it, records the payment on a retry.
    if (!pendingCharge_) HoldCharge(PendingCharge{card.transaction, amountText, paymentType});
    const QString charged = QStringLiteral("\nОплата на терминале проведена, идентификатор транзакции: %1. "
                                           "\"Оплатить\" запишет ее в чек с этим идентификатором.")
                                .arg(FromCp1251(card.transaction));
    timeoutMessage += charged;
    errorMessage += charged;
  }
  FinishCardPayment(reply, timeoutMessage, errorMessage);
}

void FiscalReceipt::FinishCardPayment(const ReplyRecord& reply, const QString& timeoutMessage,
                                      const QString& errorMessage) {
  const bool paid = !(reply.status & ST_NO_REPLY) && reply.errorText == "0000";
  if (paid) ReleaseCharge();
  Result(reply, timeoutMessage, errorMessage);
}

void FiscalReceipt::HoldCharge(const PendingCharge& charge) {
  pendingCharge_ = charge;
  const QString transaction = FromCp1251(charge.transaction);
  // Cut to the typing limit, the identifier would record the retry under another transaction.
  transaction_->setMaxLength(std::max<int>(kTransactionLength, static_cast<int>(transaction.size())));
  transaction_->setText(transaction);
  ownTransaction_->setChecked(true);
  ownTransaction_->setEnabled(false);
  transaction_->setReadOnly(true);
}

void FiscalReceipt::ReleaseCharge() {
  if (!pendingCharge_) return;
  pendingCharge_.reset();
  ownTransaction_->setEnabled(true);
  transaction_->setReadOnly(false);
}

void FiscalReceipt::Annul(int mode) {
  int err = 0;
  state().lastReply = Annulment(Password(), mode, err);
  if (!CheckSent(ui(), err)) return;
  Result(state().LastReply(), kAnnulTimeout, kAnnulError);
}

void FiscalReceipt::PrintBarcode() {
  const QString code = barcode_->text();
  if (code.size() != 12) {
    ui().ShowMessage(QStringLiteral("Длина штрих-кода не равна 12 символов! Ошибка!"));
    return;
  }
  int err = 0;
  const ReplyRecord* reply = PrintEAN13Code(kDefaultPassword, kBarcodeHeight, ToCp1251(code), err);
  if (err == ERR_EAN13_NOT_DIGITS) {
    ui().ShowMessage(QStringLiteral("Штрих-код должен состоять из цифр! Ошибка!"));
    return;
  }
  if (!CheckSent(ui(), err)) return;
  state().lastReply = reply;
  errorCode_->setText(ErrorCodeText(*reply));
}

void FiscalReceipt::ShowOnDisplay() {
  int err = 0;
  const ReplyRecord* reply = DisplayText(kDefaultPassword, ToCp1251(Comment()), displayMode_->currentIndex(), 0, err);
  if (!CheckSent(ui(), err)) return;
  state().lastReply = reply;
  errorCode_->setText(ErrorCodeText(*reply));
}

void FiscalReceipt::CloseScreen() {
  status_->setEnabled(false);
  accept();
}

}  // namespace kovrix
