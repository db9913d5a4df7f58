#include "log/log_writer.h"

#include "log/console.h"
#include "platform/fault_injection.h"
#include "util/file_error.h"
#include "util/files.h"

namespace {

// Only a missing log is created: an existing one that cannot be appended
// to is shared with other programs and must not be emptied, nor one that
// another program (a second run) created a moment ago. 0, or why not; a
// log that opened but whose Ctrl-Z could not be cut is not tried again
// (the file then says EndMark::Failed).
std::uint32_t OpenOrCreateLog(TextFile& file, const ShortString& name) {
  std::uint32_t error = 0;
  for (int attempt = 0; attempt < 2; ++attempt) {
    platform::faults::Reached(platform::faults::Moment::LogAppending);
    if (OpenTextAppend(file, name, &error)) return 0;
    if (file.EndOfFileMark() == TextFile::EndMark::Failed) return error;
    const std::uint32_t status = FileStatus(name);
    if (status == 0) continue;  // there after all: append to it
    if (!platform::IsNotFound(status)) return status;
    platform::faults::Reached(platform::faults::Moment::LogCreating);
    if (OpenTextCreate(file, name, &error)) return 0;
    if (error != platform::kAlreadyExists) return error;
  }
  return error;
}

}  // namespace

std::unique_ptr<LogWriter> LogWriter::Init(const ShortString& fileName, bool enabled,
                                           Clock clock) {
  std::unique_ptr<LogWriter> writer(new LogWriter(clock));
  if (fileName.empty()) writer->Error("", "Log filename not defined");
  writer->fileName_ = fileName;
  writer->enabled_ = enabled;
  if (enabled) {
    const std::uint32_t error = OpenOrCreateLog(writer->logFile_, fileName);
    // The log is there, but where it ends is not known: a line written now
    // could land behind a Ctrl-Z, hidden from every reader.
    if (error != 0 && writer->logFile_.EndOfFileMark() == TextFile::EndMark::Failed)
      writer->StopForTheLog(error);
    if (error != 0) {
      writer->enabled_ = false;
      writer->Error("", ShortString("Can't create file \"") + fileName + "\"" + Because({fileName, error}));
    }
    if (!writer->AppendLine("")) writer->StopForTheLog(writer->logFile_.IoError());
  }
  return writer;
}

std::unique_ptr<LogWriter> LogWriter::ConsoleOnly() {
  return std::unique_ptr<LogWriter>(new LogWriter(platform::LocalNow));
}

LogWriter::~LogWriter() {
  if (enabled_ && logFile_.IsOpen()) logFile_.Close();  // Done was not called: the run did not end well
}

void LogWriter::Done() {
  if (!enabled_ || !logFile_.IsOpen()) return;
  logFile_.Close();  // flushes what is buffered
  if (logFile_.IoError() != 0) StopForTheLog(logFile_.IoError());
  enabled_ = false;
}

bool LogWriter::EndOfFileMarkKept() const {
  return enabled_ && logFile_.EndOfFileMark() == TextFile::EndMark::Kept;
}

bool LogWriter::AppendLine(std::string_view line) {
  logFile_.WriteLine(line);
  return logFile_.IoError() == 0;
}

void LogWriter::Flush() {
  if (!enabled_) return;
  logFile_.Flush();
  if (logFile_.IoError() != 0) StopForTheLog(logFile_.IoError());
}

// What reaches the disk, and when. Every line goes to the file (the
// system's cache) when the buffer fills, when the caller flushes (the area
// pass does before the first description and after each "+" line), and at
// the close; only FlushToDisk brings it to the disk itself. The area pass
// calls it twice in a run that writes: before the first description (the
// run's start and its reserve copy line are on the disk before anything
// changes) and at the end, before the FastEcho file's last sync. A power
// cut between those two points can leave the descriptions written since
// the first with or without their "+" lines (the reserve copy holds the
// file as it was before the run); the lines after the last sync (the count
// and the finish) may be lost with it.
void LogWriter::FlushToDisk() {
  if (!enabled_) return;
  logFile_.FlushToDisk();
  if (logFile_.IoError() != 0) StopForTheLog(logFile_.IoError());
}

void LogWriter::RunStopHook() {
  if (!stopHook_) return;
  const std::function<void()> hook = std::move(stopHook_);
  stopHook_ = nullptr;  // once, also should the hook itself end in a stop
  hook();
}

// A log with a gap would tell a wrong story: the run ends before anything
// else is changed. The line that failed has reached the console already.
void LogWriter::StopForTheLog(std::uint32_t error) {
  const FileError failure{fileName_, error};
  enabled_ = false;
  if (logFile_.IsOpen()) logFile_.Close();  // nothing more can reach it
  RunStopHook();
  ConsoleError(ShortString("Can't write to the log \"") + fileName_ + "\"" + Because(failure));
}

bool LogWriter::WriteStamped(char mark, const ShortString& tag, std::string_view separator,
                             const ShortString& msg) {
  if (!enabled_) return true;
  ShortString line;
  line += mark;
  line += ' ';
  line += LogStamp(clock_());
  line += ' ';
  line += tag;
  line += separator;
  line += msg;
  return AppendLine(line);
}

void LogWriter::Log(char prefix, const ShortString& tag, const ShortString& msg) {
  const bool logged = WriteStamped(prefix, tag, " ", msg);
  ConsoleWriteLn(msg);
  if (!logged) StopForTheLog(logFile_.IoError());
}

void LogWriter::LogRaw(const ShortString& msg) {
  const bool logged = !enabled_ || AppendLine(msg);
  ConsoleWriteLn(msg);
  if (!logged) StopForTheLog(logFile_.IoError());
}

void LogWriter::LogQuiet(char prefix, const ShortString& tag, const ShortString& msg) {
  if (!WriteStamped(prefix, tag, " ", msg)) StopForTheLog(logFile_.IoError());
}

void LogWriter::Warning(const ShortString& tag, const ShortString& msg) {
  const bool logged = WriteStamped('?', tag, " Warning: ", msg);
  ConsoleWarning(msg);
  if (!logged) StopForTheLog(logFile_.IoError());
}

void LogWriter::Error(const ShortString& tag, const ShortString& msg) {
  RunStopHook();
  // The line is in the file (closed, not brought to the disk) before
  // anything reaches the console; should the log fail now, the console
  // still tells why the run stopped.
  WriteStamped('!', tag, " Error: ", msg);
  if (logFile_.IsOpen()) logFile_.Close();
  enabled_ = false;
  ConsoleError(msg);
}

void LogWriter::Fatal(const ShortString& tag, const ShortString& msg, std::uint8_t exitCode) {
  RunStopHook();
  WriteStamped('!', tag, " Fatal: ", msg);
  if (logFile_.IsOpen()) logFile_.Close();
  enabled_ = false;
  ConsoleFatal(msg, exitCode);
}
