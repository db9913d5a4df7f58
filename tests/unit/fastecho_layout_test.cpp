#include "driver/fastecho_layout.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "driver/area_pass.h"
#include "support/fastecho_builder.h"
#include "support/scratch_dir.h"

namespace {

using namespace fastecho;

void PutU16(Bytes& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void PutU32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

struct HeaderFields {
  std::uint16_t leadingRecordCount;
  std::uint16_t leadingRecordSize;
  std::uint32_t extensionSize;
  std::uint16_t areaRecordSize;
};

// A file of `size` noise bytes carrying the header fields at their offsets.
Bytes HeaderFile(const HeaderFields& h, std::size_t size = kFixedPartSize) {
  Bytes b(size);
  for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(0x80 | (i * 13 % 127));
  PutU16(b, 6, h.leadingRecordCount);
  PutU16(b, 4630, h.areaRecordSize);
  PutU16(b, 4638, h.leadingRecordSize);
  PutU32(b, 4640, h.extensionSize);
  return b;
}

std::unique_ptr<RecordStream> OpenStream(const std::string& path) {
  return RecordStream::Open(ShortString(path), kFastEchoOpenMode, kStreamBufferSize);
}

TEST(LocateAreaTableTest, FirstAreaOffsetFromTheHeader) {
  struct Case {
    const char* name;
    HeaderFields header;
    std::uint64_t firstAreaOffset;
  };
  const std::vector<Case> cases = {
      {"worked example", {3, 200, 100, 250}, 5344},
      {"nothing before the areas, whatever the leading size", {0, 65535, 0, 190}, 4644},
      {"leading records only", {2, 100, 0, 256}, 4844},
      {"largest leading records, no wrap", {65535, 65535, 0, 200}, 4644ULL + 4294836225ULL},
      {"largest everything, past 8 GiB", {65535, 65535, 0xFFFFFFFFu, 0x1234},
       4644ULL + 0xFFFFFFFFULL + 4294836225ULL},
      {"extension alone past 4 GiB", {0, 0, 0xFFFFFFFFu, 200}, 4644ULL + 0xFFFFFFFFULL},
      {"sum just past 4 GiB", {1, 265, 0xFFFFFFFFu, 200}, 0x100000000ULL + 4908},
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File("fastecho.cfg");
    const Bytes original = HeaderFile(c.header);
    WriteFileBytes(path, original);
    auto stream = OpenStream(path);
    const AreaTable table = LocateAreaTable(*stream);
    EXPECT_EQ(stream->Status(), kStreamOk);
    EXPECT_EQ(table.areaRecordSize, c.header.areaRecordSize);
    EXPECT_EQ(table.firstAreaOffset, c.firstAreaOffset);
    stream->Done();
    EXPECT_EQ(ReadFileBytes(path), original);
  }
}

TEST(LocateAreaTableTest, WorkedExampleWalk) {
  ScratchDir dir;
  const std::string path = dir.File("fastecho.cfg");
  WriteFileBytes(path, HeaderFile({3, 200, 100, 250}, 6000));
  auto stream = OpenStream(path);
  const AreaTable table = LocateAreaTable(*stream);
  ASSERT_EQ(table.firstAreaOffset, 5344u);
  EXPECT_EQ(DescriptionPosition(table.firstAreaOffset + table.areaRecordSize), 5732u);

  // A 6000-byte file holds two whole records; its last 156 bytes end the walk.
  std::uint8_t record[kRecordBufferSize];
  int wholeRecords = 0;
  for (std::uint64_t pos = table.firstAreaOffset;; pos += table.areaRecordSize) {
    stream->Seek(static_cast<std::int64_t>(pos));
    stream->Read(record, table.areaRecordSize);
    if (stream->Status() != kStreamOk) break;
    ++wholeRecords;
  }
  EXPECT_EQ(wholeRecords, 2);
  EXPECT_EQ(stream->Status(), kStreamReadError);
}

TEST(LocateAreaTableTest, ShortHeaderLeavesTheFailureInTheStream) {
  ScratchDir dir;
  for (std::size_t size : {std::size_t{0}, std::size_t{9}, std::size_t{4000}, std::size_t{4643}}) {
    SCOPED_TRACE(size);
    const std::string path = dir.File("short.cfg");
    Bytes bytes = HeaderFile({3, 200, 100, 250}, kFixedPartSize);
    bytes.resize(size);
    WriteFileBytes(path, bytes);
    auto stream = OpenStream(path);
    const AreaTable table = LocateAreaTable(*stream);
    EXPECT_EQ(stream->Status(), kStreamReadError);
    EXPECT_EQ(table.areaRecordSize, 0) << "the failed read gives zeros";
    EXPECT_FALSE(AreaRecordSizeSupported(table.areaRecordSize));
  }
}

TEST(AreaRecordTest, AreaTag) {
  struct Case {
    const char* name;
    std::string bytes;  // from offset 0; a zero byte follows
    std::string tag;
  };
  const std::vector<Case> cases = {
      {"ordinary tag", "FIDO.CHAT", "FIDO.CHAT"},
      {"60 characters are cut to 52", std::string(52, 'A') + "BCDEFGHI", std::string(52, 'A')},
      {"exactly 52 characters", std::string(51, 'Q') + "Z", std::string(51, 'Q') + "Z"},
      {"first byte zero", std::string("\0NOT.A.TAG", 10), ""},
      {"high bytes are kept", "\x8F\xA0.AREA", "\x8F\xA0.AREA"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::uint8_t record[kRecordBufferSize];
    std::memset(record, 'n', sizeof record);
    std::memcpy(record, c.bytes.data(), c.bytes.size());
    record[c.bytes.size()] = 0;
    EXPECT_EQ(AreaTag(record).str(), c.tag);
  }
}

TEST(AreaRecordTest, AreaKindIsTheUpperFourBitsOfByte62) {
  struct Case {
    std::uint8_t byte62;
    std::uint8_t kind;
  };
  const std::vector<Case> cases = {{0x00, 0}, {0x0F, 0},  {0x10, 1},
                                   {0x5A, 5}, {0xF0, 15}, {0xFF, 15}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.byte62));
    std::uint8_t record[kRecordBufferSize];
    std::memset(record, 0xA5, sizeof record);
    record[62] = c.byte62;
    EXPECT_EQ(AreaKind(record), c.kind);
  }
}

TEST(AreaRecordTest, DescriptionEmptyOnlyByItsFirstByte) {
  struct Case {
    const char* name;
    std::uint8_t byte137, byte138, byte139;
    bool empty;
  };
  const std::vector<Case> cases = {
      {"first byte zero, text after it", 'x', 0, 'T', true},
      {"all zero", 0, 0, 0, true},
      {"first byte a letter", 0, 'A', 0, false},
      {"first byte a blank", 0, ' ', 0, false},
      {"first byte 0xFF", 0, 0xFF, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::uint8_t record[kRecordBufferSize];
    std::memset(record, 'd', sizeof record);
    record[137] = c.byte137;
    record[138] = c.byte138;
    record[139] = c.byte139;
    EXPECT_EQ(AreaDescriptionEmpty(record), c.empty);
  }
  EXPECT_EQ(DescriptionPosition(0x100000000ULL), 0x100000000ULL + 138);
}

TEST(AreaRecordTest, SupportedRecordSizes) {
  struct Case {
    std::uint16_t size;
    bool supported;
  };
  // The description must fit (138 + 52 = 190) and the record must fit the
  // 256-byte buffer.
  const std::vector<Case> cases = {{0, false},  {1, false},  {189, false}, {190, true},
                                   {200, true}, {256, true}, {257, false}, {65535, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    EXPECT_EQ(AreaRecordSizeSupported(c.size), c.supported);
  }
}

}  // namespace
