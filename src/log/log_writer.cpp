#include "log/log_writer.h"

#include "log/console.h"
#include "util/files.h"

std::unique_ptr<LogWriter> LogWriter::Init(const ShortString& fileName, bool enabled,
                                           Clock clock) {
  std::unique_ptr<LogWriter> writer(new LogWriter(clock));
  if (fileName.empty()) writer->Error("", "Log filename not defined");
  writer->fileName_ = fileName;
  writer->enabled_ = enabled;
  if (enabled) {
    // Only a missing log is created: an existing one that cannot be
    // appended to is shared with other programs and must not be emptied.
    if (!OpenTextAppend(writer->logFile_, fileName) &&
        (FileExists(fileName) || !OpenTextRewrite(writer->logFile_, fileName))) {
      writer->enabled_ = false;
      writer->Error("", ShortString("Can't create file \"") + fileName + "\"");
    }
    writer->AppendLine("");
  }
  return writer;
}

void LogWriter::Done() {
  CloseLog();
  enabled_ = false;
}

void LogWriter::AppendLine(std::string_view line) {
  logFile_.WriteLine(line);
  StopAfterAFailure();
}

void LogWriter::Flush() {
  if (!enabled_) return;
  logFile_.Flush();
  StopAfterAFailure();
}

// A failed log write never stops the run, but its text is lost, and a log
// with a gap would tell a wrong story: the sysop is told at once, on the
// console, and the log is not written again in this run.
void LogWriter::StopAfterAFailure() {
  if (logFile_.IoError() == 0) return;
  enabled_ = false;
  if (logFile_.IsOpen()) logFile_.Close();
  logFile_.TakeIoError();
  ConsoleWarning(ShortString("Can't write to the log \"") + fileName_ +
                 "\"; the rest of this run is not logged");
}

void LogWriter::CloseLog() {
  if (!enabled_ || !logFile_.IsOpen()) return;
  logFile_.Close();  // flushes what is buffered
  StopAfterAFailure();
}

void LogWriter::WriteStamped(char mark, const ShortString& tag, std::string_view separator,
                             const ShortString& msg) {
  if (!enabled_) return;
  ShortString line;
  line += mark;
  line += ' ';
  line += LogStamp(clock_());
  line += ' ';
  line += tag;
  line += separator;
  line += msg;
  AppendLine(line);
}

void LogWriter::Log(char prefix, const ShortString& tag, const ShortString& msg) {
  WriteStamped(prefix, tag, " ", msg);
  ConsoleWriteLn(msg);
}

void LogWriter::LogRaw(const ShortString& msg) {
  if (enabled_) AppendLine(msg);
  ConsoleWriteLn(msg);
}

void LogWriter::LogQuiet(char prefix, const ShortString& tag, const ShortString& msg) {
  WriteStamped(prefix, tag, " ", msg);
}

void LogWriter::Warning(const ShortString& tag, const ShortString& msg) {
  WriteStamped('?', tag, " Warning: ", msg);
  ConsoleWarning(msg);
}

void LogWriter::Error(const ShortString& tag, const ShortString& msg) {
  WriteStamped('!', tag, " Error: ", msg);
  CloseLog();  // the line is on disk before anything reaches the console
  ConsoleError(msg);
}

void LogWriter::Fatal(const ShortString& tag, const ShortString& msg, std::uint8_t exitCode) {
  WriteStamped('!', tag, " Fatal: ", msg);
  CloseLog();
  ConsoleFatal(msg, exitCode);
}
