#pragma once
// The file calls that differ between the systems, for everything the programs keep: files written
// whole or not at all, a small record rewritten in place, and files kept private to their owner
// (POSIX modes; on Windows the user's profile directory, which holds the state, is private
// already). Paths are UTF-8. One implementation per system: posix_files.cpp, win32_files.cpp.

#include <filesystem>
#include <string>

namespace kovrix::platform {

/// Writes text to path whole or not at all: into a temporary file of the owner's alone beside
/// it (a link there is not followed), flushed to the disk when durable, then renamed over path,
/// so that a crash leaves the old file or the new one. False, with no temporary file left, when
/// it could not be written.
bool ReplaceFileWhole(const std::string& path, const std::string& text, bool durable);

/// Makes the directory (and its parents) and makes it the owner's alone, also when an earlier
/// version left it open to others; false when it cannot be made.
bool MakePrivateDirectory(const std::string& directory);

/// Makes an existing file the owner's alone (nothing on Windows).
void MakePrivateFile(const std::filesystem::path& file);

/// Removes a file; nothing when there is none.
void RemoveFile(const std::string& path);

/// Answers whether a file that holds a secret may be read or written by others than its owner
/// (always false on Windows, whose files carry no such mode bits).
bool ExposedToOthers(const std::string& path);

/// A small file kept open and rewritten from its start, one write per change.
class RecordFile {
 public:
  RecordFile() = default;
  ~RecordFile();
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  /// Opens (creating it for the owner alone) the file; false when it cannot.
  bool Open(const std::string& path);
  bool isOpen() const { return handle_ != nullptr; }
  /// Writes text at the file's start in one call; false when not all of it was written.
  bool WriteAtStart(const std::string& text);

 private:
  void* handle_ = nullptr;  // the system's handle of the open file
};

}  // namespace kovrix::platform
