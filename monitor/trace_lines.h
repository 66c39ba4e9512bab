#pragma once
// The texts the frame monitor cuts from the driver's frame copies (trace lines, the reply's error
// code) and the entries of its command list. Frame texts are cp1251 bytes, as on the wire.

#include <QString>
#include <string>
#include <string_view>

namespace kovrix {

/// Answers the Send form of the sent line: "PC: (" + code box text + ")" + the data part of the
/// request frame (without SOH, LEN, SEQ, CMD in front and 05h, four BCC characters, ETX behind);
/// a frame too short to hold a data part contributes nothing.
std::string SendSentLine(std::string_view codeText, std::string_view sentFrame);

/// Answers the Send form of the received line: "FP: " + the reply frame from LEN on without its
/// last 13 bytes (04h, six status bytes, 05h, four BCC characters, ETX); empty part when shorter.
std::string SendReceivedLine(std::string_view rawReply);

/// Answers prefix + the frame from LEN to its end, control characters included (quick send,
/// repeat and script command lines).
std::string WholeFrameLine(std::string_view prefix, std::string_view frame);

/// Answers the four characters after CMD in a received frame: the reply's error code (fewer
/// when the frame is shorter).
std::string FrameErrorCode(std::string_view rawReply);

/// Answers the command list entry of a code box and data box text: code + "->" + data.
QString CommandListEntry(const QString& code, const QString& data);
/// Answers the code box text of a command list entry: its first two characters.
QString EntryCode(const QString& entry);
/// Answers the data box text of a command list entry: from its fifth character to its end.
QString EntryData(const QString& entry);

}  // namespace kovrix
