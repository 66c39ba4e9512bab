#include "app/command_console.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/screen_helpers.h"
#include "app/text_boxes.h"
#include "app/text_codec.h"
#include "driver/commands.h"
#include "driver/driver.h"
#include "monitor/script/monitor_boxes.h"

namespace kovrix {
namespace {

QLineEdit* ReadOnlyBox() {
  auto* box = new QLineEdit;
  box->setReadOnly(true);
  return box;
}

QPushButton* Button(const QString& caption) {
  auto* button = new QPushButton(caption);
  button->setAutoDefault(false);  // Enter belongs to the command line box
  return button;
}

const QString kTitle = QStringLiteral("Тест команд");
const QString kPanel = QStringLiteral("   Тест команд:  ");

}  // namespace

std::optional<int> DecodeCommandCode(const QString& text) {
  // Two hexadecimal digits make a code; a shorter text says what is missing rather than sending.
  const QString need = QStringLiteral("нужны две шестнадцатеричные цифры (от 00 до FF).");
  if (text.isEmpty()) throw InputError{QStringLiteral("Код команды не введен: ") + need};
  if (text.size() < 2) throw InputError{QStringLiteral("Код команды \"%1\" неполный: ").arg(text) + need};
  // The same two-digit rule as the frame monitor's code box.
  int code = 0;
  if (!script::DecodeCommandCode(ToCp1251(text.left(2)), code)) return std::nullopt;
  return code;
}

CommandConsole::CommandConsole(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("TForm14"), kTitle, parent) {
  code_ = new QLineEdit;
  commandLine_ = new QLineEdit;
  password_ = new QLineEdit(QString::fromLatin1(kDefaultPassword));
  result_ = ReadOnlyBox();
  error_ = ReadOnlyBox();
  status_ = ReadOnlyBox();
  code_->setObjectName(QStringLiteral("code"));
  commandLine_->setObjectName(QStringLiteral("commandLine"));
  password_->setObjectName(QStringLiteral("password"));
  result_->setObjectName(QStringLiteral("result"));
  error_->setObjectName(QStringLiteral("error"));
  status_->setObjectName(QStringLiteral("status"));
  code_->setMaximumWidth(60);

  execute_ = Button(QStringLiteral("Выполнить"));
  statusButton_ = Button(QStringLiteral("?"));
  statusButton_->setEnabled(false);
  auto* exit = Button(QStringLiteral("Выход"));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Код команды:"), code_);
  form->addRow(QStringLiteral("Командная строка:"), commandLine_);
  form->addRow(QStringLiteral("Пароль: "), password_);
  form->addRow(QStringLiteral("Результат выполнения команды:"), result_);
  form->addRow(QStringLiteral("Код ошибки:"), error_);
  auto* statusRow = new QHBoxLayout;
  statusRow->addWidget(status_);
  statusRow->addWidget(statusButton_);
  form->addRow(QStringLiteral("Статус регистратора:"), statusRow);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(execute_);
  buttons->addWidget(exit);

  statusBar_ = new QStatusBar;
  statusBar_->setSizeGripEnabled(false);
  statusBar_->showMessage(kPanel);

  auto* outer = new QVBoxLayout(this);
  outer->addLayout(form);
  outer->addLayout(buttons);
  outer->addWidget(statusBar_);
  setMinimumWidth(480);

  OnClick(execute_, [this] { Execute(); });
  connect(commandLine_, &QLineEdit::returnPressed, this, [this] { Guarded(ui(), [this] { Execute(); }); });
  connect(statusButton_, &QPushButton::clicked, this, [this] { shell().OpenStatusBytes(); });
  connect(exit, &QPushButton::clicked, this, &QDialog::reject);
}

void CommandConsole::OpenFromMenu() {
  setWindowTitle(kTitle);
  statusBar_->showMessage(kPanel);
  ui().ShowModal(*this);
}

void CommandConsole::Activate() {
  statusButton_->setEnabled(false);
  error_->clear();
  status_->clear();
  commandLine_->setFocus();
}

void CommandConsole::Execute() {
  ShowBoxText(result_, QString());
  error_->clear();
  status_->clear();
  const std::optional<int> code = DecodeCommandCode(code_->text());
  if (!code) {
    ui().ShowMessage(QStringLiteral("Неверный код команды"));
    return;
  }
  const std::string data = ToCp1251(password_->text()) + ";" + ToCp1251(commandLine_->text());
  // A text beyond one frame is refused here: the boxes would otherwise keep the previous
  // reply's error field and look like a success.
  const ReplyRecord* sent = ExecuteFitting(ui(), *code, data);
  if (!sent) return;
  state().lastReply = sent;
  const ReplyRecord& reply = *sent;
  error_->setText(ErrorCodeText(reply));
  // A long reply (the model name and version of the diagnostic command) is read from its start.
  ShowBoxText(result_, FromCp1251(reply.replyData));
  status_->setText(StatusBytesText(reply));
  statusButton_->setEnabled(true);
}

}  // namespace kovrix
