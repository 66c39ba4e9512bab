#include "sim/request_parser.h"

#include "driver/frame.h"

namespace kovrix::sim {

namespace {
constexpr std::size_t kMinLen = 0x24;  // LEN of a frame without data
}  // namespace

void RequestParser::Feed(std::string_view bytes, std::vector<RequestFrame>& out) {
  buffer_.append(bytes);
  while (true) {
    const std::size_t soh = buffer_.find(static_cast<char>(kSOH));
    if (soh == std::string::npos) {
      buffer_.clear();
      return;
    }
    buffer_.erase(0, soh);
    if (buffer_.size() < 2) return;
    const auto len = static_cast<std::uint8_t>(buffer_[1]);
    if (len < kMinLen) {
      buffer_.erase(0, 1);
      continue;
    }
    const std::size_t total = len - kMinLen + 10;
    if (buffer_.size() < total) return;
    if (static_cast<std::uint8_t>(buffer_[total - 1]) != kETX || static_cast<std::uint8_t>(buffer_[total - 6]) != kEndMark) {
      buffer_.erase(0, 1);
      continue;
    }
    RequestFrame frame;
    frame.seq = static_cast<std::uint8_t>(buffer_[2]);
    frame.command = static_cast<std::uint8_t>(buffer_[3]);
    frame.data = buffer_.substr(4, total - 10);
    frame.size = total;
    const std::string_view summed = std::string_view(buffer_).substr(1, total - 6);
    frame.checksumOk = EncodeBcc(ByteSum(summed)) == std::string_view(buffer_).substr(total - 5, 4);
    out.push_back(std::move(frame));
    buffer_.erase(0, total);
  }
}

}  // namespace kovrix::sim
