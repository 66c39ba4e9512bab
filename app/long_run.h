#pragma once
// A run of many commands that the user can stop. While it lasts, a small window beside the screen
// shows how far the run got, with a "Остановить" button (Esc and closing the window do the same);
// a stop takes effect after the command in progress, never inside it. The window appears only when
// the run lasts longer than a moment, so that a quick run does not flash it. The whole run is one
// busy span: the busy cursor stays on between its commands and other input is dropped.

#include <QDialog>
#include <QString>
#include <QTimer>
#include <optional>

#include "app/input_gate.h"

class QLabel;
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

  /// Call before each step: answers false once the user asked to stop (the step is not taken),
  /// otherwise counts the step and lets pending events run (repaints, the stop button).
  bool Continue();
  /// Ends the run: its window goes and the user's input counts again, so that the run's ending
  /// (a message, a result window) is shown without it. The destructor ends a run not ended.
  void End();
  /// Answers whether the user asked to stop.
  bool Stopped() const { return stopped_; }
  /// Answers the number of steps taken.
  int Done() const { return done_; }

  /// Answers the run in progress (null when none): tests reach its stop button through it.
  static LongRun* Current();
  QPushButton* StopButton() const { return stop_; }
  QDialog* Window() const { return window_; }

  /// The delay before the window shows.
  static constexpr int kShowAfterMs = 400;

 private:
  void Show();

  std::optional<BusySpan> busy_;
  QDialog* window_ = nullptr;
  QLabel* count_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPushButton* stop_ = nullptr;
  QTimer showTimer_;
  LongRun* previous_ = nullptr;
  int total_ = 0;
  int done_ = 0;
  bool stopped_ = false;
};

}  // namespace kovrix
