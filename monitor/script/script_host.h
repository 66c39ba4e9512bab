#pragma once
// What the script engine needs from the window (or program) that runs it: the device, the
// trace and messages, the monitor's boxes and check boxes, event processing, the stop flag,
// the delay and the variables window. Every text is cp1251.

#include <string>

#include "driver/reply.h"

namespace kovrix::script {

class ScriptHost {
 public:
  virtual ~ScriptHost() = default;

  /// Sends a command with its data text and keeps the reply as the latest reply; answers the
  /// reply record (null counts as no reply).
  virtual const ReplyRecord* execute(int code, const std::string& data) = 0;
  /// Answers the latest reply, whoever sent its command; null before any.
  virtual const ReplyRecord* lastReply() const = 0;

  /// Appends one line to the trace.
  virtual void appendTrace(const std::string& line) = 0;
  /// Shows a message and returns when the user has seen it.
  virtual void showMessage(const std::string& text) = 0;

  /// Puts text into the code box and runs the box's change handling (which decodes the code
  /// only while the password box holds six characters, and may show "Неверный код команды!").
  virtual void setCodeBox(const std::string& text) = 0;
  /// Puts text into the password box; the command code is not touched.
  virtual void setPasswordBox(const std::string& text) = 0;
  /// Puts text into the data box.
  virtual void setDataBox(const std::string& text) = 0;
  /// Answers the password box as it now reads (the window may have cut it to six characters).
  virtual std::string passwordBox() const = 0;
  /// Answers the data box as it now reads.
  virtual std::string dataBox() const = 0;
  /// Answers the command code the code box last decoded.
  virtual int commandCode() const = 0;
  /// Shows a reply's error code in the "Код ошибки:" box.
  virtual void setErrorBox(const std::string& text) = 0;
  /// Shows the status bytes in the "Статус:" box.
  virtual void setStatusBox(const std::string& text) = 0;
  /// Answers the text of the "Ном. стр. скрипта:" box.
  virtual std::string lineNumberBox() const = 0;
  /// Shows the line counter in its box, repaints the box and lets pending events run.
  virtual void setLineNumberBox(const std::string& text) = 0;

  /// "Не выводить данные": no trace lines of successful commands and printed comments.
  virtual bool quiet() const = 0;
  /// "Не перерисовывать форму": no repaint after each command.
  virtual bool noRepaint() const = 0;
  /// Repaints the monitor window.
  virtual void repaint() = 0;
  /// Lets pending user-interface events run (the stop button among them).
  virtual void processEvents() = 0;

  /// Answers whether "Стоп" was pressed since the flag was last cleared.
  virtual bool stopRequested() const = 0;
  /// Clears the stop flag (a run and a continue start with it cleared).
  virtual void clearStopRequest() = 0;

  /// Blocks for ms milliseconds without processing events.
  virtual void sleepMs(int ms) = 0;
  /// Answers a seed for the pseudo-random generator (the current time in a real host).
  virtual unsigned randomSeed() = 0;

  /// The variables window: all rows removed.
  virtual void variablesCleared() = 0;
  /// The variables window: row (counted from 1) shows name and value.
  virtual void variableShown(int row, const std::string& name, const std::string& value) = 0;
};

}  // namespace kovrix::script
