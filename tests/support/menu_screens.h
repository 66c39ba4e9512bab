#pragma once
// Every screen of the tool as a user reaches it: the main window's menus entry by entry, with a
// look at each open screen for what a user would see wrong (a frame off the screen, a cut label,
// button, group caption or title). Shared by the window fit test and the screenshot program.

#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRect>
#include <QStringList>
#include <QTabWidget>
#include <functional>
#include <vector>

#include "app/main_window.h"
#include "app/window_placement.h"
#include "support/ui_recorder.h"

namespace kovrix::test {

/// Makes the offscreen platform show the given screens (the first is the primary one) when the
/// platform is the offscreen one or none is chosen. Call before the application is created;
/// answers the platform's configuration file (to be removed once the application exists), or an
/// empty text when another platform was chosen.
inline QString UseVirtualScreens(const std::vector<QRect>& screens) {
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  if (!platform.isEmpty() && platform != "offscreen") return QString();
  QString json = QStringLiteral("{\"windowFrameMargins\": true, \"screens\": [");
  for (std::size_t i = 0; i < screens.size(); ++i) {
    const QRect& r = screens[i];
    json += QStringLiteral("%1{\"name\": \"screen%2\", \"x\": %3, \"y\": %4, \"width\": %5, \"height\": %6, "
                           "\"logicalDpi\": 96, \"logicalBaseDpi\": 96, \"dpr\": 1}")
                .arg(i ? QStringLiteral(", ") : QString())
                .arg(i)
                .arg(r.x())
                .arg(r.y())
                .arg(r.width())
                .arg(r.height());
  }
  json += QStringLiteral("]}");
  const QString path = QDir::temp().filePath(QStringLiteral("kovrix-screens-%1.json").arg(QCoreApplication::applicationPid()));
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return QString();
  file.write(json.toUtf8());
  file.close();
  qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(path));
  return path;
}

/// Opens every enabled, visible entry of the main window's menus, submenus included, and the
/// menu bar's own entries, in menu order; visit runs for each screen shown while it is open
/// (a screen that opens another is visited for both), with the text of the entry that opened it.
inline void VisitMenuScreens(MainWindow& window, UiRecorder& ui,
                             const std::function<void(const QString& entry, QDialog& screen)>& visit) {
  std::function<void(const QList<QAction*>&)> walk = [&](const QList<QAction*>& actions) {
    for (QAction* action : actions) {
      if (action->isSeparator() || !action->isVisible() || !action->isEnabled()) continue;
      if (action->menu()) {
        walk(action->menu()->actions());
        continue;
      }
      const QString entry = action->text();
      ui.onAnyModal = [&visit, entry](QDialog& screen) { visit(entry, screen); };
      action->trigger();
      QApplication::processEvents();
    }
  };
  walk(window.menuBar()->actions());
  ui.onAnyModal = nullptr;
}

namespace detail {

inline bool InScrollArea(const QWidget* widget, const QWidget* window) {
  for (const QWidget* w = widget->parentWidget(); w && w != window; w = w->parentWidget()) {
    if (qobject_cast<const QAbstractScrollArea*>(w)) return true;
  }
  return false;
}

inline int TextWidth(const QWidget* widget, QString text) {
  return QFontMetrics(widget->font()).horizontalAdvance(text.remove(QLatin1Char('&')));
}

// The texts of the window cut as it is now laid out.
inline void CollectCut(QWidget& window, QStringList& cut) {
  for (QWidget* w : window.findChildren<QWidget*>()) {
    if (w->window() != &window || !w->isVisibleTo(&window) || InScrollArea(w, &window)) continue;
    QString text;
    bool fits = true;
    if (auto* label = qobject_cast<QLabel*>(w)) {
      text = label->text();
      if (text.isEmpty()) continue;
      fits = label->wordWrap() ? label->height() >= label->heightForWidth(label->width())
                               : label->width() >= label->sizeHint().width();
    } else if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) {
      text = static_cast<QAbstractButton*>(w)->text();
      fits = w->width() >= w->sizeHint().width();
    } else if (auto* button = qobject_cast<QPushButton*>(w)) {
      // A push button's size hint has a minimum width of its own; the caption needs its text
      // and a little room for the bevel.
      text = button->text();
      fits = button->width() >= TextWidth(button, text) + 8;
    } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
      text = group->title();
      fits = group->width() >= TextWidth(group, text) + (group->isCheckable() ? 30 : 12);
    }
    if (!fits) {
      cut << QStringLiteral("%1 \"%2\" (%3 wide)").arg(QString::fromLatin1(w->metaObject()->className()), text).arg(w->width());
    }
  }
}

}  // namespace detail

/// Answers what of a shown window a user would find cut: labels, check and radio boxes, buttons
/// and group captions narrower than their text (on every page of its tab widgets), and the title
/// when the title bar cannot hold it. Empty when nothing is cut.
inline QStringList CutTexts(QWidget& window) {
  QStringList cut;
  if (FrameRect(window).width() < TitleBarWidth(window)) cut << QStringLiteral("title \"%1\"").arg(window.windowTitle());
  detail::CollectCut(window, cut);
  for (QTabWidget* tabs : window.findChildren<QTabWidget*>()) {
    if (tabs->window() != &window || !tabs->isVisibleTo(&window)) continue;
    const int current = tabs->currentIndex();
    for (int i = 0; i < tabs->count(); ++i) {
      if (i == current) continue;
      tabs->setCurrentIndex(i);
      QApplication::processEvents();
      detail::CollectCut(window, cut);
    }
    tabs->setCurrentIndex(current);
  }
  cut.removeDuplicates();
  return cut;
}

/// Answers how a shown window's frame (with a title bar) leaves the available area of its
/// screen, or an empty text when it lies wholly on it.
inline QString OffScreen(const QWidget& window) {
  const QRect frame = FrameRect(window);
  const QRect area = AvailableArea(window);
  if (area.contains(frame)) return QString();
  return QStringLiteral("frame %1,%2 %3x%4 outside %5,%6 %7x%8")
      .arg(frame.x())
      .arg(frame.y())
      .arg(frame.width())
      .arg(frame.height())
      .arg(area.x())
      .arg(area.y())
      .arg(area.width())
      .arg(area.height());
}

}  // namespace kovrix::test
