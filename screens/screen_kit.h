#pragma once
// Widgets the command screens share: the boxes every screen has (password, error code), buttons.
// The reply checks and the overlong-data guard are in app/screen_helpers.h.

#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <initializer_list>
#include <string>

#include "app/screen_helpers.h"

namespace kovrix {

/// The default access password of every password box.
inline constexpr const char* kDefaultPassword = "482916";

/// Answers a password box holding the default password.
QLineEdit* NewPasswordBox();
/// Answers a read-only, greyed box for the error code of the latest reply.
QLineEdit* NewErrorCodeBox();
/// Answers a read-only box for a value the device reported.
QLineEdit* NewReportBox();
/// Answers a push button that does not take Enter from the dialog's boxes.
QPushButton* NewButton(const QString& caption);

/// Lays out a screen as its labelled boxes above its buttons, two buttons to a row, in order.
void LayOutBoxesAndButtons(QWidget* screen, QFormLayout* boxes, std::initializer_list<QPushButton*> buttons);

}  // namespace kovrix
