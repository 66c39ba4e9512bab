#pragma once
// The about box (TForm3): the program's version line and the registrator models it serves.

#include "app/screen.h"

#include <QString>

namespace kovrix {

/// Answers the about box's build line: "Сборка " and the version of this build.
QString BuildLine();

class AboutBox : public Screen {
  Q_OBJECT

 public:
  explicit AboutBox(ScreenContext& context, QWidget* parent = nullptr);
};

}  // namespace kovrix
