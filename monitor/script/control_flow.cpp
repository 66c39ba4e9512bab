#include "monitor/script/conditions.h"
#include "monitor/script/line_kind.h"
#include "monitor/script/messages.h"
#include "monitor/script/statements.h"

namespace kovrix::script {
namespace {

// Pushes a block index one level deeper; the stacks hold kMaxDepth entries.
void Push(BlockStack& stack, int index, Msg tooDeep) {
  if (stack.depth + 1 >= kMaxDepth) throw Failure(tooDeep, true);
  ++stack.depth;
  stack.entries[static_cast<std::size_t>(stack.depth)] = index;
}

int Top(const BlockStack& stack, Msg empty) {
  if (stack.depth < 0) throw Failure(empty, true);
  return stack.entries[static_cast<std::size_t>(stack.depth)];
}

IfBlock& TopIf(StatementContext& c, Msg empty) {
  return c.state.ifBlocks[static_cast<std::size_t>(Top(c.state.ifStack, empty))];
}

WhileBlock& TopWhile(StatementContext& c) {
  return c.state.whileBlocks[static_cast<std::size_t>(Top(c.state.whileStack, Msg::EndWhileWithoutWhile))];
}

}  // namespace

// If -> "%If" "(" left operator right ")"
void If(StatementContext& c) {
  if (c.state.declState < kVariableDeclared) throw Failure(Msg::IfBeforeSection);
  RunState& s = c.state;
  int index = s.FindIf(c.position);
  if (index < 0) {
    if (s.ifBlocks.size() >= static_cast<std::size_t>(kMaxBlocks)) throw Failure(Msg::TooManyIfs, true);
    index = static_cast<int>(s.ifBlocks.size());
    Push(s.ifStack, index, Msg::IfTooDeep);
    IfBlock block;
    block.position = c.position;
    block.depth = s.ifStack.depth;
    block.condition = ParseCondition(s, AfterKeyword(c.line, LineKind::If), Msg::IfNoOperator);
    s.ifBlocks.push_back(block);
  } else {
    // Met again: its condition is kept, and it is open again at the depth it was made at.
    const IfBlock& block = s.ifBlocks[static_cast<std::size_t>(index)];
    s.ifStack.depth = block.depth;
    s.ifStack.entries[static_cast<std::size_t>(block.depth)] = index;
  }
  IfBlock& block = s.ifBlocks[static_cast<std::size_t>(index)];
  block.result = Evaluate(s, block.condition);
  if (block.result) {
    if (block.thenPosition != kUnknown) c.jumpTo = block.thenPosition;
  } else if (block.elsePosition != kUnknown) {
    c.jumpTo = block.elsePosition;
  } else {
    // Textual search: the next line holding "%Else" anywhere, whichever If it belongs to.
    s.searchText = "%Else";
  }
}

// Then -> "%Then" [ignored text]
void Then(StatementContext& c) {
  RequireDeclarations(c);
  IfBlock& block = TopIf(c, Msg::ThenWithoutIf);
  if (block.thenPosition == kUnknown) block.thenPosition = c.position;
  if (!block.result) c.state.searchText = "%Else";
}

// Else -> "%Else" [ignored text]
void Else(StatementContext& c) {
  RequireDeclarations(c);
  IfBlock& block = TopIf(c, Msg::ElseWithoutIf);
  if (block.elsePosition == kUnknown) block.elsePosition = c.position;
  if (block.result) c.state.searchText = "%EndIf";
}

// EndIf -> "%EndIf" [ignored text]
void EndIf(StatementContext& c) {
  RequireDeclarations(c);
  Top(c.state.ifStack, Msg::EndIfWithoutIf);
  --c.state.ifStack.depth;
}

// While -> "%While" "(" left operator right ")"
void While(StatementContext& c) {
  RequireDeclarations(c);
  RunState& s = c.state;
  int index = s.FindWhile(c.position);
  if (index < 0) {
    if (s.whileBlocks.size() >= static_cast<std::size_t>(kMaxBlocks)) throw Failure(Msg::TooManyWhiles, true);
    index = static_cast<int>(s.whileBlocks.size());
    Push(s.whileStack, index, Msg::WhileTooDeep);
    WhileBlock block;
    block.position = c.position;
    block.depth = s.whileStack.depth;
    block.condition = ParseCondition(s, AfterKeyword(c.line, LineKind::While), Msg::WhileNoOperator);
    s.whileBlocks.push_back(block);
  } else if (s.whileBlocks[static_cast<std::size_t>(index)].ended) {
    // A loop left before and met again (inside an outer loop) opens anew; coming back from
    // its own EndWhile it is still open.
    Push(s.whileStack, index, Msg::WhileTooDeep);
  }
  WhileBlock& block = s.whileBlocks[static_cast<std::size_t>(index)];
  block.result = Evaluate(s, block.condition);
  // The first time, the EndWhile is not known yet, so a false loop runs its body once.
  if (!block.result && block.endPosition != kUnknown) c.jumpTo = block.endPosition;
}

// EndWhile -> "%EndWhile" [ignored text]
void EndWhile(StatementContext& c) {
  RequireDeclarations(c);
  WhileBlock& block = TopWhile(c);
  if (block.endPosition == kUnknown) block.endPosition = c.position;
  if (block.result) {
    block.ended = false;
    c.jumpTo = block.position;
  } else {
    block.ended = true;
    --c.state.whileStack.depth;
  }
}

}  // namespace kovrix::script
