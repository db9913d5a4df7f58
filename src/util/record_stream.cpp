#include "util/record_stream.h"

#include <algorithm>
#include <cstring>

std::unique_ptr<RecordStream> RecordStream::Open(const ShortString& name, StreamMode mode,
                                                 std::uint32_t bufferSize) {
  std::unique_ptr<RecordStream> stream(new RecordStream);
  const std::uint32_t error =
      platform::OpenFile(name.CStr().c_str(), mode.access, mode.sharing,
                         platform::Creation::OpenExisting, platform::Target::DiskFile,
                         &stream->handle_);
  if (error != 0) stream->SetError(kStreamOpenError, static_cast<std::int32_t>(error));
  stream->bufferSize_ = bufferSize;
  if (bufferSize == 0)
    stream->SetError(kStreamOpenError, 0);
  else
    stream->buffer_.reset(new std::uint8_t[bufferSize]);
  return stream;
}

void RecordStream::SetError(std::int32_t code, std::int32_t info) {
  status_ = code;
  errorInfo_ = info;
}

void RecordStream::AfterPositioned(std::int64_t offset, std::uint32_t count) {
  if (platform::kPositionedIoMovesFilePointer) filePointer_ = offset + count;
}

bool RecordStream::FillAt(std::uint8_t* destination, std::uint32_t want, bool direct) {
  std::uint32_t got = 0;
  std::uint8_t* into = direct ? destination : buffer_.get();
  const bool sequential = filePointer_ == position_;
  const std::uint32_t error = sequential ? platform::ReadFile(handle_, into, want, &got)
                                         : platform::ReadFileAt(handle_, position_, into, want, &got);
  if (sequential) filePointer_ += got;
  else AfterPositioned(position_, got);
  if (error != 0) {
    SetError(kStreamError, static_cast<std::int32_t>(error));
    return false;
  }
  if (got == 0) {
    SetError(kStreamReadError, 0);
    return false;
  }
  if (direct) position_ += got;
  else bufEnd_ = got;
  return true;
}

void RecordStream::Read(void* destination, std::uint32_t count) {
  auto* out = static_cast<std::uint8_t*>(destination);
  if (status_ == kStreamOk && bufEnd_ == 0 && bufPtr_ > 0) WriteOut();
  std::uint32_t done = 0;
  while (status_ == kStreamOk && done < count) {
    if (bufPtr_ == bufEnd_) {
      DropReadAhead();
      // Only what is asked is read, so that the next record's read starts
      // where it begins; what the buffer cannot hold goes straight to the
      // destination.
      const std::uint32_t want = count - done;
      const bool direct = want >= bufferSize_;
      const std::int64_t before = position_;
      if (!FillAt(out + done, want, direct)) break;
      if (direct) {
        done += static_cast<std::uint32_t>(position_ - before);
        continue;
      }
    }
    const std::uint32_t n = std::min(count - done, bufEnd_ - bufPtr_);
    std::memcpy(out + done, buffer_.get() + bufPtr_, n);
    bufPtr_ += n;
    position_ += n;
    done += n;
  }
  // A failed read hands out nothing, not even the bytes it did find.
  if (status_ != kStreamOk) std::memset(out, 0, count);
}

void RecordStream::Write(const void* source, std::uint32_t count) {
  if (status_ != kStreamOk) return;
  if (bufEnd_ != 0) DropReadAhead();
  if (bufPtr_ == 0) writeStart_ = position_;
  const auto* in = static_cast<const std::uint8_t*>(source);
  std::uint32_t done = 0;
  while (status_ == kStreamOk && done < count) {
    if (bufPtr_ == bufferSize_) {
      WriteOut();
      if (status_ != kStreamOk) return;
    }
    const std::uint32_t n = std::min(count - done, bufferSize_ - bufPtr_);
    std::memcpy(buffer_.get() + bufPtr_, in + done, n);
    bufPtr_ += n;
    position_ += n;
    done += n;
  }
}

void RecordStream::WriteOut() {
  const std::uint32_t count = bufPtr_;
  bufPtr_ = 0;
  std::uint32_t written = 0;
  const std::uint32_t error = platform::WriteFileAt(handle_, writeStart_, buffer_.get(), count, &written);
  AfterPositioned(writeStart_, written);
  writeStart_ += written;
  if (error != 0) SetError(kStreamError, static_cast<std::int32_t>(error));
  else if (written != count) SetError(kStreamWriteError, 0);
}

void RecordStream::DropReadAhead() { bufPtr_ = bufEnd_ = 0; }

void RecordStream::Flush() {
  if (status_ != kStreamOk) return;
  if (bufEnd_ != 0) DropReadAhead();
  else if (bufPtr_ != 0) WriteOut();
}

void RecordStream::Seek(std::int64_t position) {
  if (status_ != kStreamOk) return;
  Flush();
  if (status_ != kStreamOk) return;
  position_ = std::max<std::int64_t>(position, 0);
}

std::int64_t RecordStream::Size() {
  Flush();
  if (status_ != kStreamOk) return -1;
  std::int64_t size = 0;
  const std::uint32_t error = platform::SeekFile(handle_, 0, platform::SeekFrom::End, &size);
  if (error != 0) {
    SetError(kStreamError, static_cast<std::int32_t>(error));
    return -1;
  }
  filePointer_ = size;
  return size;
}

std::uint32_t RecordStream::Truncate(std::int64_t size) {
  Flush();
  if (status_ == kStreamError) return static_cast<std::uint32_t>(errorInfo_);
  if (status_ == kStreamWriteError) return platform::kDiskFull;
  if (status_ != kStreamOk) return platform::kIoError;
  std::uint32_t error = platform::SeekFile(handle_, size, platform::SeekFrom::Begin, nullptr);
  if (error == 0) {
    filePointer_ = size;
    error = platform::TruncateFile(handle_);
  }
  if (error != 0) SetError(kStreamError, static_cast<std::int32_t>(error));
  return error;
}

std::uint32_t RecordStream::FlushToDisk() {
  Flush();
  if (handle_ == platform::kInvalidHandle) return platform::kNotOpen;
  return platform::FlushFile(handle_);
}

std::uint32_t RecordStream::Close() {
  Flush();
  if (handle_ == platform::kInvalidHandle) return 0;
  const std::uint32_t error = platform::CloseFile(handle_);
  handle_ = platform::kInvalidHandle;
  return error;
}

void RecordStream::Done() {
  Close();
  buffer_.reset();
}

ShortString CStrToShort(const void* source, std::size_t available) {
  const auto* text = static_cast<const char*>(source);
  const std::size_t limit = std::min(available, ShortString::kCapacity);
  const void* zero = std::memchr(text, 0, limit);
  return std::string_view(text, zero ? static_cast<const char*>(zero) - text : limit);
}
