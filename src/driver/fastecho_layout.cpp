#include "driver/fastecho_layout.h"

namespace fastecho {
namespace {

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

AreaTable LocateAreaTable(RecordStream& stream) {
  std::uint8_t head[10];
  stream.Read(head, sizeof head);
  const std::uint16_t leadingRecordCount = U16(head + kLeadingCountOffset);

  std::uint8_t tail[kHeaderTailSize];
  stream.Seek(kHeaderTailOffset);
  stream.Read(tail, sizeof tail);
  const std::uint16_t areaRecordSize = U16(tail);
  const std::uint16_t leadingRecordSize = U16(tail + (kLeadingSizeOffset - kHeaderTailOffset));
  const std::uint32_t extensionSize = U32(tail + (kExtensionSizeOffset - kHeaderTailOffset));

  const std::uint64_t firstAreaOffset = std::uint64_t{kFixedPartSize} + extensionSize +
                                        std::uint64_t{leadingRecordCount} * leadingRecordSize;
  return {areaRecordSize, firstAreaOffset};
}

bool AreaRecordSizeSupported(std::uint16_t size) {
  return size >= kMinAreaRecordSize && size <= kRecordBufferSize;
}

ShortString AreaTag(const std::uint8_t* record) {
  return CStrToShort(record + kAreaTagOffset, kLongestTagUsed);
}

std::uint8_t AreaKind(const std::uint8_t* record) { return record[kAreaKindOffset] >> 4; }

bool AreaDescriptionEmpty(const std::uint8_t* record) { return record[kDescriptionOffset] == 0; }

ShortString AreaDescription(const std::uint8_t* record) {
  return CStrToShort(record + kDescriptionOffset, kDescriptionWidth);
}

}  // namespace fastecho
