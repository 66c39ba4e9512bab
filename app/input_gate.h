#pragma once
// Keeps the user's input out of device exchanges. The driver talks to the registrator in the window's
// own thread; while a command (or a run of commands) is in progress, the gate lets the windows repaint
// and their timers run, but drops mouse and key input and window-close requests, so that nothing
// clicked during the wait is run afterwards. Input to the buttons that stop a run passes (marked with
// MarkStop) by the mouse only: a key meant for the screen never presses them. Esc and the close
// request of a window whose run they stop (MarkStopWindow) pass too.
// A busy cursor shows from the first command of an action until control is back with the user: it
// goes when the program next waits for input (the main loop, a message box). A double-click on a
// button counts as one click at all times.

#include <QObject>
#include <QTimer>
#include <functional>

#include "driver/link.h"

class QWidget;

namespace kovrix {

class InputGate : public QObject, public ExchangeWatcher {
  Q_OBJECT

 public:
  /// Answers the program's one gate.
  static InputGate& Instance();
  /// Puts the gate between the user and every window, and between the driver's link and the user
  /// (idempotent; the application object must exist).
  static void Install();

  /// Lets the input of a widget (and of what it holds) pass while busy: a button that stops a run.
  static void MarkStop(QWidget* widget);
  /// Lets Esc and the close request of a window pass while busy: they stop the window's run.
  static void MarkStopWindow(QWidget* window);

  /// Answers whether an exchange or a run of commands is in progress.
  bool Busy() const { return depth_ > 0; }
  /// Answers how many user input events were dropped since the program started.
  long DroppedCount() const { return dropped_; }

  /// Lets pending events run as during an exchange: repaints, timers and stop buttons, while other
  /// user input is dropped.
  void LetEventsRun();

  /// Called with the latest reply record each time an exchange of the link ends (null: nobody);
  /// answers the listener it replaces, so that a nested run can put it back.
  using ExchangeListener = std::function<void(const ReplyRecord&)>;
  ExchangeListener SetExchangeListener(ExchangeListener listener);

  /// Opens the gate for the user while the program asks something inside a busy span (a message
  /// box, a question, a file dialog, a modal screen), and closes it again afterwards.
  class Opening {
   public:
    Opening();
    ~Opening();
    Opening(const Opening&) = delete;
    Opening& operator=(const Opening&) = delete;

   private:
    int savedDepth_ = 0;
  };

  // The link's exchanges.
  void ExchangeBegins() override;
  void ExchangeWaits() override;
  void ExchangeEnds() override;

  /// A busy span that is not an exchange of the link (a run of them, a pause): input is dropped
  /// as during an exchange.
  void SpanBegins();
  void SpanEnds();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  InputGate();
  bool Passes(QObject* watched, QEvent* event) const;
  void RestoreCursor();

  int depth_ = 0;
  long dropped_ = 0;
  bool cursorShown_ = false;
  bool installed_ = false;
  QTimer restoreTimer_;
  ExchangeListener listener_;
};

/// Marks a run of commands (a loop of exchanges with waits between them) as one busy span.
class BusySpan {
 public:
  BusySpan() { InputGate::Instance().SpanBegins(); }
  ~BusySpan() { InputGate::Instance().SpanEnds(); }
  BusySpan(const BusySpan&) = delete;
  BusySpan& operator=(const BusySpan&) = delete;
};

}  // namespace kovrix
