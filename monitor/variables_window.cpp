#include "monitor/variables_window.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "app/window_placement.h"
#include "monitor/script/run_state.h"

namespace kovrix {
namespace {

constexpr int kColumnWidths[] = {40, 98, 94, 26};

}  // namespace

VariablesWindow::VariablesWindow(QWidget* monitor) : QDialog(monitor), monitor_(monitor) {
  setObjectName(QStringLiteral("TForm40"));
  setWindowTitle(QStringLiteral("Переменные"));
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setModal(false);

  grid_ = new QTableWidget(0, 4);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->verticalHeader()->hide();
  grid_->setHorizontalHeaderLabels({QString(), QString(), QString(), QString()});
  for (int column = 0; column < 4; ++column) grid_->setColumnWidth(column, kColumnWidths[column]);

  close_ = new QPushButton(QStringLiteral("Закрыть"));
  close_->setAutoDefault(false);
  connect(close_, &QPushButton::clicked, this, &QDialog::close);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(close_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(grid_);
  layout->addLayout(buttons);
  resize(300, 320);
  // The variables belong to the monitor's run: the window goes when the monitor closes.
  if (monitor_) CloseWithOwner(*this, *monitor_);
}

void VariablesWindow::Clear() { grid_->setRowCount(0); }

void VariablesWindow::ShowVariable(int row, const QString& name, const QString& value) {
  if (row < 1 || row > script::kMaxVariables) return;
  if (grid_->rowCount() < row) grid_->setRowCount(row);
  SetCell(row - 1, 0, QString::number(row));
  SetCell(row - 1, 1, name);
  SetCell(row - 1, 2, value);
  SetCell(row - 1, 3, QString());
}

void VariablesWindow::Open() {
  grid_->setHorizontalHeaderLabels(
      {QString(), QStringLiteral("Переменные"), QStringLiteral("Значения"), QString()});
  for (int row = 0; row < grid_->rowCount(); ++row) SetCell(row, 0, QString::number(row + 1));
  show();
  raise();
}

void VariablesWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  PlaceBesideMonitor();
}

void VariablesWindow::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) PlaceBesideMonitor();
}

void VariablesWindow::PlaceBesideMonitor() {
  if (!monitor_) return;
  // Beside the monitor where the screen has room; moved (and shrunk) onto the screen where not.
  PlaceBeside(*this, *monitor_);
}

void VariablesWindow::SetCell(int row, int column, const QString& text) {
  if (QTableWidgetItem* item = grid_->item(row, column)) {
    item->setText(text);
    return;
  }
  grid_->setItem(row, column, new QTableWidgetItem(text));
}

}  // namespace kovrix
