#include "monitor/script/script_file.h"

#include <filesystem>

namespace kovrix::script {

bool ScriptFile::Open(const std::string& path) {
  Close();
  // A directory would open and read as an empty file: refuse it as it cannot be a script.
  std::error_code error;
  if (path.empty() || std::filesystem::is_directory(path, error)) return false;
  // Binary mode: positions are byte offsets, and line ends are trimmed by the line preparation.
  file_ = std::fopen(path.c_str(), "rb");
  return file_ != nullptr;
}

void ScriptFile::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

long ScriptFile::Tell() const { return file_ ? std::ftell(file_) : 0; }

void ScriptFile::Seek(long position) {
  if (file_) std::fseek(file_, position, SEEK_SET);
}

bool ScriptFile::ReadPiece(std::string& line) {
  line.clear();
  if (!file_) return false;
  while (line.size() < kPieceLength) {
    const int c = std::fgetc(file_);
    if (c == EOF) break;
    line.push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  return !line.empty();
}

void ScriptFile::Skip(long count) {
  std::string line;
  for (long i = 0; i < count; ++i)
    if (!ReadPiece(line)) return;
}

void ScriptFile::SearchFor(std::string_view text) {
  std::string line;
  for (;;) {
    const long start = Tell();
    if (!ReadPiece(line)) return;
    if (line.find(text) != std::string::npos) {
      Seek(start);
      return;
    }
  }
}

}  // namespace kovrix::script
