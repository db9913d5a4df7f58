#include "driver/reserve_copy.h"

#include <cstring>
#include <vector>

#include "util/files.h"

namespace {

// The copy is read once, whole, for the comparison: in large pieces.
constexpr std::uint32_t kCompareChunkSize = 64 * 1024;

using Comparison = ReserveCopy::Comparison;


FileError Renamed(const ShortString& from, const ShortString& to) {
  return {to, platform::RenameFile(from.CStr().c_str(), to.CStr().c_str())};
}

void Remove(const ShortString& path) {
  platform::RemoveFile(path.CStr().c_str());  // callers say why a failure does no harm
}

}  // namespace

// The FastEcho file must never be one of the copy's own files: the copy
// would empty it, a rename replace it. And the copy can take the place of
// the previous one only where that one can be replaced.
FileError ReserveCopy::CheckPlaces(const ShortString& source) const {
  const struct {
    const ShortString& path;
    const char* what;
  } places[] = {
      {path_, "FASTECHOCFG names the reserve copy itself"},
      {temporaryPath_, "FASTECHOCFG names the reserve copy's temporary copy"},
      {previousPath_, "FASTECHOCFG names the previous reserve copy"},
  };
  for (const auto& place : places) {
    const Sameness sameness = SameFile(source, place.path);
    if (sameness.failure.Failed()) return sameness.failure;
    if (sameness.same) return {source, place.what};
  }
  for (const auto& place : places)
    if (const std::uint32_t error = ProbeReplace(place.path)) return {place.path, error};
  return {};
}

// A run killed between putting its copy in place and its first write on
// the disk left the previous copy under its third name.
FileError ReserveCopy::Settle(const ShortString& source) {
  const std::uint32_t previous = FileStatus(previousPath_);
  if (platform::IsNotFound(previous)) return {};
  if (previous != 0) return {previousPath_, previous};
  const std::uint32_t current = FileStatus(path_);
  if (platform::IsNotFound(current)) return Renamed(previousPath_, path_);
  if (current != 0) return {path_, current};
  bool unchanged = false;
  if (const FileError failure = CompareContents(path_, source, &unchanged); failure.Failed()) return failure;
  if (unchanged) return Renamed(previousPath_, path_);
  return {previousPath_, platform::RemoveFile(previousPath_.CStr().c_str())};
}

FileError ReserveCopy::Make(const ShortString& source) {
  source_ = source;
  if (FileError failure = CheckPlaces(source); failure.Failed()) return failure;
  if (FileError failure = CopyIntoNewFile(source, temporaryPath_, platform::Sharing::None, &copy_);
      failure.Failed())
    return failure;
  state_ = State::Made;
  // Only now may a leftover be settled: a run of this installation between
  // putting its copy in place and its first write on the disk holds the
  // FastEcho file open, so this copy could not have been made, and no
  // other run gets that far while this one holds its temporary copy.
  if (FileError failure = Settle(source); failure.Failed()) {
    Abandon();
    return failure;
  }
  return {};
}

FileError ReserveCopy::CouldMake(const ShortString& source) const {
  if (FileError failure = CheckPlaces(source); failure.Failed()) return failure;
  // The run would meet this where it creates its temporary copy.
  if (const std::uint32_t error = platform::CheckDirectoryWritable(directory_.CStr().c_str()))
    return {temporaryPath_, error};
  // The copy reads its source exclusively: another program that holds the
  // FastEcho file open stops it.
  return {source, ProbeOpen(source, platform::Access::Read, platform::Sharing::None,
                            platform::Target::DiskFile)};
}

namespace {

// Reads exactly `count` bytes at the file pointer: 0, or the failure (the
// end of the file met too soon counts as an I/O error: the copy is cut).
std::uint32_t ReadWhole(platform::FileHandle handle, std::uint8_t* buffer, std::uint32_t count) {
  for (std::uint32_t done = 0; done < count;) {
    std::uint32_t got = 0;
    if (const std::uint32_t error = platform::ReadFile(handle, buffer + done, count - done, &got)) return error;
    if (got == 0) return platform::kIoError;
    done += got;
  }
  return 0;
}

}  // namespace

Comparison ReserveCopy::CompareWith(RecordStream& stream, FileError* failure) const {
  const auto unreadable = [failure](const ShortString& path, std::uint32_t code) {
    *failure = {path, code};
    return Comparison::Unreadable;
  };
  // A read that met the end of the file found it shorter than before; any
  // other failure says nothing about the file's contents.
  const auto streamFailed = [&]() {
    if (stream.Status() == kStreamReadError) return Comparison::Changed;
    return unreadable(source_, static_cast<std::uint32_t>(stream.ErrorInfo()));
  };
  std::int64_t copySize = 0;
  if (copy_ == platform::kInvalidHandle) return unreadable(temporaryPath_, platform::kNotOpen);
  if (const std::uint32_t error = platform::SeekFile(copy_, 0, platform::SeekFrom::End, &copySize))
    return unreadable(temporaryPath_, error);
  if (const std::uint32_t error = platform::SeekFile(copy_, 0, platform::SeekFrom::Begin, nullptr))
    return unreadable(temporaryPath_, error);
  const std::int64_t size = stream.Size();
  if (stream.Status() != kStreamOk) return streamFailed();
  if (copySize != size) return Comparison::Changed;
  std::vector<std::uint8_t> expected(kCompareChunkSize), actual(kCompareChunkSize);
  stream.Seek(0);
  for (std::int64_t left = size; left > 0;) {
    const auto n = static_cast<std::uint32_t>(left < kCompareChunkSize ? left : kCompareChunkSize);
    if (const std::uint32_t error = ReadWhole(copy_, expected.data(), n)) return unreadable(temporaryPath_, error);
    stream.Read(actual.data(), n);
    if (stream.Status() != kStreamOk) return streamFailed();
    if (std::memcmp(expected.data(), actual.data(), n) != 0) return Comparison::Changed;
    left -= n;
  }
  return Comparison::Same;
}

FileError ReserveCopy::PutInPlace() {
  if (state_ != State::Made) return {temporaryPath_, platform::kNotOpen};
  // A copy whose bytes may not have reached the disk is no reserve copy.
  FileError failure{temporaryPath_, platform::FlushFile(copy_)};
  const std::uint32_t closed = platform::CloseFile(copy_);
  copy_ = platform::kInvalidHandle;
  state_ = State::None;
  if (!failure.Failed()) failure.code = closed;
  if (!failure.Failed()) failure = CopyAttributes(source_, temporaryPath_);
  if (!failure.Failed()) {
    const std::uint32_t current = FileStatus(path_);
    hadPrevious_ = current == 0;
    if (hadPrevious_) failure = Renamed(path_, previousPath_);
    else if (!platform::IsNotFound(current)) failure = {path_, current};
  }
  if (failure.Failed()) {
    Remove(temporaryPath_);  // a copy that cannot be removed is replaced by the next run's
    return failure;
  }
  failure = Renamed(temporaryPath_, path_);
  // The rename reaches the disk before the first description does.
  if (!failure.Failed()) failure = {directory_, platform::FlushDirectory(directory_.CStr().c_str())};
  if (failure.Failed()) {
    RestorePrevious();
    Remove(temporaryPath_);
    return failure;
  }
  state_ = State::InPlace;
  return {};
}

// The previous reserve copy back in its place, or none where there was none.
FileError ReserveCopy::RestorePrevious() {
  if (hadPrevious_) return Renamed(previousPath_, path_);
  return {path_, platform::RemoveFile(path_.CStr().c_str())};
}

void ReserveCopy::Commit() {
  if (state_ != State::InPlace) return;
  state_ = State::Committed;
  // Should this fail, the next run finds the reserve copy unlike the
  // FastEcho file and removes the previous one then.
  if (hadPrevious_) Remove(previousPath_);
}

void ReserveCopy::Abandon() {
  if (state_ == State::Made) {
    platform::CloseFile(copy_);  // the copy goes: a failed close loses nothing
    copy_ = platform::kInvalidHandle;
    Remove(temporaryPath_);  // one that stays is replaced by the next run's
  } else if (state_ == State::InPlace) {
    // Whether the FastEcho file changed decides which copy is the undo
    // point; when that cannot be read now, the next run settles it.
    bool unchanged = false;
    if (!CompareContents(path_, source_, &unchanged).Failed()) {
      if (unchanged) RestorePrevious();
      else Commit();
    }
  }
  state_ = state_ == State::Committed ? state_ : State::None;
}
