#pragma once
// The base of every screen: a dialog created once by the main window and kept for the whole run,
// with the shared connection state, the UI services and the main window at hand. Activate() runs
// each time the screen is opened; button handlers run inside the input-conversion guard. Each
// opening centres the screen on its parent's screen, wholly on it and wide enough for its title.

#include <QAbstractButton>
#include <QDialog>
#include <utility>

#include "app/connection_state.h"
#include "app/input.h"
#include "app/main_shell.h"
#include "app/ui_services.h"

namespace kovrix {

/// Everything a screen works with.
struct ScreenContext {
  ConnectionState& state;
  UiServices& ui;
  MainShell& shell;
};

class Screen : public QDialog {
  Q_OBJECT

 public:
  /// formName becomes the objectName (the form's name, such as "TForm14"); caption the window title.
  Screen(ScreenContext& context, const QString& formName, const QString& caption, QWidget* parent = nullptr);

 protected:
  /// Runs each time the screen is opened.
  virtual void Activate() {}
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;

  /// Connects a button's click to a handler that runs inside the input-conversion guard.
  template <class Handler>
  void OnClick(QAbstractButton* button, Handler handler) {
    connect(button, &QAbstractButton::clicked, this, [this, h = std::move(handler)] { Guarded(ui(), h); });
  }

  /// As OnClick, for a button whose action sends a command: when the command before it (from any
  /// screen) changed the registrator's state and its reply stayed lost, that command is settled
  /// first (EarlierCommandSettled); the click then sends nothing new, and EarlierSettled is told
  /// the registrator's answer (null: still silent).
  template <class Handler>
  void OnSend(QAbstractButton* button, Handler handler) {
    OnClick(button, [this, h = std::move(handler)] {
      if (!SettleEarlier()) return;
      h();
    });
  }
  /// Called when a click settled an earlier lost command instead of sending its own.
  virtual void EarlierSettled(const ReplyRecord* /*answer*/) {}

  ConnectionState& state() { return context_.state; }
  UiServices& ui() { return context_.ui; }
  MainShell& shell() { return context_.shell; }

 private:
  bool SettleEarlier();

  ScreenContext context_;
};

}  // namespace kovrix
