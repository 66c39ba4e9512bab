#pragma once
// Classification of a prepared script line into the kind of statement it is.

#include <string_view>

namespace kovrix::script {

enum class LineKind {
  MisplacedDeclaration,  // DeclareBeg, New or DeclareEnd while the declaration marker is set
  DeclareBeg,
  New,
  DeclareEnd,
  Delay,
  Set,
  While,
  EndWhile,
  If,
  Then,
  Else,
  EndIf,
  RunCommand,
  Oper,
  Print,
  Comment,         // ";"
  PrintedComment,  // "+"
  Command,         // a command line for the device
};

/// Answers the kind of a prepared, non-empty line. The kinds are tried in a fixed order, so
/// ";Print x" is a Print and "%Settings" a Set; declarationMarker is set right after DeclareEnd.
LineKind ClassifyLine(std::string_view line, bool declarationMarker);

/// Answers the keyword of a statement kind ("" for comments and command lines).
std::string_view Keyword(LineKind kind);

/// Answers the text after the statement's keyword: the line without its first character and
/// without the keyword.
std::string_view AfterKeyword(std::string_view line, LineKind kind);

}  // namespace kovrix::script
