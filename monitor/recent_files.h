#pragma once
// The list of the five most recently opened script files, kept in "Files"/"File1".."File5" of the
// initialisation file, newest first, and the rule that a newly opened file applies to it.

#include <QString>
#include <QStringList>
#include <string>

namespace kovrix {

inline constexpr int kRecentFileCount = 5;
/// Longest path (in cp1251 bytes) one "Files" key returns; a read cuts anything longer.
inline constexpr std::size_t kRecentPathLength = 499;

/// Answers "File1".."File5" of the "Files" section in order, missing keys as empty texts.
QStringList ReadRecentFiles(const std::string& iniPath);

/// Writes the five texts to "File1".."File5" (empty texts included); answers false when the file
/// cannot be written.
bool WriteRecentFiles(const QStringList& files, const std::string& iniPath);

/// Answers the non-empty texts, in order: the entries of the drop-down list.
QStringList NonEmptyEntries(const QStringList& files);

/// Answers whether a path survives a round trip through a "Files" key: it fits the key's length
/// and every character has a cp1251 byte, and it holds no line break (the key could not hold it).
bool FitsRecentFiles(const QString& path);

/// What opening a script file does to the list.
struct RecentFileChoice {
  int select = 0;     // list entry to select
  bool added = false; // the path is new: files holds the texts to write
  QStringList files;  // the five texts of "File1".."File5" when added
};

/// Answers the choice for a path opened with the list entries shown: a path equal to entry k
/// (the highest k when several are equal) only selects k; any other path comes first, followed
/// by the former entries 0..3 (entry 4 is dropped, missing entries become empty texts).
RecentFileChoice ChooseRecentFile(const QStringList& entries, const QString& path);

}  // namespace kovrix
