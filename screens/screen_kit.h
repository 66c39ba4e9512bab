#pragma once
// Widgets the command screens share: the boxes every screen has (password, error code), buttons.
// The reply checks and the overlong-data guard are in app/screen_helpers.h.

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <initializer_list>
#include <string>

#include "app/screen_helpers.h"
#include "driver/commands.h"

namespace kovrix {

/// Answers a password box holding the default password.
QLineEdit* NewPasswordBox();
/// Answers a read-only, greyed box for the error code of the latest reply.
QLineEdit* NewErrorCodeBox();
/// Answers a read-only box for a value the device reported.
QLineEdit* NewReportBox();
/// Answers a push button that does not take Enter from the dialog's boxes.
QPushButton* NewButton(const QString& caption);

/// Answers the row of buttons at the foot of a screen: the action buttons on the left, the closing
/// button alone on the right.
QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> actions, QPushButton* closing);

/// Lays out a screen as its labelled boxes above its buttons, two buttons to a row, in order.
void LayOutBoxesAndButtons(QWidget* screen, QFormLayout* boxes, std::initializer_list<QPushButton*> buttons);

}  // namespace kovrix
