#pragma once
// Text helpers of the script language and the conversions whose failures end a run with
// the toolkit-style messages. All texts are cp1251 bytes.

#include <cstdint>
#include <string>
#include <string_view>

namespace kovrix::script {

/// Answers the text without its leading and trailing blanks and control characters (bytes up to 0x20).
std::string Trim(std::string_view text);

/// Answers the text without the characters below 0x20 at its end (the line ending).
std::string TrimTrailingControl(std::string_view text);

/// Answers a script line made ready for classification: trailing control characters, then
/// leading and trailing blanks removed. Empty means the line has no effect.
std::string PrepareLine(std::string_view raw);

/// Answers up to count characters from index from; empty when from lies beyond the text.
std::string_view Mid(std::string_view text, std::size_t from, std::size_t count = std::string_view::npos);

/// Answers whether every character is a decimal digit (the empty text counts as a number).
bool IsNumber(std::string_view text);

/// Answers whether the first and the last character are both '"' (a lone '"' included).
bool IsQuoted(std::string_view text);

/// Answers the text between the quotes of a quoted text (empty for a lone '"').
std::string_view Unquote(std::string_view text);

/// Answers the 32-bit integer of a decimal text with an optional sign; anything else throws
/// ScriptFailure with "'text' is not a valid integer value".
std::int32_t ToInt(std::string_view text);

/// Answers the number of a decimal text ("." separator, optional sign and exponent); anything
/// else throws ScriptFailure with "'text' is not a valid floating point value".
double ToFloat(std::string_view text);

/// Answers a number as the toolkit shows it: up to 15 significant digits, "." separator, no
/// trailing zeros, scientific form ("1E20", "1.5E-6") outside the fixed range.
std::string FloatText(double value);

/// Answers the decimal text of an integer.
std::string IntText(std::int64_t value);

}  // namespace kovrix::script
