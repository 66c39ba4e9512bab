#pragma once
// Helpers every screen shares: the two reply checks, the status bytes as text, the model line of
// the main window's status bar, and the payment type count of the diagnostic reply.

#include <QString>

#include "driver/reply.h"

namespace kovrix {

class UiServices;

/// Answers true when the reply reports no error; otherwise shows heading + "\n  " + the error's text.
bool CheckReply(UiServices& ui, const ReplyRecord& reply, const QString& heading);

/// Answers true when the reply reports no error; otherwise shows the error's text alone.
bool CheckReplyText(UiServices& ui, const ReplyRecord& reply);

/// Answers true when the command API sent its command (err 0); otherwise shows that nothing was
/// sent, so that the previous command's reply is never read as this one's.
bool CheckSent(UiServices& ui, int err);

/// Sends a command with a ready-made data text and answers its reply; answers null, having shown
/// that nothing was sent, when the data text does not fit one frame (the link would answer it as
/// a reply that never came).
const ReplyRecord* ExecuteFitting(UiServices& ui, int command, const std::string& data);

/// Answers true when the reply came and its error code is "0000"; otherwise shows timeoutMessage
/// (no reply) or errorMessage (an error code).
bool CheckTimeoutAndCode(UiServices& ui, const ReplyRecord& reply, const QString& timeoutMessage,
                         const QString& errorMessage);

/// Answers the text of a "Код ошибки:" box for a reply: its four-character error code, or "----"
/// when no reply came (the record's error field then still holds an earlier reply's code).
QString ErrorCodeText(const ReplyRecord& reply);

/// Answers the six status bytes, byte 0 first, as upper-case hexadecimal pairs separated by one blank.
QString StatusBytesText(const ReplyRecord& reply);

/// Answers the model line of the status bar from a diagnostic reply; withServiceMode appends
/// " Сервис.реж." when status byte 0 has bit 0 set.
QString ModelStatusLine(const ReplyRecord& reply, bool withServiceMode);

/// Answers the number of payment types: diagnostic reply field 11 read by its leading digits, 10 when that is 0.
int PaymentTypeCount(const ReplyRecord& reply);

}  // namespace kovrix
