#include "screens/programming/device_profile_screen.h"

#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QHeaderView>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

#include "app/long_run.h"
#include "driver/driver.h"
#include "screens/screen_kit.h"

namespace kovrix {
namespace {

using nlohmann::json;
using nlohmann::ordered_json;

const QString kCaption = QStringLiteral("Профиль регистратора");
const QString kFilter = QStringLiteral("Профиль регистратора (*.json);;Все файлы (*)");

enum Column { kArea, kField, kDevice, kProfile, kColumns };

QString Utf8(const std::string& text) { return QString::fromStdString(text); }

// A profile refused whole: each field's problem in Russian after its JSON Pointer.
QString ProblemsText(const QString& heading, const std::vector<session::ProfileProblem>& problems) {
  QString text = heading;
  for (const auto& p : problems) {
    text += QStringLiteral("\n  ") + Utf8(p.path.empty() ? p.russian : p.path + ": " + p.russian);
  }
  return text;
}

// A long run whose window appears once the session tells how many steps there are.
class Progress {
 public:
  explicit Progress(QWidget* owner) : owner_(owner) {}
  session::ProfileProgress Callback() {
    return [this](int done, int total) {
      if (!run_) run_.emplace(owner_, kCaption, total);
      return done >= total || run_->Continue();
    };
  }
  void End() {
    if (run_) run_->End();
  }
  bool Stopped() const { return run_ && run_->Stopped(); }

 private:
  QWidget* owner_;
  std::optional<LongRun> run_;
};

}  // namespace

QString ProfileAreaCaption(const std::string& area) {
  static const std::pair<const char*, const char*> kCaptions[] = {
      {"registratorParameters", "Параметры регистратора"}, {"decimalPoint", "Позиция десятичной точки"},
      {"taxes", "Налоги"}, {"fiscal", "Фискальные номера"}, {"paymentTypes", "Формы оплаты"},
      {"operators", "Операторы"}, {"header", "Заголовок и рекламный текст"}, {"communication", "Параметры связи"},
      {"idDev", "ID_DEV"}, {"serviceReminder", "Техническое обслуживание"}, {"logo", "Логотип"},
      {"passwords", "Пароли"}};
  for (const auto& [key, caption] : kCaptions) {
    if (area == key) return QString::fromUtf8(caption);
  }
  return Utf8(area);
}

QString ProfileValueText(const ordered_json& value) {
  if (value.is_null()) return QString();
  if (value.is_string()) return Utf8(value.get<std::string>());
  return Utf8(value.dump());
}

DeviceProfileScreen::DeviceProfileScreen(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("DeviceProfile"), kCaption, parent) {
  password_ = NewPasswordBox();
  skipRefused_ = new QCheckBox(QStringLiteral("Пропустить поля, которые регистратор сейчас не примет"));
  table_ = new QTableWidget(0, kColumns);
  table_->setHorizontalHeaderLabels({QStringLiteral("Область"), QStringLiteral("Поле"),
                                     QStringLiteral("Значение в регистраторе"), QStringLiteral("Значение в профиле")});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->setVisible(false);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->resizeColumnsToContents();  // the captions whole before the first comparison
  // Wide enough for the four columns of a typical field without scrolling on a laptop screen.
  table_->setMinimumSize(860, 320);
  summary_ = new QLabel;
  save_ = NewButton(QStringLiteral("Прочитать и сохранить"));
  compare_ = NewButton(QStringLiteral("Открыть и сравнить"));
  apply_ = NewButton(QStringLiteral("Применить"));
  apply_->setEnabled(false);
  close_ = NewButton(QStringLiteral("Закрыть"));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Пароль:"), password_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(table_, 1);
  layout->addWidget(summary_);
  layout->addWidget(skipRefused_);
  layout->addLayout(ButtonRow({save_, compare_, apply_}, close_));

  OnClick(save_, [this] { ReadAndSave(); });
  OnClick(compare_, [this] { OpenAndCompare(); });
  OnClick(apply_, [this] { Apply(); });
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
}

bool DeviceProfileScreen::RowDiffers(int row) const {
  const QTableWidgetItem* item = table_->item(row, kArea);
  return item && item->data(Qt::UserRole).toBool();
}

session::DeviceAccess DeviceProfileScreen::Access() const {
  session::DeviceAccess access;
  access.password = password_->text().toStdString();
  return access;
}

void DeviceProfileScreen::ShowFailure(const QString& heading, const session::DeviceFailure& failure) {
  ui().ShowMessage(heading + QStringLiteral(":\n  ") + Utf8(failure.russianStep + ": " + failure.russianMessage));
}

void DeviceProfileScreen::ReadAndSave() {
  session::ReadOptions options;
  options.access = Access();
  Progress progress(this);
  options.progress = progress.Callback();
  const session::ReadResult read = session::ReadProfile(options);
  progress.End();
  state().lastReply = LatestRecord();
  if (read.failure) {
    ShowFailure(QStringLiteral("Чтение профиля"), *read.failure);
    return;
  }
  const QString path = ui().SaveFileName(QStringLiteral("Сохранить профиль"), QDir::currentPath(), kFilter,
                                         QStringLiteral("json"));
  if (path.isEmpty()) return;
  QFile file(path);
  const QByteArray text = QByteArray::fromStdString(read.profile.dump(2) + "\n");
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size()) {
    ui().ShowMessage(QStringLiteral("Не удалось записать файл ") + path);
    return;
  }
  ui().ShowMessage(QStringLiteral("Профиль сохранён в ") + path);
}

void DeviceProfileScreen::OpenAndCompare() {
  const QString path = ui().OpenFileName(QStringLiteral("Открыть профиль"), QDir::currentPath(), kFilter,
                                         QStringLiteral("json"));
  if (path.isEmpty()) return;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    ui().ShowMessage(QStringLiteral("Не удалось прочитать файл ") + path);
    return;
  }
  const json profile = json::parse(file.readAll().toStdString(), nullptr, false);
  if (profile.is_discarded()) {
    ui().ShowMessage(QStringLiteral("Файл не является профилем (JSON): ") + path);
    return;
  }
  if (const auto problems = session::CheckProfile(profile); !problems.empty()) {
    ui().ShowMessage(ProblemsText(QStringLiteral("Профиль не принят, ничего не отправлено:"), problems));
    return;
  }
  profile_ = profile;
  profilePath_ = path;
  apply_->setEnabled(Compare());
}

bool DeviceProfileScreen::Compare() {
  session::ReadOptions options;
  options.access = Access();
  for (const std::string& area : session::ProfileAreas()) {
    if (profile_.contains(area) && session::AreaReadable(area)) options.areas.push_back(area);
  }
  Progress progress(this);
  options.progress = progress.Callback();
  const session::ReadResult read = session::ReadProfile(options);
  progress.End();
  state().lastReply = LatestRecord();
  table_->setRowCount(0);
  summary_->clear();
  if (read.failure) {
    ShowFailure(QStringLiteral("Чтение профиля"), *read.failure);
    return false;
  }
  auto rows = session::DiffProfiles(json::parse(read.profile.dump()), profile_);
  // The differences first, so that they are seen at a glance; the rest keep their order below.
  const auto equalFrom = std::stable_partition(rows.begin(), rows.end(), [](const session::DiffRow& row) {
    return row.state == session::DiffRow::State::Different;
  });
  const auto differing = static_cast<int>(equalFrom - rows.begin());
  summary_->setText(differing == 0 ? QStringLiteral("Профиль совпадает с регистратором.")
                                   : QStringLiteral("Различаются полей: %1 из %2 (выделены и показаны первыми).")
                                         .arg(differing)
                                         .arg(rows.size()));
  table_->setRowCount(static_cast<int>(rows.size()));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const session::DiffRow& row = rows[static_cast<std::size_t>(r)];
    const bool differs = row.state == session::DiffRow::State::Different;
    const QString device = row.state == session::DiffRow::State::NotCompared ? QStringLiteral("(не читается)")
                                                                              : ProfileValueText(row.device);
    // The field within its area: "/header/lines/1/text" is "lines/1/text"; an area that is one value has none.
    const QString field = Utf8(row.path.size() > row.area.size() + 1 ? row.path.substr(row.area.size() + 2) : "");
    const QString texts[kColumns] = {ProfileAreaCaption(row.area), field.isEmpty() ? QStringLiteral("—") : field,
                                     device, ProfileValueText(row.profile)};
    for (int c = 0; c < kColumns; ++c) {
      auto* item = new QTableWidgetItem(texts[c]);
      if (differs) {
        item->setBackground(QColor(255, 220, 200));
        QFont font = item->font();
        font.setBold(true);
        item->setFont(font);
      }
      item->setData(Qt::UserRole, differs);
      table_->setItem(r, c, item);
    }
  }
  table_->resizeColumnsToContents();
  return true;
}

void DeviceProfileScreen::Apply() {
  if (!profile_.is_object()) return;
  session::ApplyOptions options;
  options.access = Access();
  options.skipRefused = skipRefused_->isChecked();
  options.dryRun = true;
  const session::ApplyResult plan = session::ApplyProfile(profile_, options);
  state().lastReply = LatestRecord();
  if (plan.failure) {
    ShowFailure(QStringLiteral("Чтение профиля"), *plan.failure);
    return;
  }
  // What the file's check cannot know: the registrator's own size (its payment types, its logo).
  if (plan.status == session::ApplyResult::Status::BadInput) {
    ui().ShowMessage(ProblemsText(QStringLiteral("Профиль не принят, ничего не записано:"), plan.problems));
    return;
  }
  QString refused;
  for (const auto& f : plan.fields) {
    if (f.outcome == session::FieldOutcome::Refused) {
      refused += QStringLiteral("\n  ") + Utf8(f.path + ": " + f.russianReason);
    }
  }
  if (plan.status == session::ApplyResult::Status::RefusedUpFront) {
    ui().ShowMessage(QStringLiteral("Регистратор сейчас не примет эти поля, ничего не записано:") + refused +
                     QStringLiteral("\nОтметьте «Пропустить поля, которые регистратор сейчас не примет», чтобы "
                                    "записать остальные."));
    return;
  }
  const int planned = plan.count(session::FieldOutcome::Planned);
  if (planned == 0) {
    ui().ShowMessage(QStringLiteral("Регистратор уже совпадает с профилем: записывать нечего."));
    return;
  }
  QString question = QStringLiteral("Будет записано полей: %1.").arg(planned);
  if (!refused.isEmpty()) question += QStringLiteral("\nБудут пропущены:") + refused;
  if (!ui().AskOkCancel(question + QStringLiteral("\nПрименить профиль?"))) return;

  options.dryRun = false;
  Progress progress(this);
  options.progress = progress.Callback();
  const session::ApplyResult done = session::ApplyProfile(profile_, options);
  progress.End();
  state().lastReply = LatestRecord();
  QString text = QStringLiteral("Записано полей: %1.").arg(done.written());
  for (const auto& f : done.fields) {
    if (f.outcome == session::FieldOutcome::Refused && !f.upFront) {
      text += QStringLiteral("\nОтказ: ") + Utf8(f.path + ": " + f.russianReason);
    } else if (f.outcome == session::FieldOutcome::Unknown) {
      // Why it is unknown: a lost reply, or a write whose check-read the registrator refused.
      text += QStringLiteral("\nНеизвестно, записано ли: ") + Utf8(f.path + " (" + f.russianReason + ")") +
              QStringLiteral(". Примените профиль ещё раз.");
    }
  }
  if (const int notTried = done.count(session::FieldOutcome::NotTried); notTried > 0) {
    text += QStringLiteral("\nНе записывалось полей: %1.").arg(notTried);
  }
  ui().ShowMessage(text);
  Compare();
}

}  // namespace kovrix
