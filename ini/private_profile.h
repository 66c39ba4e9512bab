#pragma once
// Initialisation-file access with the semantics of the Windows private-profile functions:
// section and key names compared without regard to case, the first match wins, values trimmed
// and stripped of one pair of enclosing quotes, text reads cut to the buffer size, integer reads
// of leading digits. Nothing is cached: every call reads or rewrites the file. Works on bytes
// (the file is cp1251); plain C++ so that the command-line tools can share it.

#include <cstddef>
#include <string>

namespace kovrix {

// Paths are UTF-8 on every system.

/// Answers the value of section/key in the file at path, or fallback when the file, section or key
/// is missing; the answer is cut to bufferSize - 1 bytes (nothing at all for a size of 0).
std::string GetPrivateProfileString(const std::string& section, const std::string& key, const std::string& fallback,
                                    std::size_t bufferSize, const std::string& path);

/// Answers the value of section/key read as an integer: optional sign and leading decimal digits
/// (0 when there are none, 32-bit wrap-around as the platform's read does); fallback when the key
/// is missing or its value is empty.
int GetPrivateProfileInt(const std::string& section, const std::string& key, int fallback, const std::string& path);

/// Writes section/key = value, creating the file, the section or the key as needed; an existing
/// key keeps its place and spelling. Answers false, leaving the file as it was, when a name or the
/// value holds a line break or NUL, when a name would not read back as itself (empty, blanks at an
/// end, "]" in a section, "=" in a key or "[" opening it), or when the file cannot be read or written.
bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& path);

/// Answers the integer of a text as the platform's profile read does (leading blanks, sign, digits).
int ProfileTextToInt(const std::string& text);

}  // namespace kovrix
