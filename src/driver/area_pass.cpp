#include "driver/area_pass.h"

#include "util/files.h"
#include "util/strings.h"

using namespace fastecho;

namespace {

void DescribeArea(RunState& run, const ShortString& cfgPath, const std::uint8_t* record,
                  std::uint64_t recordStart) {
  if (AreaKind(record) != 0) return;
  if (!AreaDescriptionEmpty(record) && !run.settings.forceDesc) return;
  const ShortString tag = AreaTag(record);
  Description description;
  run.echoList.LookupDescription(tag, description);
  LogWriter& log = *run.log;
  if (description[0] == 0) {
    log.Log('-', kProgramTag, ShortString("   No description for area") + tag);
    return;
  }
  if (run.settings.upcaseFirstDescChar) description[0] = UpCaseChar(description[0]);
  RecordStream& stream = *run.stream;
  stream.Seek(static_cast<std::int64_t>(DescriptionPosition(recordStart)));
  stream.Write(description, kDescriptionWidth);
  stream.Flush();  // the bytes reach the file before Status is tested
  if (stream.Status() != kStreamOk) log.Error(kProgramTag, ShortString("Can't write to ") + cfgPath);
  log.Log('+', kProgramTag, ShortString("   Added description for area ") + tag);
  ++run.addedCount;
}

void WalkAreas(RunState& run, const ShortString& cfgPath, const AreaTable& table) {
  RecordStream& stream = *run.stream;
  std::uint8_t record[kRecordBufferSize];
  std::uint64_t nextRecordPos = table.firstAreaOffset;
  for (;;) {
    stream.Seek(static_cast<std::int64_t>(nextRecordPos));
    stream.Read(record, table.areaRecordSize);
    if (stream.Status() != kStreamOk) return;  // the end of the file, or a partial record
    const std::uint64_t recordStart = nextRecordPos;
    nextRecordPos += table.areaRecordSize;
    DescribeArea(run, cfgPath, record, recordStart);
  }
}

}  // namespace

void DescribeAreas(RunState& run) {
  LogWriter& log = *run.log;
  const ShortString cfgPath = UpCasePath(run.settings.fastEchoCfgPath);
  if (!FileExists(cfgPath)) log.Error(kProgramTag, cfgPath + " not found");

  const ShortString reserveCopyPath = ReserveCopyPath(run);
  log.Log('%', kProgramTag,
          ShortString("  Making reserve copy of Fastecho.cfg [") + reserveCopyPath + "]");
  if (!CopyFile(cfgPath, reserveCopyPath)) log.Error(kProgramTag, "Can't make reserve copy");

  run.stream = RecordStream::Open(cfgPath, kFastEchoOpenMode, kStreamBufferSize);
  if (run.stream->Status() != kStreamOk) log.Error(kProgramTag, ShortString("Can't open ") + cfgPath);

  const AreaTable table = LocateAreaTable(*run.stream);
  log.Log('%', kProgramTag, ShortString("  Processing \"") + cfgPath + "\"..");
  if (run.stream->Status() == kStreamOk && !AreaRecordSizeSupported(table.areaRecordSize)) {
    log.Warning(kProgramTag, ShortString("Area record size ") + NumToStr(table.areaRecordSize) +
                                 " is not supported; no area was processed");
    return;
  }
  WalkAreas(run, cfgPath, table);
}
