#include "app/qt_ui_services.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>
#include <algorithm>

namespace kovrix {

QWidget* QtUiServices::Parent() const {
  if (QWidget* active = QApplication::activeModalWidget()) return active;
  if (QWidget* active = QApplication::activeWindow()) return active;
  return fallback_;
}

void QtUiServices::ShowMessage(const QString& text) {
  // A plain message box without an icon, captioned with the program's name.
  ShowTitledMessage(QApplication::applicationName(), text);
}

void QtUiServices::ShowTitledMessage(const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, Parent());
  box.exec();
}

bool QtUiServices::AskOkCancel(const QString& text) {
  QMessageBox box(QMessageBox::Question, QApplication::applicationName(), text,
                  QMessageBox::Ok | QMessageBox::Cancel, Parent());
  return box.exec() == QMessageBox::Ok;
}

namespace {

// The static QFileDialog helpers take no default suffix, so the dialog is built here.
QString AskFileName(QWidget* parent, QFileDialog::AcceptMode mode, const QString& caption, const QString& directory,
                    const QString& filter, const QString& defaultSuffix) {
  QFileDialog dialog(parent, caption, directory, filter);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog.setDefaultSuffix(defaultSuffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().constFirst();
}

}  // namespace

QString QtUiServices::OpenFileName(const QString& caption, const QString& directory, const QString& filter,
                                   const QString& defaultSuffix) {
  return AskFileName(Parent(), QFileDialog::AcceptOpen, caption, directory, filter, defaultSuffix);
}

QString QtUiServices::SaveFileName(const QString& caption, const QString& directory, const QString& filter,
                                   const QString& defaultSuffix) {
  return AskFileName(Parent(), QFileDialog::AcceptSave, caption, directory, filter, defaultSuffix);
}

QString QtUiServices::ChooseDirectory(const QString& caption, const QString& directory) {
  return QFileDialog::getExistingDirectory(Parent(), caption, directory);
}

int QtUiServices::ShowModal(QDialog& dialog) { return dialog.exec(); }

void QtUiServices::ProcessEvents() { QApplication::processEvents(); }

void QtUiServices::Pause(int ms) {
  // Sleep in short slices so that the window keeps repainting during the wait.
  QDeadlineTimer deadline(ms);
  while (!deadline.hasExpired()) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(static_cast<unsigned long>(std::min<qint64>(10, std::max<qint64>(0, deadline.remainingTime()))));
  }
}

}  // namespace kovrix
