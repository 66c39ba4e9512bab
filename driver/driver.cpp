#include "driver/driver.h"

namespace kovrix {
namespace {

// What the calling thread has bound; null: the process's own.
thread_local Link* boundLink = nullptr;
thread_local SessionLog* boundLog = nullptr;

SessionLog& ProcessLog() {
  static SessionLog log;
  return log;
}

SessionLog& TheLog() { return boundLog ? *boundLog : ProcessLog(); }

ExchangeWatcher*& WatcherSlot() {
  static ExchangeWatcher* watcher = nullptr;
  return watcher;
}

std::unique_ptr<Link>& LinkSlot() {
  static std::unique_ptr<Link> link = [] {
    auto made = MakeLink(ProcessLog());
    made->SetExchangeWatcher(WatcherSlot());
    return made;
  }();
  return link;
}

}  // namespace

// The one place that says which line a link runs on: the process's link and every registrator's.
std::unique_ptr<Link> MakeLink(SessionLog& log) { return std::make_unique<Link>(MakeSerialLine(), &log); }

Link& TheLink() { return boundLink ? *boundLink : *LinkSlot(); }

void UseSerialLine(std::unique_ptr<SerialLine> line) {
  LinkSlot() = std::make_unique<Link>(std::move(line), &ProcessLog());
  LinkSlot()->SetExchangeWatcher(WatcherSlot());
}

// The watcher keeps the window painting while the window's own exchange runs: it belongs to the
// process's link alone, whichever thread sets it.
void SetExchangeWatcher(ExchangeWatcher* watcher) {
  WatcherSlot() = watcher;
  LinkSlot()->SetExchangeWatcher(watcher);
}

LinkBinding::LinkBinding(Link& link, SessionLog& log) : previousLink_(boundLink), previousLog_(boundLog) {
  boundLink = &link;
  boundLog = &log;
}

LinkBinding::~LinkBinding() {
  boundLink = previousLink_;
  boundLog = previousLog_;
}

int OpenComPort(const std::string& port, int baud) { return TheLink().OpenComPort(port, baud); }
bool CloseComPort() { return TheLink().CloseComPort(); }
int SendFrame(int command, const std::string& data) { return TheLink().SendFrame(command, data); }
const ReplyRecord* ExecuteCommand(int command, const std::string& data) {
  return TheLink().ExecuteCommand(command, data);
}
int ResendLast(bool keepSequence) { return TheLink().ResendLast(keepSequence); }
const ReplyRecord* RepeatCommand(bool keepSequence) { return TheLink().RepeatCommand(keepSequence); }
void SetRepeatCount(int count) { TheLink().SetRepeatCount(count); }
int GetRepeatCount() { return TheLink().GetRepeatCount(); }
void SetUsbLinkActive(bool active) { TheLink().SetUsbLinkActive(active); }
bool UsbLinkActive() { return TheLink().UsbLinkActive(); }
const ReplyRecord* LatestRecord() { return &TheLink().Record(); }
void SetLogFileName(const std::string& name) { TheLog().SetLogFileName(name); }
void WriteLog(const std::string& tag, const std::string& text) { TheLog().WriteLog(tag, text); }

}  // namespace kovrix
