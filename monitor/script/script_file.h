#pragma once
// The script file as the runner reads it: pieces of at most 299 bytes up to and including a
// line feed, addressed by the byte position where each one starts.

#include <cstdio>
#include <string>
#include <string_view>

namespace kovrix::script {

class ScriptFile {
 public:
  /// Longest piece one read answers; a longer line is read as several pieces.
  static constexpr std::size_t kPieceLength = 299;

  ScriptFile() = default;
  ScriptFile(const ScriptFile&) = delete;
  ScriptFile& operator=(const ScriptFile&) = delete;
  ~ScriptFile() { Close(); }

  /// Opens the file for reading; answers false when it cannot be opened.
  bool Open(const std::string& path);
  /// Closes the file; reading then meets the end at once.
  void Close();
  /// Answers whether a file is open.
  bool IsOpen() const { return file_ != nullptr; }

  /// Answers the position where the next read starts.
  long Tell() const;
  /// Moves the reading position (to the start of a line met before).
  void Seek(long position);

  /// Reads the next piece into line; answers false at the end of the file.
  bool ReadPiece(std::string& line);
  /// Reads and drops count pieces (fewer at the end of the file).
  void Skip(long count);
  /// Reads on until a piece contains text and goes back to its start; at the end of the file
  /// when no piece does.
  void SearchFor(std::string_view text);

 private:
  std::FILE* file_ = nullptr;
};

}  // namespace kovrix::script
