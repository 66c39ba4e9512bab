#include "monitor/script/headless_host.h"

#include <chrono>
#include <ctime>
#include <thread>

#include "monitor/script/messages.h"

namespace kovrix::script {

void HeadlessHost::setCodeBox(const std::string& text) {
  if (!boxes.SetCode(text)) showMessage(Text(Msg::BadCommandCode));
}

void HeadlessHost::sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

unsigned HeadlessHost::randomSeed() { return static_cast<unsigned>(std::time(nullptr)); }

}  // namespace kovrix::script
