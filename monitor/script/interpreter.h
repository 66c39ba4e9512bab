#pragma once
// Executes one prepared script line that is a statement or a comment.

#include "monitor/script/line_kind.h"
#include "monitor/script/statements.h"

namespace kovrix::script {

/// Executes a line of any kind but Command; throws ScriptFailure when the run must end.
/// A statement that continues at another line sets c.jumpTo.
void ExecuteStatement(LineKind kind, StatementContext& c);

}  // namespace kovrix::script
