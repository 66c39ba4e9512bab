#include "screens/screen_kit.h"

#include <QPalette>
#include <string>


namespace kovrix {

QLineEdit* NewPasswordBox() { return new QLineEdit(QString::fromLatin1(kDefaultPassword)); }

QLineEdit* NewErrorCodeBox() {
  auto* box = new QLineEdit;
  box->setReadOnly(true);
  box->setFocusPolicy(Qt::NoFocus);
  // Greyed like a panel: the box reports, it does not take input.
  QPalette palette = box->palette();
  palette.setColor(QPalette::Base, palette.color(QPalette::Window));
  box->setPalette(palette);
  return box;
}

QPushButton* NewButton(const QString& caption) {
  auto* button = new QPushButton(caption);
  button->setAutoDefault(false);
  return button;
}

}  // namespace kovrix
