#pragma once
// Operands of statements (variables, numbers, quoted texts) and reply references ("%Ret" n).

#include <string>
#include <string_view>

#include "monitor/script/run_state.h"
#include "monitor/script/script_host.h"

namespace kovrix::script {

enum class OperandForm { Unusable, Variable, Number, Quoted };

/// Answers the form of an operand text; quoted texts count only where allowed (Oper, RunCommand).
OperandForm FormOf(const RunState& state, std::string_view text, bool quotedAllowed);

/// Answers the value of an operand of a known form: the variable's value, the number as
/// written, or the text between the quotes.
std::string OperandValue(const RunState& state, std::string_view text, OperandForm form);

/// Answers whether the text is a reply reference: it starts with "%Ret".
bool IsReplyReference(std::string_view text);

/// Answers field n (counted from 0) of the latest reply for "%Ret" n; empty beyond the reply's
/// fields. Throws the integer conversion failure when n is not an integer.
std::string ReplyField(const ScriptHost& host, std::string_view reference);

}  // namespace kovrix::script
