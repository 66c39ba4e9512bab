#pragma once
// Conversion of typed inputs, and the one guard around every button handler: a conversion that
// fails throws InputError with the toolkit-style text, the guard shows it and the handler ends
// before anything is sent.

#include <QString>
#include <functional>
#include <string>

namespace kovrix {

class UiServices;

/// A typed input that cannot be converted; message is what the user is shown.
struct InputError {
  QString message;
};

/// Answers the integer of a text (blanks around it allowed); throws "'x' is not a valid integer value".
int ToInt(const QString& text);
/// Answers the 64-bit integer of a text (blanks around it allowed); throws like ToInt.
long long ToInt64(const QString& text);
/// Answers the number of a text with "." as the decimal separator; throws "'x' is not a valid floating point value".
double ToFloat(const QString& text);
/// Answers the DDMMYY device form of a dd.mm.yy date; throws "'x' is not a valid date".
std::string DateToDevice(const QString& text);
/// Answers dd.mm.yy for a DDMMYY device date; any other text is answered unchanged.
QString DateFromDevice(const std::string& ddmmyy);

/// Runs a button handler; an InputError it throws is shown as a message box and ends the handler.
void Guarded(UiServices& ui, const std::function<void()>& handler);

}  // namespace kovrix
