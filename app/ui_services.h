#pragma once
// The seam between the screens and the toolkit's modal services: message boxes, questions,
// file and directory choosers, modal showing of screens, and letting pending events run.
// No screen calls QMessageBox, QFileDialog or QDialog::exec directly.

#include <QString>

class QDialog;

namespace kovrix {

class UiServices {
 public:
  virtual ~UiServices() = default;

  /// Shows a message box with an OK button and waits until it is closed.
  virtual void ShowMessage(const QString& text) = 0;
  /// Shows a message box with its own title and an OK button, and waits until it is closed.
  virtual void ShowTitledMessage(const QString& title, const QString& text) = 0;
  /// Asks an OK/Cancel question; answers true for OK.
  virtual bool AskOkCancel(const QString& text) = 0;
  /// Answers the file chosen to open, or an empty text when the user cancelled.
  /// defaultSuffix is added to a typed name that has none (empty: nothing is added).
  virtual QString OpenFileName(const QString& caption, const QString& directory, const QString& filter,
                               const QString& defaultSuffix) = 0;
  /// Answers the file chosen to save to, or an empty text when the user cancelled.
  virtual QString SaveFileName(const QString& caption, const QString& directory, const QString& filter,
                               const QString& defaultSuffix) = 0;
  /// Answers the directory chosen, or an empty text when the user cancelled.
  virtual QString ChooseDirectory(const QString& caption, const QString& directory) = 0;
  /// Shows a screen modally and answers its result code when it closes.
  virtual int ShowModal(QDialog& dialog) = 0;
  /// Lets pending user-interface events run (repaints, stop buttons).
  virtual void ProcessEvents() = 0;
  /// Waits ms milliseconds while letting events run.
  virtual void Pause(int ms) = 0;
};

}  // namespace kovrix
