#include "screens/programming/fiscal_parameters.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/input.h"
#include "app/long_run.h"
#include "ini/private_profile.h"
#include "app/screen_helpers.h"
#include "app/text_codec.h"
#include "driver/commands.h"
#include "screens/screen_kit.h"

namespace kovrix {
namespace {

const char* const kLetters[FiscalParameters::kTaxes] = {"А", "Б", "В", "Г", "Д"};

QString TaxHeading(int n) { return QStringLiteral("Налог %1:").arg(QString::fromUtf8(kLetters[n])); }

// Answers the integer of a short decimal field (an optional minus and up to four digits).
std::optional<int> SmallInt(const std::string& field) {
  std::size_t i = field.size() > 0 && field[0] == '-' ? 1 : 0;
  if (i == field.size() || field.size() - i > 4) return std::nullopt;
  int value = 0;
  for (; i < field.size(); ++i) {
    if (field[i] < '0' || field[i] > '9') return std::nullopt;
    value = value * 10 + (field[i] - '0');
  }
  return field[0] == '-' ? -value : value;
}

// A field of the identification reply that begins with ";" is an empty one. With the tax number
// empty the reply ends "N;;", which the field splitting reads as one field "N;": the ";" is the
// empty field's, not the number's.
QString IdField(const std::string& field) {
  if (!field.empty() && field[0] == ';') return QString();
  return FromCp1251(!field.empty() && field.back() == ';' ? field.substr(0, field.size() - 1) : field);
}

}  // namespace

QStringList TaxTypeNames(bool extended) {
  QStringList names = {QStringLiteral("Налог запрещен"), QStringLiteral("Вложенный"), QStringLiteral("Наложенный"),
                       QStringLiteral("Группа не облагаемая налогом")};
  if (extended) {
    names << QStringLiteral("Вложенный 2") << QStringLiteral("Наложенный 2") << QStringLiteral("Налог 2  Вложенный +")
          << QStringLiteral("Налог 2  Наложенный +");
  }
  return names;
}

QStringList LinkedGroupNames(int row) {
  QStringList names;
  for (int n = 0; n < FiscalParameters::kTaxes; ++n) {
    names << (n == row ? QStringLiteral("Отсутствует") : QStringLiteral("Налог ") + QString::fromUtf8(kLetters[n]));
  }
  return names;
}

int LinkOfPosition(int row, int position) { return position == row ? -1 : position; }

std::optional<int> PositionOfLink(int row, const std::string& field) {
  const std::optional<int> link = SmallInt(field);
  if (!link || *link < -1 || *link >= FiscalParameters::kTaxes) return std::nullopt;
  return *link == -1 ? row : *link;
}

FiscalParameters::FiscalParameters(ScreenContext& context, ProgrammingConfirmation& confirmation,
                                   OperationResult& result, bool extended, QWidget* parent)
    : Screen(context, extended ? QStringLiteral("TForm37") : QStringLiteral("TForm18"),
             QStringLiteral("Программирование фискальных параметров"), parent),
      confirmation_(confirmation),
      result_(result),
      extended_(extended) {
  static const char* const kRates[kTaxes] = {"20.00", "0.00", "0.00", "0.00", "0.00"};
  auto* taxGrid = new QGridLayout;
  taxGrid->addWidget(new QLabel(QStringLiteral("Тип налога")), 0, 1);
  taxGrid->addWidget(new QLabel(QStringLiteral("Ставка налога")), 0, 2);
  taxGrid->addWidget(new QLabel(QStringLiteral("Наименование")), 0, 3);
  if (extended_) taxGrid->addWidget(new QLabel(QStringLiteral("Связанная налоговая  группа")), 0, 4);
  for (int n = 0; n < kTaxes; ++n) {
    const auto i = static_cast<std::size_t>(n);
    types_[i] = new QComboBox;
    types_[i]->addItems(TaxTypeNames(extended_));
    rates_[i] = new QLineEdit(QString::fromLatin1(kRates[n]));
    rates_[i]->setMaximumWidth(90);
    names_[i] = new QLineEdit(QStringLiteral("ПДВ_") + QString::fromUtf8(kLetters[n]));
    names_[i]->setMaxLength(19);
    taxGrid->addWidget(new QLabel(TaxHeading(n)), n + 1, 0);
    taxGrid->addWidget(types_[i], n + 1, 1);
    taxGrid->addWidget(rates_[i], n + 1, 2);
    taxGrid->addWidget(names_[i], n + 1, 3);
    if (extended_) {
      links_[i] = new QComboBox;
      links_[i]->addItems(LinkedGroupNames(n));
      taxGrid->addWidget(links_[i], n + 1, 4);
    }
  }
  auto* taxes = new QGroupBox(QStringLiteral("Налоги"));
  taxes->setLayout(taxGrid);

  serial_ = new QLineEdit;
  serial_->setReadOnly(true);
  id_ = new QLineEdit;
  id_->setMaxLength(12);
  id_->setToolTip(QStringLiteral("Идентификационный номер"));
  taxNumber_ = new QLineEdit;
  // The device keeps tax numbers of 12 or 13 digits; a shorter box would cut a 13-digit one read back.
  taxNumber_->setMaxLength(13);
  taxNumber_->setToolTip(QStringLiteral("Налоговый номер"));
  fiscalNumber_ = new QLineEdit;
  if (extended_) fiscalNumber_->setMaxLength(10);
  password_ = NewPasswordBox();
  read_ = NewButton(QStringLiteral("Прочитать"));
  program_ = NewButton(QStringLiteral("Запрограммировать"));
  close_ = NewButton(QStringLiteral("Закрыть"));

  idMark_ = new QLabel(QStringLiteral("(ІД)"));
  auto* numbers = new QHBoxLayout;
  numbers->addWidget(idMark_);
  numbers->addWidget(id_);
  numbers->addWidget(new QLabel(QStringLiteral("(ПН)")));
  numbers->addWidget(taxNumber_);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Заводской номер регистратора:"), serial_);
  form->addRow(QStringLiteral("Регистрационный номер РРО:"), numbers);
  form->addRow(QStringLiteral("Фискальный номер:"), fiscalNumber_);
  form->addRow(QStringLiteral("Пароль:"), password_);

  auto* buttons = ButtonRow({read_, program_}, close_);
  auto* outer = new QVBoxLayout(this);
  outer->addWidget(taxes);
  outer->addLayout(form);
  outer->addLayout(buttons);

  OnClick(read_, [this] { Read(); });
  OnClick(program_, [this] { Program(); });
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
}

void FiscalParameters::Activate() {
  for (int n = 0; n < kTaxes; ++n) {
    const auto i = static_cast<std::size_t>(n);
    types_[i]->setCurrentIndex(n < 2 ? 1 : 0);
    if (links_[i]) links_[i]->setCurrentIndex(n);
  }
  int country = GetPrivateProfileInt("CountryMode", "Country code", 0, state().iniPath);
  if (country > 2) country = 0;
  // Country 2 has no identification number to show; what the box holds is still sent.
  idMark_->setVisible(country != 2);
  id_->setVisible(country != 2);
}

std::string FiscalParameters::Password() const { return ToCp1251(password_->text()); }

bool FiscalParameters::NumberCommandPassed(const char* function) {
  const QString name = QString::fromLatin1(function);
  return CheckTimeoutAndCode(ui(), state().LastReply(), QStringLiteral("Таймаут устройства! %1 Ошибка!").arg(name),
                             QStringLiteral("Ошибка %1!").arg(name));
}

void FiscalParameters::Read() {
  int err = 0;
  state().lastReply = GetSerialNumber(Password(), err);
  if (!CheckSent(ui(), err) || !NumberCommandPassed("GetSerialNumber")) return;
  serial_->setText(FromCp1251(state().LastReply().field(1)));

  state().lastReply = GetFiscalNumber(Password(), err);
  if (!CheckSent(ui(), err) || !NumberCommandPassed("GetFiscalNumber")) return;
  if (!ShowOutsideValues(ui(), {{fiscalNumber_, QStringLiteral("Фискальный номер:"), FromCp1251(state().LastReply().field(1))}})) {
    return;
  }

  state().lastReply = GetTaxIdNumber(Password(), err);
  if (!CheckSent(ui(), err) || !NumberCommandPassed("GetTaxIdNumber")) return;
  if (!ShowOutsideValues(ui(), {{id_, QStringLiteral("(ІД)"), IdField(state().LastReply().field(1))},
                                {taxNumber_, QStringLiteral("(ПН)"), IdField(state().LastReply().field(2))}})) {
    return;
  }

  QString notes;
  for (int n = 0; n < kTaxes; ++n) {
    const auto i = static_cast<std::size_t>(n);
    state().lastReply = GetTaxes(Password(), n, err);
    if (!CheckSent(ui(), err)) return;
    const ReplyRecord& reply = state().LastReply();
    if (!CheckReply(ui(), reply, TaxHeading(n))) return;
    // A type or a link this screen does not know leaves its list empty, and the user is told.
    const std::optional<int> type = SmallInt(reply.field(1));
    if (type && *type >= 0 && *type < types_[i]->count()) {
      types_[i]->setCurrentIndex(*type);
    } else {
      types_[i]->setCurrentIndex(-1);
      notes += QStringLiteral("\n%1 неизвестный тип налога (%2).").arg(TaxHeading(n), FromCp1251(reply.field(1)));
    }
    rates_[i]->setText(FromCp1251(reply.field(2)));
    if (!ShowOutsideValues(ui(), {{names_[i], TaxHeading(n) + QStringLiteral(" Наименование"), FromCp1251(reply.field(3))}})) {
      return;
    }
    if (links_[i]) {
      const std::optional<int> position = PositionOfLink(n, reply.field(4));
      links_[i]->setCurrentIndex(position ? *position : -1);
      if (!position) {
        notes += QStringLiteral("\n%1 неизвестная связанная группа (%2).").arg(TaxHeading(n), FromCp1251(reply.field(4)));
      }
    }
  }
  ui().ShowMessage(QStringLiteral("Успешно!") + notes);
}

void FiscalParameters::Program() {
  if (ui().ShowModal(confirmation_) != QDialog::Accepted) return;
  const bool taxes = confirmation_.TaxesBox()->isChecked();
  const bool fiscalNumber = confirmation_.FiscalNumberBox()->isChecked();
  const bool taxId = confirmation_.TaxIdBox()->isChecked();
  if (!CheckBeforeProgramming(taxes, fiscalNumber, taxId)) return;

  // A failure in one group does not keep the next ones from being programmed; a stop does, and the
  // groups it kept from the registrator show as not programmed.
  LongRun run(this, QStringLiteral("Программирование фискальных параметров"),
              (taxes ? kTaxes : 0) + (fiscalNumber ? 1 : 0) + (taxId ? 1 : 0));
  const ProgrammingOutcome taxesDone = taxes ? ProgramTaxes(run) : ProgrammingOutcome::NotProgrammed;
  const ProgrammingOutcome fiscalDone =
      fiscalNumber && run.Continue() ? ProgramFiscalNumber() : ProgrammingOutcome::NotProgrammed;
  const ProgrammingOutcome taxIdDone = taxId && run.Continue() ? ProgramTaxId() : ProgrammingOutcome::NotProgrammed;
  run.End();
  result_.SetOutcomes(fiscalDone, taxIdDone, taxesDone);
  ui().ShowModal(result_);
}

bool FiscalParameters::CheckBeforeProgramming(bool taxes, bool fiscalNumber, bool taxId) {
  // Everything typed is checked before the first command, so that a bad entry never leaves the
  // registrator half programmed.
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return false;
  if (taxes) {
    for (int n = 0; n < kTaxes; ++n) {
      const auto i = static_cast<std::size_t>(n);
      if (!SeparatorFree(ui(), TaxHeading(n) + QStringLiteral(" Ставка налога"), rates_[i]->text()) ||
          !SeparatorFree(ui(), TaxHeading(n) + QStringLiteral(" Наименование"), names_[i]->text())) {
        return false;
      }
      if (types_[i]->currentIndex() < 0) {
        ui().ShowMessage(TaxHeading(n) + QStringLiteral("\n  Не выбран тип налога!"));
        return false;
      }
      if (links_[i] && links_[i]->currentIndex() < 0) {
        ui().ShowMessage(TaxHeading(n) + QStringLiteral("\n  Не выбрана связанная налоговая группа!"));
        return false;
      }
      ToFloat(rates_[i]->text());  // a rate that is not a number ends here with the conversion error
    }
  }
  if (fiscalNumber && !SeparatorFree(ui(), QStringLiteral("Фискальный номер:"), fiscalNumber_->text())) return false;
  if (taxId && (!SeparatorFree(ui(), QStringLiteral("(ІД)"), id_->text()) ||
                !SeparatorFree(ui(), QStringLiteral("(ПН)"), taxNumber_->text()))) {
    return false;
  }
  if (!extended_) return true;
  const qsizetype fiscalLength = fiscalNumber_->text().size();
  if (fiscalNumber && fiscalLength != 10 && fiscalLength != 0) {
    ui().ShowMessage(QStringLiteral("Неверная длина фискального номера, исправьте!"));
    return false;
  }
  if (taxId) {
    const qsizetype idLength = id_->text().size();
    const qsizetype taxLength = taxNumber_->text().size();
    if (idLength != 12 && idLength != 0) {
      ui().ShowMessage(QStringLiteral("Неверный длина идентификационного номера, исправьте!"));
      return false;
    }
    if (taxLength != 13 && taxLength != 12 && taxLength != 0) {
      ui().ShowMessage(QStringLiteral("Неверный длина налогового номера, исправьте!"));
      return false;
    }
  }
  return true;
}

ProgrammingOutcome FiscalParameters::ProgramTaxes(LongRun& run) {
  for (int n = 0; n < kTaxes; ++n) {
    // Taxes stopped half way are not all programmed: that is an error of the group.
    if (!run.Continue()) return n == 0 ? ProgrammingOutcome::NotProgrammed : ProgrammingOutcome::Error;
    const auto i = static_cast<std::size_t>(n);
    const int type = types_[i]->currentIndex();
    const std::string rate = ToCp1251(rates_[i]->text());
    const std::string name = ToCp1251(names_[i]->text());
    int err = 0;
    state().lastReply = links_[i] ? SetTaxesExt(Password(), n, type, rate, name,
                                                LinkOfPosition(n, links_[i]->currentIndex()), err)
                                  : SetTaxes(Password(), n, type, rate, name, err);
    if (!CheckSent(ui(), err) || !CheckReply(ui(), state().LastReply(), TaxHeading(n))) {
      return ProgrammingOutcome::Error;
    }
  }
  return ProgrammingOutcome::Success;
}

ProgrammingOutcome FiscalParameters::ProgramFiscalNumber() {
  int err = 0;
  state().lastReply = SetFiscalNumber(Password(), ToCp1251(fiscalNumber_->text()), err);
  if (!CheckSent(ui(), err) || !NumberCommandPassed("SetFiscalNumber")) return ProgrammingOutcome::Error;
  return ProgrammingOutcome::Success;
}

ProgrammingOutcome FiscalParameters::ProgramTaxId() {
  int err = 0;
  state().lastReply = SetTaxIdNumber(Password(), ToCp1251(id_->text()), ToCp1251(taxNumber_->text()), err);
  if (!CheckSent(ui(), err) || !NumberCommandPassed("SetTaxIdNumber")) return ProgrammingOutcome::Error;
  return ProgrammingOutcome::Success;
}

}  // namespace kovrix
