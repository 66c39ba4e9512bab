#pragma once
// A UiServices double for screen tests: records every message, question and modal screen, and
// answers questions and file choosers from a script. Modal screens are shown without blocking;
// a handler registered for the screen's objectName (and one for every screen) runs while it is
// open (to read or press its widgets), then the screen is closed unless the handler closed it.

#include <QApplication>
#include <QDialog>
#include <QString>
#include <deque>
#include <functional>
#include <map>
#include <vector>

#include "app/input_gate.h"
#include "app/ui_services.h"

namespace kovrix::test {

class UiRecorder final : public UiServices {
 public:
  std::vector<QString> messages;            // message boxes, in order
  std::vector<QString> titles;              // their titles ("" = the program's name)
  std::vector<QString> questions;           // OK/Cancel questions, in order
  std::deque<bool> answers;                 // answers to the questions; OK when the script is used up
  std::deque<QString> fileNames;            // answers of the file and directory choosers; "" = cancelled
  struct FileDialog {
    QString caption, filter, defaultSuffix;
    bool operator==(const FileDialog&) const = default;
  };
  std::vector<FileDialog> fileDialogs;      // open and save dialogs shown, in order
  std::vector<QString> modalShown;          // objectNames of the screens shown modally
  std::map<QString, std::function<void(QDialog&)>> onModal;
  std::function<void(QDialog&)> onAnyModal;       // runs at every modal screen, before its own handler
  std::function<void(const QString&)> onMessage;  // runs at each message box
  std::function<void()> onEvents;                 // runs each time pending events are let run
  int pausedMs = 0;
  int eventRuns = 0;

  void ShowMessage(const QString& text) override { ShowTitledMessage(QString(), text); }
  void ShowTitledMessage(const QString& title, const QString& text) override {
    messages.push_back(text);
    titles.push_back(title);
    if (onMessage) onMessage(text);
  }
  bool AskOkCancel(const QString& text) override {
    questions.push_back(text);
    if (answers.empty()) return true;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  QString OpenFileName(const QString& caption, const QString&, const QString& filter,
                       const QString& defaultSuffix) override {
    fileDialogs.push_back({caption, filter, defaultSuffix});
    return NextFile();
  }
  QString SaveFileName(const QString& caption, const QString&, const QString& filter,
                       const QString& defaultSuffix) override {
    fileDialogs.push_back({caption, filter, defaultSuffix});
    return NextFile();
  }
  QString ChooseDirectory(const QString&, const QString&) override { return NextFile(); }
  int ShowModal(QDialog& dialog) override {
    modalShown.push_back(dialog.objectName());
    dialog.setResult(QDialog::Rejected);
    dialog.show();
    QApplication::processEvents();
    if (onAnyModal) onAnyModal(dialog);
    if (auto handler = onModal.find(dialog.objectName()); handler != onModal.end()) handler->second(dialog);
    if (dialog.isVisible()) dialog.done(QDialog::Rejected);
    return dialog.result();
  }
  void ProcessEvents() override {
    ++eventRuns;
    InputGate::Instance().LetEventsRun();
    if (onEvents) onEvents();
  }
  void Pause(int ms) override {
    pausedMs += ms;
    InputGate::Instance().LetEventsRun();
  }

  /// Forgets everything recorded so far (the scripts stay).
  void ClearRecord() {
    messages.clear();
    questions.clear();
    modalShown.clear();
    pausedMs = 0;
    eventRuns = 0;
  }

 private:
  QString NextFile() {
    if (fileNames.empty()) return {};
    QString name = fileNames.front();
    fileNames.pop_front();
    return name;
  }
};

}  // namespace kovrix::test
