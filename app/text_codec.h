#pragma once
// The one boundary between the driver's cp1251 bytes and the toolkit's Unicode texts.

#include <QString>
#include <string>
#include <string_view>

namespace kovrix {

/// Answers the Unicode text of cp1251 bytes (device texts, error texts, file contents).
QString FromCp1251(std::string_view bytes);

/// Answers the cp1251 bytes of a text; characters the code page lacks become '?'.
std::string ToCp1251(const QString& text);

}  // namespace kovrix
