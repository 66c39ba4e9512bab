#include "sim/model/fiscal_memory.h"

#include <algorithm>

namespace kovrix::sim {

namespace {

constexpr DeviceTime kEpoch2000 = 946684800;  // 2000-01-01 00:00 as naive seconds

void PutText(std::string& flash, std::size_t at, std::size_t width, const std::string& text) {
  for (std::size_t i = 0; i < width; ++i) flash[at + i] = i < text.size() ? text[i] : ' ';
}

void PutLE(std::string& bytes, std::size_t at, std::size_t width, std::uint64_t value) {
  for (std::size_t i = 0; i < width; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint64_t GetLE(const std::string& bytes, std::size_t at, std::size_t width) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < width; ++i) v |= static_cast<std::uint64_t>(static_cast<std::uint8_t>(bytes[at + i])) << (8 * i);
  return v;
}

std::int64_t SignExtend48(std::uint64_t v) {
  if (v & (1ULL << 47)) v |= 0xFFFF000000000000ULL;
  return static_cast<std::int64_t>(v);
}

std::uint8_t Checksum(const std::string& rec) {
  unsigned sum = 0;
  for (std::size_t i = 0; i + 1 < kFmRecordSize; ++i) sum += static_cast<std::uint8_t>(rec[i]);
  return static_cast<std::uint8_t>(sum & 0xFF);
}

std::size_t SlotCount(const std::string& flash) {
  return flash.size() < kFmHeaderSize ? 0 : (flash.size() - kFmHeaderSize) / kFmRecordSize;
}

bool SlotFree(const std::string& flash, std::size_t slot) {
  return static_cast<std::uint8_t>(flash[kFmHeaderSize + slot * kFmRecordSize]) == 0xFF;
}

}  // namespace

std::string FormatFlash(std::size_t size, const std::string& serial, const std::string& model,
                        const std::string& fiscalNumber) {
  std::string flash(size, static_cast<char>(0xFF));
  WriteFlashHeader(flash, serial, model, fiscalNumber);
  return flash;
}

void WriteFlashHeader(std::string& flash, const std::string& serial, const std::string& model,
                      const std::string& fiscalNumber) {
  if (flash.size() < kFmHeaderSize) return;
  flash.replace(0, 4, "KVFM");
  flash[4] = 1;
  PutText(flash, 5, 11, serial);
  PutText(flash, 16, 20, model);
  PutText(flash, 36, 10, fiscalNumber);
}

std::vector<FmRecord> ReadFmRecords(const std::string& flash) {
  std::vector<FmRecord> out;
  for (std::size_t slot = 0; slot < SlotCount(flash) && !SlotFree(flash, slot); ++slot) {
    const std::string rec = flash.substr(kFmHeaderSize + slot * kFmRecordSize, kFmRecordSize);
    FmRecord r;
    r.type = static_cast<std::uint8_t>(rec[0]);
    r.number = static_cast<int>(GetLE(rec, 1, 2));
    r.time = kEpoch2000 + static_cast<DeviceTime>(GetLE(rec, 3, 4)) * 60;
    r.sales = SignExtend48(GetLE(rec, 7, 6));
    r.returns = SignExtend48(GetLE(rec, 13, 6));
    r.receipts = static_cast<int>(GetLE(rec, 19, 2));
    r.returnReceipts = static_cast<int>(GetLE(rec, 21, 2));
    r.valid = Checksum(rec) == static_cast<std::uint8_t>(rec[kFmRecordSize - 1]);
    out.push_back(r);
  }
  return out;
}

bool AppendFmRecord(std::string& flash, const FmRecord& record) {
  std::size_t slot = 0;
  while (slot < SlotCount(flash) && !SlotFree(flash, slot)) ++slot;
  if (slot >= SlotCount(flash)) return false;
  std::string rec(kFmRecordSize, '\0');
  rec[0] = static_cast<char>(record.type);
  PutLE(rec, 1, 2, static_cast<std::uint64_t>(record.number));
  const DeviceTime minutes = std::max<DeviceTime>(0, (record.time - kEpoch2000) / 60);
  PutLE(rec, 3, 4, static_cast<std::uint64_t>(minutes));
  PutLE(rec, 7, 6, static_cast<std::uint64_t>(record.sales));
  PutLE(rec, 13, 6, static_cast<std::uint64_t>(record.returns));
  PutLE(rec, 19, 2, static_cast<std::uint64_t>(record.receipts));
  PutLE(rec, 21, 2, static_cast<std::uint64_t>(record.returnReceipts));
  rec[kFmRecordSize - 1] = static_cast<char>(Checksum(rec));
  flash.replace(kFmHeaderSize + slot * kFmRecordSize, kFmRecordSize, rec);
  return true;
}

int FreeFmRecords(const std::string& flash) {
  int used = 0;
  while (static_cast<std::size_t>(used) < SlotCount(flash) && !SlotFree(flash, static_cast<std::size_t>(used))) ++used;
  return static_cast<int>(SlotCount(flash)) - used;
}

}  // namespace kovrix::sim
