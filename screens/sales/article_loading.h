#pragma once
// The dialog "Загрузка артикулов в регистратор": reads an article file, shows its lines for
// editing and programs each line into the registrator's article base. It owns the article list
// that the fiscal receipt sells from: its file name and its lines.

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStringList>
#include <string>

#include "app/screen.h"

namespace kovrix {

/// The open-file dialog's filter of article files.
extern const QString kArticleFileFilter;

/// Answers the article code of an article line (the text before the first ";") as a 64-bit
/// integer; throws InputError with the toolkit-style text when it is not one.
long long ArticleCode(const QString& line);

/// Answers the price field of an article line (the text between the second and the third ";"),
/// without blanks around it; empty when the line has no such field.
QString ArticlePrice(const QString& line);

class ArticleLoading : public Screen {
  Q_OBJECT

 public:
  explicit ArticleLoading(ScreenContext& context, QWidget* parent = nullptr);

  /// Asks for an article file and loads it; answers false when the operator cancelled or the
  /// file could not be read (then nothing changes).
  bool ChooseAndLoadFile();
  /// Answers the full path of the loaded article file, empty until one is loaded.
  QString FileName() const { return fileName_->text(); }
  /// Answers the article lines, top to bottom, as the text box holds them now.
  QStringList Lines() const;

  QPlainTextEdit* LinesBox() const { return lines_; }
  QLabel* FileNameLabel() const { return fileName_; }
  QLineEdit* PasswordBox() const { return password_; }
  QProgressBar* Progress() const { return progress_; }
  QStatusBar* StatusBar() const { return statusBar_; }
  QPushButton* LoadButton() const { return load_; }
  QPushButton* WriteButton() const { return write_; }
  QPushButton* ClearButton() const { return clear_; }
  QPushButton* ExitButton() const { return exit_; }

 private:
  void WriteToRegistrator();

  QPlainTextEdit* lines_ = nullptr;
  QLabel* fileName_ = nullptr;
  QLineEdit* password_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QStatusBar* statusBar_ = nullptr;
  QPushButton* load_ = nullptr;
  QPushButton* write_ = nullptr;
  QPushButton* clear_ = nullptr;
  QPushButton* exit_ = nullptr;
};

}  // namespace kovrix
