#include "monitor/script/operands.h"

#include "monitor/script/script_text.h"

namespace kovrix::script {

OperandForm FormOf(const RunState& state, std::string_view text, bool quotedAllowed) {
  if (state.FindVariable(text) >= 0) return OperandForm::Variable;
  if (IsNumber(text)) return OperandForm::Number;
  if (quotedAllowed && IsQuoted(text)) return OperandForm::Quoted;
  return OperandForm::Unusable;
}

std::string OperandValue(const RunState& state, std::string_view text, OperandForm form) {
  switch (form) {
    case OperandForm::Variable:
      return state.variables[static_cast<std::size_t>(state.FindVariable(text))].value;
    case OperandForm::Quoted:
      return std::string(Unquote(text));
    case OperandForm::Number:
    case OperandForm::Unusable:
      break;
  }
  return std::string(text);
}

bool IsReplyReference(std::string_view text) { return text.substr(0, 4) == "%Ret"; }

std::string ReplyField(const ScriptHost& host, std::string_view reference) {
  const std::int32_t n = ToInt(Mid(reference, 4));
  const ReplyRecord* reply = host.lastReply();
  // Field slots beyond the reply's own fields (and beyond the record's 20) read as empty text.
  if (!reply || n < 0 || n >= kMaxReplyFields || static_cast<std::size_t>(n) >= reply->fields.size() ||
      n >= reply->fieldCount)
    return {};
  return reply->fields[static_cast<std::size_t>(n)];
}

}  // namespace kovrix::script
