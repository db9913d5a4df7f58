#include "driver/area_pass.h"

#include <cstring>

#include "driver/list_lookup.h"
#include "driver/reserve_copy.h"
#include "log/console.h"
#include "platform/fault_injection.h"
#include "util/files.h"
#include "util/strings.h"

using namespace fastecho;

namespace {

namespace faults = platform::faults;

// What the pass knows while it walks: where it works and what it has
// already made sure of.
struct PassContext {
  RunState& run;
  ShortString cfgPath;
  std::uint16_t recordSize = 0;
  bool matchedReserveCopy = false;  // checked before the first write
  bool firstWriteOnDisk = false;    // the previous reserve copy may go
  ListLookup lists{run};
};

[[noreturn]] void Stop(PassContext& pass, const ShortString& message) { StopRun(pass.run, message); }

// Why the FastEcho file's stream failed, in the words of the messages.
FileError StreamFailure(const RecordStream& stream, const ShortString& path) {
  if (stream.Status() == kStreamWriteError) return {path, platform::kDiskFull};
  if (stream.Status() == kStreamReadError) return {path, "shorter than it was"};
  return {path, static_cast<std::uint32_t>(stream.ErrorInfo())};
}

[[noreturn]] void StopForTheFile(PassContext& pass, const char* what, const FileError& failure) {
  Stop(pass, ShortString(what) + pass.cfgPath + Because(failure));
}

[[noreturn]] void StopForTheStream(PassContext& pass, const char* what) {
  StopForTheFile(pass, what, StreamFailure(*pass.run.stream, pass.cfgPath));
}

using Comparison = ReserveCopy::Comparison;

// Another program (FastEcho's own setup, say) may rewrite the file while
// the pass runs. A description is written only into the file that was
// copied, into the very record that was examined, and never past the end.
// Before the first write, the copy made of the file becomes the reserve
// copy, and the log holds what the run did so far.
void PrepareWrite(PassContext& pass, const std::uint8_t* record, std::uint64_t recordStart,
                  const ShortString& tag) {
  RecordStream& stream = *pass.run.stream;
  ReserveCopy& reserveCopy = *pass.run.reserveCopy;
  const bool first = !pass.matchedReserveCopy;
  if (first) {
    FileError failure;
    const Comparison comparison = reserveCopy.CompareWith(stream, &failure);
    if (comparison == Comparison::Changed)
      Stop(pass, pass.cfgPath + " was changed by another program after its reserve copy was made; "
                                "nothing was written");
    if (comparison == Comparison::Unreadable)
      Stop(pass, ShortString("Can't check ") + pass.cfgPath + " against its reserve copy" + Naming(failure));
    pass.matchedReserveCopy = true;
  }
  std::uint8_t now[kRecordBufferSize];
  stream.Seek(static_cast<std::int64_t>(recordStart));
  stream.Read(now, pass.recordSize);
  const bool readFailed = stream.Status() != kStreamOk && stream.Status() != kStreamReadError;
  if (readFailed) StopForTheStream(pass, "Can't read ");
  if (stream.Status() != kStreamOk || std::memcmp(now, record, pass.recordSize) != 0)
    Stop(pass, pass.cfgPath + " was changed by another program during the run (area " + tag + ")");
  if (!first) return;
  const FirstWrite firstWrite{DescriptionPosition(recordStart), record + kDescriptionOffset};
  if (const FileError failure = reserveCopy.PutInPlace(firstWrite); failure.Failed())
    Stop(pass, ShortString("Can't make reserve copy") + Naming(failure));
  pass.run.log->FlushToDisk();  // the run's start and its reserve copy told, on the disk
}

// With several lists, the preview also says which gives the description.
void ShowWhatWouldBeWritten(const RunState& run, const std::uint8_t* record, const ShortString& tag,
                            const Description& description, const EchoListFile& from) {
  std::string line = AreaDescriptionEmpty(record) ? "   Would add description for area "
                                                  : "   Would replace description for area ";
  line += Shown(run, tag);
  line += ": \"";
  if (!AreaDescriptionEmpty(record)) {
    line += Shown(run, AreaDescription(record));
    line += "\" with \"";
  }
  line += Shown(run, CStrToShort(description, kDescriptionWidth));
  line += '"';
  if (run.echoLists.size() > 1) line += "  (from " + Shown(run, from.Path()) + ")";
  ConsoleResult(line);
}

// The first description written must be on the disk before the previous
// reserve copy is given up.
void SecureFirstWrite(PassContext& pass) {
  if (pass.firstWriteOnDisk) return;
  if (const std::uint32_t error = pass.run.stream->FlushToDisk())
    StopForTheFile(pass, "Can't write to ", {pass.cfgPath, error});
  pass.run.reserveCopy->Commit();
  pass.firstWriteOnDisk = true;
}

bool IsEligible(const RunState& run, const std::uint8_t* record) {
  return AreaKind(record) == 0 && (AreaDescriptionEmpty(record) || run.settings.forceDesc);
}

// The echo list is read once, for the tags of all the areas the walk will
// look up.
void ExpectTheWalksTags(RunState& run, const AreaTable& table) {
  ForEachAreaRecordAhead(*run.stream, table, run.fastEchoSize, [&](const std::uint8_t* record) {
    if (!IsEligible(run, record)) return;
    for (const auto& list : run.echoLists) list->Expect(AreaTag(record));
  });
}

void DescribeArea(PassContext& pass, const std::uint8_t* record, std::uint64_t recordStart) {
  RunState& run = pass.run;
  if (!IsEligible(run, record)) return;
  const ShortString tag = AreaTag(record);
  Description description;
  LogWriter& log = *run.log;
  const EchoListFile* from = pass.lists.Describe(tag, description);
  if (!from) {
    log.Log('-', kProgramTag, ShortString("   No description for area") + Shown(run, tag));
    return;
  }
  if (run.settings.upcaseFirstDescChar) description[0] = run.codePage->UpCase(description[0]);
  // A field that holds these very bytes already changes nothing: no write,
  // no line, no count, and the previous reserve copy stays the undo point.
  if (std::memcmp(description, record + kDescriptionOffset, kDescriptionWidth) == 0) return;
  if (run.readOnly) {
    ShowWhatWouldBeWritten(run, record, tag, description, *from);
    ++run.addedCount;
    return;
  }
  faults::Reached(faults::Moment::DescriptionFound);
  PrepareWrite(pass, record, recordStart, tag);
  RecordStream& stream = *run.stream;
  stream.Seek(static_cast<std::int64_t>(DescriptionPosition(recordStart)));
  stream.Write(description, kDescriptionWidth);
  stream.Flush();  // the bytes reach the file before Status is tested
  if (stream.Status() != kStreamOk) StopForTheStream(pass, "Can't write to ");
  // The file holds the description now: the log says so before anything
  // else can stop the run.
  log.Log('+', kProgramTag, ShortString("   Added description for area ") + tag);
  // What FORCEDESC replaced is kept in the log, not only in a reserve copy
  // that the next run that writes replaces.
  if (!AreaDescriptionEmpty(record))
    log.Log('%', kProgramTag, ShortString("    ") + tag + " was \"" + AreaDescription(record) + "\"");
  log.Flush();  // a run killed now leaves no description untold
  ++run.addedCount;
  SecureFirstWrite(pass);
}

// Before the run reports its result, what it wrote is on the disk and the
// file closed, both checked; a run that wrote nothing keeps the previous
// reserve copy and says so.
void FinishWriting(PassContext& pass) {
  RunState& run = pass.run;
  if (run.addedCount > 0) {
    run.log->FlushToDisk();  // every description the next sync keeps has its line there
    std::uint32_t error = run.stream->FlushToDisk();
    const std::uint32_t closed = run.stream->Close();
    if (error == 0) error = closed;
    if (error != 0) StopForTheFile(pass, "Can't write to ", {pass.cfgPath, error});
    return;
  }
  run.stream->Close();  // nothing was written: its close loses nothing
  run.reserveCopy->Abandon();
  run.log->Log('%', kProgramTag,
               run.reserveCopy->Settled() == Settlement::None
                   ? "  Nothing was changed; the reserve copy was left as it was"
                   : "  Nothing was changed; the reserve copy holds the file as it was before the last run "
                     "that changed it");
}

}  // namespace

ShortString FastEchoPath(const RunState& run) { return UpCasePath(run.settings.fastEchoCfgPath); }

std::string Shown(const RunState& run, std::string_view text) {
  return run.utf8Console ? run.codePage->ToUtf8(text) : std::string(text);
}

void StopRun(RunState& run, const ShortString& message) { run.log->Error(kProgramTag, message); }

void StopUnlessPresent(RunState& run, const ShortString& cfgPath) {
  if (cfgPath.empty()) StopRun(run, cfgPath + " not found (FASTECHOCFG is not set in " + run.settingsPath + ")");
  const FileError status{cfgPath, FileStatus(cfgPath)};
  if (platform::IsNotFound(status.code)) StopRun(run, cfgPath + " not found" + WhereNotFound(status));
  if (status.Failed()) StopRun(run, ShortString("Can't open ") + cfgPath + Because(status));
}

bool OpenAreaTable(RunState& run, const ShortString& cfgPath, AreaTable* table) {
  LogWriter& log = *run.log;
  run.stream = RecordStream::Open(cfgPath, run.readOnly ? kFastEchoReadMode : kFastEchoOpenMode,
                                  kStreamBufferSize);
  if (run.stream->Status() != kStreamOk)
    StopRun(run, ShortString("Can't open ") + cfgPath + Because(StreamFailure(*run.stream, cfgPath)));

  run.fastEchoSize = run.stream->Size();
  *table = LocateAreaTable(*run.stream);
  log.Log('%', kProgramTag, ShortString("  Processing \"") + cfgPath + "\"..");
  const std::int32_t status = run.stream->Status();
  if (status != kStreamOk && status != kStreamReadError)
    StopRun(run, ShortString("Can't read ") + cfgPath + Because(StreamFailure(*run.stream, cfgPath)));
  if (status == kStreamOk && !AreaRecordSizeSupported(table->areaRecordSize)) {
    log.Warning(kProgramTag, ShortString("Area record size ") + NumToStr(table->areaRecordSize) +
                                 " is not supported; no area was processed");
    return false;
  }
  return true;
}

void EndWalk(RunState& run, const ShortString& cfgPath, const WalkEnd& end) {
  if (end.readFailed)
    StopRun(run, ShortString("Can't read ") + cfgPath + Because(StreamFailure(*run.stream, cfgPath)));
  // The walk ending at once is no failure, but a FASTECHOCFG that names
  // another file should not go unnoticed.
  if (end.records == 0)
    run.log->Warning(kProgramTag, cfgPath + " holds no area record (" +
                                      NumToStr(run.fastEchoSize) + " bytes)");
}

namespace {

// The preview stops where the run would, as far as that can be told
// without creating or writing anything.
void ForeseeTheRun(RunState& run, const ShortString& cfgPath) {
  if (const FileError failure = ReserveCopy(run.installationDir).CouldMake(cfgPath); failure.Failed())
    StopRun(run, ShortString("Can't make reserve copy") + Naming(failure));
  const FileError open{cfgPath, ProbeOpen(cfgPath, kFastEchoOpenMode.access, kFastEchoOpenMode.sharing,
                                          platform::Target::DiskFile)};
  if (open.Failed()) StopRun(run, ShortString("Can't open ") + cfgPath + Because(open));
}

}  // namespace

void DescribeAreas(RunState& run) {
  LogWriter& log = *run.log;
  PassContext pass{run, FastEchoPath(run)};
  StopUnlessPresent(run, pass.cfgPath);

  if (run.readOnly) {
    ForeseeTheRun(run, pass.cfgPath);
  } else {
    run.reserveCopy = std::make_unique<ReserveCopy>(run.installationDir);
    // However the run stops, a copy of this run's is removed or settled first.
    log.SetStopHook([&run] { run.reserveCopy->Abandon(); });
    log.Log('%', kProgramTag,
            ShortString("  Making reserve copy of Fastecho.cfg [") + FullPath(run.reserveCopy->Path()) + "]");
    if (const FileError failure = run.reserveCopy->Make(pass.cfgPath); failure.Failed())
      log.Error(kProgramTag, ShortString("Can't make reserve copy") + Naming(failure));
    if (const char* settled = SettlementText(run.reserveCopy->Settled())) log.Log('%', kProgramTag, settled);
    faults::Reached(faults::Moment::ReserveCopyMade);
  }

  AreaTable table;
  if (OpenAreaTable(run, pass.cfgPath, &table)) {
    pass.recordSize = table.areaRecordSize;
    if (!run.echoLists.empty()) ExpectTheWalksTags(run, table);
    EndWalk(run, pass.cfgPath,
            ForEachAreaRecord(*run.stream, table, [&](const std::uint8_t* record, std::uint64_t start) {
              DescribeArea(pass, record, start);
            }));
    pass.lists.TellTheRest();
  }
  if (!run.readOnly) FinishWriting(pass);
}
