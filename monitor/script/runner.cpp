#include "monitor/script/runner.h"

#include "driver/codepage.h"
#include "monitor/script/command_line.h"
#include "monitor/script/interpreter.h"
#include "monitor/script/line_kind.h"
#include "monitor/script/script_text.h"

namespace kovrix::script {

// Marks the runner busy for one operation; events processed during it may try to start another.
class ScriptRunner::Busy {
 public:
  explicit Busy(bool& flag) : flag_(flag) { flag_ = true; }
  ~Busy() { flag_ = false; }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;

 private:
  bool& flag_;
};

RunEnd ScriptRunner::Run(const std::string& path) {
  if (running_) return RunEnd::Busy;
  Busy busy(running_);
  random_.seed(host_.randomSeed());
  host_.clearStopRequest();
  if (!OpenScript(path)) return RunEnd::NotStarted;
  state_.Reset();
  host_.variablesCleared();
  const RunEnd end = Interpret();
  Finish();
  return end;
}

RunEnd ScriptRunner::Continue(const std::string& path) {
  if (running_) return RunEnd::Busy;
  Busy busy(running_);
  host_.clearStopRequest();
  if (!OpenScript(path)) return RunEnd::NotStarted;
  const RunEnd end = SendCommandLines(false);
  Finish();
  return end;
}

RunEnd ScriptRunner::Step(const std::string& path) {
  if (running_) return RunEnd::Busy;
  Busy busy(running_);
  if (!OpenScript(path)) return RunEnd::NotStarted;
  const RunEnd end = SendCommandLines(true);
  if (end == RunEnd::Done && !host_.noRepaint()) host_.repaint();
  file_.Close();
  return end;
}

void ScriptRunner::ClearVariables() {
  if (running_) return;
  state_.variables.clear();
  host_.variablesCleared();
}

bool ScriptRunner::OpenScript(const std::string& path) {
  if (path.empty()) {
    host_.showMessage(Text(Msg::NoScriptFile));
    return false;
  }
  if (!file_.Open(path)) {
    host_.showMessage(Text(Msg::CannotOpenScript) + Utf8ToCp1251(path));
    return false;
  }
  return true;
}

RunEnd ScriptRunner::Interpret() {
  long counter = 0;
  std::string raw;
  try {
    for (;;) {
      long position = file_.Tell();
      if (!state_.searchText.empty()) {
        // Lines passed over by the search are not counted.
        file_.SearchFor(state_.searchText);
        position = file_.Tell();
        state_.searchText.clear();
      }
      const bool read = file_.ReadPiece(raw);
      host_.setLineNumberBox(IntText(++counter));
      if (!read) return EndOfFile();
      const std::string line = PrepareLine(raw);
      if (line.empty()) continue;
      const LineKind kind = ClassifyLine(line, state_.declarationMarker);
      if (kind == LineKind::Command) {
        if (ExecuteCommandLine(host_, line) == CommandOutcome::Stopped) return RunEnd::Stopped;
        continue;
      }
      StatementContext context{host_, state_, random_, line, position};
      ExecuteStatement(kind, context);
      if (context.stopped) return RunEnd::Stopped;
      if (context.jumpTo != kUnknown) file_.Seek(context.jumpTo);
    }
  } catch (const ScriptFailure& failure) {
    return Report(failure, TrimTrailingControl(raw));
  }
}

RunEnd ScriptRunner::SendCommandLines(bool singleStep) {
  std::string raw;
  try {
    long counter = ToInt(Trim(host_.lineNumberBox()));
    file_.Skip(counter);
    for (;;) {
      const bool read = file_.ReadPiece(raw);
      host_.setLineNumberBox(IntText(++counter));
      if (!read) return EndOfFile();
      const std::string line = TrimTrailingControl(raw);
      // Lines that are empty after trimming are passed over, as a run does.
      if (PrepareLine(line).empty()) continue;
      if (line.front() == '+')
        PrintedComment(line);
      else if (line.front() != ';' && ExecuteCommandLine(host_, line) == CommandOutcome::Stopped)
        return RunEnd::Stopped;
      if (singleStep) return RunEnd::Done;
    }
  } catch (const ScriptFailure& failure) {
    return Report(failure, TrimTrailingControl(raw));
  }
}

void ScriptRunner::PrintedComment(const std::string& line) {
  if (!host_.quiet()) host_.appendTrace(Text(Msg::CommentPrefix) + line.substr(1) + "!!!");
}

RunEnd ScriptRunner::EndOfFile() {
  host_.showMessage(Text(Msg::EndOfFile));
  host_.setLineNumberBox("0");
  return RunEnd::EndOfFile;
}

RunEnd ScriptRunner::Report(const ScriptFailure& failure, const std::string& lineAsRead) {
  if (failure.withLine) host_.appendTrace(lineAsRead);
  host_.showMessage(failure.message);
  return failure.timeout ? RunEnd::Timeout : RunEnd::Message;
}

void ScriptRunner::Finish() {
  if (!host_.noRepaint()) host_.repaint();
  file_.Close();
}

}  // namespace kovrix::script
