#include "monitor/recent_files.h"

#include "ini/private_profile.h"
#include "app/text_codec.h"

namespace kovrix {
namespace {

const char kSection[] = "Files";

std::string Key(int index) { return "File" + std::to_string(index + 1); }

}  // namespace

QStringList ReadRecentFiles(const std::string& iniPath) {
  QStringList files;
  for (int i = 0; i < kRecentFileCount; ++i) {
    files << FromCp1251(GetPrivateProfileString(kSection, Key(i), "", kRecentPathLength + 1, iniPath));
  }
  return files;
}

bool WriteRecentFiles(const QStringList& files, const std::string& iniPath) {
  bool written = true;
  for (int i = 0; i < kRecentFileCount; ++i) {
    const QString value = i < files.size() ? files[i] : QString();
    written = WritePrivateProfileString(kSection, Key(i), ToCp1251(value), iniPath) && written;
  }
  return written;
}

QStringList NonEmptyEntries(const QStringList& files) {
  QStringList entries;
  for (const QString& file : files) {
    if (!file.isEmpty()) entries << file;
  }
  return entries;
}

bool FitsRecentFiles(const QString& path) {
  const std::string bytes = ToCp1251(path);
  return bytes.size() <= kRecentPathLength && FromCp1251(bytes) == path &&
         bytes.find_first_of("\r\n") == std::string::npos;
}

RecentFileChoice ChooseRecentFile(const QStringList& entries, const QString& path) {
  auto entry = [&](int k) { return k < entries.size() ? entries[k] : QString(); };
  RecentFileChoice choice;
  choice.select = -1;
  for (int k = 0; k < kRecentFileCount; ++k) {
    if (entry(k) == path) choice.select = k;
  }
  if (choice.select >= 0) return choice;
  choice.select = 0;
  choice.added = true;
  choice.files << path;
  for (int k = 0; k + 1 < kRecentFileCount; ++k) choice.files << entry(k);
  return choice;
}

}  // namespace kovrix
