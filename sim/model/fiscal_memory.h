#pragma once
// Layout of the simulated fiscal memory image: a 64-byte header (magic "KVFM", serial number,
// model, fiscal number) followed by 32-byte records, the first free slot starting with 0xFF.
// The image is the only store of daily reports, so reading, writing or clearing it through
// the memory commands is seen by the periodic reports.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/model/values.h"

namespace kovrix::sim {

inline constexpr std::size_t kFmHeaderSize = 64;
inline constexpr std::size_t kFmRecordSize = 32;

enum FmRecordType { kFmFiscalisation = 1, kFmDailyReport = 2, kFmTaxChange = 3 };

struct FmRecord {
  int type = kFmDailyReport;
  int number = 0;
  DeviceTime time = 0;
  std::int64_t sales = 0;
  std::int64_t returns = 0;
  int receipts = 0;
  int returnReceipts = 0;
  bool valid = true;  // false when the stored checksum does not match
};

/// Answers a blank image of the size (0xFF everywhere) with its header written.
std::string FormatFlash(std::size_t size, const std::string& serial, const std::string& model,
                        const std::string& fiscalNumber);

/// Rewrites the header of an image (does nothing when the image is smaller than the header).
void WriteFlashHeader(std::string& flash, const std::string& serial, const std::string& model,
                      const std::string& fiscalNumber);

/// Answers the records in order, up to the first free slot.
std::vector<FmRecord> ReadFmRecords(const std::string& flash);

/// Appends a record in the first free slot; false when the memory is full.
bool AppendFmRecord(std::string& flash, const FmRecord& record);

/// Answers how many records still fit.
int FreeFmRecords(const std::string& flash);

}  // namespace kovrix::sim
