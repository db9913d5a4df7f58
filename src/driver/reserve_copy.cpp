#include "driver/reserve_copy.h"

#include <cstring>
#include <string>
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

FileError IdentityOf(const ShortString& path, platform::FileId* id) {
  return {path, platform::GetFileId(path.CStr().c_str(), id)};
}

// Reads up to `count` bytes at the file pointer, as many as the file has.
std::uint32_t ReadUpTo(platform::FileHandle handle, std::uint8_t* buffer, std::uint32_t count,
                       std::uint32_t* got) {
  *got = 0;
  while (*got < count) {
    std::uint32_t n = 0;
    if (const std::uint32_t error = platform::ReadFile(handle, buffer + *got, count - *got, &n)) return error;
    if (n == 0) break;
    *got += n;
  }
  return 0;
}

FileError OpenToRead(const ShortString& path, platform::FileHandle* handle) {
  return {path, platform::OpenFile(path.CStr().c_str(), platform::Access::Read, platform::Sharing::ReadWrite,
                                   platform::Creation::OpenExisting, platform::Target::DiskFile, handle)};
}

// Whether the description field at `offset` of `path` still holds `before`
// (a file too short to hold it no longer does).
FileError FieldHolds(const ShortString& path, std::uint64_t offset, const std::uint8_t* before, bool* holds) {
  *holds = false;
  platform::FileHandle handle;
  if (FileError failure = OpenToRead(path, &handle); failure.Failed()) return failure;
  std::uint8_t now[fastecho::kDescriptionWidth] = {};
  std::uint32_t got = 0;
  const std::uint32_t error =
      platform::ReadFileAt(handle, static_cast<std::int64_t>(offset), now, sizeof now, &got);
  platform::CloseFile(handle);  // only read: its close loses nothing
  if (error != 0) return {path, error};
  *holds = got == sizeof now && std::memcmp(now, before, sizeof now) == 0;
  return {};
}

}  // namespace

const char* SettlementText(Settlement settlement) {
  switch (settlement) {
    case Settlement::PutBack:
      return "  The previous reserve copy was put back (a run was stopped before its first change)";
    case Settlement::Removed:
      return "  A previous run's reserve copy was removed";
    case Settlement::None:
      break;
  }
  return nullptr;
}

// The FastEcho file must never be one of the copy's own files: the copy
// would empty it, a rename replace it. And the copy can take the place of
// the previous one only where that one can be replaced.
FileError ReserveCopy::CheckPlaces(const ShortString& source, bool forRestore) const {
  const struct {
    const ShortString& path;
    const char* what;
    bool replaced;  // this run may replace or remove it
  } places[] = {
      {path_, "FASTECHOCFG names the reserve copy itself", true},
      {temporaryPath_, "FASTECHOCFG names the reserve copy's temporary copy", true},
      {previousPath_, "FASTECHOCFG names the previous reserve copy", true},
      {recordPath_, "FASTECHOCFG names the reserve copy's record", true},
      {replacedPath_, "FASTECHOCFG names the file a restore replaced", forRestore},
  };
  for (const auto& place : places) {
    const Sameness sameness = SameFile(source, place.path);
    if (sameness.failure.Failed()) return sameness.failure;
    if (sameness.same) return {source, place.what};
  }
  for (const auto& place : places)
    if (place.replaced)
      if (const std::uint32_t error = ProbeReplace(place.path)) return {place.path, error};
  return {};
}

// What a stopped run left: the previous copy under its third name, told
// apart by its record. Without a record of its own (an earlier version's
// leftover, a record of another installation or a stale one, which names
// another file) the reserve copy still equal to the FastEcho file is all
// there is to go by.
FileError ReserveCopy::Decide(const ShortString& source, Step* step) const {
  *step = Step::None;
  const std::uint32_t previous = FileStatus(previousPath_);
  if (platform::IsNotFound(previous)) {
    *step = Step::DropRecord;
    return {};
  }
  if (previous != 0) return {previousPath_, previous};
  const std::uint32_t current = FileStatus(path_);
  if (platform::IsNotFound(current)) {
    *step = Step::PutBack;  // stopped between the two renames: it wrote nothing
    return {};
  }
  if (current != 0) return {path_, current};

  platform::FileHandle handle;
  FileError failure = OpenToRead(recordPath_, &handle);
  if (failure.Failed() && !platform::IsNotFound(failure.code)) return failure;
  ReserveRecord record;
  bool recorded = false;
  if (!failure.Failed()) {
    std::uint8_t bytes[kReserveRecordSize + 1];  // one more: a longer file is no record
    std::uint32_t got = 0;
    const std::uint32_t error = ReadUpTo(handle, bytes, sizeof bytes, &got);
    platform::CloseFile(handle);  // only read: its close loses nothing
    if (error != 0) return {recordPath_, error};
    recorded = DecodeReserveRecord(std::string(reinterpret_cast<const char*>(bytes), got), &record);
  }
  if (recorded) {
    platform::FileId previousId, fastEchoId;
    if (failure = IdentityOf(previousPath_, &previousId); failure.Failed()) return failure;
    if (failure = IdentityOf(source, &fastEchoId); failure.Failed()) return failure;
    recorded = previousId == record.previous && fastEchoId == record.fastEcho;
  }
  bool unchanged = false;  // the stopped run changed nothing
  if (!recorded)
    failure = CompareContents(path_, source, &unchanged);
  else if (record.phase == ReserveRecord::Phase::Pending)
    failure = FieldHolds(source, record.fieldOffset, record.before, &unchanged);
  if (failure.Failed()) return failure;
  *step = unchanged ? Step::PutBack : Step::RemovePrevious;
  return {};
}

FileError ReserveCopy::Settle(const ShortString& source) {
  Step step;
  if (FileError failure = Decide(source, &step); failure.Failed()) return failure;
  switch (step) {
    case Step::None:
      return {};
    case Step::DropRecord:
      // A stale record names a previous copy that is gone: it misleads
      // nobody, and goes when it is there.
      if (FileStatus(recordPath_) == 0) Remove(recordPath_);
      return {};
    case Step::PutBack:
      if (FileError failure = Renamed(previousPath_, path_); failure.Failed()) return failure;
      settled_ = Settlement::PutBack;
      break;
    case Step::RemovePrevious:
      if (FileError failure{previousPath_, platform::RemoveFile(previousPath_.CStr().c_str())}; failure.Failed())
        return failure;
      settled_ = Settlement::Removed;
      break;
  }
  Remove(recordPath_);  // without its previous copy a record misleads nobody
  return {};
}

FileError ReserveCopy::ForeseeSettlement(const ShortString& source, Settlement* settlement) const {
  Step step;
  const FileError failure = Decide(source, &step);
  *settlement = step == Step::PutBack          ? Settlement::PutBack
                : step == Step::RemovePrevious ? Settlement::Removed
                                               : Settlement::None;
  return failure;
}

FileError ReserveCopy::Make(const ShortString& source, bool forRestore) {
  source_ = source;
  settled_ = Settlement::None;
  if (FileError failure = CheckPlaces(source, forRestore); failure.Failed()) return failure;
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

FileError ReserveCopy::CouldMake(const ShortString& source, bool forRestore) const {
  if (FileError failure = CheckPlaces(source, forRestore); failure.Failed()) return failure;
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
  std::uint32_t got = 0;
  if (const std::uint32_t error = ReadUpTo(handle, buffer, count, &got)) return error;
  return got == count ? 0 : platform::kIoError;
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

// The copy made, on the disk and closed, with its source's attributes.
FileError ReserveCopy::FinishCopy() {
  if (state_ != State::Made) return {temporaryPath_, platform::kNotOpen};
  // A copy whose bytes may not have reached the disk is no reserve copy.
  FileError failure{temporaryPath_, platform::FlushFile(copy_)};
  const std::uint32_t closed = platform::CloseFile(copy_);
  copy_ = platform::kInvalidHandle;
  state_ = State::None;
  if (!failure.Failed()) failure.code = closed;
  if (!failure.Failed()) failure = CopyAttributes(source_, temporaryPath_);
  return failure;
}

// The record of the previous copy about to be set aside, on the disk
// before it is: whatever the run leaves, the next one knows it.
FileError ReserveCopy::MakeRecord(const FirstWrite& first) {
  ReserveRecord record;
  record.fieldOffset = first.fieldOffset;
  std::memcpy(record.before, first.before, sizeof record.before);
  if (FileError failure = IdentityOf(source_, &record.fastEcho); failure.Failed()) return failure;
  if (FileError failure = IdentityOf(path_, &record.previous); failure.Failed()) return failure;
  FileError failure{recordPath_, platform::OpenFile(recordPath_.CStr().c_str(), platform::Access::ReadWrite,
                                                    platform::Sharing::None, platform::Creation::CreateAlways,
                                                    platform::Target::DiskFile, &record_)};
  if (failure.Failed()) return failure;
  const std::string bytes = EncodeReserveRecord(record);
  std::uint32_t written = 0;
  failure.code = platform::WriteFile(record_, bytes.data(), kReserveRecordSize, &written);
  if (!failure.Failed() && written != kReserveRecordSize) failure.code = platform::kDiskFull;
  if (!failure.Failed()) failure.code = platform::FlushFile(record_);
  if (failure.Failed()) DropRecord();
  return failure;
}

void ReserveCopy::DropRecord() {
  if (record_ != platform::kInvalidHandle) platform::CloseFile(record_);  // a record that goes loses nothing
  record_ = platform::kInvalidHandle;
  Remove(recordPath_);  // one that stays names a previous copy that is gone: it misleads nobody
}

FileError ReserveCopy::PutInPlace(const FirstWrite& first) {
  std::memcpy(before_, first.before, sizeof before_);
  first_ = {first.fieldOffset, before_};
  FileError failure = FinishCopy();
  if (!failure.Failed()) {
    const std::uint32_t current = FileStatus(path_);
    hadPrevious_ = current == 0;
    if (hadPrevious_) {
      failure = MakeRecord(first_);
      if (!failure.Failed()) {
        failure = Renamed(path_, previousPath_);
        if (failure.Failed()) DropRecord();
      }
    } else if (!platform::IsNotFound(current)) {
      failure = {path_, current};
    }
  }
  if (failure.Failed()) {
    Remove(temporaryPath_);  // a copy that cannot be removed is replaced by the next run's
    return failure;
  }
  failure = Renamed(temporaryPath_, path_);
  // The rename reaches the disk before the first description does.
  if (!failure.Failed()) failure = {directory_, platform::FlushDirectory(directory_.CStr().c_str())};
  if (failure.Failed()) {
    PutBackOrLeave();
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

// The previous copy back with its record gone; should that fail, both
// stay, and the record tells the next run to put it back.
void ReserveCopy::PutBackOrLeave() {
  const bool back = !RestorePrevious().Failed();
  if (!hadPrevious_) return;
  if (back) {
    DropRecord();
  } else {
    platform::CloseFile(record_);  // written and flushed: its close loses nothing
    record_ = platform::kInvalidHandle;
  }
}

void ReserveCopy::Commit() {
  if (state_ != State::InPlace) return;
  state_ = State::Committed;
  if (!hadPrevious_) return;
  // The record says so first: should the removal fail, the next run removes
  // the previous copy whatever the FastEcho file holds by then (a restore
  // by hand included). Should this write fail, the next run finds the
  // description in its field and does the same.
  const auto phase = static_cast<std::uint8_t>(ReserveRecord::Phase::OnDisk);
  std::uint32_t written = 0;
  if (platform::WriteFileAt(record_, kReserveRecordPhaseOffset, &phase, 1, &written) == 0 && written == 1)
    platform::FlushFile(record_);
  if (platform::RemoveFile(previousPath_.CStr().c_str()) == 0) {
    DropRecord();
  } else {
    platform::CloseFile(record_);  // flushed, or judged by the field: its close loses nothing
    record_ = platform::kInvalidHandle;
  }
}

void ReserveCopy::Abandon() {
  if (state_ == State::Made) {
    platform::CloseFile(copy_);  // the copy goes: a failed close loses nothing
    copy_ = platform::kInvalidHandle;
    Remove(temporaryPath_);  // one that stays is replaced by the next run's
  } else if (state_ == State::InPlace) {
    // Whether the first description reached its field decides which copy
    // is the undo point; when that cannot be read now, the record stays
    // for the next run.
    bool unchanged = false;
    if (FieldHolds(source_, first_.fieldOffset, first_.before, &unchanged).Failed()) {
      if (record_ != platform::kInvalidHandle) platform::CloseFile(record_);  // flushed: loses nothing
      record_ = platform::kInvalidHandle;
    } else if (unchanged) {
      PutBackOrLeave();
    } else {
      Commit();
    }
  }
  state_ = state_ == State::Committed ? state_ : State::None;
}

FileError ReserveCopy::KeepAsReplaced() {
  FileError failure = FinishCopy();
  if (!failure.Failed()) failure = Renamed(temporaryPath_, replacedPath_);
  if (!failure.Failed()) failure = {directory_, platform::FlushDirectory(directory_.CStr().c_str())};
  if (failure.Failed()) Remove(temporaryPath_);  // gone already once renamed
  return failure;
}
