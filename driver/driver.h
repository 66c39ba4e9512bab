#pragma once
// The driver's plain-function API over the registrator link of the process.
// Every function forwards to one Link instance; tests may replace its transport. A thread that
// serves a registrator of its own (the service serves several at once) binds that registrator's
// link and session log for a while; every other thread keeps the process's link.

#include <memory>
#include <string>

#include "driver/link.h"
#include "driver/reply.h"

namespace kovrix {

/// Answers a new link over the driver's default line, as the process's link has, writing its
/// session log to `log` (which must outlive it): the link of a registrator served on its own.
std::unique_ptr<Link> MakeLink(SessionLog& log);

/// Answers the link bound to the calling thread, else the process's link.
Link& TheLink();
/// Replaces the process's link's transport and resets that link to its start-up state (used by tests
/// and the simulator); a bound link is left as it is.
void UseSerialLine(std::unique_ptr<SerialLine> line);

/// Sets who is told about the process's link's exchanges (kept when the transport is replaced);
/// null: nobody. The watcher is the window's: a bound link never gets it.
void SetExchangeWatcher(ExchangeWatcher* watcher);

/// While it lives, makes TheLink(), every function below and the log functions answer the given
/// link and session log on the thread that made it; the binding before it (or none) returns when it
/// ends. Bindings nest, and end in the reverse order on the same thread. The link and the log
/// must outlive the binding; the caller keeps any other thread off them meanwhile.
class LinkBinding {
 public:
  LinkBinding(Link& link, SessionLog& log);
  ~LinkBinding();
  LinkBinding(const LinkBinding&) = delete;
  LinkBinding& operator=(const LinkBinding&) = delete;

 private:
  Link* previousLink_;
  SessionLog* previousLog_;
};

/// Opens the port (name such as ttyUSB0, or a path); answers 0, or -1 when it cannot be opened.
int OpenComPort(const std::string& port, int baud);
/// Closes the port; answers whether closing succeeded.
bool CloseComPort();
/// One exchange without repeats; -1 when nothing was sent.
int SendFrame(int command, const std::string& data);
/// Sends a command with a ready-made data text (cp1251), with repeats; answers the reply record.
const ReplyRecord* ExecuteCommand(int command, const std::string& data);
/// Sends the last frame again; -1 when nothing was sent.
int ResendLast(bool keepSequence);
/// Executes the last command again; null when the link is not ready.
const ReplyRecord* RepeatCommand(bool keepSequence);
void SetRepeatCount(int count);
/// Answers the number of 2-second repeats since the port was opened.
int GetRepeatCount();
/// Tells the link whether the open port is the registrator's USB virtual COM port.
void SetUsbLinkActive(bool active);
bool UsbLinkActive();
/// Answers the latest reply record.
const ReplyRecord* LatestRecord();

/// Sets the session log file name (cp1251 or plain ASCII); empty switches the log off.
void SetLogFileName(const std::string& name);
/// Appends a log entry: empty tag = session start, empty text = session end, else an exchange entry.
void WriteLog(const std::string& tag, const std::string& text);

}  // namespace kovrix
