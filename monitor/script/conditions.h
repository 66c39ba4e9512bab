#pragma once
// Conditions of If and While: "(" left operator right ")".

#include <string_view>

#include "monitor/script/messages.h"
#include "monitor/script/run_state.h"

namespace kovrix::script {

/// Answers the condition written after If or While. The text loses its first and last
/// character, and is split at the first of "<=", "==", ">=", "<", ">" that occurs in it.
/// Throws noOperator, or "Ошибка переменной!" for an operand neither variable nor number
/// (both with the script line in the trace).
Condition ParseCondition(const RunState& state, std::string_view afterKeyword, Msg noOperator);

/// Answers the condition's value with the operands' current values as 32-bit integers;
/// throws the conversion failure for a value that is not an integer.
bool Evaluate(const RunState& state, const Condition& condition);

}  // namespace kovrix::script
