#include "app/input_gate.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QWidget>

#include "driver/driver.h"

namespace kovrix {
namespace {

const char* const kStopProperty = "kovrixStop";
const char* const kStopWindowProperty = "kovrixStopWindow";

// The events by which a user acts on a window; everything else (paint, timers, layout, hover
// changes) keeps running during an exchange.
bool IsUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
      return true;
    default:
      return false;
  }
}

bool IsMarkedStop(const QWidget* widget) {
  for (; widget != nullptr; widget = widget->parentWidget()) {
    if (widget->property(kStopProperty).toBool()) return true;
    if (widget->isWindow()) break;
  }
  return false;
}

bool InStopWindow(const QWidget* widget) {
  return widget != nullptr && widget->window()->property(kStopWindowProperty).toBool();
}

}  // namespace

InputGate::InputGate() {
  restoreTimer_.setSingleShot(true);
  restoreTimer_.setInterval(0);
  connect(&restoreTimer_, &QTimer::timeout, this, [this] { RestoreCursor(); });
}

InputGate& InputGate::Instance() {
  static InputGate gate;
  return gate;
}

void InputGate::Install() {
  InputGate& gate = Instance();
  if (gate.installed_) return;
  gate.installed_ = true;
  QApplication::instance()->installEventFilter(&gate);
  SetExchangeWatcher(&gate);
}

void InputGate::MarkStop(QWidget* widget) { widget->setProperty(kStopProperty, true); }
void InputGate::MarkStopWindow(QWidget* window) { window->setProperty(kStopWindowProperty, true); }

void InputGate::ExchangeBegins() { SpanBegins(); }

void InputGate::ExchangeEnds() {
  if (listener_) {
    if (const ReplyRecord* record = LatestRecord()) listener_(*record);
  }
  SpanEnds();
}

InputGate::ExchangeListener InputGate::SetExchangeListener(ExchangeListener listener) {
  std::swap(listener_, listener);
  return listener;
}

void InputGate::SpanBegins() {
  if (depth_++ > 0) return;
  restoreTimer_.stop();
  if (!cursorShown_) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    cursorShown_ = true;
  }
}

void InputGate::ExchangeWaits() {
  if (depth_ > 0) QApplication::processEvents(QEventLoop::AllEvents);
}

void InputGate::SpanEnds() {
  if (depth_ == 0) return;
  // What the user did while the last reply was on its way is dropped now, before the caller goes
  // on and before control is back with the user.
  if (depth_ == 1) QApplication::processEvents(QEventLoop::AllEvents);
  if (--depth_ == 0) restoreTimer_.start();
}

void InputGate::LetEventsRun() {
  SpanBegins();
  ExchangeWaits();
  SpanEnds();
}

InputGate::Opening::Opening() {
  InputGate& gate = Instance();
  savedDepth_ = gate.depth_;
  gate.depth_ = 0;
  gate.restoreTimer_.stop();
  gate.RestoreCursor();
}

InputGate::Opening::~Opening() {
  InputGate& gate = Instance();
  gate.depth_ = savedDepth_;
  if (gate.depth_ > 0 && !gate.cursorShown_) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    gate.cursorShown_ = true;
  }
}

void InputGate::RestoreCursor() {
  // The timer runs only when events run; inside an exchange it waits for the exchange's end.
  if (depth_ > 0 || !cursorShown_) return;
  cursorShown_ = false;
  QApplication::restoreOverrideCursor();
}

bool InputGate::Passes(QObject* watched, QEvent* event) const {
  // A window-level event is passed on to the widget under the pointer, with the focus or being
  // closed, and judged there.
  const auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr) return true;
  if (event->type() == QEvent::Close) return InStopWindow(widget);
  // Keys pass only as Esc in a stop window: Enter or Space typed for the screen must not press a
  // stop button that happens to hold the focus.
  if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease ||
      event->type() == QEvent::ShortcutOverride) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    return key == Qt::Key_Escape && InStopWindow(widget);
  }
  return IsMarkedStop(widget);
}

bool InputGate::eventFilter(QObject* watched, QEvent* event) {
  // A double-click on a button is one click: the toolkit would deliver its second press as a
  // second click, and a quick registrator would then pay or print twice.
  if (event->type() == QEvent::MouseButtonDblClick && qobject_cast<QAbstractButton*>(watched) != nullptr) {
    ++dropped_;
    return true;
  }
  if (depth_ == 0) return false;
  const bool closeRequest = event->type() == QEvent::Close && event->spontaneous();
  if (!closeRequest && !IsUserInput(event->type())) return false;
  if (Passes(watched, event)) return false;
  ++dropped_;
  event->ignore();
  return true;
}

}  // namespace kovrix
