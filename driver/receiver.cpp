#include "driver/receiver.h"

namespace kovrix {

void ReceiveMachine::BeginExchange() {
  data_.clear();
  status_.fill(0);
  synCount_ = 0;
  ready_ = false;
  nakReceived_ = false;
  rawIndex_ = 0;
}

void ReceiveMachine::DropFrame() {
  data_.clear();
  status_.fill(0);
  ready_ = false;
  frameComplete_ = false;
  nakReceived_ = false;
  rawIndex_ = 0;
  raw_[0] = '\0';
}

void ReceiveMachine::Feed(std::uint8_t byte) {
  if (byte == kSYN) {
    ++synCount_;
  } else if (rawIndex_ < kRawCapacity) {
    // The copy stays NUL-terminated after every byte; bytes past its capacity are not kept.
    raw_[rawIndex_++] = static_cast<char>(byte);
    raw_[rawIndex_] = '\0';
  }

  if (byte >= 0x20) {
    Handle(byte);
  } else if (byte == kSOH) {
    state_ = 0;
    Handle(byte);
  } else if (byte == kETX) {
    state_ = 10;
    Handle(byte);
  } else if (byte == kNAK) {
    state_ = 0;
    nakReceived_ = true;
    ready_ = true;
  } else {
    Handle(byte);
  }
}

void ReceiveMachine::Handle(std::uint8_t byte) {
  switch (state_) {
    case 0:
      if (byte == kSOH) {
        runningSum_ = 0;
        state_ = 1;
      }
      break;
    case 1:
      if (byte < 0x30) {
        state_ = 0;
      } else {
        dataLength_ = byte - 0x30u;
        runningSum_ += byte;
        state_ = 2;
      }
      break;
    case 2:
      if (byte < 0x20) {
        state_ = 0;
      } else {
        rxSeqByte_ = byte;
        runningSum_ += byte;
        state_ = 3;
      }
      break;
    case 3:
      rxCommand_ = byte;
      runningSum_ += byte;
      collectIndex_ = 0;
      data_.clear();
      errorField_.clear();
      state_ = 4;
      break;
    case 4:
      runningSum_ += byte;
      if (byte == ';') {
        state_ = dataLength_ > 0 ? 5 : 6;
      } else if (errorField_.size() < kErrorFieldCapacity) {
        errorField_ += static_cast<char>(byte);
      }
      break;
    case 5:
      if (data_.size() < dataLength_) {
        data_ += static_cast<char>(byte);
        runningSum_ += byte;
      }
      if (data_.size() >= dataLength_) state_ = 6;
      break;
    case 6:
      if (byte == kStatusSeparator) {
        collectIndex_ = 0;
        runningSum_ += byte;
        state_ = 7;
      } else {
        state_ = 0;
      }
      break;
    case 7:
      if (collectIndex_ < status_.size()) {
        status_[collectIndex_++] = byte;
        runningSum_ += byte;
      }
      if (collectIndex_ >= status_.size()) state_ = 8;
      break;
    case 8:
      if (byte == kEndMark) {
        collectIndex_ = 0;
        receivedBcc_ = 0;
        runningSum_ += byte;
        state_ = 9;
      } else {
        state_ = 0;
      }
      break;
    case 9:
      receivedBcc_ = receivedBcc_ * 16 + (static_cast<std::uint32_t>(byte) - 0x30u);
      if (++collectIndex_ >= 4) state_ = 10;
      break;
    default:  // 10: the end of the frame
      state_ = 0;
      frameComplete_ = true;
      if (byte == kETX) ready_ = true;
      break;
  }
}

ReceivedFrame ReceiveMachine::Collected() const {
  ReceivedFrame f;
  f.endedProperly = ready_;
  f.nakReceived = nakReceived_;
  f.runningSum = runningSum_;
  f.receivedBcc = receivedBcc_;
  f.errorField = errorField_;
  f.data = data_;
  f.statusBytes = status_;
  return f;
}

std::string ReceiveMachine::rawReply() const { return std::string(raw_); }

}  // namespace kovrix
