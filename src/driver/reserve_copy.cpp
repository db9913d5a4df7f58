#include "driver/reserve_copy.h"

#include <cstring>
#include <vector>

#include "util/files.h"

namespace {

// The copy is read once, whole, for the comparison: in large pieces.
constexpr std::uint32_t kCompareChunkSize = 64 * 1024;

using Comparison = ReserveCopy::Comparison;

// A read that met the end of the file found it shorter than before; any
// other failure says nothing about the file's contents.
Comparison ReadFailure(const RecordStream& stream) {
  return stream.Status() == kStreamReadError ? Comparison::Changed : Comparison::Unreadable;
}

// The copy can take the place of the previous one only where that one can
// be replaced; and the FastEcho file must never be replaced by its own copy.
bool PlaceIsFree(const ShortString& source, const ShortString& path,
                 const ShortString& temporaryPath) {
  return !SameFile(source, path) && CanReplace(path) && CanReplace(temporaryPath);
}

}  // namespace

bool ReserveCopy::Make(const ShortString& source) {
  if (!PlaceIsFree(source, path_, temporaryPath_)) return false;
  source_ = source;
  return CopyIntoNewFile(source, temporaryPath_, platform::Sharing::None, &copy_);
}

bool ReserveCopy::CouldMake(const ShortString& source) const {
  if (!PlaceIsFree(source, path_, temporaryPath_) || SameFile(source, temporaryPath_)) return false;
  if (!platform::DirectoryWritable(directory_.CStr().c_str())) return false;
  // The copy reads its source exclusively: another program that holds the
  // FastEcho file open stops it.
  return CanOpen(source, platform::Access::Read, platform::Sharing::None, platform::Target::DiskFile);
}

namespace {

// Reads exactly `count` bytes at the file pointer; false on a failure or
// at the end of the file.
bool ReadWhole(platform::FileHandle handle, std::uint8_t* buffer, std::uint32_t count) {
  for (std::uint32_t done = 0; done < count;) {
    std::uint32_t got = 0;
    if (platform::ReadFile(handle, buffer + done, count - done, &got) != 0 || got == 0) return false;
    done += got;
  }
  return true;
}

}  // namespace

Comparison ReserveCopy::CompareWith(RecordStream& stream) const {
  std::int64_t copySize = 0;
  if (copy_ == platform::kInvalidHandle ||
      platform::SeekFile(copy_, 0, platform::SeekFrom::End, &copySize) != 0 ||
      platform::SeekFile(copy_, 0, platform::SeekFrom::Begin, nullptr) != 0)
    return Comparison::Unreadable;
  const std::int64_t size = stream.Size();
  if (stream.Status() != kStreamOk) return Comparison::Unreadable;
  if (copySize != size) return Comparison::Changed;
  std::vector<std::uint8_t> expected(kCompareChunkSize), actual(kCompareChunkSize);
  stream.Seek(0);
  for (std::int64_t left = size; left > 0;) {
    const auto n = static_cast<std::uint32_t>(left < kCompareChunkSize ? left : kCompareChunkSize);
    if (!ReadWhole(copy_, expected.data(), n)) return Comparison::Unreadable;
    stream.Read(actual.data(), n);
    if (stream.Status() != kStreamOk) return ReadFailure(stream);
    if (std::memcmp(expected.data(), actual.data(), n) != 0) return Comparison::Changed;
    left -= n;
  }
  return Comparison::Same;
}

bool ReserveCopy::PutInPlace() {
  if (copy_ == platform::kInvalidHandle) return false;
  // A copy whose bytes may not have reached the disk is no reserve copy.
  const bool closed = platform::CloseFile(copy_) == 0;
  copy_ = platform::kInvalidHandle;
  if (closed) {
    CopyAttributes(source_, temporaryPath_);
    if (platform::RenameFile(temporaryPath_.CStr().c_str(), path_.CStr().c_str()) == 0) return true;
  }
  // A copy that cannot be removed is replaced by the next run's.
  platform::RemoveFile(temporaryPath_.CStr().c_str());
  return false;
}

void ReserveCopy::Discard() {
  if (copy_ == platform::kInvalidHandle) return;
  platform::CloseFile(copy_);  // the copy goes: a failed close loses nothing
  copy_ = platform::kInvalidHandle;
  platform::RemoveFile(temporaryPath_.CStr().c_str());
}
