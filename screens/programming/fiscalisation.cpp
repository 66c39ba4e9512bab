#include "screens/programming/fiscalisation.h"

#include <QElapsedTimer>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/input_gate.h"
#include "app/screen_helpers.h"
#include "app/text_codec.h"
#include "driver/commands.h"
#include "driver/error_text.h"
#include "screens/screen_kit.h"

namespace kovrix {
namespace {

// The commands after fiscalisation go out with the fixed password, not the screen's.
const std::string kFixedPassword = kDefaultPassword;
const QString kHeading = QStringLiteral("Фіскаліз. реєстратора:");
// Time between two probes of a registrator that answered with an error, so that it is not flooded.
constexpr int kProbePauseMs = 250;

QLineEdit* SecretBox() {
  auto* box = new QLineEdit;
  box->setMaxLength(6);
  box->setEchoMode(QLineEdit::Password);
  return box;
}

}  // namespace

Fiscalisation::Fiscalisation(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("TForm19"), QStringLiteral("Фискализация"), parent) {
  serial_ = new QLineEdit;
  serial_->setMaxLength(11);
  inspector_ = SecretBox();
  repeat_ = SecretBox();
  password_ = NewPasswordBox();
  errorCode_ = NewErrorCodeBox();
  waitNote_ = new QLabel(QStringLiteral("Очікування перезавантаження реєстратора..."));
  waitNote_->hide();
  fiscalise_ = NewButton(QStringLiteral("Фискализация"));
  stopWait_ = NewButton(QStringLiteral("Перервати очікування"));
  stopWait_->hide();
  close_ = NewButton(QStringLiteral("Закрыть"));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Заводской номер ККМ:"), serial_);
  form->addRow(QStringLiteral("Пароль налогового инспектора:"), inspector_);
  form->addRow(QStringLiteral("Повторите ввод пароля:"), repeat_);
  form->addRow(QStringLiteral("Пароль:"), password_);
  form->addRow(QStringLiteral("Код ошибки:"), errorCode_);
  // The wait's note and stop button keep their room while hidden, so that nothing moves.
  for (QWidget* w : {static_cast<QWidget*>(waitNote_), static_cast<QWidget*>(stopWait_)}) {
    QSizePolicy keepRoom = w->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    w->setSizePolicy(keepRoom);
  }
  auto* wait = new QHBoxLayout;
  wait->addWidget(waitNote_, 1);
  wait->addWidget(stopWait_);
  auto* buttons = ButtonRow({fiscalise_}, close_);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(form);
  outer->addLayout(wait);
  outer->addLayout(buttons);
  setMinimumWidth(560);

  OnClick(fiscalise_, [this] { Fiscalise(); });
  connect(stopWait_, &QPushButton::clicked, this, [this] { stopRequested_ = true; });
  InputGate::MarkStop(stopWait_);
  InputGate::MarkStopWindow(this);
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
}

void Fiscalisation::reject() {
  // Closing the window while waiting stops the wait; the screen closes once the wait has ended.
  if (waiting_) {
    stopRequested_ = true;
    closeRequested_ = true;
    return;
  }
  Screen::reject();
}

bool Fiscalisation::Step(const ReplyRecord* reply, int err, const QString& heading) {
  if (!CheckSent(ui(), err)) return false;
  state().lastReply = reply;
  errorCode_->setText(ErrorCodeText(*reply));
  return CheckReply(ui(), *reply, heading);
}

void Fiscalisation::Fiscalise() {
  const QString inspector = inspector_->text();
  if (!SeparatorFree(ui(), QStringLiteral("Заводской номер ККМ:"), serial_->text()) ||
      !SeparatorFree(ui(), QStringLiteral("Пароль налогового инспектора:"), inspector) ||
      !SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) {
    return;
  }
  if (inspector.size() < 6 || repeat_->text().size() != 6) {
    ui().ShowMessage(QStringLiteral("Довжина пароля - 6!"));
    return;
  }
  if (inspector != repeat_->text()) {
    ui().ShowMessage(QStringLiteral("Повторно зроби ввод паролей та фіскалізацію"));
    return;
  }
  int err = 0;
  const ReplyRecord* reply =
      Fiscalize(ToCp1251(password_->text()), ToCp1251(serial_->text()), ToCp1251(inspector), err);
  if (!Step(reply, err, kHeading)) return;

  if (!WaitForRegistrator()) return;

  reply = OpenNonFiscalReceipt(kFixedPassword, err);
  if (!Step(reply, err, kHeading)) return;
  // A service report that fails is reported; the confirmation receipt goes on without it.
  reply = PrintServiceReport(kFixedPassword, 1, err);
  Step(reply, err, QStringLiteral("Фискализация регистратора:"));
  reply = PrintText(kFixedPassword, ToCp1251(QStringLiteral("РЕЄСТРАТОР ФІСКАЛІЗОВАНО УСПІШНО!")), err);
  if (!Step(reply, err, kHeading)) return;
  reply = CloseNonFiscalReceipt(kFixedPassword, err);
  if (!Step(reply, err, kHeading)) return;
  ui().ShowMessage(QStringLiteral("Фіскаліз. реєстратора - Успішно!"));
}

bool Fiscalisation::WaitForRegistrator() {
  // The registrator restarts after fiscalisation. Ask it until it answers without error, for at
  // most the wait limit, and let the user stop asking.
  waiting_ = true;
  stopRequested_ = false;
  closeRequested_ = false;
  waitNote_->show();
  stopWait_->show();
  fiscalise_->setEnabled(false);
  close_->setEnabled(false);
  QElapsedTimer elapsed;
  elapsed.start();
  bool answered = false;
  while (!answered) {
    ui().ProcessEvents();
    if (stopRequested_ || elapsed.elapsed() >= waitLimitMs_) break;
    int err = 0;
    state().lastReply = GetDiagnosticInfo(kFixedPassword, err);
    std::string text;
    answered = err == 0 && GetErrorText(state().LastReply(), text);
    if (!answered && !(state().LastReply().status & ST_NO_REPLY)) ui().Pause(kProbePauseMs);
  }
  waiting_ = false;
  waitNote_->hide();
  stopWait_->hide();
  fiscalise_->setEnabled(true);
  close_->setEnabled(true);
  if (answered) return true;
  const QString tail = QStringLiteral(" Фіскалізацію виконано, чек підтвердження не надруковано.");
  ui().ShowMessage(kHeading + QStringLiteral("\n  ") +
                   (stopRequested_ ? QStringLiteral("Очікування перервано.")
                                   : QStringLiteral("Реєстратор не відповідає після перезавантаження.")) +
                   tail);
  // Closed while it waited: the screen closes now that the wait is over and the user has been told.
  if (closeRequested_) {
    closeRequested_ = false;
    Screen::reject();
  }
  return false;
}

}  // namespace kovrix
