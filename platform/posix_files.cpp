#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <system_error>

#include "platform/files.h"

namespace kovrix::platform {
namespace {

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// The descriptor is kept in the handle as its value plus one, so that 0 stays "none".
int Descriptor(void* handle) { return static_cast<int>(reinterpret_cast<std::intptr_t>(handle)) - 1; }

}  // namespace

bool ReplaceFileWhole(const std::string& path, const std::string& text, bool durable) {
  const std::string temp = path + ".tmp" + std::to_string(::getpid());
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, text) && (!durable || ::fsync(fd) == 0);
  const bool closed = ::close(fd) == 0;
  if (written && closed && std::rename(temp.c_str(), path.c_str()) == 0) return true;
  ::unlink(temp.c_str());
  return false;
}

bool MakePrivateDirectory(const std::string& directory) {
  std::error_code ec;
  const std::filesystem::path dir(directory);
  if (dir.has_parent_path()) std::filesystem::create_directories(dir.parent_path(), ec);
  if (::mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) return false;
  return ::chmod(directory.c_str(), 0700) == 0;
}

void MakePrivateFile(const std::filesystem::path& file) { ::chmod(file.c_str(), 0600); }

void RemoveFile(const std::string& path) { ::unlink(path.c_str()); }

bool ExposedToOthers(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && (st.st_mode & (S_IRWXG | S_IRWXO)) != 0;
}

RecordFile::~RecordFile() {
  if (handle_ != nullptr) ::close(Descriptor(handle_));
}

bool RecordFile::Open(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  handle_ = reinterpret_cast<void*>(static_cast<std::intptr_t>(fd) + 1);
  return true;
}

bool RecordFile::WriteAtStart(const std::string& text) {
  if (handle_ == nullptr) return false;
  return ::pwrite(Descriptor(handle_), text.data(), text.size(), 0) == static_cast<ssize_t>(text.size());
}

}  // namespace kovrix::platform
