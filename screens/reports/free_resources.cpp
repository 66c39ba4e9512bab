#include "screens/reports/free_resources.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QVBoxLayout>

#include "app/screen_helpers.h"
#include "app/text_codec.h"
#include "driver/commands.h"
#include "screens/reports/report_layout.h"
#include "screens/screen_kit.h"

namespace kovrix {
namespace {

const QString kHeading = QStringLiteral("Информация о свободных ресурсах и статусе:");
const QString kSuccess = QStringLiteral("Информация о свободных ресурсах и статусе - Успешно!");

// Captions of reply fields 1..6 and 7..12, in field order; the trailing blanks are the captions' own.
const char* const kPermissionCaptions[] = {
    "Разрешение фискализации",
    "Разрешение записи заводского номера ",
    "Разрешение записи фискального номера ",
    "Разрешение записи налогового номера",
    "Разрешение записи комплекта налоговых ставок",
    "Разрешение записи пароля доступа к ФП",
};
const char* const kValueCaptions[] = {
    "Количество аварийных обнулений:", "Свободно фискальных отчетов:",      "Дата открытия смены:",
    "Время открытия смены:",           "Свободно записей в базе товаров:", "Свободно чеков:",
};

}  // namespace

bool PermissionGranted(const std::string& field) {
  bool ok = false;
  const int value = QString::fromLatin1(field.data(), static_cast<qsizetype>(field.size())).trimmed().toInt(&ok);
  return ok && value == 1;
}

FreeResources::FreeResources(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("FreeResources"), QStringLiteral("Информация о свободных ресурсах и статусе"),
             parent) {
  password_ = NewPasswordBox();
  errorCode_ = NewErrorCodeBox();
  report_ = NewButton(QStringLiteral("Сделать отчет"));
  status_ = NewButton(QStringLiteral("Состояние регистратора"));
  close_ = NewButton(QStringLiteral("Закрыть"));

  // The result panel shows what the registrator answered; the user does not edit it.
  auto* panel = new QGroupBox;
  auto* panelColumn = new QVBoxLayout(panel);
  for (std::size_t i = 0; i < permissions_.size(); ++i) {
    permissions_[i] = new QCheckBox(QString::fromUtf8(kPermissionCaptions[i]));
    permissions_[i]->setAttribute(Qt::WA_TransparentForMouseEvents);
    permissions_[i]->setFocusPolicy(Qt::NoFocus);
    panelColumn->addWidget(permissions_[i]);
  }
  auto* valueForm = new QFormLayout;
  for (std::size_t i = 0; i < values_.size(); ++i) {
    values_[i] = NewErrorCodeBox();
    valueForm->addRow(QString::fromUtf8(kValueCaptions[i]), values_[i]);
  }
  panelColumn->addLayout(valueForm);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Пароль:"), password_);
  form->addRow(QStringLiteral("Код ошибки:"), errorCode_);
  form->addRow(panel);
  LayOutBoxesAndButtons(this, form, {report_, status_, close_});
  setMinimumWidth(kReportScreenWidth);

  OnClick(report_, [this] { MakeReport(); });
  OnClick(status_, [this] { shell().OpenStatusBytes(); });
  OnClick(close_, [this] {
    status_->setEnabled(false);
    accept();
  });
}

void FreeResources::Activate() {
  errorCode_->clear();
  status_->setEnabled(false);
}

void FreeResources::ShowResources(const ReplyRecord& reply) {
  // A short reply fills what it has; a field it lacks reads as empty and leaves its box empty.
  for (std::size_t i = 0; i < permissions_.size(); ++i) {
    permissions_[i]->setChecked(PermissionGranted(reply.field(static_cast<int>(i) + 1)));
  }
  for (std::size_t i = 0; i < values_.size(); ++i) {
    values_[i]->setText(FromCp1251(reply.field(kPermissions + static_cast<int>(i) + 1)));
  }
}

void FreeResources::MakeReport() {
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  status_->setEnabled(true);
  errorCode_->clear();
  int err = 0;
  state().lastReply = GetFreeResources(ToCp1251(password_->text()), err);
  if (!CheckSent(ui(), err)) return;
  const ReplyRecord& reply = state().LastReply();
  errorCode_->setText(ErrorCodeText(reply));
  if (!CheckReply(ui(), reply, kHeading)) return;
  ShowResources(reply);
  ui().ShowMessage(kSuccess);
}

}  // namespace kovrix
