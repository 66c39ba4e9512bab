#pragma once
// Everything one script run owns: variables, declaration state, If and While blocks keyed by
// the position of their line, the two block stacks and the pending text search.

#include <array>
#include <string>
#include <vector>

namespace kovrix::script {

inline constexpr int kMaxVariables = 100;
inline constexpr int kMaxBlocks = 100;       // If lines, and While lines, a run may meet
inline constexpr int kMaxDepth = 100;        // entries of each block stack
inline constexpr int kMaxParameters = 20;    // parameters of one RunCommand
inline constexpr std::size_t kMaxValueLength = 65536;  // longest text an operation may produce

struct ScriptVariable {
  std::string name;
  std::string value;
};

/// A condition operand: a variable's name, or a number as written.
struct Operand {
  std::string text;
  bool isVariable = false;
};

enum class Comparison { Less, LessOrEqual, Equal, Greater, GreaterOrEqual };

struct Condition {
  Comparison op = Comparison::Equal;
  Operand left;
  Operand right;
};

inline constexpr long kUnknown = -1;  // a position not yet met

struct IfBlock {
  long position = kUnknown;
  long thenPosition = kUnknown;
  long elsePosition = kUnknown;
  int depth = 0;
  Condition condition;
  bool result = false;
};

struct WhileBlock {
  long position = kUnknown;
  long endPosition = kUnknown;
  bool ended = false;
  int depth = 0;
  Condition condition;
  bool result = false;
};

/// A stack of block indices; depth -1 when empty.
struct BlockStack {
  std::array<int, kMaxDepth> entries{};
  int depth = -1;
};

/// Declaration states: nothing yet, section begun, a variable declared, section ended.
enum DeclState { kNoSection = 0, kSectionBegun = 1, kVariableDeclared = 2, kSectionEnded = 3 };

struct RunState {
  std::vector<ScriptVariable> variables;
  std::string prefix;  // given by DeclareBeg, put before every declared name
  int declState = kNoSection;
  bool declarationMarker = false;
  std::vector<IfBlock> ifBlocks;
  std::vector<WhileBlock> whileBlocks;
  BlockStack ifStack;
  BlockStack whileStack;
  std::string searchText;

  /// Answers the index of the first variable with exactly this name, or -1.
  int FindVariable(std::string_view name) const;
  /// Answers the index of the If block of the line at this position, or -1.
  int FindIf(long position) const;
  /// Answers the index of the While block of the line at this position, or -1.
  int FindWhile(long position) const;
  /// Empties everything, as at the start of a run.
  void Reset();
};

}  // namespace kovrix::script
