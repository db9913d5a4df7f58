#include "log/log_writer.h"

#include "log/console.h"
#include "platform/fault_injection.h"
#include "util/file_error.h"
#include "util/files.h"

namespace {

// Only a missing log is created: an existing one that cannot be appended
// to is shared with other programs and must not be emptied, nor one that
// another program (a second run) created a moment ago. 0, or why not.
std::uint32_t OpenOrCreateLog(TextFile& file, const ShortString& name) {
  std::uint32_t error = 0;
  for (int attempt = 0; attempt < 2; ++attempt) {
    platform::faults::Reached(platform::faults::Moment::LogAppending);
    if (OpenTextAppend(file, name, &error)) return 0;
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
    if (error != 0) {
      writer->enabled_ = false;
      writer->Error("", ShortString("Can't create file \"") + fileName + "\"" + Because({fileName, error}));
    }
    if (!writer->AppendLine("")) writer->StopForTheLog();
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
  if (logFile_.IoError() != 0) StopForTheLog();
  enabled_ = false;
}

bool LogWriter::AppendLine(std::string_view line) {
  logFile_.WriteLine(line);
  return logFile_.IoError() == 0;
}

void LogWriter::Flush() {
  if (!enabled_) return;
  logFile_.Flush();
  if (logFile_.IoError() != 0) StopForTheLog();
}

void LogWriter::RunStopHook() {
  if (!stopHook_) return;
  const std::function<void()> hook = std::move(stopHook_);
  stopHook_ = nullptr;  // once, also should the hook itself end in a stop
  hook();
}

// A log with a gap would tell a wrong story: the run ends before anything
// else is changed. The line that failed has reached the console already.
void LogWriter::StopForTheLog() {
  const FileError failure{fileName_, logFile_.IoError()};
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
  if (!logged) StopForTheLog();
}

void LogWriter::LogRaw(const ShortString& msg) {
  const bool logged = !enabled_ || AppendLine(msg);
  ConsoleWriteLn(msg);
  if (!logged) StopForTheLog();
}

void LogWriter::LogQuiet(char prefix, const ShortString& tag, const ShortString& msg) {
  if (!WriteStamped(prefix, tag, " ", msg)) StopForTheLog();
}

void LogWriter::Warning(const ShortString& tag, const ShortString& msg) {
  const bool logged = WriteStamped('?', tag, " Warning: ", msg);
  ConsoleWarning(msg);
  if (!logged) StopForTheLog();
}

void LogWriter::Error(const ShortString& tag, const ShortString& msg) {
  RunStopHook();
  // The line is on disk before anything reaches the console; should the
  // log fail now, the console still tells why the run stopped.
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
