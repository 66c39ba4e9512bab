#include "monitor/script/command_line.h"

#include <string>

#include "monitor/script/messages.h"
#include "monitor/script/monitor_boxes.h"
#include "monitor/script/script_text.h"

namespace kovrix::script {

CommandOutcome ExecuteCommandLine(ScriptHost& host, std::string_view line) {
  // The code box first: its change handling decodes with the password box as it was before
  // this line, so a short password part leaves the previous code in force.
  host.setCodeBox(std::string(Mid(line, 0, 2)));
  host.setPasswordBox(std::string(Mid(line, 2, 6)));
  host.setDataBox(std::string(Mid(line, 9)));
  host.processEvents();
  if (line.size() < 9) throw Failure(Msg::RangeError);

  const std::string data = host.passwordBox() + line[8] + host.dataBox();
  if (data.size() > kMaxFrameData) throw Failure(Msg::DataTooLong, true);
  const ReplyRecord* reply = host.execute(host.commandCode(), data);
  if (!reply || (reply->status & ST_NO_REPLY)) throw Failure(Msg::Timeout);

  // The error code as it stands in the received frame, right after CMD.
  const std::string error(Mid(reply->rawReply, 4, 4));
  const std::string status = StatusBoxText(reply->statusBytes);
  if (error != "0000") {
    host.setErrorBox(error);
    host.setStatusBox(status);
    throw Failure(Msg::CommandFailed);
  }
  if (!host.quiet()) {
    host.appendTrace("PC: " + std::string(Mid(reply->sentFrame, 1)));
    host.appendTrace("FP: " + std::string(Mid(reply->rawReply, 1)));
    host.setErrorBox(error);
    host.setStatusBox(status);
  }
  host.processEvents();
  if (host.stopRequested()) return CommandOutcome::Stopped;
  if (!host.noRepaint()) host.repaint();
  return CommandOutcome::Done;
}

}  // namespace kovrix::script
