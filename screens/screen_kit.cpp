#include "screens/screen_kit.h"

#include <QGridLayout>
#include <QPalette>
#include <QVBoxLayout>
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

QLineEdit* NewReportBox() {
  auto* box = new QLineEdit;
  box->setReadOnly(true);
  return box;
}

QPushButton* NewButton(const QString& caption) {
  auto* button = new QPushButton(caption);
  button->setAutoDefault(false);
  return button;
}

QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> actions, QPushButton* closing) {
  auto* row = new QHBoxLayout;
  for (QPushButton* button : actions) row->addWidget(button);
  row->addStretch();
  row->addWidget(closing);
  return row;
}

void LayOutBoxesAndButtons(QWidget* screen, QFormLayout* boxes, std::initializer_list<QPushButton*> buttons) {
  auto* grid = new QGridLayout;
  int i = 0;
  for (QPushButton* button : buttons) {
    grid->addWidget(button, i / 2, i % 2);
    ++i;
  }
  auto* outer = new QVBoxLayout(screen);
  outer->addLayout(boxes);
  outer->addLayout(grid);
}

}  // namespace kovrix
