#include "monitor/script/line_kind.h"
#include "monitor/script/messages.h"
#include "monitor/script/operands.h"
#include "monitor/script/script_text.h"
#include "monitor/script/statements.h"

namespace kovrix::script {
namespace {

bool InSection(int declState) { return declState == kSectionBegun || declState == kVariableDeclared; }

void Trace(StatementContext& c, const std::string& name, const std::string& value) {
  c.host.appendTrace(";" + name + "=" + value);
}

}  // namespace

void RequireDeclarations(const StatementContext& c) {
  if (c.state.declState < kVariableDeclared) throw Failure(Msg::OutsideDeclarations);
}

// DeclareBeg -> "%DeclareBeg" [prefix]
void DeclareBeg(StatementContext& c) {
  if (c.state.declState != kNoSection) throw Failure(Msg::DeclareBegAgain);
  c.state.prefix = Trim(AfterKeyword(c.line, LineKind::DeclareBeg));
  c.state.declState = kSectionBegun;
}

// New -> "%New" name
void New(StatementContext& c) {
  if (!InSection(c.state.declState)) throw Failure(Msg::OutsideDeclarations);
  if (c.state.variables.size() >= static_cast<std::size_t>(kMaxVariables)) throw Failure(Msg::TooManyVariables);
  // Duplicates are accepted: lookups take the first entry, so a later twin is never found.
  c.state.variables.push_back({c.state.prefix + Trim(AfterKeyword(c.line, LineKind::New)), ""});
  c.host.variableShown(static_cast<int>(c.state.variables.size()), c.state.variables.back().name, "");
  c.state.declState = kVariableDeclared;
}

// DeclareEnd -> "%DeclareEnd" [ignored text]
void DeclareEnd(StatementContext& c) {
  if (!InSection(c.state.declState)) throw Failure(Msg::MisplacedDeclareEnd);
  c.state.declState = kSectionEnded;
  c.state.declarationMarker = true;
}

// Delay -> "%Delay" separator milliseconds
void Delay(StatementContext& c) {
  // The count starts at the eighth character whatever the separator is.
  const std::int32_t ms = ToInt(Trim(Mid(c.line, 7)));
  if (ms > 0) c.host.sleepMs(ms);
}

// Set -> "%Set" separator name "=" ( '"' text '"' | "%Ret" n | variable )
void Set(StatementContext& c) {
  if (c.state.declState != kSectionEnded) throw Failure(Msg::SetBeforeSectionEnd);
  const std::string_view rest = Mid(c.line, 1);
  const std::size_t equals = rest.find('=');
  if (equals == std::string_view::npos || rest.find('=', equals + 1) != std::string_view::npos)
    throw Failure(Msg::SetSyntax);
  // The name starts after "Set" and one separator character.
  const std::string name = equals > 4 ? Trim(rest.substr(4, equals - 4)) : std::string();
  const int index = c.state.FindVariable(name);
  if (index < 0) throw Failure(Msg::SetUnknownVariable);
  const std::string valueText = Trim(rest.substr(equals + 1));
  if (valueText.empty()) throw Failure(Msg::RangeError);

  std::string value;
  if (IsQuoted(valueText)) {
    value = std::string(Unquote(valueText));
  } else if (IsReplyReference(valueText)) {
    value = ReplyField(c.host, valueText);
  } else if (const int source = c.state.FindVariable(valueText); source >= 0) {
    value = c.state.variables[static_cast<std::size_t>(source)].value;
  } else {
    return;  // an unquoted number or an unknown name assigns nothing, silently
  }
  ScriptVariable& target = c.state.variables[static_cast<std::size_t>(index)];
  target.value = std::move(value);
  c.host.variableShown(index + 1, target.name, target.value);
}

// Print -> "%Print" ( variable | "%Ret" n )
void Print(StatementContext& c) {
  if (c.state.declState < kVariableDeclared) throw Failure(Msg::DeclarationError);
  const std::string what = Trim(AfterKeyword(c.line, LineKind::Print));
  if (IsReplyReference(what)) Trace(c, what, ReplyField(c.host, what));
  // Every variable of that name is printed, duplicates included.
  for (const ScriptVariable& v : c.state.variables)
    if (v.name == what) Trace(c, v.name, v.value);
  c.state.declState = kSectionEnded;
}

}  // namespace kovrix::script
