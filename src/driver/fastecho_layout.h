// The bytes of FastEcho's configuration file that the system reads and
// writes. All integers are little-endian. Every byte not named here is
// left unchanged.
#pragma once

#include <cstdint>
#include <vector>

#include "util/record_stream.h"
#include "util/short_string.h"

namespace fastecho {

inline constexpr std::uint32_t kFixedPartSize = 4644;  // header before the variable parts
inline constexpr std::uint32_t kLeadingCountOffset = 6;
inline constexpr std::uint32_t kHeaderTailOffset = 4630;  // AreaRecordSize and what follows
inline constexpr std::uint32_t kHeaderTailSize = 14;
inline constexpr std::uint32_t kLeadingSizeOffset = 4638;
inline constexpr std::uint32_t kExtensionSizeOffset = 4640;

inline constexpr std::uint32_t kAreaTagOffset = 0;
inline constexpr std::uint32_t kAreaKindOffset = 62;
inline constexpr std::uint32_t kDescriptionOffset = 138;
inline constexpr std::uint32_t kDescriptionWidth = 52;
// A longer tag is used as its first 52 characters.
inline constexpr std::uint32_t kLongestTagUsed = kDescriptionWidth;
using Description = std::uint8_t[kDescriptionWidth];
inline constexpr std::uint32_t kRecordBufferSize = 256;
// The smallest record that holds the whole description field.
inline constexpr std::uint32_t kMinAreaRecordSize = kDescriptionOffset + kDescriptionWidth;

struct AreaTable {
  std::uint16_t areaRecordSize;
  std::uint64_t firstAreaOffset;  // 64 bits: large header values must not wrap
};

// Reads the header fields through a freshly opened stream (its first read
// starts at byte 0). Read failures are left in the stream's Status.
AreaTable LocateAreaTable(RecordStream& stream);

bool AreaRecordSizeSupported(std::uint16_t size);

// How a walk over the area records ended.
struct WalkEnd {
  std::uint64_t records = 0;  // records handed out
  bool readFailed = false;    // a read or seek failed before the end of the file
};

// Reads the area records one after another into a kRecordBufferSize-byte
// buffer and hands each to `visit` (record, its start in the file). Ends at
// the end of the file, where a read cannot deliver a whole record (a
// partial record at the end is never handed out), or at a read or seek
// that failed for another reason, which the result tells.
template <typename Visit>
WalkEnd ForEachAreaRecord(RecordStream& stream, const AreaTable& table, Visit visit) {
  std::uint8_t record[kRecordBufferSize];
  WalkEnd end;
  for (std::uint64_t start = table.firstAreaOffset;; start += table.areaRecordSize) {
    stream.Seek(static_cast<std::int64_t>(start));
    stream.Read(record, table.areaRecordSize);
    if (stream.Status() != kStreamOk) {
      end.readFailed = stream.Status() != kStreamReadError;
      return end;
    }
    ++end.records;
    visit(static_cast<const std::uint8_t*>(record), start);
  }
}

// A first look at the area table, before the walk: hands `visit` each
// whole record that lies before `fileSize` (the file's length when it was
// opened), read many records at a time. A read that fails is left in the
// stream's Status, for the walk to meet.
inline constexpr std::uint32_t kReadAheadBytes = 64 * 1024;
template <typename Visit>
void ForEachAreaRecordAhead(RecordStream& stream, const AreaTable& table, std::int64_t fileSize, Visit visit) {
  const std::uint32_t size = table.areaRecordSize;
  if (size == 0 || fileSize < 0 || table.firstAreaOffset >= static_cast<std::uint64_t>(fileSize)) return;
  std::uint64_t left = (static_cast<std::uint64_t>(fileSize) - table.firstAreaOffset) / size;
  const std::uint32_t perRead = kReadAheadBytes / size;
  std::vector<std::uint8_t> records(static_cast<std::size_t>(perRead) * size);
  stream.Seek(static_cast<std::int64_t>(table.firstAreaOffset));
  while (left > 0) {
    const auto count = static_cast<std::uint32_t>(left < perRead ? left : perRead);
    stream.Read(records.data(), count * size);
    if (stream.Status() != kStreamOk) return;
    for (std::uint32_t i = 0; i < count; ++i) visit(records.data() + static_cast<std::size_t>(i) * size);
    left -= count;
  }
}

// Record access on a record held in a kRecordBufferSize-byte buffer.
ShortString AreaTag(const std::uint8_t* record);
std::uint8_t AreaKind(const std::uint8_t* record);
bool AreaDescriptionEmpty(const std::uint8_t* record);
// The description field's text: the bytes before its first zero.
ShortString AreaDescription(const std::uint8_t* record);
inline std::uint64_t DescriptionPosition(std::uint64_t recordStart) {
  return recordStart + kDescriptionOffset;
}

}  // namespace fastecho
