#include "screens/programming/fiscal_dialogs.h"

#include <QHBoxLayout>
#include <QShowEvent>
#include <QVBoxLayout>

#include "app/window_placement.h"

#include "screens/screen_kit.h"

namespace kovrix {
namespace {

QString OutcomeText(ProgrammingOutcome outcome, bool plural) {
  switch (outcome) {
    case ProgrammingOutcome::Success: return QStringLiteral("успешно.");
    case ProgrammingOutcome::Error: return QStringLiteral("ошибка.");
    case ProgrammingOutcome::NotProgrammed: break;
  }
  return plural ? QStringLiteral("не программировались.") : QStringLiteral("не программировался.");
}

// Places a dialog as the screens are placed: whole title, centred on its parent's screen.
void Place(QDialog& dialog, QShowEvent* event) {
  if (event->spontaneous()) return;
  if (dialog.layout()) dialog.layout()->activate();
  FitTitle(dialog);
  CentreOnParentScreen(dialog);
}

}  // namespace

void ProgrammingConfirmation::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  Place(*this, event);
}

void OperationResult::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  Place(*this, event);
}

ProgrammingConfirmation::ProgrammingConfirmation(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TForm22"));
  setWindowTitle(QStringLiteral("Подтверждение программирования"));
  fiscalNumber_ = new QCheckBox(QStringLiteral("Запрограммировать фискальный номер"));
  taxId_ = new QCheckBox(QStringLiteral("Запрограммировать идентификационный/налоговый номер РРО"));
  taxes_ = new QCheckBox(QStringLiteral("Запрограммировать налоги"));
  continue_ = NewButton(QStringLiteral("Продолжить"));
  cancel_ = NewButton(QStringLiteral("Отменить"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(continue_);
  buttons->addWidget(cancel_);
  auto* column = new QVBoxLayout(this);
  column->addWidget(fiscalNumber_);
  column->addWidget(taxId_);
  column->addWidget(taxes_);
  column->addLayout(buttons);
  connect(continue_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

OperationResult::OperationResult(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TForm36"));
  setWindowTitle(QStringLiteral("Результат операции"));
  fiscalNumber_ = new QLabel;
  taxId_ = new QLabel;
  taxes_ = new QLabel;
  continue_ = NewButton(QStringLiteral("Продолжить"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(continue_);
  buttons->addStretch();
  auto* column = new QVBoxLayout(this);
  column->addWidget(fiscalNumber_);
  column->addWidget(taxId_);
  column->addWidget(taxes_);
  column->addLayout(buttons);
  setMinimumWidth(320);
  SetOutcomes(ProgrammingOutcome::NotProgrammed, ProgrammingOutcome::NotProgrammed, ProgrammingOutcome::NotProgrammed);
  connect(continue_, &QPushButton::clicked, this, &QDialog::accept);
}

void OperationResult::SetOutcomes(ProgrammingOutcome fiscalNumber, ProgrammingOutcome taxId,
                                  ProgrammingOutcome taxes) {
  fiscalNumber_->setText(QStringLiteral("Фискальный номер - ") + OutcomeText(fiscalNumber, false));
  taxId_->setText(QStringLiteral("Регистрационный номер - ") + OutcomeText(taxId, false));
  taxes_->setText(QStringLiteral("Ставки налогов - ") + OutcomeText(taxes, true));
}

}  // namespace kovrix
