// The kept state on Windows: wide-character file calls (the profile path may hold any
// letters), MoveFileExW to replace a file whole, and no mode bits: the state lives under
// %LOCALAPPDATA%, which only its user may open.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <system_error>

#include "platform/files.h"

namespace kovrix::platform {
namespace {

std::filesystem::path Wide(const std::string& utf8) { return std::filesystem::u8path(utf8); }

bool WriteAll(HANDLE file, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, text.data() + done, chunk, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}

}  // namespace

bool ReplaceFileWhole(const std::string& path, const std::string& text, bool durable) {
  const std::filesystem::path target = Wide(path);
  const std::filesystem::path temp = Wide(path + ".tmp" + std::to_string(GetCurrentProcessId()));
  // A reparse point (a link) in the temporary file's place is replaced, not followed.
  const HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool written = WriteAll(file, text) && (!durable || FlushFileBuffers(file));
  const bool closed = CloseHandle(file) != 0;
  if (written && closed &&
      MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  DeleteFileW(temp.c_str());
  return false;
}

bool MakePrivateDirectory(const std::string& directory) {
  std::error_code ec;
  std::filesystem::create_directories(Wide(directory), ec);
  return std::filesystem::is_directory(Wide(directory), ec);
}

void MakePrivateFile(const std::filesystem::path&) {}

void RemoveFile(const std::string& path) { DeleteFileW(Wide(path).c_str()); }

bool ExposedToOthers(const std::string&) { return false; }

RecordFile::~RecordFile() {
  if (handle_ != nullptr) CloseHandle(handle_);
}

bool RecordFile::Open(const std::string& path) {
  // Shared for reading and writing: a restart reads it while the old instance may still hold it.
  // Not for deleting: a file deleted while open lingers half-gone on Windows.
  const HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  handle_ = file;
  return true;
}

bool RecordFile::WriteAtStart(const std::string& text) {
  if (handle_ == nullptr) return false;
  OVERLAPPED at{};  // offset 0
  DWORD written = 0;
  return WriteFile(handle_, text.data(), static_cast<DWORD>(text.size()), &written, &at) &&
         written == text.size();
}

}  // namespace kovrix::platform
