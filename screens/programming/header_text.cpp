#include "screens/programming/header_text.h"

#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMouseEvent>
#include <QVBoxLayout>

#include "app/input.h"
#include "app/long_run.h"
#include "app/screen_helpers.h"
#include "app/text_codec.h"
#include "driver/commands.h"
#include "screens/screen_kit.h"

namespace kovrix {
namespace {

constexpr int kNumberColumn = 0;
constexpr int kTextColumn = 1;
constexpr int kModeColumn = 2;
constexpr int kCenterColumn = 3;
constexpr int kRows[2] = {10, 4};
constexpr int kFirstLine[2] = {0, 10};  // device line of each grid's row 0

const QString kHeaderPrefix = QStringLiteral("Заголовок.\n  Строка ");
const QString kAdvertisingPrefix = QStringLiteral("Рекламный текст.\n  Строка ");

bool Blank(QChar c) { return c.unicode() <= u' '; }

QTableWidgetItem* FixedItem(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  return item;
}

}  // namespace

const QString HeaderAndAdvertising::kSkip = QStringLiteral("не записывать");
const QString HeaderAndAdvertising::kSingle = QStringLiteral("одинарная ширина");
const QString HeaderAndAdvertising::kDouble = QStringLiteral("двойная ширина");

QString CenterHeaderLine(const QString& text, int paperWidth, bool doubleWidth) {
  qsizetype first = 0;
  qsizetype last = text.size();
  while (first < last && Blank(text[first])) ++first;
  while (last > first && Blank(text[last - 1])) --last;
  const QString trimmed = text.mid(first, last - first);
  if (trimmed.isEmpty()) return trimmed;
  const int n = static_cast<int>(trimmed.size());
  const int pad = (doubleWidth ? paperWidth / 4 : paperWidth / 2) - n / 2;
  return pad > 0 ? QString(pad, u' ') + trimmed : trimmed;
}

QString NextHeaderMode(const QString& mode) {
  if (mode == HeaderAndAdvertising::kSkip) return HeaderAndAdvertising::kSingle;
  if (mode == HeaderAndAdvertising::kSingle) return HeaderAndAdvertising::kDouble;
  if (mode == HeaderAndAdvertising::kDouble) return HeaderAndAdvertising::kSkip;
  return mode;
}

HeaderAndAdvertising::HeaderAndAdvertising(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("TForm11"), QStringLiteral("Заголовок и рекламный текст"), parent) {
  operation_ = new QComboBox;
  operation_->addItems({QStringLiteral("Программировать все"), QStringLiteral("Программировать заголовок чека"),
                        QStringLiteral("Программировать рекламный текст"), QStringLiteral("Читать все"),
                        QStringLiteral("Читать заголовок чека"), QStringLiteral("Читать рекламный текст"),
                        QStringLiteral("Обнулить заголовок и рекламный текст"),
                        QStringLiteral("Обнулить заголовок чека"), QStringLiteral("Обнулить рекламный текст")});
  operation_->setCurrentIndex(-1);
  onlyNonEmpty_ = new QCheckBox(QStringLiteral("Записать  только непустые поля "));
  onlyNonEmpty_->setEnabled(false);
  password_ = NewPasswordBox();
  widthNumber_ = new QLineEdit(QStringLiteral("40"));
  widthList_ = new QComboBox;
  widthList_->hide();
  execute_ = NewButton(QStringLiteral("Выполнить"));
  execute_->setEnabled(false);
  close_ = NewButton(QStringLiteral("Закрыть"));

  auto* widthRow = new QHBoxLayout;
  widthRow->addWidget(widthNumber_);
  widthRow->addWidget(widthList_);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Операция:"), operation_);
  form->addRow(onlyNonEmpty_);
  form->addRow(QStringLiteral("Пароль:"), password_);
  form->addRow(QStringLiteral("Ширина ленты (симв.):"), widthRow);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(execute_);
  buttons->addWidget(close_);
  buttons->addStretch();
  auto* bottom = new QHBoxLayout;
  bottom->addLayout(form, 1);
  bottom->addLayout(buttons);

  auto* outer = new QVBoxLayout(this);
  outer->addWidget(BuildGridBlock(Header, QStringLiteral("Заголовок чека"), kRows[Header],
                                  QStringLiteral("Центрировать заголовок чека")));
  outer->addWidget(BuildGridBlock(Advertising, QStringLiteral("Рекламный текст"), kRows[Advertising],
                                  QStringLiteral("Центрировать рекламный текст")));
  outer->addLayout(bottom);

  connect(operation_, &QComboBox::currentIndexChanged, this, [this](int index) { OperationChosen(index); });
  OnClick(execute_, [this] { Execute(); });
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
  for (int g = 0; g < 2; ++g) ResetGrid(g);
}

QWidget* HeaderAndAdvertising::BuildGridBlock(int g, const QString& title, int rows, const QString& centerCaption) {
  auto* grid = new QTableWidget(rows, 4);
  grids_[g] = grid;
  grid->verticalHeader()->hide();
  grid->verticalHeader()->setDefaultSectionSize(24);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid->setColumnWidth(kNumberColumn, 60);
  grid->setColumnWidth(kTextColumn, 330);
  grid->setColumnWidth(kModeColumn, 150);
  grid->setColumnWidth(kCenterColumn, 130);
  for (int r = 0; r < rows; ++r) {
    grid->setItem(r, kTextColumn, new QTableWidgetItem);
    auto* box = new QCheckBox(QStringLiteral("центрировать"));
    center_[g][static_cast<std::size_t>(r)] = box;
    grid->setCellWidget(r, kCenterColumn, box);
  }
  grid->setFixedSize(60 + 330 + 150 + 130 + 2 * grid->frameWidth(),
                     grid->horizontalHeader()->sizeHint().height() + rows * 24 + 2 * grid->frameWidth());
  grid->viewport()->installEventFilter(this);
  connect(grid, &QTableWidget::currentCellChanged, this,
          [this, g](int row, int column, int, int) { ModeCellSelected(g, row, column); });
  connect(grid, &QTableWidget::cellClicked, this, [this, g](int row, int column) {
    // A click on the cell that was already selected selects it again.
    if (pressOnCurrent_[g]) ModeCellSelected(g, row, column);
  });
  // The second click of a quick pair arrives as a double click: it selects the cell once more.
  connect(grid, &QTableWidget::cellDoubleClicked, this,
          [this, g](int row, int column) { ModeCellSelected(g, row, column); });

  clear_[g] = NewButton(QStringLiteral("Очистить"));
  centerAll_[g] = NewButton(centerCaption);
  uncenter_[g] = NewButton(QStringLiteral("Отменить центрирование"));
  connect(clear_[g], &QPushButton::clicked, this, [this, g] {
    for (int r = 0; r < grids_[g]->rowCount(); ++r) grids_[g]->item(r, kTextColumn)->setText(QString());
  });
  connect(centerAll_[g], &QPushButton::clicked, this, [this, g] {
    for (int r = 0; r < kRows[g]; ++r) center_[g][static_cast<std::size_t>(r)]->setChecked(true);
  });
  connect(uncenter_[g], &QPushButton::clicked, this, [this, g] {
    for (int r = 0; r < kRows[g]; ++r) center_[g][static_cast<std::size_t>(r)]->setChecked(false);
  });

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(clear_[g]);
  buttons->addWidget(centerAll_[g]);
  buttons->addWidget(uncenter_[g]);
  buttons->addStretch();
  auto* box = new QGroupBox(title);
  auto* column = new QVBoxLayout(box);
  column->addWidget(grid);
  column->addLayout(buttons);
  return box;
}

QCheckBox* HeaderAndAdvertising::CenterBox(int grid, int row) const {
  return center_[static_cast<std::size_t>(grid)][static_cast<std::size_t>(row)];
}

bool HeaderAndAdvertising::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) {
    for (int g = 0; g < 2; ++g) {
      if (watched != grids_[g]->viewport()) continue;
      const auto* press = static_cast<QMouseEvent*>(event);
      const QModelIndex at = grids_[g]->indexAt(press->position().toPoint());
      pressOnCurrent_[g] = at.isValid() && at == grids_[g]->currentIndex();
    }
  }
  return Screen::eventFilter(watched, event);
}

void HeaderAndAdvertising::Activate() {
  for (int g = 0; g < 2; ++g) ResetGrid(g);
  ApplyPaperWidth();
}

void HeaderAndAdvertising::ResetGrid(int g) {
  QTableWidget* grid = grids_[g];
  grid->setHorizontalHeaderLabels({QStringLiteral("Номер"), QStringLiteral("        Текст"),
                                   QStringLiteral("Параметры"), QString()});
  for (int r = 0; r < grid->rowCount(); ++r) {
    grid->setItem(r, kNumberColumn, FixedItem(QString::number(r)));
    grid->setItem(r, kModeColumn, FixedItem(kSkip));
  }
}

void HeaderAndAdvertising::ApplyPaperWidth() {
  // The main window sets the width at every connect; the user's own value stands until the next one.
  const PaperWidthSetting& width = state().paperWidth;
  if (widthApplied_ && width.setting == appliedWidth_.setting && width.listShown == appliedWidth_.listShown &&
      width.numberText == appliedWidth_.numberText &&
      width.listEntries == appliedWidth_.listEntries && width.listText == appliedWidth_.listText) {
    return;
  }
  appliedWidth_ = width;
  widthApplied_ = true;
  widthNumber_->setText(FromCp1251(width.numberText));
  widthList_->clear();
  for (const std::string& entry : width.listEntries) widthList_->addItem(FromCp1251(entry));
  widthList_->setCurrentText(FromCp1251(width.listText));
  widthNumber_->setVisible(!width.listShown);
  widthList_->setVisible(width.listShown);
}

void HeaderAndAdvertising::ModeCellSelected(int g, int row, int column) {
  if (row < 0 || column != kModeColumn) return;
  QTableWidgetItem* item = grids_[g]->item(row, column);
  if (item) item->setText(NextHeaderMode(item->text()));
}

void HeaderAndAdvertising::OperationChosen(int index) {
  if (index < 0) return;
  execute_->setEnabled(true);
  onlyNonEmpty_->setEnabled(index <= ProgramAdvertising);
}

void HeaderAndAdvertising::Execute() {
  const int index = operation_->currentIndex();
  if (index < 0) return;
  const int width = ToInt(widthList_->isHidden() ? widthNumber_->text() : widthList_->currentText());
  const Action action = index <= ProgramAdvertising ? Program : index <= ReadAdvertising ? Read : Clear;
  const int part = index % 3;  // 0 both, 1 header, 2 advertising
  // Every text is checked before the first line goes out, so that a ";" leaves no block half programmed.
  if (!SeparatorFree(ui(), QStringLiteral("Пароль:"), password_->text())) return;
  for (const Block block : {Header, Advertising}) {
    if (action != Program || part == (block == Header ? 2 : 1)) continue;
    const QString title = block == Header ? QStringLiteral("Заголовок чека") : QStringLiteral("Рекламный текст");
    for (int row = 0; row < kRows[block]; ++row) {
      if (grids_[block]->item(row, kModeColumn)->text() == kSkip) continue;
      const QTableWidgetItem* text = grids_[block]->item(row, kTextColumn);
      if (text && !SeparatorFree(ui(), QStringLiteral("%1, строка %2").arg(title).arg(row), text->text())) return;
    }
  }
  LongRun run(this, operation_->currentText(), (part != 2 ? kRows[Header] : 0) + (part != 1 ? kRows[Advertising] : 0));
  const bool done = (part == 2 || RunBlock(run, action, Header, width)) && (part == 1 || RunBlock(run, action, Advertising, width));
  run.End();
  // A stop asked for during the last line came too late to keep any line back: the run is whole.
  if (done) {
    ui().ShowMessage(QStringLiteral("Успешно!"));
  } else if (run.Stopped()) {
    ui().ShowMessage(QStringLiteral("Остановлено пользователем: выполнено строк %1.").arg(run.Done()));
  }
}

bool HeaderAndAdvertising::RunBlock(LongRun& run, Action action, Block block, int paperWidth) {
  for (int row = 0; row < kRows[block]; ++row) {
    if (!run.Continue()) return false;
    const bool done = action == Read ? ReadLine(block, row) : ProgramLine(block, row, paperWidth, action == Clear);
    if (!done) return false;
  }
  return true;
}

bool HeaderAndAdvertising::ProgramLine(Block block, int row, int paperWidth, bool clear) {
  QTableWidget* grid = grids_[block];
  const QString mode = grid->item(row, kModeColumn)->text();
  if (mode == kSkip) return true;
  const int attribute = mode == kSingle ? 0 : 1;
  const int line = kFirstLine[block] + row;
  QString text;
  if (!clear) {
    text = grid->item(row, kTextColumn)->text();
    if (text.isEmpty() && onlyNonEmpty_->isChecked()) return true;
    if (CenterBox(block, row)->isChecked()) text = CenterHeaderLine(text, paperWidth, attribute == 1);
  }
  int err = 0;
  state().lastReply = SetHeaderFooter(ToCp1251(password_->text()), line, ToCp1251(text), attribute, err);
  if (!CheckSent(ui(), err)) return false;
  // Programming names an advertising line by its row; clearing names it by its device line.
  const int shown = !clear && block == Advertising ? row : line;
  const QString prefix = block == Header ? kHeaderPrefix : kAdvertisingPrefix;
  return CheckReply(ui(), state().LastReply(), prefix + QString::number(shown) + QStringLiteral(" :"));
}

bool HeaderAndAdvertising::ReadLine(Block block, int row) {
  QTableWidget* grid = grids_[block];
  const int line = kFirstLine[block] + row;
  int err = 0;
  state().lastReply = GetHeaderFooter(ToCp1251(password_->text()), line, err);
  if (!CheckSent(ui(), err)) return false;
  const ReplyRecord& reply = state().LastReply();
  const QString prefix = block == Header ? kHeaderPrefix : kAdvertisingPrefix;
  // A failed reading leaves the row as it was: its fields are not this line's text.
  if (!CheckReply(ui(), reply, prefix + QString::number(line) + QStringLiteral(" :"))) return false;
  grid->item(row, kTextColumn)->setText(FromCp1251(reply.field(1)));
  const std::string& width = reply.field(2);
  if (!width.empty() && width[0] == '0') grid->item(row, kModeColumn)->setText(kSingle);
  if (!width.empty() && width[0] == '1') grid->item(row, kModeColumn)->setText(kDouble);
  return true;
}

}  // namespace kovrix
