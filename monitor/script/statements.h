#pragma once
// The statements of the script language. Each handler gets the prepared line and the run
// state, and ends the run by throwing ScriptFailure.

#include <random>
#include <string_view>

#include "monitor/script/run_state.h"
#include "monitor/script/script_host.h"

namespace kovrix::script {

struct StatementContext {
  ScriptHost& host;
  RunState& state;
  std::mt19937& random;
  std::string_view line;  // the prepared line
  long position;          // where the line starts in the file
  long jumpTo = kUnknown; // set by a statement that continues at another line
  bool stopped = false;   // set by a statement that sent a command while a stop was asked for
};

// Declarations and data.
void DeclareBeg(StatementContext& c);
void New(StatementContext& c);
void DeclareEnd(StatementContext& c);
void Delay(StatementContext& c);
void Set(StatementContext& c);
void Print(StatementContext& c);

// Conditions and loops.
void If(StatementContext& c);
void Then(StatementContext& c);
void Else(StatementContext& c);
void EndIf(StatementContext& c);
void While(StatementContext& c);
void EndWhile(StatementContext& c);

// Operations and device commands.
void Oper(StatementContext& c);
void RunCommand(StatementContext& c);

/// Refuses flow statements, Oper and RunCommand before any variable is declared.
void RequireDeclarations(const StatementContext& c);

}  // namespace kovrix::script
