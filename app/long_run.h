#pragma once
// A run of many commands that the user can stop. While it lasts, a small window beside the screen
// shows how far the run got, with a "Остановить" button that takes a mouse click; Esc, wherever the
// focus is, and closing the window do the same. The window never takes the keyboard focus from the
// screen, so an Enter or a Space meant for the screen goes nowhere rather than stopping the run. A
// stop takes effect after the command in progress, never inside it. A run also ends by itself when
// the device leaves kSilentLimit commands in a row without a reply: it is gone, and each further
// command would only wait out its time-out. The window appears only when the run lasts longer than a
// moment, so that a quick run does not flash it. The whole run is one busy span: the busy cursor
// stays on between its commands and other input is dropped.

#include <QDialog>
#include <QString>
#include <QTimer>
#include <optional>

#include "app/input_gate.h"

class QEvent;
class QLabel;
class QObject;
class QProgressBar;
class QPushButton;

namespace kovrix {

class LongRun {
 public:
  /// owner: the screen that runs; what: the window's title; total: the number of steps.
  LongRun(QWidget* owner, const QString& what, int total);
  ~LongRun();
  LongRun(const LongRun&) = delete;
  LongRun& operator=(const LongRun&) = delete;

  /// Call before each step: answers false once the user asked to stop or the device went silent
  /// (the step is not taken), otherwise counts the step and lets pending events run (repaints, the
  /// stop button).
  bool Continue();
  /// Ends the run: its window goes and the user's input counts again, so that the run's ending
  /// (a message, a result window) is shown without it. The destructor ends a run not ended.
  void End();
  /// Answers whether the user asked to stop.
  bool Stopped() const { return stopped_; }
  /// Answers whether the run ended by itself: kSilentLimit commands in a row got no reply, and
  /// steps were left.
  bool DeviceSilent() const { return silenced_; }
  /// Answers the message that tells the user a run ended by itself, with the steps taken.
  QString SilenceMessage() const;
  /// Answers the number of steps taken.
  int Done() const { return done_; }

  /// Answers the run in progress (null when none): tests reach its stop button through it.
  static LongRun* Current();
  QPushButton* StopButton() const { return stop_; }
  QDialog* Window() const { return window_; }

  /// The delay before the window shows.
  static constexpr int kShowAfterMs = 400;
  /// The number of commands in a row without a reply that ends a run.
  static constexpr int kSilentLimit = 3;

 private:
  void Show();
  void RequestStop();
  /// Esc stops the run wherever the focus is, unless the program is asking something meanwhile.
  bool EscapePressed(QObject* watched, QEvent* event);

  std::optional<BusySpan> busy_;
  QDialog* window_ = nullptr;
  QLabel* count_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPushButton* stop_ = nullptr;
  QTimer showTimer_;
  LongRun* previous_ = nullptr;
  InputGate::ExchangeListener previousListener_;
  int total_ = 0;
  int done_ = 0;
  int silentInARow_ = 0;
  bool stopped_ = false;
  bool silenced_ = false;
};

}  // namespace kovrix
