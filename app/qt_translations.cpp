#include "app/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace kovrix {

QTranslator* InstallQtTranslations(const QLocale& locale) {
  auto* app = QCoreApplication::instance();
  if (!app) return nullptr;
  const QString directory = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  auto* translator = new QTranslator(app);
  // The toolkit's English file only carries plural forms of its own texts: for the program it is
  // no translation, so an English locale gets the Russian texts like any locale without a file.
  const bool english = locale.language() == QLocale::English || locale.language() == QLocale::C;
  if ((english || !translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), directory)) &&
      !translator->load(QStringLiteral("qtbase_ru"), directory)) {
    delete translator;
    return nullptr;
  }
  QCoreApplication::installTranslator(translator);
  return translator;
}

}  // namespace kovrix
