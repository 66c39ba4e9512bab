#include "app/window_placement.h"

#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace kovrix {
namespace {

// A title bar of the common window managers, and the border around a window. A frame whose
// reported top is thinner than kTitleBarSeen is not taken as a real title bar.
const QMargins kTypicalFrame(4, 30, 4, 4);
constexpr int kTitleBarSeen = 16;
// The title bar's icon and its minimise, maximise and close buttons, with their spacing.
constexpr int kTitleBarChrome = 130;

// Puts a window's frame on a rectangle: the client area is the rectangle less the margins.
void Apply(QWidget& window, const QRect& frame, const QMargins& margins) {
  const QSize client = frame.size().shrunkBy(margins);
  window.setGeometry(QRect(frame.topLeft() + QPoint(margins.left(), margins.top()), client));
}

QScreen* ScreenOf(const QWidget& window) {
  const QWidget* parent = window.parentWidget() ? window.parentWidget()->window() : nullptr;
  // The screen under the parent's centre: a screen that the window system has not yet told the
  // parent's native window about is still the one the user sees the parent on.
  if (parent) {
    if (QScreen* screen = QGuiApplication::screenAt(parent->frameGeometry().center())) return screen;
    if (QScreen* screen = parent->screen()) return screen;
  }
  if (QScreen* screen = window.screen()) return screen;
  return QGuiApplication::primaryScreen();
}

// Ends with either widget: a child of the window, filtering the owner's events.
class OwnerWatch final : public QObject {
 public:
  OwnerWatch(QWidget& window, QWidget& owner) : QObject(&window), window_(&window) { owner.installEventFilter(this); }

  bool eventFilter(QObject* watched, QEvent* event) override {
    // A window system's own hide (minimising) leaves the owner open: the window stays.
    if (event->type() == QEvent::Hide && !event->spontaneous() && window_ && window_->isVisible()) window_->close();
    return QObject::eventFilter(watched, event);
  }

 private:
  QPointer<QWidget> window_;
};

}  // namespace

QRect FitInto(const QRect& frame, const QRect& area) {
  if (!area.isValid()) return frame;
  QRect fitted(frame.topLeft(), frame.size().boundedTo(area.size()));
  fitted.moveLeft(std::clamp(fitted.left(), area.left(), area.right() - fitted.width() + 1));
  fitted.moveTop(std::clamp(fitted.top(), area.top(), area.bottom() - fitted.height() + 1));
  return fitted;
}

QMargins FrameMargins(const QWidget& window) {
  const QRect frame = window.frameGeometry();
  const QRect client = window.geometry();
  const QMargins own(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                     frame.bottom() - client.bottom());
  if (own.top() >= kTitleBarSeen) return own;
  return QMargins(std::max(own.left(), kTypicalFrame.left()), kTypicalFrame.top(),
                  std::max(own.right(), kTypicalFrame.right()), std::max(own.bottom(), kTypicalFrame.bottom()));
}

QRect FrameRect(const QWidget& window) { return window.geometry().marginsAdded(FrameMargins(window)); }

QRect AvailableArea(const QWidget& window) {
  QScreen* screen = ScreenOf(window);
  return screen ? screen->availableGeometry() : QRect();
}

int TitleBarWidth(const QWidget& window) {
  // Window managers draw titles in a bold face of about the program's size.
  QFont font = window.font();
  font.setBold(true);
  return QFontMetrics(font).horizontalAdvance(window.windowTitle()) + kTitleBarChrome;
}

void FitTitle(QWidget& window) {
  const QMargins margins = FrameMargins(window);
  const QRect area = AvailableArea(window);
  int need = TitleBarWidth(window) - margins.left() - margins.right();
  if (area.isValid()) need = std::min(need, area.width() - margins.left() - margins.right());
  if (window.width() >= need) return;
  if (window.maximumWidth() < need) window.setMaximumWidth(need);
  window.resize(need, window.height());
}

void CentreOnParentScreen(QWidget& window) {
  FitTitle(window);
  const QMargins margins = FrameMargins(window);
  const QRect area = AvailableArea(window);
  QRect frame(QPoint(), window.size().grownBy(margins));
  frame.moveCenter(area.center());
  Apply(window, FitInto(frame, area), margins);
}

void KeepOnScreen(QWidget& window) {
  const QMargins margins = FrameMargins(window);
  Apply(window, FitInto(window.geometry().marginsAdded(margins), AvailableArea(window)), margins);
}

void PlaceBeside(QWidget& window, const QWidget& anchor) {
  const QMargins margins = FrameMargins(window);
  const QRect beside(FrameRect(anchor).topRight() + QPoint(1, 0), window.size().grownBy(margins));
  Apply(window, FitInto(beside, AvailableArea(window)), margins);
}

void CloseWithOwner(QWidget& window, QWidget& owner) { new OwnerWatch(window, owner); }

}  // namespace kovrix
