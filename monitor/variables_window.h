#pragma once
// The variables window (TForm40): the script variables in a grid of number, name and value,
// shown beside the frame monitor without blocking it, kept on top and wholly on the screen, and
// closed with the monitor.

#include <QDialog>
#include <QPushButton>
#include <QTableWidget>

namespace kovrix {

class VariablesWindow : public QDialog {
  Q_OBJECT

 public:
  /// A window that places itself at the right edge of monitor, at its top, as far as the screen
  /// allows, and closes when monitor closes.
  explicit VariablesWindow(QWidget* monitor);

  /// Removes every variable row.
  void Clear();
  /// Shows a variable in row (counted from 1, at most the script's variable limit); other rows
  /// are ignored.
  void ShowVariable(int row, const QString& name, const QString& value);
  /// "Переменные": sets the headings, numbers column 0 and shows the window without blocking.
  void Open();

  QTableWidget* Grid() const { return grid_; }
  QPushButton* CloseButton() const { return close_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void PlaceBesideMonitor();
  void SetCell(int row, int column, const QString& text);

  QWidget* monitor_;
  QTableWidget* grid_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace kovrix
