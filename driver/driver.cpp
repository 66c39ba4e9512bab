#include "driver/driver.h"

namespace kovrix {
namespace {

SessionLog& TheLog() {
  static SessionLog log;
  return log;
}

ExchangeWatcher*& WatcherSlot() {
  static ExchangeWatcher* watcher = nullptr;
  return watcher;
}

std::unique_ptr<Link>& LinkSlot() {
  static std::unique_ptr<Link> link = [] {
    auto made = std::make_unique<Link>(MakeSerialLine(), &TheLog());
    made->SetExchangeWatcher(WatcherSlot());
    return made;
  }();
  return link;
}

}  // namespace

Link& TheLink() { return *LinkSlot(); }

void UseSerialLine(std::unique_ptr<SerialLine> line) {
  LinkSlot() = std::make_unique<Link>(std::move(line), &TheLog());
  LinkSlot()->SetExchangeWatcher(WatcherSlot());
}

void SetExchangeWatcher(ExchangeWatcher* watcher) {
  WatcherSlot() = watcher;
  TheLink().SetExchangeWatcher(watcher);
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
