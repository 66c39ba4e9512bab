#include "screens/sales/non_fiscal_receipt.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

#include "app/text_codec.h"
#include "driver/commands.h"
#include "screens/screen_kit.h"

namespace kovrix {

QStringList BoxLines(const QString& text) {
  if (text.isEmpty()) return {};
  QStringList lines = text.split(u'\n');
  if (lines.last().isEmpty()) lines.removeLast();
  return lines;
}

std::string PrintableLine(const std::string& line) {
  std::string printed = line.substr(0, kNonFiscalLineWidth);
  printed.erase(std::remove(printed.begin(), printed.end(), ';'), printed.end());
  return printed;
}

NonFiscalReceipt::NonFiscalReceipt(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("NonFiscalReceipt"), QStringLiteral("Нефискальный чек"), parent) {
  lines_ = new QPlainTextEdit;
  lines_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  lines_->setLineWrapMode(QPlainTextEdit::NoWrap);
  lines_->installEventFilter(this);
  password_ = NewPasswordBox();
  print_ = NewButton(QStringLiteral("Печать чека:"));
  close_ = NewButton(QStringLiteral("Закрыть"));

  auto* passwordRow = new QHBoxLayout;
  passwordRow->addWidget(new QLabel(QStringLiteral("Пароль:")));
  passwordRow->addWidget(password_);
  passwordRow->addStretch();
  auto* buttons = ButtonRow({print_}, close_);
  auto* outer = new QVBoxLayout(this);
  outer->addWidget(new QLabel(QStringLiteral("Строки для печати в нефискальном чеке:")));
  outer->addWidget(lines_);
  outer->addLayout(passwordRow);
  outer->addLayout(buttons);
  setMinimumWidth(420);

  OnClick(print_, [this] { PrintReceipt(); });
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
}

bool NonFiscalReceipt::eventFilter(QObject* watched, QEvent* event) {
  // Warn as ";" is typed; the character still goes in and is dropped when the receipt prints.
  if (watched == lines_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->text().contains(u';')) {
    ui().ShowTitledMessage(QStringLiteral("Ввод текста"),
                           QStringLiteral("; - недопустимый символ, \n   будет удален при печати чека!"));
  }
  return Screen::eventFilter(watched, event);
}

void NonFiscalReceipt::PrintReceipt() {
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  const std::string password = ToCp1251(password_->text());
  int err = 0;
  state().lastReply = OpenNonFiscalReceipt(password, err);
  if (!CheckSent(ui(), err) || !CheckReplyText(ui(), state().LastReply())) return;
  // A failed line leaves the receipt open: the operator closes or annuls it elsewhere.
  for (const QString& line : BoxLines(lines_->toPlainText())) {
    state().lastReply = PrintText(password, PrintableLine(ToCp1251(line)), err);
    if (!CheckSent(ui(), err) || !CheckReplyText(ui(), state().LastReply())) return;
  }
  state().lastReply = CloseNonFiscalReceipt(password, err);
  if (CheckSent(ui(), err)) CheckReplyText(ui(), state().LastReply());
}

}  // namespace kovrix
