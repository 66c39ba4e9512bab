#include "driver/session_log.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>

#include "driver/codepage.h"

namespace kovrix {
namespace {

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  return t;
}

std::string CurrentDirectory() {
  char buf[4096];
  if (getcwd(buf, sizeof buf) == nullptr) return ".";
  return buf;
}

}  // namespace

void SessionLog::SetLogFileName(const std::string& name) { name_ = name.substr(0, kNameCapacity); }

std::string SessionLog::FormatEntry(const std::string& tag, const std::string& text, const std::tm& t) const {
  return Format(tag.empty() ? Kind::Start : text.empty() ? Kind::End : Kind::Exchange, tag, text, t);
}

std::string SessionLog::Format(Kind kind, const std::string& tag, const std::string& text, const std::tm& t) const {
  static const std::string kStart = Utf8ToCp1251(";Начало сеанса   ");
  static const std::string kEnd = Utf8ToCp1251(";Конец Сеанса   ");
  char stamp[100];
  std::snprintf(stamp, sizeof stamp, "%2d-%02d-%4d %2d:%02d:%02d", t.tm_mday, t.tm_mon + 1, t.tm_year + 1900,
                t.tm_hour, t.tm_min, t.tm_sec);
  if (kind == Kind::Start) return kStart + stamp + " \r\n";
  if (kind == Kind::End) return kEnd + stamp + " \r\n";
  // The header line is at most a hundred characters, as the tag is at most a dozen.
  std::string header = std::string(";") + stamp + "  " + tag;
  if (header.size() > 99) header.resize(99);
  return header + "\r\n" + text + "\r\n";
}

void SessionLog::WriteLog(const std::string& tag, const std::string& text) {
  Append(tag.empty() ? Kind::Start : text.empty() ? Kind::End : Kind::Exchange, tag, text);
}

void SessionLog::WriteExchange(const std::string& tag, const std::string& text) { Append(Kind::Exchange, tag, text); }

void SessionLog::Append(Kind kind, const std::string& tag, const std::string& text) {
  if (name_.empty()) return;
  if (path_.empty()) {
    // Fixed by the first entry: later changes of directory or name do not move the log.
    // An absolute name is used as it is ("C:\\..." too, on Windows).
    const bool absolute = name_.front() == '/' || std::filesystem::path(name_).is_absolute();
    path_ = absolute ? name_ : CurrentDirectory() + "/" + name_;
  }
  const std::string entry = Format(kind, tag, text, clock_ ? clock_() : LocalNow());
  if (std::FILE* f = std::fopen(path_.c_str(), "ab")) {
    std::fwrite(entry.data(), 1, entry.size(), f);
    std::fclose(f);
  }
}

}  // namespace kovrix
