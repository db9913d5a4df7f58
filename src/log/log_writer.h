// LogWriter: appends stamped one-line records to the log file and echoes to
// the console what the user should see. Once the log is open, Error and
// Fatal are where the run ends.
//
// Line layout: mark, blank, stamp, blank, tag, separator, message, CR LF;
// the part before CR LF is cut at 255 characters.
//
// The log is the record of what a run changed, so a run goes on only while
// it can be written: the first failed or short write, a failed sync to the
// disk, and a Ctrl-Z at its end that cannot be cut end the process with
// exit code 255 ("Can't write to the log"), after the console has shown the
// line that failed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "log/log_stamp.h"
#include "util/short_string.h"
#include "util/text_file.h"

class LogWriter {
 public:
  // An empty name ends the process ("Log filename not defined"), whatever
  // `enabled` says; so does a log that can be neither opened nor created.
  static std::unique_ptr<LogWriter> Init(const ShortString& fileName, bool enabled,
                                         Clock clock = platform::LocalNow);
  // For a command that writes no log at all (the listing): the console
  // parts only, and no name is needed.
  static std::unique_ptr<LogWriter> ConsoleOnly();
  ~LogWriter();
  LogWriter(const LogWriter&) = delete;
  LogWriter& operator=(const LogWriter&) = delete;

  // Closes the log file; nothing is written at close. A close that fails
  // (what was buffered is lost) ends the process as a failed write does.
  void Done();

  void Log(char prefix, const ShortString& tag, const ShortString& msg);
  void LogRaw(const ShortString& msg);
  void LogQuiet(char prefix, const ShortString& tag, const ShortString& msg);
  void Warning(const ShortString& tag, const ShortString& msg);
  [[noreturn]] void Error(const ShortString& tag, const ShortString& msg);
  [[noreturn]] void Fatal(const ShortString& tag, const ShortString& msg, std::uint8_t exitCode);

  // Brings the lines written so far to the file now, rather than when the
  // buffer fills: before a change they tell of, or right after it.
  void Flush();
  // Flush, and the log brought to the disk itself (fsync,
  // FlushFileBuffers), so that a power cut cannot take the lines written so
  // far; a failure ends the process as a failed write does.
  void FlushToDisk();

  // Whether the log's Ctrl-Z was left in place, because another program
  // kept the log open: this run's lines follow it.
  bool EndOfFileMarkKept() const;

  // What the run must settle before the process ends through Error, Fatal
  // or a failed log write (a reserve copy half made, say).
  void SetStopHook(std::function<void()> hook) { stopHook_ = std::move(hook); }

  bool Enabled() const { return enabled_; }
  const ShortString& FileName() const { return fileName_; }

 private:
  explicit LogWriter(Clock clock) : clock_(clock) {}
  // False when the log could not be written.
  bool WriteStamped(char mark, const ShortString& tag, std::string_view separator,
                    const ShortString& msg);
  bool AppendLine(std::string_view line);
  [[noreturn]] void StopForTheLog(std::uint32_t error);
  void RunStopHook();

  ShortString fileName_;
  TextFile logFile_;
  bool enabled_ = false;
  Clock clock_;
  std::function<void()> stopHook_;
};
