#include "app/qt_ui_services.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>
#include <algorithm>

#include "app/input_gate.h"

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
  const InputGate::Opening asking;
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, Parent());
  box.exec();
}

bool QtUiServices::AskOkCancel(const QString& text) {
  const InputGate::Opening asking;
  QMessageBox box(QMessageBox::Question, QApplication::applicationName(), text,
                  QMessageBox::Ok | QMessageBox::Cancel, Parent());
  return box.exec() == QMessageBox::Ok;
}

namespace {

// The static QFileDialog helpers take no default suffix, so the dialog is built here.
QString AskFileName(QWidget* parent, QFileDialog::AcceptMode mode, const QString& caption, const QString& directory,
                    const QString& filter, const QString& defaultSuffix) {
  const InputGate::Opening asking;
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
  const InputGate::Opening asking;
  return QFileDialog::getExistingDirectory(Parent(), caption, directory);
}

int QtUiServices::ShowModal(QDialog& dialog) {
  const InputGate::Opening asking;
  return dialog.exec();
}

void QtUiServices::ProcessEvents() { InputGate::Instance().LetEventsRun(); }

void QtUiServices::Pause(int ms) {
  // Sleep in short slices so that the window keeps repainting during the wait; the wait is part of
  // a run of commands, so input other than a stop is dropped.
  const BusySpan busy;
  QDeadlineTimer deadline(ms);
  while (!deadline.hasExpired()) {
    InputGate::Instance().ExchangeWaits();
    QThread::msleep(static_cast<unsigned long>(std::min<qint64>(10, std::max<qint64>(0, deadline.remainingTime()))));
  }
}

}  // namespace kovrix
