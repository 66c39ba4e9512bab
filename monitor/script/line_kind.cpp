#include "monitor/script/line_kind.h"

#include <array>
#include <utility>

namespace kovrix::script {
namespace {

struct KindRule {
  LineKind kind;
  std::string_view keyword;
  bool needsPercent;  // only "%" lines: the declarations, Delay and Set
};

// Statements are tried before the comment kinds, so ";Print x" and "+Oper(...)" are statements;
// a keyword is only a prefix of the rest, so "%Settings" is a Set.
constexpr std::array<KindRule, 14> kRules = {{
    {LineKind::DeclareBeg, "DeclareBeg", true},
    {LineKind::New, "New", true},
    {LineKind::DeclareEnd, "DeclareEnd", true},
    {LineKind::Delay, "Delay", true},
    {LineKind::Set, "Set", true},
    {LineKind::While, "While", false},
    {LineKind::EndWhile, "EndWhile", false},
    {LineKind::If, "If", false},
    {LineKind::Then, "Then", false},
    {LineKind::Else, "Else", false},
    {LineKind::EndIf, "EndIf", false},
    {LineKind::RunCommand, "RunCommand", false},
    {LineKind::Oper, "Oper", false},
    {LineKind::Print, "Print", false},
}};

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

}  // namespace

LineKind ClassifyLine(std::string_view line, bool declarationMarker) {
  if (line.empty()) return LineKind::Command;
  const bool percent = line.front() == '%';
  const std::string_view rest = line.substr(1);
  if (percent && declarationMarker &&
      (StartsWith(rest, "DeclareBeg") || StartsWith(rest, "DeclareEnd") || StartsWith(rest, "New")))
    return LineKind::MisplacedDeclaration;
  for (const KindRule& rule : kRules) {
    if (rule.needsPercent && !percent) continue;
    if (StartsWith(rest, rule.keyword)) return rule.kind;
  }
  if (line.front() == ';') return LineKind::Comment;
  if (line.front() == '+') return LineKind::PrintedComment;
  return LineKind::Command;
}

std::string_view Keyword(LineKind kind) {
  for (const KindRule& rule : kRules)
    if (rule.kind == kind) return rule.keyword;
  return {};
}

std::string_view AfterKeyword(std::string_view line, LineKind kind) {
  const std::size_t skip = 1 + Keyword(kind).size();
  return skip >= line.size() ? std::string_view{} : line.substr(skip);
}

}  // namespace kovrix::script
