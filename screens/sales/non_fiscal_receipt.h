#pragma once
// The dialog "Нефискальный чек": prints the lines of a text box inside a non-fiscal receipt.
// The field separator ";" cannot be printed: typing it draws a warning, printing drops it.

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <string>

#include "app/screen.h"

namespace kovrix {

/// Most characters of one printed line.
inline constexpr std::size_t kNonFiscalLineWidth = 39;

/// Answers the lines of a multi-line box, top to bottom: an empty box has none, and a final
/// line break does not start another line.
QStringList BoxLines(const QString& text);

/// Answers the printed form of one line (cp1251): its first 39 characters with every ";" removed
/// (the cut comes first, so a line with semicolons prints shorter).
std::string PrintableLine(const std::string& line);

class NonFiscalReceipt : public Screen {
  Q_OBJECT

 public:
  explicit NonFiscalReceipt(ScreenContext& context, QWidget* parent = nullptr);

  QPlainTextEdit* LinesBox() const { return lines_; }
  QLineEdit* PasswordBox() const { return password_; }
  QPushButton* PrintButton() const { return print_; }
  QPushButton* CloseButton() const { return close_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void PrintReceipt();

  QPlainTextEdit* lines_ = nullptr;
  QLineEdit* password_ = nullptr;
  QPushButton* print_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace kovrix
