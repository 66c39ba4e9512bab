#include <cmath>
#include <cstdint>
#include <optional>

#include "driver/frame.h"
#include "monitor/script/line_kind.h"
#include "monitor/script/messages.h"
#include "monitor/script/operands.h"
#include "monitor/script/script_text.h"
#include "monitor/script/statements.h"

namespace kovrix::script {
namespace {

// Reads delimited parts left to right; a missing delimiter gives the rest of the text.
class PartReader {
 public:
  PartReader(std::string_view text, std::size_t from) : text_(text), pos_(from) {}
  std::string Next(char delimiter) {
    const std::size_t end = text_.find(delimiter, pos_);
    const std::string_view part = end == std::string_view::npos ? Mid(text_, pos_) : text_.substr(pos_, end - pos_);
    pos_ = end == std::string_view::npos ? text_.size() : end + 1;
    return Trim(part);
  }

 private:
  std::string_view text_;
  std::size_t pos_;
};

std::size_t AfterOpenParen(std::string_view text) {
  const std::size_t paren = text.find('(');
  return paren == std::string_view::npos ? 0 : paren + 1;
}

// 32-bit results wrap around (scripts rely on 32-bit integers); the sums are formed in 64 bits
// so that no step overflows, INT_MIN / -1 included.
std::string Wrapped(std::int64_t value) {
  return IntText(static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
}

bool IsArithmetic(std::int32_t operation) { return (operation >= 0 && operation <= 4) || operation == 6; }

std::optional<std::string> Compute(StatementContext& c, std::int32_t operation, const std::string& a,
                                   const std::string& b) {
  switch (operation) {
    case 0: return Wrapped(std::int64_t{ToInt(a)} + ToInt(b));
    case 1: return Wrapped(std::int64_t{ToInt(a)} - ToInt(b));
    case 2: return Wrapped(std::int64_t{ToInt(a)} * ToInt(b));
    case 3:
    case 4: {
      const std::int64_t x = ToInt(a);
      const std::int64_t y = ToInt(b);
      if (y == 0) throw Failure(Msg::DivisionByZero);
      return Wrapped(operation == 3 ? x / y : x % y);  // truncated toward zero; remainder has x's sign
    }
    case 5: return a + b;
    case 6: {
      const double x = ToFloat(a);
      const double y = ToFloat(b);
      if (y == 0.0) throw Failure(Msg::DivisionByZero);
      const double q = x / y;
      if (!std::isfinite(q)) throw Failure(Msg::FloatOverflow);
      return FloatText(q);
    }
    case 7: {
      const std::int64_t low = ToInt(a);
      const std::int64_t n = std::int64_t{ToInt(b)} - low + 1;
      const std::int64_t r = n == 0 ? 0 : static_cast<std::int64_t>(c.random() & 0x7FFFFFFFu) % n;
      return Wrapped(low + r);
    }
    case 8: {
      const std::int32_t code = ToInt(a);
      const std::int32_t count = ToInt(b);
      if (count < 1) return std::string();
      if (static_cast<std::size_t>(count) > kMaxValueLength) throw Failure(Msg::ValueTooLong, true);
      return std::string(static_cast<std::size_t>(count), static_cast<char>(code & 0xFF));
    }
    case 9: return IntText(static_cast<std::int64_t>(a.size()));
    case 10: return std::string(a == b ? "1" : "0");
    default: return std::nullopt;  // an unknown operation assigns nothing
  }
}

}  // namespace

// Oper -> "%Oper" "(" a "," b "," operation "," result ")"
void Oper(StatementContext& c) {
  RequireDeclarations(c);
  const std::string text = Trim(AfterKeyword(c.line, LineKind::Oper));
  PartReader parts(text, AfterOpenParen(text));
  const std::string a = parts.Next(',');
  const std::string b = parts.Next(',');
  const std::string operation = parts.Next(',');
  const std::string result = parts.Next(')');

  const OperandForm formA = FormOf(c.state, a, true);
  if (formA == OperandForm::Unusable) throw Failure(Msg::BadFirstParameter, true);
  const OperandForm formB = FormOf(c.state, b, true);
  if (formB == OperandForm::Unusable) throw Failure(Msg::BadSecondParameter, true);
  if (!IsNumber(operation)) throw Failure(Msg::BadOperation, true);
  const int target = c.state.FindVariable(result);
  if (target < 0) throw Failure(Msg::BadResult, true);
  const std::int32_t op = ToInt(operation);
  if ((formA == OperandForm::Quoted || formB == OperandForm::Quoted) && IsArithmetic(op))
    throw Failure(Msg::BadOperation, true);

  std::optional<std::string> value =
      Compute(c, op, OperandValue(c.state, a, formA), OperandValue(c.state, b, formB));
  if (!value) return;
  if (value->size() > kMaxValueLength) throw Failure(Msg::ValueTooLong, true);
  // Deliberately not shown in the variables window: only New and Set update it.
  c.state.variables[static_cast<std::size_t>(target)].value = std::move(*value);
}

// RunCommand -> "%RunCommand" "(" code { "," parameter } ")"
void RunCommand(StatementContext& c) {
  RequireDeclarations(c);
  const std::string text = Trim(AfterKeyword(c.line, LineKind::RunCommand));
  const bool hasParameters = text.find(',') != std::string::npos;
  const std::int32_t code = ToInt(PartReader(text, AfterOpenParen(text)).Next(hasParameters ? ',' : ')'));
  if (code < 0 || code > 0xFF) throw Failure(Msg::RangeError);

  std::string data;
  std::string remaining = text;
  int count = 0;
  for (std::size_t comma; (comma = remaining.find(',')) != std::string::npos;) {
    remaining = Trim(std::string_view(remaining).substr(comma + 1));
    const std::size_t next = remaining.find(',');
    const std::string parameter = PartReader(remaining, 0).Next(next != std::string::npos ? ',' : ')');
    const OperandForm form = FormOf(c.state, parameter, true);
    // Whatever its position, an unusable parameter is reported as the first.
    if (form == OperandForm::Unusable) throw Failure(Msg::BadFirstParameter, true);
    if (++count > kMaxParameters) throw Failure(Msg::TooManyParameters, true);
    data += OperandValue(c.state, parameter, form) + ";";
  }
  if (data.size() > kMaxFrameData) throw Failure(Msg::DataTooLong, true);

  // No password is added and the error code is not checked: the script reads the reply
  // through %Ret references.
  const ReplyRecord* reply = c.host.execute(code, data);
  if (!reply || (reply->status & ST_NO_REPLY)) throw Failure(Msg::Timeout);
  // A stop takes effect after a command that went through, as after a command line; otherwise a
  // loop of RunCommand statements alone could never be stopped.
  if (c.host.stopRequested()) c.stopped = true;
}

}  // namespace kovrix::script
