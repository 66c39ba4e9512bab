#include "driver/frame.h"

namespace kovrix {

std::uint8_t SeqByte(std::uint8_t counter) { return static_cast<std::uint8_t>(counter % 95 + 0x20); }

std::uint32_t ByteSum(std::string_view bytes) {
  std::uint32_t sum = 0;
  for (char c : bytes) sum += static_cast<std::uint8_t>(c);
  return sum;
}

std::string EncodeBcc(std::uint32_t sum) {
  std::string out(4, '0');
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>(0x30 + ((sum >> (12 - 4 * i)) & 0x0F));
  return out;
}

std::string BuildRequestFrame(std::uint8_t seq, std::uint8_t command, std::string_view data) {
  std::string frame;
  frame.reserve(data.size() + 10);
  frame += static_cast<char>(kSOH);
  frame += static_cast<char>(0x20 + data.size() + 4);
  frame += static_cast<char>(seq);
  frame += static_cast<char>(command);
  frame.append(data);
  frame += static_cast<char>(kEndMark);
  frame += EncodeBcc(ByteSum(std::string_view(frame).substr(1)));
  frame += static_cast<char>(kETX);
  return frame;
}

std::string BuildReplyFrame(std::uint8_t seq, std::uint8_t command, std::string_view errorField,
                            std::string_view data, const StatusBytes& status) {
  if (data.size() > kMaxReplyData) data = data.substr(0, kMaxReplyData);
  std::string frame;
  frame.reserve(data.size() + errorField.size() + 20);
  frame += static_cast<char>(kSOH);
  frame += static_cast<char>(0x30 + data.size());
  frame += static_cast<char>(seq);
  frame += static_cast<char>(command);
  frame.append(errorField);
  frame += ';';
  frame.append(data);
  frame += static_cast<char>(kStatusSeparator);
  for (std::uint8_t b : status) frame += static_cast<char>(b | 0x80);
  frame += static_cast<char>(kEndMark);
  frame += EncodeBcc(ByteSum(std::string_view(frame).substr(1)));
  frame += static_cast<char>(kETX);
  return frame;
}

}  // namespace kovrix
