#pragma once
// The session log: a cp1251 text file with CR LF line ends, appended entry by entry.

#include <ctime>
#include <functional>
#include <string>

namespace kovrix {

class SessionLog {
 public:
  /// Most characters of the file name kept.
  static constexpr std::size_t kNameCapacity = 299;

  /// Sets the file name; an empty name switches the log off.
  void SetLogFileName(const std::string& name);
  /// Appends one entry: empty tag = session start, empty text = session end, else an exchange
  /// entry (header line with the tag, then the text). Does nothing while the name is empty;
  /// errors of opening or writing the file are ignored.
  void WriteLog(const std::string& tag, const std::string& text);
  /// Appends an exchange entry even when the text is empty (a reply-less exchange before any reply),
  /// which WriteLog would take for the session end.
  void WriteExchange(const std::string& tag, const std::string& text);
  /// Answers the file the log writes to, fixed by its first entry (empty before).
  const std::string& Path() const { return path_; }
  /// Replaces the clock (tests).
  void SetClock(std::function<std::tm()> clock) { clock_ = std::move(clock); }

  /// Answers the lines of one entry, as written (cp1251, CR LF).
  std::string FormatEntry(const std::string& tag, const std::string& text, const std::tm& t) const;

 private:
  enum class Kind { Start, End, Exchange };
  std::string Format(Kind kind, const std::string& tag, const std::string& text, const std::tm& t) const;
  void Append(Kind kind, const std::string& tag, const std::string& text);

  std::string name_;
  std::string path_;
  std::function<std::tm()> clock_;
};

}  // namespace kovrix
