#include "support/fastecho_builder.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include "driver/fastecho_layout.h"

void PutU16(Bytes& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void PutU32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

namespace {

// Non-zero noise from a small linear congruential generator.
void FillNoise(Bytes& b, std::uint32_t seed) {
  std::uint32_t state = seed * 2654435761u + 12345u;
  for (auto& byte : b) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<std::uint8_t>(1 + (state >> 16) % 255);
  }
}

}  // namespace

std::uint64_t FastEchoImage::FirstAreaOffset() const {
  return fastecho::kFixedPartSize + std::uint64_t{extensionSize} +
         std::uint64_t{leadingRecordCount} * leadingRecordSize;
}

std::uint64_t FastEchoImage::RecordStart(std::size_t area) const {
  return FirstAreaOffset() + area * std::uint64_t{areaRecordSize};
}

std::uint64_t FastEchoImage::DescriptionOffset(std::size_t area) const {
  return RecordStart(area) + fastecho::kDescriptionOffset;
}

Bytes DescriptionField(const std::string& text) {
  Bytes field(fastecho::kDescriptionWidth, 0);
  std::memcpy(field.data(), text.data(), std::min<std::size_t>(text.size(), field.size()));
  return field;
}

void PutDescription(Bytes& image, const FastEchoImage& layout, std::size_t area,
                    const std::string& text) {
  const Bytes field = DescriptionField(text);
  std::memcpy(image.data() + layout.DescriptionOffset(area), field.data(), field.size());
}

Bytes DescriptionFieldIn(const Bytes& image, const FastEchoImage& layout, std::size_t area) {
  const auto at = image.begin() + static_cast<std::ptrdiff_t>(layout.DescriptionOffset(area));
  return Bytes(at, at + fastecho::kDescriptionWidth);
}

bool Eligible(const AreaEntry& area) { return (area.kindByte >> 4) == 0 && area.description.empty(); }

Bytes FastEchoImage::Build() const {
  Bytes b(RecordStart(areas.size()) + trailingBytes);
  FillNoise(b, seed);
  PutU16(b, fastecho::kLeadingCountOffset, leadingRecordCount);
  PutU16(b, fastecho::kHeaderTailOffset, areaRecordSize);
  PutU16(b, fastecho::kLeadingSizeOffset, leadingRecordSize);
  PutU32(b, fastecho::kExtensionSizeOffset, extensionSize);
  for (std::size_t i = 0; i < areas.size(); ++i) {
    const std::size_t start = RecordStart(i);
    const AreaEntry& area = areas[i];
    const std::size_t tagRoom = std::min<std::size_t>(areaRecordSize, fastecho::kAreaKindOffset);
    const std::size_t tagLength = std::min(area.tag.size(), tagRoom - 1);
    std::memcpy(b.data() + start, area.tag.data(), tagLength);
    b[start + tagLength] = 0;
    if (areaRecordSize > fastecho::kAreaKindOffset) b[start + fastecho::kAreaKindOffset] = area.kindByte;
    if (areaRecordSize >= fastecho::kMinAreaRecordSize) PutDescription(b, *this, i, area.description);
  }
  return b;
}

Bytes ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteFileText(const std::string& path, const std::string& text) {
  WriteFileBytes(path, Bytes(text.begin(), text.end()));
}

std::string ReadFileText(const std::string& path) {
  const Bytes b = ReadFileBytes(path);
  return std::string(b.begin(), b.end());
}
