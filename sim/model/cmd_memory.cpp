// Memory: the fiscal memory image (clear, read, write) and the data buffer that hands bulk
// data to the host packet by packet.

#include <cstdio>

#include "sim/model/commands.h"
#include "sim/model/error_code.h"
#include "sim/model/fiscal_memory.h"

namespace kovrix::sim {

namespace {

constexpr std::size_t kFlashChunk = 50;
constexpr std::size_t kPacketEscaped = 180;  // escaped bytes per packet, within one reply frame
constexpr std::size_t kPacketBytes = 100;    // decoded bytes per packet, within the host's buffer
constexpr std::size_t kMemorySourceBytes = 4096;

// F0h: password — erases the whole image (only while the registrator is not fiscalised).
std::string ClearFlash(Device& d, const Args&) {
  if (d.s.fiscalised) throw Refusal{err::kNotCleared};
  d.RequireNoDocument();
  d.RequireShiftClosed();
  d.s.flash.assign(d.s.flash.size(), static_cast<char>(0xFF));
  d.s.zNumber = 0;
  return {};
}

std::size_t AddressField(const Device& d, const Args& a, int n) {
  const auto address = a.integer(n, 0, 2147483647);
  if (static_cast<std::size_t>(address) > d.s.flash.size()) throw Refusal{err::kOutOfArea};
  return static_cast<std::size_t>(address);
}

// F1h: password; address -> count (at most 50, fewer at the end of the memory); the bytes in hex.
std::string ReadFlash(Device& d, const Args& a) {
  const std::size_t address = AddressField(d, a, 2);
  const std::string bytes = d.s.flash.substr(address, kFlashChunk);
  // At the end of the memory the count stands alone: an empty second field would join it as "0;;",
  // which the host's field splitting reads as one field "0;".
  if (bytes.empty()) return Join({Num(0)});
  return Join({Num(static_cast<std::int64_t>(bytes.size())), HexBytes(bytes)});
}

// F2h: password; address; count 1..50; 100 hexadecimal characters (the count bytes, then "0"
// padding). Refused once the registrator is fiscalised.
std::string WriteFlash(Device& d, const Args& a) {
  const std::size_t address = AddressField(d, a, 2);
  const auto count = static_cast<std::size_t>(a.integer(3, 1, static_cast<std::int64_t>(kFlashChunk)));
  const std::string& hex = a.text(4);
  const auto bytes = UnhexBytes(hex);
  if (hex.size() != 2 * kFlashChunk || !bytes) throw Refusal{err::FieldFormat(4)};
  if (address + count > d.s.flash.size()) throw Refusal{err::kOutOfArea};
  if (d.s.fiscalised) throw Refusal{err::kWrongMode};
  d.s.flash.replace(address, count, bytes->substr(0, count));
  return {};
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\r\n";
  return out;
}

}  // namespace

// The internal software as an Intel HEX text: 2 KB of code bytes in 32-byte records.
std::string FirmwareImage() {
  std::string out;
  std::uint32_t seed = 0x5EED1234;
  char record[128];
  for (unsigned address = 0; address < 2048; address += 32) {
    unsigned sum = 32 + (address >> 8) + (address & 0xFF);
    int at = std::snprintf(record, sizeof record, ":20%04X00", address);
    for (int i = 0; i < 32; ++i) {
      seed = seed * 1664525u + 1013904223u;
      const unsigned byte = (seed >> 24) & 0xFF;
      sum += byte;
      at += std::snprintf(record + at, sizeof record - static_cast<std::size_t>(at), "%02X", byte);
    }
    std::snprintf(record + at, sizeof record - static_cast<std::size_t>(at), "%02X\r\n", (0x100 - (sum & 0xFF)) & 0xFF);
    out += record;
  }
  return out + ":00000001FF\r\n";
}

namespace {

std::string ZReportText(const Device& d, std::int64_t number) {
  for (const FmRecord& r : ReadFmRecords(d.s.flash)) {
    if (r.type == kFmDailyReport && r.number == number) {
      return Lines({"Z " + std::to_string(r.number), PrintedDateTime(r.time), Money(r.sales), Money(r.returns),
                    std::to_string(r.receipts), std::to_string(r.returnReceipts)});
    }
  }
  return {};
}

// E7h: password; source type; (unused); value -> size in bytes. Sources: 0 daily report by
// number, 1 receipt copy by running number, 2 control tape, 3 fiscal memory from an address
// (4 KB at most), 5 internal software.
std::string SetDataSource(Device& d, const Args& a) {
  const auto type = a.integer(2, 0, 5);
  std::string data;
  switch (type) {
    case 0:
      data = ZReportText(d, a.integer(4, 0, 65535));
      break;
    case 1: {
      const auto number = a.integer(4, 0, 99999999);
      for (const StoredReceipt& c : d.s.copies) {
        if (c.number == number) data = Lines(c.lines);
      }
      break;
    }
    case 2:
      data = Lines(d.s.controlTape);
      break;
    case 3:
      data = d.s.flash.substr(AddressField(d, a, 4), kMemorySourceBytes);
      break;
    case 5:
      data = FirmwareImage();
      break;
    default:
      throw Refusal{err::FieldValue(2)};
  }
  d.s.dataSource = static_cast<int>(type);
  d.s.dataBuffer = data;
  d.s.dataOffset = 0;
  d.s.packetNumber = 0;
  return Join({Num(static_cast<std::int64_t>(data.size()))});
}

// E8h: password -> packet number; escaped data (none at the end). A byte below 20h, ";" or "\"
// goes out as "\" followed by the byte + 40h.
std::string ReadDataFromBuf(Device& d, const Args&) {
  DeviceState& s = d.s;
  if (s.dataSource < 0) throw Refusal{err::kNoSource};
  std::string packet;
  std::size_t taken = 0;
  auto offset = static_cast<std::size_t>(s.dataOffset);
  while (offset < s.dataBuffer.size() && taken < kPacketBytes && packet.size() + 2 <= kPacketEscaped) {
    const auto b = static_cast<std::uint8_t>(s.dataBuffer[offset]);
    if (b < 0x20 || b == ';' || b == '\\') {
      packet += '\\';
      packet += static_cast<char>((b + 0x40) & 0xFF);
    } else {
      packet += static_cast<char>(b);
    }
    ++offset;
    ++taken;
  }
  s.dataOffset = static_cast<std::int64_t>(offset);
  // The end packet carries its number alone, so that the host reads field 1 as the bare number
  // and finds no data field (joined with an empty field it would read "N;;" as one field "N;").
  if (packet.empty()) return Join({Num(s.packetNumber++)});
  return Join({Num(s.packetNumber++), packet});
}

}  // namespace

void AddMemoryCommands(std::vector<CommandEntry>& t) {
  t.push_back({0xF0, Access::Programming, ClearFlash});
  t.push_back({0xF1, Access::Any, ReadFlash});
  t.push_back({0xF2, Access::Programming, WriteFlash});
  t.push_back({0xE7, Access::Any, SetDataSource});
  t.push_back({0xE8, Access::Any, ReadDataFromBuf});
}

}  // namespace kovrix::sim
