#include "app/about_box.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "kovrix_version.h"

namespace kovrix {

QString BuildLine() { return QStringLiteral("Сборка " KOVRIX_VERSION); }

AboutBox::AboutBox(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("TForm3"), QStringLiteral("О программе Kovrix"), parent) {
  auto* version = new QLabel(QStringLiteral("ПО Kovrix (вер. 5.11A 07.05.2014)"));
  // The build line: the version of this build, from the one place the build sets it.
  auto* build = new QLabel(BuildLine());
  build->setObjectName(QStringLiteral("buildLine"));
  auto* models = new QLabel(QStringLiteral(
      "Сервисная программа для фискальных регистраторов Veltra KR-12, KR-21, KR-23, KR-24, KR-25, KR-26, KR-27 "
      "и регистраторов линейки RQM707"));
  models->setWordWrap(true);
  auto* close = new QPushButton(QStringLiteral("Закрыть"));
  connect(close, &QPushButton::clicked, this, &QDialog::accept);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(version);
  layout->addWidget(build);
  layout->addWidget(models);
  layout->addLayout(buttons);
  setFixedWidth(420);
}

}  // namespace kovrix
