// RecordStream: random access to an existing file of fixed-layout records
// through a small read/write buffer. Failures never raise: the first one is
// kept in Status for the life of the stream, and afterwards reads only
// zero-fill, writes, seeks and flushes do nothing.
//
// A Seek only moves the stream's own position. Reads go on at the file
// pointer while it stands where they start (a walk over the records, one
// after another); any other read, and every write, names its offset
// (positioned I/O): a record read again and written costs one read and one
// write. Only Size (at the end) and Truncate (to the new end) seek.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/platform.h"
#include "util/short_string.h"

enum StreamStatus : std::int32_t {
  kStreamOk = 0,
  kStreamError = -1,      // an operating-system read, write or seek failed
  kStreamOpenError = -2,  // the open failed, or the buffer size was 0
  kStreamReadError = -3,  // a read met the end of the file
  kStreamWriteError = -4, // the operating system wrote fewer bytes than asked
};

// How a stream opens its file, which must exist and be a disk file: what
// it may do with it, and what other openers may do meanwhile.
struct StreamMode {
  platform::Access access;
  platform::Sharing sharing;
};

class RecordStream {
 public:
  // Always yields a stream; failure shows in Status.
  static std::unique_ptr<RecordStream> Open(const ShortString& name, StreamMode mode,
                                            std::uint32_t bufferSize);
  ~RecordStream() { Done(); }
  RecordStream(const RecordStream&) = delete;
  RecordStream& operator=(const RecordStream&) = delete;

  std::int32_t Status() const { return status_; }
  std::int32_t ErrorInfo() const { return errorInfo_; }

  void Read(void* destination, std::uint32_t count);
  void Write(const void* source, std::uint32_t count);
  // Positions count from the start of the file; negative ones count as 0.
  // Carries out waiting writes, but asks nothing of the operating system.
  void Seek(std::int64_t position);
  // The file's length in bytes now (after a Flush); -1 after a failure.
  std::int64_t Size();
  void Flush();
  // Flush, then cuts the file at `size` bytes: 0, or why not (also in
  // Status).
  std::uint32_t Truncate(std::int64_t size);
  // Flush, then brings what was written to the disk itself (fsync,
  // FlushFileBuffers): 0, or why not. Also after the walk met the end of
  // the file, which leaves Status at kStreamReadError.
  std::uint32_t FlushToDisk();
  // Flushes and closes the file: 0, or why the close failed (a network
  // file system tells of lost writes there). Idempotent.
  std::uint32_t Close();
  // Close, and the buffer goes too.
  void Done();

 private:
  RecordStream() = default;
  void SetError(std::int32_t code, std::int32_t info);
  // Reads what is asked at the position: into the buffer, or (a request the
  // buffer cannot hold) straight into the destination. False on a failure.
  bool FillAt(std::uint8_t* destination, std::uint32_t want, bool direct);
  // Where the file pointer stands after a positioned call at `offset` that
  // moved `count` bytes.
  void AfterPositioned(std::int64_t offset, std::uint32_t count);
  void WriteOut();       // writes the waiting bytes and empties the buffer
  void DropReadAhead();  // forgets unread bytes

  std::int32_t status_ = kStreamOk;
  std::int32_t errorInfo_ = 0;
  platform::FileHandle handle_ = platform::kInvalidHandle;
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::uint32_t bufferSize_ = 0;
  std::uint32_t bufPtr_ = 0;  // next byte to hand out, or bytes waiting to be written
  std::uint32_t bufEnd_ = 0;  // valid read-ahead bytes; 0 while writing
  std::int64_t position_ = 0;     // the logical position: where the next Read or Write goes
  std::int64_t writeStart_ = 0;   // where the waiting bytes belong
  std::int64_t filePointer_ = 0;  // the operating system's file pointer
};

// The bytes before the first zero byte, at most 255 of them.
ShortString CStrToShort(const void* source, std::size_t available);
