#pragma once
// The toolkit's implementation of the UI services.

#include <QPointer>
#include <QWidget>

#include "app/ui_services.h"

namespace kovrix {

class QtUiServices final : public UiServices {
 public:
  /// Dialogs are parented to the active window, or to `fallbackParent` when none is active.
  explicit QtUiServices(QWidget* fallbackParent = nullptr) : fallback_(fallbackParent) {}
  void SetFallbackParent(QWidget* parent) { fallback_ = parent; }

  void ShowMessage(const QString& text) override;
  void ShowTitledMessage(const QString& title, const QString& text) override;
  bool AskOkCancel(const QString& text) override;
  QString OpenFileName(const QString& caption, const QString& directory, const QString& filter,
                       const QString& defaultSuffix) override;
  QString SaveFileName(const QString& caption, const QString& directory, const QString& filter,
                       const QString& defaultSuffix) override;
  QString ChooseDirectory(const QString& caption, const QString& directory) override;
  int ShowModal(QDialog& dialog) override;
  void ProcessEvents() override;
  void Pause(int ms) override;

 private:
  QWidget* Parent() const;
  QPointer<QWidget> fallback_;
};

}  // namespace kovrix
