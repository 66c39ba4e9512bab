#include "monitor/script/conditions.h"

#include <array>
#include <utility>

#include "monitor/script/operands.h"
#include "monitor/script/script_text.h"

namespace kovrix::script {
namespace {

// The search order matters: "<=" must be found before "<" would split it.
constexpr std::array<std::pair<std::string_view, Comparison>, 5> kOperators = {{
    {"<=", Comparison::LessOrEqual},
    {"==", Comparison::Equal},
    {">=", Comparison::GreaterOrEqual},
    {"<", Comparison::Less},
    {">", Comparison::Greater},
}};

Operand MakeOperand(const RunState& state, std::string_view text) {
  Operand operand{Trim(text), false};
  const OperandForm form = FormOf(state, operand.text, false);
  if (form == OperandForm::Unusable) throw Failure(Msg::BadVariable, true);
  operand.isVariable = form == OperandForm::Variable;
  return operand;
}

std::int32_t ValueOf(const RunState& state, const Operand& operand) {
  return ToInt(OperandValue(state, operand.text, operand.isVariable ? OperandForm::Variable : OperandForm::Number));
}

}  // namespace

Condition ParseCondition(const RunState& state, std::string_view afterKeyword, Msg noOperator) {
  const std::string trimmed = Trim(afterKeyword);
  const std::string_view inner =
      trimmed.size() < 2 ? std::string_view{} : std::string_view(trimmed).substr(1, trimmed.size() - 2);
  for (const auto& [token, op] : kOperators) {
    const std::size_t at = inner.find(token);
    if (at == std::string_view::npos) continue;
    Condition condition;
    condition.op = op;
    condition.left = MakeOperand(state, inner.substr(0, at));
    condition.right = MakeOperand(state, inner.substr(at + token.size()));
    return condition;
  }
  throw Failure(noOperator, true);
}

bool Evaluate(const RunState& state, const Condition& condition) {
  const std::int32_t left = ValueOf(state, condition.left);
  const std::int32_t right = ValueOf(state, condition.right);
  switch (condition.op) {
    case Comparison::Less: return left < right;
    case Comparison::LessOrEqual: return left <= right;
    case Comparison::Equal: return left == right;
    case Comparison::Greater: return left > right;
    case Comparison::GreaterOrEqual: return left >= right;
  }
  return false;
}

}  // namespace kovrix::script
