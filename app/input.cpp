#include "app/input.h"

#include <QDate>
#include <QLocale>
#include <QStringList>
#include <cmath>
#include <cstdio>
#include <limits>

#include "app/ui_services.h"

namespace kovrix {

int ToInt(const QString& text) {
  const QString t = text.trimmed();
  qsizetype i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) negative = t[i++] == u'-';
  long long value = 0;
  const bool hasDigits = i < t.size();
  for (; i < t.size(); ++i) {
    if (t[i] < u'0' || t[i] > u'9') break;
    value = value * 10 + (t[i].unicode() - u'0');
    if (value > 2147483648LL) break;  // out of range already: stop before overflowing
  }
  if (negative) value = -value;
  if (!hasDigits || i != t.size() || value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) {
    throw InputError{QStringLiteral("'%1' is not a valid integer value").arg(text)};
  }
  return static_cast<int>(value);
}

long long ToInt64(const QString& text) {
  // Qt's own reading takes an optional sign and decimal digits only, with no blanks inside.
  bool ok = false;
  const long long value = text.trimmed().toLongLong(&ok, 10);
  if (!ok) throw InputError{QStringLiteral("'%1' is not a valid integer value").arg(text)};
  return value;
}

double ToFloat(const QString& text) {
  bool ok = false;
  const double value = QLocale::c().toDouble(text.trimmed(), &ok);
  if (!ok || !std::isfinite(value)) throw InputError{QStringLiteral("'%1' is not a valid floating point value").arg(text)};
  return value;
}

std::string DateToDevice(const QString& text) {
  const QStringList parts = text.trimmed().split(u'.');
  auto invalid = [&] { return InputError{QStringLiteral("'%1' is not a valid date").arg(text)}; };
  if (parts.size() != 3) throw invalid();
  bool okDay = false, okMonth = false, okYear = false;
  const int day = parts[0].toInt(&okDay);
  const int month = parts[1].toInt(&okMonth);
  int year = parts[2].toInt(&okYear);
  if (!okDay || !okMonth || !okYear || parts[2].size() > 4 || parts[2].startsWith(u'-') || parts[2].startsWith(u'+')) throw invalid();
  if (parts[2].size() <= 2) year += 2000;
  if (!QDate(year, month, day).isValid()) throw invalid();
  char out[40];  // room for any int, so the formatting can never be cut
  std::snprintf(out, sizeof out, "%02d%02d%02d", day, month, year % 100);
  return out;
}

QString DateFromDevice(const std::string& ddmmyy) {
  const QString t = QString::fromLatin1(ddmmyy.data(), static_cast<qsizetype>(ddmmyy.size()));
  if (t.size() != 6) return t;
  for (QChar c : t) {
    if (c < u'0' || c > u'9') return t;
  }
  return t.mid(0, 2) + u'.' + t.mid(2, 2) + u'.' + t.mid(4, 2);
}

void Guarded(UiServices& ui, const std::function<void()>& handler) {
  try {
    handler();
  } catch (const InputError& error) {
    ui.ShowMessage(error.message);
  }
}

}  // namespace kovrix
