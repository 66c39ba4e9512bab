#pragma once
// Where the tool's windows go on the screen. Every window opens wholly on the available area of
// its parent's screen: a screen is centred there, a window placed beside another is moved and, if
// need be, shrunk onto it, and a window too narrow for its title is widened. A window that belongs
// to another closes with it. Screens get these rules from their base class; other windows call the
// functions here.

#include <QMargins>
#include <QRect>

class QWidget;

namespace kovrix {

/// Answers a frame rectangle shrunk to the area's size where it is larger, then moved the least
/// distance that puts it wholly inside the area.
QRect FitInto(const QRect& frame, const QRect& area);

/// Answers the window system's frame around a window: the frame's own margins once the window
/// system reports a title bar, otherwise a typical title bar and border (before the first
/// showing, with no window manager, on the offscreen platform), so that placement never counts
/// on a frame being thinner than a real one.
QMargins FrameMargins(const QWidget& window);

/// Answers the rectangle a window occupies with its frame (see FrameMargins).
QRect FrameRect(const QWidget& window);

/// Answers the available area (without panels) of the screen a window belongs on: its parent
/// window's screen, else its own.
QRect AvailableArea(const QWidget& window);

/// Answers the width a window needs for its whole title in the title bar, with the bar's icon
/// and buttons.
int TitleBarWidth(const QWidget& window);

/// Widens a window whose title would be cut in the title bar (not beyond the available area).
void FitTitle(QWidget& window);

/// Centres a window on the available area of its parent's screen, shrunk onto it when larger.
void CentreOnParentScreen(QWidget& window);

/// Moves and, if need be, shrinks a window so that its frame lies wholly on the available area.
void KeepOnScreen(QWidget& window);

/// Places a window with its frame's top-left corner at the top-right corner of the anchor's
/// frame, then keeps it wholly on the anchor's available screen area.
void PlaceBeside(QWidget& window, const QWidget& anchor);

/// Makes a window close whenever its owner is closed or hidden (the window's parent need not be
/// the owner). Ends when either is destroyed.
void CloseWithOwner(QWidget& window, QWidget& owner);

}  // namespace kovrix
