#pragma once
// The script runner: Run interprets a whole script file; Continue and Step send its command
// lines from the line in the monitor's line number box on, without interpreting statements.

#include <random>
#include <string>

#include "monitor/script/messages.h"
#include "monitor/script/run_state.h"
#include "monitor/script/script_file.h"
#include "monitor/script/script_host.h"

namespace kovrix::script {

enum class RunEnd {
  EndOfFile,   // "Конец файла!" was shown
  Message,     // ended with any other message
  Timeout,     // ended with "Ошибка выполнения команды. Таймаут"
  Stopped,     // the stop flag was set when a command line succeeded
  NotStarted,  // no file chosen, or it cannot be opened (reported)
  Busy,        // another run, step or continue is under way: nothing done
  Done,        // a step executed its line
};

class ScriptRunner {
 public:
  explicit ScriptRunner(ScriptHost& host) : host_(host) {}

  /// Runs the whole file ("Выполнить") with a fresh run state; path is a file-system path.
  RunEnd Run(const std::string& path);
  /// Sends the command lines after the number of lines in the line number box ("Продолжить").
  RunEnd Continue(const std::string& path);
  /// Sends the next command line after that many lines ("Шаг").
  RunEnd Step(const std::string& path);

  /// Answers whether a run, step or continue is under way (the window disables its buttons).
  bool Running() const { return running_; }
  /// Answers the run state: the variables stay readable after a run.
  const RunState& State() const { return state_; }
  /// Empties the variables (a script file was chosen); ignored while running.
  void ClearVariables();
  /// Seeds the pseudo-random generator (the monitor does it when activated).
  void SeedRandom(unsigned seed) { random_.seed(seed); }

 private:
  class Busy;
  bool OpenScript(const std::string& path);
  RunEnd Interpret();
  RunEnd SendCommandLines(bool singleStep);
  void PrintedComment(const std::string& line);
  RunEnd EndOfFile();
  RunEnd Report(const ScriptFailure& failure, const std::string& lineAsRead);
  void Finish();

  ScriptHost& host_;
  ScriptFile file_;
  RunState state_;
  std::mt19937 random_;
  bool running_ = false;
};

}  // namespace kovrix::script
