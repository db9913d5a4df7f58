// Builds FastEcho configuration files in memory for tests, samples and
// benchmarks. Every byte the builder is not told about is non-zero noise,
// so that any stray write shows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

struct AreaEntry {
  std::string tag;
  std::string description;  // empty: the field's first byte is 0
  std::uint8_t kindByte = 0x05;  // byte 62: upper four bits are the area kind
};

struct FastEchoImage {
  std::uint16_t leadingRecordCount = 2;
  std::uint16_t leadingRecordSize = 100;
  std::uint32_t extensionSize = 64;
  std::uint16_t areaRecordSize = 200;
  std::vector<AreaEntry> areas;
  std::uint32_t trailingBytes = 0;  // a partial record at the end
  std::uint32_t seed = 1;

  std::uint64_t FirstAreaOffset() const;
  std::uint64_t RecordStart(std::size_t area) const;
  std::uint64_t DescriptionOffset(std::size_t area) const;
  Bytes Build() const;
};

// Little-endian integers, as the file holds them.
void PutU16(Bytes& b, std::size_t at, std::uint16_t v);
void PutU32(Bytes& b, std::size_t at, std::uint32_t v);

// The 52-byte field as the system writes it: text then zero bytes.
Bytes DescriptionField(const std::string& text);
// `image` with the description field of `area` replaced by `text`.
void PutDescription(Bytes& image, const FastEchoImage& layout, std::size_t area,
                    const std::string& text);
// The description field of `area` in `image`, all its bytes.
Bytes DescriptionFieldIn(const Bytes& image, const FastEchoImage& layout, std::size_t area);
// Whether a run fills the area: an echomail area (kind 0) without a description.
bool Eligible(const AreaEntry& area);

Bytes ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const Bytes& bytes);
void WriteFileText(const std::string& path, const std::string& text);
std::string ReadFileText(const std::string& path);
