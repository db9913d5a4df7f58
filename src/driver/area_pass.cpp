#include "driver/area_pass.h"

#include <cstring>
#include <vector>

#include "log/console.h"
#include "platform/fault_injection.h"
#include "util/cp866.h"
#include "util/files.h"
#include "util/strings.h"

using namespace fastecho;

namespace {

namespace faults = platform::faults;

// Reads the reserve copy for the comparison in large pieces: it is read
// once, whole.
constexpr std::uint32_t kCompareChunkSize = 64 * 1024;
constexpr StreamMode kReadSharedMode{platform::Access::Read, platform::Sharing::Read};

// What the pass knows while it walks: where it works and what it has
// already made sure of.
struct PassContext {
  RunState& run;
  ShortString cfgPath;
  ShortString reserveCopyPath;
  std::uint16_t recordSize = 0;
  bool matchedReserveCopy = false;  // checked before the first write
  bool toldUnreadableList = false;  // the sysop is told once
};

enum class Comparison { Same, Changed, Unreadable };

// A read that met the end of the file found it shorter than before; any
// other failure says nothing about the file's contents.
Comparison ReadFailure(const RecordStream& stream) {
  return stream.Status() == kStreamReadError ? Comparison::Changed : Comparison::Unreadable;
}

// Whether the open FastEcho file holds exactly the bytes of its reserve
// copy: whether anybody changed it between the copy and now.
Comparison CompareWithReserveCopy(RecordStream& stream, const ShortString& reserveCopyPath) {
  auto copy = RecordStream::Open(reserveCopyPath, kReadSharedMode, kCompareChunkSize);
  const std::int64_t size = stream.Size();
  const std::int64_t copySize = copy->Size();
  if (copy->Status() != kStreamOk || stream.Status() != kStreamOk) return Comparison::Unreadable;
  if (copySize != size) return Comparison::Changed;
  std::vector<std::uint8_t> expected(kCompareChunkSize), actual(kCompareChunkSize);
  stream.Seek(0);
  for (std::int64_t left = size; left > 0;) {
    const auto n = static_cast<std::uint32_t>(left < kCompareChunkSize ? left : kCompareChunkSize);
    copy->Read(expected.data(), n);
    if (copy->Status() != kStreamOk) return Comparison::Unreadable;
    stream.Read(actual.data(), n);
    if (stream.Status() != kStreamOk) return ReadFailure(stream);
    if (std::memcmp(expected.data(), actual.data(), n) != 0) return Comparison::Changed;
    left -= n;
  }
  return Comparison::Same;
}

void StopUnlessSame(PassContext& pass, Comparison comparison, const ShortString& changedMessage) {
  LogWriter& log = *pass.run.log;
  if (comparison == Comparison::Changed) log.Error(kProgramTag, changedMessage);
  if (comparison == Comparison::Unreadable)
    log.Error(kProgramTag, ShortString("Can't check ") + pass.cfgPath + " against its reserve copy");
}

// Another program (FastEcho's own setup, say) may rewrite the file while
// the pass runs. A description is written only into the file that was
// copied, into the very record that was examined, and never past the end.
void EnsureStillTheSameRecord(PassContext& pass, const std::uint8_t* record,
                              std::uint64_t recordStart, const ShortString& tag) {
  RecordStream& stream = *pass.run.stream;
  if (!pass.matchedReserveCopy) {
    StopUnlessSame(pass, CompareWithReserveCopy(stream, pass.reserveCopyPath),
                   pass.cfgPath + " was changed by another program after its reserve copy was "
                                  "made; nothing was written");
    pass.matchedReserveCopy = true;
  }
  std::uint8_t now[kRecordBufferSize];
  stream.Seek(static_cast<std::int64_t>(recordStart));
  stream.Read(now, pass.recordSize);
  const Comparison comparison = stream.Status() != kStreamOk ? ReadFailure(stream)
                                : std::memcmp(now, record, pass.recordSize) != 0 ? Comparison::Changed
                                                                                 : Comparison::Same;
  StopUnlessSame(pass, comparison,
                 pass.cfgPath + " was changed by another program during the run (area " + tag + ")");
}

void DescribeArea(PassContext& pass, const std::uint8_t* record, std::uint64_t recordStart) {
  RunState& run = pass.run;
  if (AreaKind(record) != 0) return;
  if (!AreaDescriptionEmpty(record) && !run.settings.forceDesc) return;
  const ShortString tag = AreaTag(record);
  Description description;
  LogWriter& log = *run.log;
  if (!run.echoList.LookupDescription(tag, description) && !pass.toldUnreadableList) {
    log.Warning(kProgramTag, ShortString("Can't read the echo list \"") + run.echoList.Path() +
                                 "\"; its areas get no description");
    pass.toldUnreadableList = true;
  }
  if (description[0] == 0) {
    log.Log('-', kProgramTag, ShortString("   No description for area") + Shown(run, tag));
    return;
  }
  if (run.settings.upcaseFirstDescChar) description[0] = UpCaseChar(description[0]);
  if (run.readOnly) {
    const ShortString text = CStrToShort(description, kDescriptionWidth);
    ConsoleWriteLine("   Would add description for area " + Shown(run, tag) + ": \"" +
                     Shown(run, text) + "\"");
    ++run.addedCount;
    return;
  }
  faults::Reached(faults::Moment::DescriptionFound);
  EnsureStillTheSameRecord(pass, record, recordStart, tag);
  RecordStream& stream = *run.stream;
  stream.Seek(static_cast<std::int64_t>(DescriptionPosition(recordStart)));
  stream.Write(description, kDescriptionWidth);
  stream.Flush();  // the bytes reach the file before Status is tested
  if (stream.Status() != kStreamOk) log.Error(kProgramTag, ShortString("Can't write to ") + pass.cfgPath);
  log.Log('+', kProgramTag, ShortString("   Added description for area ") + tag);
  ++run.addedCount;
}

}  // namespace

ShortString FastEchoPath(const RunState& run) { return UpCasePath(run.settings.fastEchoCfgPath); }

std::string Shown(const RunState& run, std::string_view text) {
  return run.utf8Console ? Cp866ToUtf8(text) : std::string(text);
}

bool OpenAreaTable(RunState& run, const ShortString& cfgPath, AreaTable* table) {
  LogWriter& log = *run.log;
  run.stream = RecordStream::Open(cfgPath, run.readOnly ? kFastEchoReadMode : kFastEchoOpenMode,
                                  kStreamBufferSize);
  if (run.stream->Status() != kStreamOk) log.Error(kProgramTag, ShortString("Can't open ") + cfgPath);

  *table = LocateAreaTable(*run.stream);
  log.Log('%', kProgramTag, ShortString("  Processing \"") + cfgPath + "\"..");
  if (run.stream->Status() == kStreamOk && !AreaRecordSizeSupported(table->areaRecordSize)) {
    log.Warning(kProgramTag, ShortString("Area record size ") + NumToStr(table->areaRecordSize) +
                                 " is not supported; no area was processed");
    return false;
  }
  return true;
}

void DescribeAreas(RunState& run) {
  LogWriter& log = *run.log;
  PassContext pass{run, FastEchoPath(run), ReserveCopyPath(run)};
  if (!FileExists(pass.cfgPath)) log.Error(kProgramTag, pass.cfgPath + " not found");

  if (!run.readOnly) {
    log.Log('%', kProgramTag,
            ShortString("  Making reserve copy of Fastecho.cfg [") + pass.reserveCopyPath + "]");
    if (!CopyFile(pass.cfgPath, pass.reserveCopyPath)) log.Error(kProgramTag, "Can't make reserve copy");
    faults::Reached(faults::Moment::ReserveCopyMade);
  }

  AreaTable table;
  if (!OpenAreaTable(run, pass.cfgPath, &table)) return;
  pass.recordSize = table.areaRecordSize;
  ForEachAreaRecord(*run.stream, table, [&](const std::uint8_t* record, std::uint64_t start) {
    DescribeArea(pass, record, start);
  });
}
