#include "util/record_stream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/fault_injection.h"
#include "platform/platform.h"
#include "support/fastecho_builder.h"
#include "support/scratch_dir.h"

namespace {

namespace faults = platform::faults;

constexpr StreamMode kReadWriteShared{platform::Access::ReadWrite, platform::Sharing::ReadWrite};
constexpr StreamMode kReadOnlyShared{platform::Access::Read, platform::Sharing::ReadWrite};
constexpr std::uint32_t kBufferSize = 256;

// Bytes that differ from their neighbours and are never zero, so that a
// misplaced or zero-filled byte always shows.
Bytes Pattern(std::size_t size, std::uint8_t salt = 0) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<std::uint8_t>(1 + (i * 7 + i / 251 + salt) % 255);
  return bytes;
}

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t count) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
               bytes.begin() + static_cast<std::ptrdiff_t>(from + count));
}

bool AllZero(const Bytes& bytes) {
  for (std::uint8_t b : bytes)
    if (b != 0) return false;
  return true;
}

class RecordStreamTest : public ::testing::Test {
 protected:
  void TearDown() override { faults::Disarm(); }

  // A file holding `bytes`; returns its path.
  std::string MakeFile(const Bytes& bytes, const std::string& name = "records.dat") {
    const std::string path = dir_.File(name);
    WriteFileBytes(path, bytes);
    return path;
  }

  static std::unique_ptr<RecordStream> Open(const std::string& path,
                                            StreamMode mode = kReadWriteShared,
                                            std::uint32_t bufferSize = kBufferSize) {
    return RecordStream::Open(ShortString(path), mode, bufferSize);
  }

  // Reads `count` bytes into a destination that starts out full of 0xEE.
  static Bytes ReadBytes(RecordStream& stream, std::uint32_t count) {
    Bytes out(count, 0xEE);
    stream.Read(out.data(), count);
    return out;
  }

  ScratchDir dir_;
};

TEST_F(RecordStreamTest, OpenOfMissingFileFailsAndCreatesNothing) {
  const std::string path = dir_.File("absent.cfg");
  auto stream = Open(path);
  EXPECT_EQ(stream->Status(), kStreamOpenError);
  EXPECT_NE(stream->ErrorInfo(), 0);
  EXPECT_FALSE(std::filesystem::exists(path));

  // The failed stream still answers: reads zero-fill, writes go nowhere.
  EXPECT_TRUE(AllZero(ReadBytes(*stream, 10)));
  const Bytes data = Pattern(20);
  stream->Write(data.data(), 20);
  stream->Done();
  EXPECT_EQ(stream->Status(), kStreamOpenError);
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(RecordStreamTest, ZeroBufferSizeIsAnOpenErrorWithoutDetail) {
  const Bytes original = Pattern(100);
  const std::string path = MakeFile(original);
  auto stream = Open(path, kReadWriteShared, 0);
  EXPECT_EQ(stream->Status(), kStreamOpenError);
  EXPECT_EQ(stream->ErrorInfo(), 0);
  EXPECT_TRUE(AllZero(ReadBytes(*stream, 10)));
  stream->Write(original.data(), 10);
  stream->Done();
  EXPECT_EQ(ReadFileBytes(path), original);
}

// Reads one after another from the start of the file; only the last one of
// a case may fail, and it must fail with the end-of-file code and hand out
// nothing but zeros.
TEST_F(RecordStreamTest, ReadsUpToAndPastTheEndOfTheFile) {
  struct Case {
    const char* name;
    std::size_t fileSize;
    std::vector<std::uint32_t> reads;
    bool lastFails;
  };
  const std::vector<Case> cases = {
      {"ends exactly at the end, next read fails", 300, {100, 200, 1}, true},
      {"one read of the whole file, larger than the buffer", 700, {700}, false},
      {"exactly one buffer, then one byte too many", 256, {256, 1}, true},
      {"straddles the end", 300, {290, 20}, true},
      {"straddles the end across buffer refills", 600, {10, 1000}, true},
      {"first read of an empty file", 0, {1}, true},
      {"small reads across the buffer boundary", 600, {250, 10, 250, 90}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes original = Pattern(c.fileSize);
    auto stream = Open(MakeFile(original));
    ASSERT_EQ(stream->Status(), kStreamOk);
    std::size_t offset = 0;
    for (std::size_t i = 0; i < c.reads.size(); ++i) {
      const Bytes got = ReadBytes(*stream, c.reads[i]);
      if (c.lastFails && i + 1 == c.reads.size()) {
        EXPECT_EQ(stream->Status(), kStreamReadError);
        EXPECT_EQ(stream->ErrorInfo(), 0);
        EXPECT_TRUE(AllZero(got)) << "a failed read hands out only zeros";
      } else {
        ASSERT_EQ(stream->Status(), kStreamOk) << "read " << i;
        EXPECT_EQ(got, Slice(original, offset, c.reads[i])) << "read " << i;
        offset += c.reads[i];
      }
    }
  }
}

TEST_F(RecordStreamTest, FirstFailureStaysAndStopsEverything) {
  const Bytes original = Pattern(300);
  const std::string path = MakeFile(original);
  auto stream = Open(path);
  stream->Seek(290);
  EXPECT_TRUE(AllZero(ReadBytes(*stream, 20)));
  ASSERT_EQ(stream->Status(), kStreamReadError);

  // Reads zero-fill even where the file has bytes.
  stream->Seek(0);
  EXPECT_TRUE(AllZero(ReadBytes(*stream, 10)));

  // Writes, seeks and flushes change nothing on disk.
  const Bytes data(52, 'W');
  stream->Seek(10);
  stream->Write(data.data(), 52);
  stream->Flush();
  stream->Write(data.data(), 52);
  EXPECT_EQ(stream->Status(), kStreamReadError);
  EXPECT_EQ(stream->ErrorInfo(), 0);
  stream->Done();
  EXPECT_EQ(ReadFileBytes(path), original);
}

TEST_F(RecordStreamTest, WrittenBytesAreReadBackAtTheirPlace) {
  const Bytes original = Pattern(600);
  const std::string path = MakeFile(original);
  Bytes expected = original;
  auto stream = Open(path);

  const Bytes record(52, 'R');
  stream->Seek(100);
  stream->Write(record.data(), 52);
  std::copy(record.begin(), record.end(), expected.begin() + 100);

  stream->Seek(400);
  EXPECT_EQ(ReadBytes(*stream, 10), Slice(original, 400, 10));
  stream->Seek(100);
  EXPECT_EQ(ReadBytes(*stream, 52), record);

  // A write right after a read lands at the logical position, not where
  // the read-ahead left the file pointer.
  stream->Seek(0);
  EXPECT_EQ(ReadBytes(*stream, 10), Slice(original, 0, 10));
  const Bytes marker(5, 'M');
  stream->Write(marker.data(), 5);
  std::copy(marker.begin(), marker.end(), expected.begin() + 10);

  // A read right after a write goes on after the written bytes.
  stream->Seek(200);
  const Bytes mid(4, 'Q');
  stream->Write(mid.data(), 4);
  EXPECT_EQ(ReadBytes(*stream, 6), Slice(original, 204, 6));
  std::copy(mid.begin(), mid.end(), expected.begin() + 200);

  // Writes one after another before a flush follow each other.
  stream->Seek(300);
  const Bytes first(3, 'F'), second(7, 'S');
  stream->Write(first.data(), 3);
  stream->Write(second.data(), 7);
  std::copy(first.begin(), first.end(), expected.begin() + 300);
  std::copy(second.begin(), second.end(), expected.begin() + 303);
  stream->Flush();
  EXPECT_EQ(Slice(ReadFileBytes(path), 300, 10), Slice(expected, 300, 10));

  // A write larger than the buffer.
  const Bytes big = Pattern(500, 99);
  stream->Seek(50);
  stream->Write(big.data(), static_cast<std::uint32_t>(big.size()));
  std::copy(big.begin(), big.end(), expected.begin() + 50);
  stream->Seek(50);
  EXPECT_EQ(ReadBytes(*stream, 500), big);

  EXPECT_EQ(stream->Status(), kStreamOk);
  stream->Done();
  EXPECT_EQ(ReadFileBytes(path), expected);
}

TEST_F(RecordStreamTest, WriteReachesTheFileOnlyWhenCarriedOut) {
  struct Case {
    const char* name;
    void (*carry)(RecordStream&);
  };
  const std::vector<Case> cases = {
      {"Flush", [](RecordStream& s) { s.Flush(); }},
      {"Seek", [](RecordStream& s) { s.Seek(0); }},
      {"Done", [](RecordStream& s) { s.Done(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes original = Pattern(400);
    const std::string path = MakeFile(original);
    auto stream = Open(path);
    const Bytes data(52, 'D');
    stream->Seek(138);
    stream->Write(data.data(), 52);
    EXPECT_EQ(ReadFileBytes(path), original) << "the bytes wait in the buffer";
    c.carry(*stream);
    EXPECT_EQ(stream->Status(), kStreamOk);
    Bytes expected = original;
    std::copy(data.begin(), data.end(), expected.begin() + 138);
    EXPECT_EQ(ReadFileBytes(path), expected);
  }
}

TEST_F(RecordStreamTest, SeekPositions) {
  struct Case {
    const char* name;
    std::int64_t position;
    std::int64_t readsFrom;  // -1: the next read meets the end of the file
  };
  const std::vector<Case> cases = {
      {"negative counts as 0", -5, 0},
      {"inside the file", 123, 123},
      {"last byte", 299, -1},  // 10 bytes asked, 1 there
      {"just past the end", 300, -1},
      {"far past the end", 100000, -1},
      {"beyond 2 GiB does not turn negative", 3000000000LL, -1},
      {"beyond 4 GiB does not wrap", 0x100000000LL + 10, -1},
  };
  const Bytes original = Pattern(300);
  const std::string path = MakeFile(original);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto stream = Open(path);
    stream->Seek(c.position);
    EXPECT_EQ(stream->Status(), kStreamOk) << "a seek alone never fails";
    const Bytes got = ReadBytes(*stream, 10);
    if (c.readsFrom < 0) {
      EXPECT_EQ(stream->Status(), kStreamReadError);
      EXPECT_TRUE(AllZero(got));
    } else {
      EXPECT_EQ(stream->Status(), kStreamOk);
      EXPECT_EQ(got, Slice(original, static_cast<std::size_t>(c.readsFrom), 10));
    }
  }
  EXPECT_EQ(ReadFileBytes(path), original);
}

TEST_F(RecordStreamTest, OperatingSystemFailures) {
  struct Case {
    const char* name;
    faults::Op op;
    faults::Kind kind;
    void (*act)(RecordStream&, const Bytes& data);
    std::int32_t status;
    bool osCode;  // ErrorInfo holds the injected operating-system code
  };
  const std::vector<Case> cases = {
      {"read fails", faults::Op::Read, faults::Kind::Fail,
       [](RecordStream& s, const Bytes&) { s.Read(Bytes(10).data(), 10); }, kStreamError, true},
      {"read after a seek fails", faults::Op::Read, faults::Kind::Fail,
       [](RecordStream& s, const Bytes&) {
         s.Seek(40);
         s.Read(Bytes(10).data(), 10);
       },
       kStreamError, true},
      {"write fails at flush", faults::Op::Write, faults::Kind::Fail,
       [](RecordStream& s, const Bytes& d) {
         s.Seek(40);
         s.Write(d.data(), 52);
         s.Flush();
       },
       kStreamError, true},
      {"write fails when the buffer fills", faults::Op::Write, faults::Kind::Fail,
       [](RecordStream& s, const Bytes& d) {
         s.Seek(0);
         s.Write(d.data(), static_cast<std::uint32_t>(d.size()));
       },
       kStreamError, true},
      {"short write at seek", faults::Op::Write, faults::Kind::ShortWrite,
       [](RecordStream& s, const Bytes& d) {
         s.Seek(40);
         s.Write(d.data(), 52);
         s.Seek(0);
       },
       kStreamWriteError, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes original = Pattern(400);
    const std::string path = MakeFile(original);
    const Bytes data = Pattern(300, 50);
    auto stream = Open(path);
    ASSERT_EQ(stream->Status(), kStreamOk);
    faults::Arm(c.op, 1, c.kind);
    c.act(*stream, data);
    faults::Disarm();
    EXPECT_EQ(stream->Status(), c.status);
    EXPECT_EQ(stream->ErrorInfo(),
              c.osCode ? static_cast<std::int32_t>(platform::kInjectedErrorCode) : 0);

    // Sticky: a later end-of-file read does not replace the first code, and
    // nothing more is written, Done included.
    const Bytes onDisk = ReadFileBytes(path);
    stream->Seek(1000);
    EXPECT_TRUE(AllZero(ReadBytes(*stream, 10)));
    stream->Write(data.data(), 52);
    stream->Done();
    EXPECT_EQ(stream->Status(), c.status);
    EXPECT_EQ(ReadFileBytes(path), onDisk);
    if (c.op != faults::Op::Write) {
      EXPECT_EQ(onDisk, original);
    }
  }
}

TEST_F(RecordStreamTest, ModeDecidesAccess) {
  const Bytes original = Pattern(100);
  const std::string path = MakeFile(original);
  auto stream = Open(path, kReadOnlyShared);
  ASSERT_EQ(stream->Status(), kStreamOk);
  EXPECT_EQ(ReadBytes(*stream, 10), Slice(original, 0, 10));
  const Bytes data(8, 'X');
  stream->Seek(20);
  stream->Write(data.data(), 8);
  stream->Flush();
  EXPECT_EQ(stream->Status(), kStreamError) << "a read-only open refuses the write";
  EXPECT_NE(stream->ErrorInfo(), 0);
  stream->Done();
  EXPECT_EQ(ReadFileBytes(path), original);
}

TEST(CStrToShortTest, TakesTheBytesBeforeTheFirstZero) {
  struct Case {
    const char* name;
    std::string source;
    std::size_t available;
    std::string expected;
  };
  const std::string long300(300, 'x');
  const std::vector<Case> cases = {
      {"no zero among the first 255 bytes", long300, long300.size(), std::string(255, 'x')},
      {"zero right after 255 bytes", std::string(255, 'y') + '\0', 256, std::string(255, 'y')},
      {"first byte zero", std::string("\0ABC", 4), 4, ""},
      {"zero in the middle", std::string("ECHO\0TAIL", 9), 9, "ECHO"},
      {"no zero within the available bytes", std::string(60, 'T') + '\0', 52,
       std::string(52, 'T')},
      {"high bytes kept", std::string("\xA0\xFF\x80\0", 4), 4, "\xA0\xFF\x80"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CStrToShort(c.source.data(), c.available).str(), c.expected);
  }
}

}  // namespace
