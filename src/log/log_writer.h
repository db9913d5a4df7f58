// LogWriter: appends stamped one-line records to the log file and echoes to
// the console what the user should see. Once the log is open, Error and
// Fatal are where the run ends.
//
// Line layout: mark, blank, stamp, blank, tag, separator, message, CR LF;
// the part before CR LF is cut at 255 characters.
#pragma once

#include <cstdint>
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
  ~LogWriter() { Done(); }
  LogWriter(const LogWriter&) = delete;
  LogWriter& operator=(const LogWriter&) = delete;

  // Closes the log file; nothing is written at close.
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

  // False once a write to the log failed: the rest of the run is not logged.
  bool Enabled() const { return enabled_; }
  const ShortString& FileName() const { return fileName_; }

 private:
  explicit LogWriter(Clock clock) : clock_(clock) {}
  void WriteStamped(char mark, const ShortString& tag, std::string_view separator,
                    const ShortString& msg);
  void AppendLine(std::string_view line);
  void StopAfterAFailure();
  void CloseLog();

  ShortString fileName_;
  TextFile logFile_;
  bool enabled_ = false;
  Clock clock_;
};
