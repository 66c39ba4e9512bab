#include "app/screen.h"

#include <QLayout>
#include <QShowEvent>

#include "app/screen_helpers.h"
#include "app/window_placement.h"
#include "driver/driver.h"
#include "session/lost_reply.h"

namespace kovrix {

Screen::Screen(ScreenContext& context, const QString& formName, const QString& caption, QWidget* parent)
    : QDialog(parent), context_(context) {
  setObjectName(formName);
  setWindowTitle(caption);
}

bool Screen::SettleEarlier() {
  if (EarlierCommandSettled(ui())) return true;
  const ReplyRecord* latest = LatestRecord();
  state().lastReply = latest;
  EarlierSettled(latest && !session::ReplyLost(*latest) ? latest : nullptr);
  return false;
}

void Screen::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // A window system's own show (restoring from minimised) is not an opening of the screen.
  if (event->spontaneous()) return;
  Activate();
  // What the activation put into the screen counts for its size before it is placed; the window
  // is not mapped yet, so it appears where it belongs rather than jumping there.
  if (layout()) layout()->activate();
  CentreOnParentScreen(*this);
}

void Screen::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  // A caption set while the screen is open (a model name added to it) must fit its title bar too.
  if (event->type() == QEvent::WindowTitleChange && isVisible()) {
    FitTitle(*this);
    KeepOnScreen(*this);
  }
}

}  // namespace kovrix
