#include "monitor/script/interpreter.h"

#include "monitor/script/messages.h"
#include "monitor/script/script_text.h"

namespace kovrix::script {
namespace {

// The marker set by DeclareEnd catches a declaration written right after the section;
// any statement other than Delay and Set in between clears it.
bool ClearsMarker(LineKind kind) {
  switch (kind) {
    case LineKind::DeclareBeg:
    case LineKind::New:
    case LineKind::While:
    case LineKind::EndWhile:
    case LineKind::If:
    case LineKind::Then:
    case LineKind::Else:
    case LineKind::EndIf:
    case LineKind::RunCommand:
    case LineKind::Oper:
    case LineKind::Print:
      return true;
    default:
      return false;
  }
}

// Comment -> ";" text ; PrintedComment -> "+" text
void PrintedComment(StatementContext& c) {
  if (!c.host.quiet()) c.host.appendTrace(Text(Msg::CommentPrefix) + std::string(Mid(c.line, 1)) + "!!!");
}

}  // namespace

void ExecuteStatement(LineKind kind, StatementContext& c) {
  if (ClearsMarker(kind)) c.state.declarationMarker = false;
  switch (kind) {
    case LineKind::MisplacedDeclaration: throw Failure(Msg::MisplacedDeclaration);
    case LineKind::DeclareBeg: return DeclareBeg(c);
    case LineKind::New: return New(c);
    case LineKind::DeclareEnd: return DeclareEnd(c);
    case LineKind::Delay: return Delay(c);
    case LineKind::Set: return Set(c);
    case LineKind::While: return While(c);
    case LineKind::EndWhile: return EndWhile(c);
    case LineKind::If: return If(c);
    case LineKind::Then: return Then(c);
    case LineKind::Else: return Else(c);
    case LineKind::EndIf: return EndIf(c);
    case LineKind::RunCommand: return RunCommand(c);
    case LineKind::Oper: return Oper(c);
    case LineKind::Print: return Print(c);
    case LineKind::Comment: return;
    case LineKind::PrintedComment: return PrintedComment(c);
    case LineKind::Command: return;  // command lines are the runner's
  }
}

}  // namespace kovrix::script
