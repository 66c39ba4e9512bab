#pragma once
// Reading bulk data out of the registrator: the host selects a data source, the registrator
// prepares the data in a buffer and reports its size, and the host drains the buffer packet by
// packet into a file. One procedure for every caller; the caller brings its stop test and its
// progress display.

#include <QString>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "driver/reply.h"

namespace kovrix {

class UiServices;
struct ConnectionState;

/// The most bytes one packet may decode to.
inline constexpr std::size_t kPacketBufferSize = 200;

/// Answers the bytes of a packet's escaped data field ("\" followed by c stands for c - 40h,
/// modulo 256), or nothing when the field decodes to more than kPacketBufferSize bytes or ends
/// in a lone "\".
std::optional<std::string> DecodePacket(std::string_view field);

/// How a reading ended.
enum class DataBufferOutcome {
  Complete,       // the empty end packet came; the file holds every byte
  NoData,         // the source reported 0 bytes; no file was created (the caller reports it)
  Stopped,        // the caller's stop test asked to stop; the file is partial (the caller reports it)
  NotSent,        // a command could not be sent; reported
  SourceFailed,   // the data source was refused or its size is not a number; reported, no file
  FileFailed,     // the file could not be created or written; reported
  ReadFailed,     // a packet was refused or did not come; reported, the file is partial
  OutOfSequence,  // a packet out of sequence; reported, the file is partial
  Malformed,      // a packet too long or ending in a lone escape; reported, the file is partial
};

/// One reading: the source, the file, and the caller's points in the procedure.
struct DataBufferReading {
  std::string password;  // cp1251, sent as it stands (empty sends an empty text)
  int sourceType = 0;
  int argument = 0;
  QString fileName;
  std::function<void(const ReplyRecord&)> onReply;  // after every reply (the error-code box)
  std::function<void(long long)> onSize;            // the size the source reported, before any packet
  std::function<bool()> stopRequested;              // before every packet; true ends the reading
  std::function<void(int)> onPacket;                // the decoded bytes of each packet written
};

/// Reads the selected source into the file; shows every failure's message itself and answers
/// how the reading ended. A file created before a failure or a stop is left with what was read.
DataBufferOutcome ReadDataBuffer(UiServices& ui, ConnectionState& state, const DataBufferReading& reading);

}  // namespace kovrix
