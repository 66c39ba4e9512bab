#include "app/screen.h"

#include <QShowEvent>

namespace kovrix {

Screen::Screen(ScreenContext& context, const QString& formName, const QString& caption, QWidget* parent)
    : QDialog(parent), context_(context) {
  setObjectName(formName);
  setWindowTitle(caption);
}

void Screen::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // A window system's own show (restoring from minimised) is not an opening of the screen.
  if (!event->spontaneous()) Activate();
}

}  // namespace kovrix
