#include "driver/restore.h"

#include <cstring>
#include <vector>

#include "driver/area_pass.h"
#include "log/console.h"
#include "platform/fault_injection.h"
#include "util/files.h"
#include "util/strings.h"

using namespace fastecho;

namespace {

// Both files are read, and the FastEcho file written, in large pieces.
constexpr std::uint32_t kPieceSize = 64 * 1024;
// Nobody else may have the FastEcho file open while it is restored: the
// open asks what the copy's own read of it asks, and writing besides.
constexpr StreamMode kExclusiveMode{platform::Access::ReadWrite, platform::Sharing::None};
constexpr StreamMode kSharedReadMode{platform::Access::Read, platform::Sharing::ReadWrite};

struct Restore {
  RunState& run;
  ShortString cfgPath;   // the FastEcho file, as the messages show it
  ShortString copyPath;  // the reserve copy it is restored from
};

[[noreturn]] void Refuse(Restore& r, const ShortString& why) {
  StopRun(r.run, ShortString("Can't restore ") + r.cfgPath + why);
}

// A failure names its file, but for the FastEcho file the message names.
[[noreturn]] void Fail(Restore& r, const FileError& failure) {
  Refuse(r, failure.path == r.cfgPath ? Because(failure) : Naming(failure));
}

FileError StreamFailure(const RecordStream& stream, const ShortString& path) {
  if (stream.Status() == kStreamWriteError) return {path, platform::kDiskFull};
  if (stream.Status() == kStreamReadError) return {path, platform::kIoError};
  return {path, static_cast<std::uint32_t>(stream.ErrorInfo())};
}

std::unique_ptr<RecordStream> OpenOrStop(Restore& r, const ShortString& path, StreamMode mode) {
  std::unique_ptr<RecordStream> stream = RecordStream::Open(path, mode, kPieceSize);
  if (stream->Status() != kStreamOk) Fail(r, StreamFailure(*stream, path));
  return stream;
}

std::int64_t SizeOrStop(Restore& r, RecordStream& stream, const ShortString& path) {
  const std::int64_t size = stream.Size();
  if (stream.Status() != kStreamOk) Fail(r, StreamFailure(stream, path));
  return size;
}

// The tags of a FastEcho file's areas, in file order; `notFastEcho` says
// why a file is none. Every read stays within the file's `size`, so that
// the stream can still be written afterwards.
struct Areas {
  std::vector<ShortString> tags;
  ShortString notFastEcho;
};

Areas ReadAreas(Restore& r, RecordStream& stream, const ShortString& path, std::int64_t size) {
  Areas areas;
  if (size < kFixedPartSize) {
    areas.notFastEcho = "it is shorter than a FastEcho file's header";
    return areas;
  }
  stream.Seek(0);
  const AreaTable table = LocateAreaTable(stream);
  if (stream.Status() != kStreamOk) Fail(r, StreamFailure(stream, path));
  if (!AreaRecordSizeSupported(table.areaRecordSize)) {
    areas.notFastEcho = ShortString("area record size ") + NumToStr(table.areaRecordSize) + " is not supported";
    return areas;
  }
  std::uint8_t record[kRecordBufferSize];
  const auto end = static_cast<std::uint64_t>(size);
  for (std::uint64_t start = table.firstAreaOffset;
       start <= end && end - start >= table.areaRecordSize; start += table.areaRecordSize) {
    stream.Seek(static_cast<std::int64_t>(start));
    stream.Read(record, table.areaRecordSize);
    if (stream.Status() != kStreamOk) Fail(r, StreamFailure(stream, path));
    areas.tags.push_back(AreaTag(record));
  }
  if (areas.tags.empty()) areas.notFastEcho = "it holds no area record";
  return areas;
}

// The copy must be a FastEcho file with the file's own areas: a copy made
// before areas were added or removed would take them away.
void CheckAreas(Restore& r, RecordStream& copy, std::int64_t copySize, RecordStream& file, std::int64_t fileSize) {
  const Areas copyAreas = ReadAreas(r, copy, r.copyPath, copySize);
  if (!copyAreas.notFastEcho.empty())
    Refuse(r, ShortString(": its reserve copy ") + FullPath(r.copyPath) + " is not a FastEcho file (" +
                  copyAreas.notFastEcho + ")");
  const Areas fileAreas = ReadAreas(r, file, r.cfgPath, fileSize);
  if (!fileAreas.notFastEcho.empty())
    Refuse(r, ShortString(": it is not a FastEcho file (") + fileAreas.notFastEcho + ")");
  const std::vector<ShortString>& a = copyAreas.tags;
  const std::vector<ShortString>& b = fileAreas.tags;
  std::size_t n = 0;
  while (n < a.size() && n < b.size() && a[n] == b[n]) ++n;
  if (n == a.size() && n == b.size()) return;
  const auto tag = [&r](const std::vector<ShortString>& tags, std::size_t at) {
    return at < tags.size() ? ShortString(Shown(r.run, tags[at])) : ShortString("none");
  };
  Refuse(r, ShortString(": its reserve copy holds other areas (area ") + NumToStr(static_cast<std::int64_t>(n + 1)) +
                ": " + tag(a, n) + " in the copy, " + tag(b, n) + " in the file)");
}

// Whether the two files hold the same bytes.
bool SameBytes(Restore& r, RecordStream& copy, std::int64_t copySize, RecordStream& file, std::int64_t fileSize) {
  if (copySize != fileSize) return false;
  std::vector<std::uint8_t> a(kPieceSize), b(kPieceSize);
  for (std::int64_t at = 0; at < copySize; at += kPieceSize) {
    const auto n = static_cast<std::uint32_t>(copySize - at < kPieceSize ? copySize - at : kPieceSize);
    copy.Seek(at);
    copy.Read(a.data(), n);
    if (copy.Status() != kStreamOk) Fail(r, StreamFailure(copy, r.copyPath));
    file.Seek(at);
    file.Read(b.data(), n);
    if (file.Status() != kStreamOk) Fail(r, StreamFailure(file, r.cfgPath));
    if (std::memcmp(a.data(), b.data(), n) != 0) return false;
  }
  return true;
}

// The copy's bytes written over the file's, the file cut to the copy's
// length, on the disk and closed, each step checked.
void WriteBack(Restore& r, RecordStream& copy, std::int64_t copySize, RecordStream& file,
               const ShortString& replaced) {
  std::vector<std::uint8_t> piece(kPieceSize);
  std::uint32_t error = 0;
  for (std::int64_t at = 0; at < copySize && error == 0; at += kPieceSize) {
    const auto n = static_cast<std::uint32_t>(copySize - at < kPieceSize ? copySize - at : kPieceSize);
    copy.Seek(at);
    copy.Read(piece.data(), n);
    if (copy.Status() != kStreamOk) Fail(r, StreamFailure(copy, r.copyPath));
    file.Seek(at);
    file.Write(piece.data(), n);
    file.Flush();
    if (file.Status() != kStreamOk) error = StreamFailure(file, r.cfgPath).code;
  }
  if (error == 0) error = file.Truncate(copySize);
  if (error == 0) error = file.FlushToDisk();
  const std::uint32_t closed = file.Close();
  if (error == 0) error = closed;
  if (error != 0)
    StopRun(r.run, ShortString("Can't write to ") + r.cfgPath + Because({r.cfgPath, error}) +
                       "; the file as it was is kept as " + FullPath(replaced));
}

void Preview(Restore& r) {
  ReserveCopy reserveCopy(r.run.installationDir);
  if (const FileError failure = reserveCopy.CouldMake(r.cfgPath, true); failure.Failed()) Fail(r, failure);
  const FileError exclusive{r.cfgPath, ProbeOpen(r.cfgPath, kExclusiveMode.access, kExclusiveMode.sharing,
                                                 platform::Target::DiskFile)};
  if (exclusive.Failed()) Fail(r, exclusive);
  Settlement settlement = Settlement::None;
  if (const FileError failure = reserveCopy.ForeseeSettlement(r.cfgPath, &settlement); failure.Failed())
    Fail(r, failure);
  if (settlement == Settlement::PutBack) {
    ConsoleResult("  The previous reserve copy would be put back first (a run was stopped before its first change)");
    r.copyPath = reserveCopy.PreviousPath();  // what the reserve copy would then be
  } else if (settlement == Settlement::Removed) {
    ConsoleResult("  A previous run's reserve copy would be removed first");
  }
  auto copy = OpenOrStop(r, r.copyPath, kSharedReadMode);
  auto file = OpenOrStop(r, r.cfgPath, kSharedReadMode);
  const std::int64_t copySize = SizeOrStop(r, *copy, r.copyPath), fileSize = SizeOrStop(r, *file, r.cfgPath);
  CheckAreas(r, *copy, copySize, *file, fileSize);
  if (SameBytes(r, *copy, copySize, *file, fileSize)) {
    ConsoleResult(ShortString("  ") + r.cfgPath + " already holds its reserve copy; nothing would be restored");
    return;
  }
  ConsoleResult(ShortString("   Would restore ") + r.cfgPath + " from its reserve copy [" +
                FullPath(reserveCopy.Path()) + "]; the file it replaces would be kept as [" +
                FullPath(reserveCopy.ReplacedPath()) + "]");
}

}  // namespace

void RestoreReserveCopy(RunState& run) {
  Restore r{run, FastEchoPath(run), {}};
  StopUnlessPresent(run, r.cfgPath);
  if (run.readOnly) {
    r.copyPath = ReserveCopy(run.installationDir).Path();
    Preview(r);
    return;
  }
  LogWriter& log = *run.log;
  run.reserveCopy = std::make_unique<ReserveCopy>(run.installationDir);
  ReserveCopy& reserveCopy = *run.reserveCopy;
  r.copyPath = reserveCopy.Path();
  // However the restore stops, its copy of the file is removed first.
  log.SetStopHook([&run] { run.reserveCopy->Abandon(); });
  // The file as it is now, for $FE_CFG$.QZ+; making it settles what a
  // stopped run left, so that the reserve copy is the one to restore.
  if (const FileError failure = reserveCopy.Make(r.cfgPath, true); failure.Failed()) Fail(r, failure);
  platform::faults::Reached(platform::faults::Moment::ReserveCopyMade);
  if (const char* settled = SettlementText(reserveCopy.Settled())) log.Log('%', kProgramTag, settled);

  auto copy = OpenOrStop(r, r.copyPath, kSharedReadMode);
  run.stream = OpenOrStop(r, r.cfgPath, kExclusiveMode);
  RecordStream& file = *run.stream;
  FileError failure;
  switch (reserveCopy.CompareWith(file, &failure)) {
    case ReserveCopy::Comparison::Same:
      break;
    case ReserveCopy::Comparison::Changed:
      StopRun(run, r.cfgPath + " was changed by another program after it was copied; nothing was restored");
    case ReserveCopy::Comparison::Unreadable:
      Fail(r, failure);
  }
  const std::int64_t copySize = SizeOrStop(r, *copy, r.copyPath), fileSize = SizeOrStop(r, file, r.cfgPath);
  CheckAreas(r, *copy, copySize, file, fileSize);
  if (SameBytes(r, *copy, copySize, file, fileSize)) {
    file.Close();  // only read: its close loses nothing
    reserveCopy.Abandon();
    log.Log('%', kProgramTag, ShortString("  ") + r.cfgPath + " already holds its reserve copy; nothing was restored");
    return;
  }
  if (const FileError kept = reserveCopy.KeepAsReplaced(); kept.Failed()) Fail(r, kept);
  WriteBack(r, *copy, copySize, file, reserveCopy.ReplacedPath());
  log.Log('%', kProgramTag,
          ShortString("  Restored ") + r.cfgPath + " from its reserve copy [" + FullPath(reserveCopy.Path()) +
              "]; the file it replaced is kept as [" + FullPath(reserveCopy.ReplacedPath()) + "]");
}
