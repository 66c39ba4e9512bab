#pragma once
// Qt's own texts (the buttons of message boxes, the file dialogs, context menus) in the program's
// language: the toolkit's translation for the system locale, Russian where that gives none.

class QLocale;
class QTranslator;

namespace kovrix {

/// Installs the toolkit's translation for a locale into the application, Russian when the locale
/// has none (an English or "C" locale counts as none: the program itself speaks no English).
/// Answers the installed translator, owned by the application, or null when no translation is
/// installed on the system (the dialogs then stay in the toolkit's English).
QTranslator* InstallQtTranslations(const QLocale& locale);

}  // namespace kovrix
