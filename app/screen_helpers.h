#pragma once
// Helpers every screen shares: the two reply checks, the status bytes as text, the model line of
// the main window's status bar, and the payment type count of the diagnostic reply.

#include <QString>
#include <functional>
#include <initializer_list>
#include <string>

#include "driver/reply.h"

class QLineEdit;

namespace kovrix {

class UiServices;

/// Answers true when the reply reports no error; otherwise shows heading + "\n  " + the error's text.
bool CheckReply(UiServices& ui, const ReplyRecord& reply, const QString& heading);
/// After a state-changing command: when its reply was lost, asks the registrator for it again with
/// the same SEQ (the registrator answers from its memory, or runs a frame that never arrived, so
/// the command runs once); answers the reply then got, or the lost one when the registrator stayed
/// silent.
const ReplyRecord* SettleLostReply(const ReplyRecord* reply);

/// Before a click sends a new command: when the link's last frame is a state-changing command
/// whose reply stayed lost, it is asked for once more with its SEQ (it runs once at most). Answers
/// true when the click may go on (nothing lost, or only a reading command). Otherwise shows what
/// the registrator did with that command, or that it is still silent, and answers false: the
/// click sends nothing new, so the operator's next decision rests on what is known.
bool EarlierCommandSettled(UiServices& ui);

/// Answers the Russian name of a state-changing command for messages ("оплата", "Z-отчет", ...),
/// empty for a command that only reads.
QString StateChangingCommandName(int command, const std::string& data);

/// Answers, in Russian, why an exchange had no reply when more is known than silence (a
/// converter that closed the connection, a flooding line, a port closed or lost before the frame
/// went out, a port whose device is gone); empty otherwise.
QString LinkFaultNote(const ReplyRecord& reply);

/// Sets how LinkFaultNote learns that the open port's device itself is gone (an adapter pulled
/// out): the main window answers for the port it opened; empty: never gone.
void SetPortGoneCheck(std::function<bool()> check);

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

/// Answers true when the text holds no ";" (the field separator of every command); otherwise shows
/// which box holds it and answers false, so that nothing is sent.
bool SeparatorFree(UiServices& ui, const QString& label, const QString& text);

/// Answers the text unchanged when it holds no ";"; otherwise throws InputError with the message of
/// SeparatorFree, so that a handler inside the input guard ends before anything is sent.
QString SeparatorFreeText(const QString& label, const QString& text);

/// One value that arrived from the device or a file, for a box whose length is limited for typing.
struct OutsideValue {
  QLineEdit* box;
  QString label;  // the box's label, named when the value is refused
  QString value;
};

/// Puts values that came from the device or a file into their boxes, all of them or none: a value
/// longer than its box's limit is never cut (it could be written back cut); the first such value is
/// named with its label and the limit, no box is changed and the answer is false.
bool ShowOutsideValues(UiServices& ui, std::initializer_list<OutsideValue> values);

/// Answers the number of payment types: diagnostic reply field 11 read by its leading digits, 10 when that is 0.
int PaymentTypeCount(const ReplyRecord& reply);

}  // namespace kovrix
