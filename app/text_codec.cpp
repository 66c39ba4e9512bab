#include "app/text_codec.h"

#include "driver/codepage.h"

namespace kovrix {

// The driver's own code page tables, not the toolkit's codecs: Qt knows cp1251 only through ICU,
// which its Windows build does not carry, and both systems must convert alike.
QString FromCp1251(std::string_view bytes) { return QString::fromStdString(Cp1251ToUtf8(bytes)); }

std::string ToCp1251(const QString& text) { return Utf8ToCp1251(text.toStdString()); }

}  // namespace kovrix
