// The monitor's plain helpers: trace lines cut from frames, command list entries, and the
// recent-file list rule with its initialisation-file keys.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "ini/private_profile.h"
#include "driver/frame.h"
#include "monitor/recent_files.h"
#include "monitor/trace_lines.h"

namespace kovrix {
namespace {

const StatusBytes kStatus{0x80, 0x81, 0x82, 0x83, 0x84, 0x85};

TEST(TraceLines, SendFormsCutTheFramesDownToTheirDataAndShortFramesGiveNoPart) {
  const std::string request = BuildRequestFrame(0x2A, 0x21, "482916;");
  const std::string reply = BuildReplyFrame(0x2A, 0x21, "0000", "311299;2359;", kStatus);
  // LEN SEQ CMD of the reply stay in the received line; the status part and checksum do not.
  EXPECT_EQ(SendSentLine("21", request), "PC: (21)482916;");
  EXPECT_EQ(SendReceivedLine(reply), "FP: " + reply.substr(1, 3) + "0000;311299;2359;");
  EXPECT_EQ(SendSentLine("21", BuildRequestFrame(0x2A, 0x21, "")), "PC: (21)");

  for (const std::string& frame : {std::string(), std::string("\x01\x30"), reply.substr(0, 14)}) {
    EXPECT_EQ(SendSentLine("2", frame.substr(0, 10)), "PC: (2)") << frame.size();
    EXPECT_EQ(SendReceivedLine(frame), "FP: ") << frame.size();
  }
}

TEST(TraceLines, WholeFrameLinesKeepControlCharactersAndTheErrorCodeFollowsCmd) {
  const std::string reply = BuildReplyFrame(0x2A, 0x21, "0206", "", kStatus);
  EXPECT_EQ(WholeFrameLine("FP: ", reply), "FP: " + reply.substr(1));
  EXPECT_EQ(WholeFrameLine("FP: ", reply).back(), '\x03');
  EXPECT_EQ(WholeFrameLine("PC: ", ""), "PC: ");
  EXPECT_EQ(FrameErrorCode(reply), "0206");
  EXPECT_EQ(FrameErrorCode(reply.substr(0, 6)), "02");
  EXPECT_EQ(FrameErrorCode(""), "");
}

TEST(CommandListEntries, RoundTripAndOddEntries) {
  struct Case {
    QString code, data, entry, codeBack, dataBack;
  } cases[] = {
      {"21", "1;", "21->1;", "21", "1;"},
      {"A0", "", "A0->", "A0", ""},
      {"2", "x;y", "2->x;y", "2-", ";y"},  // a one-character code shifts the columns
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CommandListEntry(c.code, c.data), c.entry);
    EXPECT_EQ(EntryCode(c.entry), c.codeBack);
    EXPECT_EQ(EntryData(c.entry), c.dataBack);
  }
}

TEST(RecentFiles, AKnownPathIsOnlySelectedAndANewOneComesFirstDroppingTheFifth) {
  const QStringList five{"/s/a.txt", "/s/b.txt", "/s/c.txt", "/s/d.txt", "/s/e.txt"};
  struct Case {
    QStringList entries;
    QString path;
    int select;
    QStringList files;  // empty: nothing written
  } cases[] = {
      {five, "/s/d.txt", 3, {}},
      {five, "/s/a.txt", 0, {}},
      {{"/s/a.txt", "/s/b.txt", "/s/a.txt"}, "/s/a.txt", 2, {}},  // the highest equal entry
      {five, "/s/D.txt", 0, {"/s/D.txt", "/s/a.txt", "/s/b.txt", "/s/c.txt", "/s/d.txt"}},
      {{"/s/a.txt", "/s/b.txt"}, "/s/n.txt", 0, {"/s/n.txt", "/s/a.txt", "/s/b.txt", "", ""}},
      {{}, "/s/n.txt", 0, {"/s/n.txt", "", "", "", ""}},
  };
  for (const Case& c : cases) {
    const RecentFileChoice choice = ChooseRecentFile(c.entries, c.path);
    EXPECT_EQ(choice.select, c.select) << c.path.toStdString();
    EXPECT_EQ(choice.added, !c.files.isEmpty()) << c.path.toStdString();
    EXPECT_EQ(choice.files, c.files) << c.path.toStdString();
  }
}

TEST(RecentFiles, KeysRoundTripInCp1251AndPathsThatCannotAreRecognised) {
  QTemporaryDir dir;
  const std::string ini = (dir.path() + "/fpinit.ini").toStdString();
  EXPECT_EQ(ReadRecentFiles(ini), QStringList({"", "", "", "", ""}));

  const QStringList files{"/s/Скрипт.txt", "", "/s/b.txt", "", "/s/e.txt"};
  ASSERT_TRUE(WriteRecentFiles(files, ini));
  EXPECT_EQ(ReadRecentFiles(ini), files);
  EXPECT_EQ(GetPrivateProfileString("Files", "File1", "", 500, ini), "/s/\xD1\xEA\xF0\xE8\xEF\xF2.txt");
  EXPECT_EQ(GetPrivateProfileString("files", "FILE2", "missing", 500, ini), "");
  EXPECT_EQ(NonEmptyEntries(files), QStringList({"/s/Скрипт.txt", "/s/b.txt", "/s/e.txt"}));

  EXPECT_TRUE(FitsRecentFiles("/s/Скрипт.txt"));
  EXPECT_TRUE(FitsRecentFiles("/" + QString(498, 'x')));
  EXPECT_FALSE(FitsRecentFiles("/" + QString(499, 'x')));
  EXPECT_FALSE(FitsRecentFiles(QStringLiteral("/s/文件.txt")));
  EXPECT_FALSE(FitsRecentFiles(QStringLiteral("/s/a\nFile2=/etc/passwd")));
}

}  // namespace
}  // namespace kovrix
