#include "screens/sales/article_loading.h"

#include <QFile>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>

#include "app/long_run.h"
#include "app/text_codec.h"
#include "driver/driver.h"
#include "driver/error_text.h"
#include "driver/frame.h"
#include "screens/sales/non_fiscal_receipt.h"
#include "screens/screen_kit.h"

namespace kovrix {

namespace {


}  // namespace

// The toolkit's filter form of the article files and of all files; names on Linux keep their case,
// so both spellings of the extension are listed.
const QString kArticleFileFilter = QStringLiteral("Product filse -  ART (*.ART *.art);;AllFiles (*.*)");


long long ArticleCode(const QString& line) {
  const QString code = line.section(u';', 0, 0);
  bool ok = false;
  const long long value = code.trimmed().toLongLong(&ok);
  if (!ok) throw InputError{QStringLiteral("'%1' is not a valid integer value").arg(code)};
  return value;
}

QString ArticlePrice(const QString& line) { return line.section(u';', 2, 2).trimmed(); }

ArticleLoading::ArticleLoading(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("ArticleLoading"), QStringLiteral("Загрузка артикулов в регистратор"), parent) {
  lines_ = new QPlainTextEdit;
  lines_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  lines_->setLineWrapMode(QPlainTextEdit::NoWrap);
  fileName_ = new QLabel;
  fileName_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  password_ = NewPasswordBox();
  progress_ = new QProgressBar;
  progress_->setRange(0, 1);
  progress_->setValue(0);
  statusBar_ = new QStatusBar;
  statusBar_->setSizeGripEnabled(false);
  load_ = NewButton(QStringLiteral("Загрузить"));
  write_ = NewButton(QStringLiteral("Записать в регистратор"));
  clear_ = NewButton(QStringLiteral("Очистить"));
  exit_ = NewButton(QStringLiteral("Выход"));

  auto* passwordRow = new QHBoxLayout;
  passwordRow->addWidget(new QLabel(QStringLiteral("Пароль: ")));
  passwordRow->addWidget(password_);
  passwordRow->addStretch();
  auto* buttons = ButtonRow({load_, write_, clear_}, exit_);
  auto* outer = new QVBoxLayout(this);
  outer->addWidget(new QLabel(QStringLiteral("Товары для программирования")));
  outer->addWidget(lines_);
  outer->addWidget(fileName_);
  outer->addLayout(passwordRow);
  outer->addWidget(progress_);
  outer->addLayout(buttons);
  outer->addWidget(statusBar_);
  setMinimumSize(560, 420);

  OnClick(load_, [this] { ChooseAndLoadFile(); });
  OnClick(write_, [this] { WriteToRegistrator(); });
  OnClick(clear_, [this] { lines_->clear(); });
  connect(exit_, &QPushButton::clicked, this, &QDialog::accept);
}

QStringList ArticleLoading::Lines() const { return BoxLines(lines_->toPlainText()); }

bool ArticleLoading::ChooseAndLoadFile() {
  const QString path = ui().OpenFileName(QStringLiteral("Открыть файл товаров"), QString::fromStdString(state().programDir),
                                         kArticleFileFilter, QStringLiteral("ART"));
  if (path.isEmpty()) return false;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    ui().ShowMessage(QStringLiteral("Не удалось открыть файл товаров:\n  ") + path);
    return false;
  }
  const QByteArray bytes = file.readAll();
  QString text = FromCp1251(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  text.remove(u'\r');
  fileName_->setText(path);
  lines_->setPlainText(text);
  return true;
}

void ArticleLoading::WriteToRegistrator() {
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  const QStringList lines = Lines();
  const std::string password = ToCp1251(password_->text());
  // A range of 0..0 would turn the bar into a busy indicator for a run that sends nothing.
  progress_->setRange(0, std::max(1, static_cast<int>(lines.size())));
  progress_->setValue(0);
  int refused = 0;
  QString firstRefusal;
  // Events run between lines to repaint the progress; the buttons stay off so that no second
  // run or edit starts inside this one.
  for (QPushButton* button : {load_, write_, clear_, exit_}) button->setEnabled(false);
  lines_->setReadOnly(true);
  LongRun run(this, QStringLiteral("Загрузка артикулов"), static_cast<int>(lines.size()));
  for (qsizetype i = 0; i < lines.size() && run.Continue(); ++i) {
    QString error;
    bool accepted = false;
    int err = 0;
    const ReplyRecord* added = AddArticul(password, ToCp1251(lines[i]), err);
    if (err == ERR_DATA_TOO_LONG) {
      // Sent as it is, the line would be lost in the link as a reply that never came.
      error = QStringLiteral("данные не помещаются в кадр, строка не отправлена");
    } else {
      state().lastReply = added;
      const ReplyRecord& reply = state().LastReply();
      if (reply.status & ST_NO_REPLY) statusBar_->showMessage(QStringLiteral("Ошибка! Таймаут устройства! "));
      std::string text;
      accepted = GetErrorText(reply, text);
      error = text.empty() ? QStringLiteral("код ошибки ") + FromCp1251(reply.errorText) : FromCp1251(text);
    }
    if (!accepted && refused++ == 0) {
      firstRefusal = QStringLiteral("строка %1: %2\n  %3").arg(i + 1).arg(lines[i], error);
    }
    progress_->setValue(static_cast<int>(i + 1));
  }
  run.End();
  for (QPushButton* button : {load_, write_, clear_, exit_}) button->setEnabled(true);
  lines_->setReadOnly(false);
  ui().ShowMessage(QStringLiteral("Завершено"));
  if (run.Stopped()) {
    ui().ShowMessage(QStringLiteral("Загрузка остановлена пользователем: отправлено строк %1 из %2.")
                         .arg(run.Done())
                         .arg(lines.size()));
  }
  if (run.DeviceSilent()) ui().ShowMessage(run.SilenceMessage());
  if (refused > 0) {
    ui().ShowMessage(QStringLiteral("Регистратор не принял строк: %1.\nПервая из них, ").arg(refused) + firstRefusal);
  }
}

}  // namespace kovrix
