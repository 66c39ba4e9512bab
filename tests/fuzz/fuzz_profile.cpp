// Fuzz target: the initialisation-file module. The input is a file, a section, a key and a
// value, separated by NUL bytes. Properties: writing one key never changes the value of any
// other key of the file; a write that succeeds reads back (trimmed, one pair of quotes off, as
// every value reads); a refused write leaves the file byte for byte as it was; and a second
// identical write leaves the file byte-identical.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "ini/private_profile.h"
#include "fuzz/fuzz_check.h"

namespace {

using namespace kovrix;

const std::string kMissing = "\x01missing";
constexpr std::size_t kBuffer = 1 << 16;

std::string Path() {
  static const std::string path =
      (std::filesystem::temp_directory_path() / ("kovrix-fuzz-profile-" + std::to_string(getpid()) + ".ini")).string();
  return path;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string Trim(const std::string& s) {
  const char* blanks = " \t\r\n";
  const auto first = s.find_first_not_of(blanks);
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

// Case-blind comparison of names: ASCII and cp1251 Cyrillic letters, as the platform folds them.
unsigned char Fold(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDF)) return static_cast<unsigned char>(c + 32);
  return c == 0xA8 ? 0xB8 : c;
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Fold(static_cast<unsigned char>(a[i])) != Fold(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

// Every section/key pair that the file's lines name, in the file's order.
std::vector<std::pair<std::string, std::string>> Keys(const std::string& content) {
  std::vector<std::pair<std::string, std::string>> keys;
  std::istringstream in(content);
  std::string section;
  for (std::string line; std::getline(in, line);) {
    const std::string t = Trim(line);
    if (t.size() >= 2 && t.front() == '[' && t.find(']') != std::string::npos) {
      section = Trim(t.substr(1, t.find(']') - 1));
    } else if (const auto eq = line.find('='); eq != std::string::npos) {
      keys.emplace_back(section, Trim(line.substr(0, eq)));
    }
  }
  return keys;
}

std::string AsRead(const std::string& value) {
  std::string v = Trim(value);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) v = v.substr(1, v.size() - 2);
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> parts(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0 && parts.size() < 4) {
      parts.emplace_back();
    } else {
      parts.back() += static_cast<char>(data[i]);
    }
  }
  parts.resize(4);
  const std::string& content = parts[0];
  const std::string& section = parts[1];
  const std::string& key = parts[2];
  const std::string& value = parts[3];
  const std::string path = Path();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
  }

  const auto keys = Keys(content);
  std::vector<std::string> before;
  for (const auto& [s, k] : keys) before.push_back(GetPrivateProfileString(s, k, kMissing, kBuffer, path));

  if (!WritePrivateProfileString(section, key, value, path)) {
    FUZZ_CHECK(ReadAll(path) == content);
    return 0;
  }
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const auto& [s, k] = keys[i];
    if (SameName(s, section) && SameName(k, key)) continue;
    FUZZ_CHECK(GetPrivateProfileString(s, k, kMissing, kBuffer, path) == before[i]);
  }
  FUZZ_CHECK(GetPrivateProfileString(section, key, kMissing, kBuffer, path) == AsRead(value));

  const std::string once = ReadAll(path);
  FUZZ_CHECK(WritePrivateProfileString(section, key, value, path));
  FUZZ_CHECK(ReadAll(path) == once);
  return 0;
}
