#include "ini/private_profile.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

namespace kovrix {
namespace {

// Folds ASCII and cp1251 Cyrillic letters to lower case, as the platform's case-blind compare does.
unsigned char FoldByte(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (c >= 0xC0 && c <= 0xDF) return static_cast<unsigned char>(c + 32);
  if (c == 0xA8) return 0xB8;  // Ё
  return c;
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldByte(static_cast<unsigned char>(a[i])) != FoldByte(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

std::string Trim(const std::string& s) {
  const char* blanks = " \t\r\n";
  const auto first = s.find_first_not_of(blanks);
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

std::vector<std::string> SplitLines(const std::string& content) {
  std::vector<std::string> lines;
  std::istringstream in(content);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// File names are UTF-8 (as the toolkit gives them): on Windows a narrow name would be read in the
// system's code page and miss a folder named in other letters.
std::filesystem::path FilePath(const std::string& utf8) { return std::filesystem::u8path(utf8); }

std::optional<std::string> ReadFile(const std::string& path) {
  std::ifstream in(FilePath(path), std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

// Answers the section name of a "[name]" line, or nothing for any other line.
std::optional<std::string> SectionName(const std::string& line) {
  const std::string t = Trim(line);
  if (t.size() < 2 || t.front() != '[') return std::nullopt;
  const auto close = t.find(']');
  if (close == std::string::npos) return std::nullopt;
  return Trim(t.substr(1, close - 1));
}

// Answers the key of a "key=value" line, or nothing for a line without "=".
std::optional<std::string> KeyName(const std::string& line) {
  const auto eq = line.find('=');
  if (eq == std::string::npos) return std::nullopt;
  return Trim(line.substr(0, eq));
}

std::string ValueOf(const std::string& line) {
  std::string v = Trim(line.substr(line.find('=') + 1));
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) v = v.substr(1, v.size() - 2);
  return v;
}

struct Location {
  std::optional<std::size_t> sectionLine;  // the "[section]" line
  std::optional<std::size_t> keyLine;      // the key's line inside the section
  std::size_t sectionEnd = 0;              // one past the section's last non-blank line
};

Location Find(const std::vector<std::string>& lines, const std::string& section, const std::string& key) {
  Location at;
  bool inside = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (const auto name = SectionName(lines[i])) {
      if (inside) break;  // the first section of that name is the one used
      inside = SameName(*name, section);
      if (inside) {
        at.sectionLine = i;
        at.sectionEnd = i + 1;
      }
      continue;
    }
    if (!inside) continue;
    if (!Trim(lines[i]).empty()) at.sectionEnd = i + 1;
    const auto k = KeyName(lines[i]);
    if (k && !at.keyLine && SameName(*k, key)) at.keyLine = i;
  }
  return at;
}

std::string CutToBuffer(const std::string& s, std::size_t bufferSize) {
  if (bufferSize == 0) return {};
  return s.substr(0, bufferSize - 1);
}

bool HasLineBreak(const std::string& s) { return s.find_first_of(std::string("\r\n\0", 3)) != std::string::npos; }

// Answers whether a name written into the file reads back as itself: not empty, no line break,
// no blanks at either end (the reader trims them), no "]" in a section name (it would end the
// name early), no "=" in a key (it would end the key) and no "[" opening a key (the line would
// read as a section).
bool StorableName(const std::string& name, bool section) {
  if (name.empty() || HasLineBreak(name) || Trim(name) != name) return false;
  return section ? name.find(']') == std::string::npos : name.find('=') == std::string::npos && name.front() != '[';
}

}  // namespace

int ProfileTextToInt(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  std::uint32_t value = 0;  // unsigned: overflow wraps like the platform's conversion
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
  if (negative) value = 0u - value;
  return static_cast<int>(value);
}

std::string GetPrivateProfileString(const std::string& section, const std::string& key, const std::string& fallback,
                                    std::size_t bufferSize, const std::string& path) {
  const auto content = ReadFile(path);
  if (!content) return CutToBuffer(fallback, bufferSize);
  const auto lines = SplitLines(*content);
  const Location at = Find(lines, section, key);
  if (!at.keyLine) return CutToBuffer(fallback, bufferSize);
  return CutToBuffer(ValueOf(lines[*at.keyLine]), bufferSize);
}

int GetPrivateProfileInt(const std::string& section, const std::string& key, int fallback, const std::string& path) {
  // Long enough for any number; a longer value is cut as the platform's fixed buffer cuts it.
  const std::string text = GetPrivateProfileString(section, key, "", 256, path);
  if (text.empty()) return fallback;
  return ProfileTextToInt(text);
}

bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& path) {
  // A line break would end the line early and start a key or section of its own making; a name
  // that would not read back as itself would write another key or section than the one asked.
  if (!StorableName(section, true) || !StorableName(key, false) || HasLineBreak(value)) return false;
  std::vector<std::string> lines;
  if (const auto content = ReadFile(path)) {
    lines = SplitLines(*content);
  } else if (std::error_code ec; std::filesystem::exists(FilePath(path), ec) || ec) {
    return false;  // there but unreadable: rewriting it would lose its contents
  }
  const Location at = Find(lines, section, key);
  if (at.keyLine) {
    const std::string& old = lines[*at.keyLine];
    lines[*at.keyLine] = Trim(old.substr(0, old.find('='))) + "=" + value;
  } else if (at.sectionLine) {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at.sectionEnd), key + "=" + value);
  } else {
    if (!lines.empty() && !Trim(lines.back()).empty()) lines.emplace_back();
    lines.push_back("[" + section + "]");
    lines.push_back(key + "=" + value);
  }
  std::ofstream out(FilePath(path), std::ios::binary | std::ios::trunc);
  for (const auto& line : lines) out << line << "\r\n";
  out.flush();
  return static_cast<bool>(out);
}

}  // namespace kovrix
