#pragma once
// Every message a script run can show, and the failure that ends a run with one of them.
// Texts are kept here once, as cp1251 bytes, the code page the engine works in.

#include <string>

namespace kovrix::script {

enum class Msg {
  EndOfFile,             // "Конец файла!"
  MisplacedDeclaration,  // DeclareBeg, DeclareEnd or New right after DeclareEnd
  DeclareBegAgain,
  OutsideDeclarations,   // New outside the section; flow statements before it
  MisplacedDeclareEnd,
  SetBeforeSectionEnd,
  DeclarationError,      // Print before the section
  IfBeforeSection,
  SetSyntax,
  SetUnknownVariable,
  IfNoOperator,
  WhileNoOperator,
  BadVariable,
  BadFirstParameter,
  BadSecondParameter,
  BadOperation,
  BadResult,
  Timeout,               // "Ошибка выполнения команды. Таймаут"
  CommandFailed,         // "Ошибка выполнения команды"
  BadCommandCode,        // "Неверный код команды!"
  CommentPrefix,         // "Комментарий:: "
  // Limits and guards this implementation adds.
  TooManyVariables,
  TooManyIfs,
  TooManyWhiles,
  IfTooDeep,
  WhileTooDeep,
  TooManyParameters,
  ThenWithoutIf,
  ElseWithoutIf,
  EndIfWithoutIf,
  EndWhileWithoutWhile,
  ValueTooLong,
  DataTooLong,
  NoScriptFile,
  CannotOpenScript,      // followed by the path
  // Toolkit-style failures of conversions and arithmetic.
  DivisionByZero,
  RangeError,
  FloatOverflow,
};

/// Answers the cp1251 text of a message.
const std::string& Text(Msg msg);

/// A message that ends the run. withLine: the script line as read goes into the trace first.
struct ScriptFailure {
  std::string message;
  bool withLine = false;
  bool timeout = false;
};

/// Answers a failure carrying one of the fixed messages.
ScriptFailure Failure(Msg msg, bool withLine = false);

/// Answers the failure of a text that is not an integer: "'text' is not a valid integer value".
ScriptFailure NotAnInteger(const std::string& text);

/// Answers the failure of a text that is not a number: "'text' is not a valid floating point value".
ScriptFailure NotAFloat(const std::string& text);

}  // namespace kovrix::script
