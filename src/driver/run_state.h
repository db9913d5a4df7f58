// The process-wide objects of one run, owned by the driver.
#pragma once

#include <cstdint>
#include <memory>

#include "driver/echo_list.h"
#include "log/log_writer.h"
#include "settings/program_settings.h"
#include "util/record_stream.h"

inline constexpr const char* kProgramTag = "BLSM";

struct RunState {
  ShortString programDir;  // where the settings file and the reserve copy live
  ShortString settingsPath;
  ProgramSettings settings;  // read-only once start-up has read them
  std::unique_ptr<LogWriter> log;
  std::unique_ptr<RecordStream> stream;  // the FastEcho configuration file
  EchoListFile echoList;
  std::uint32_t addedCount = 0;  // 32 bits: a big node must not wrap it
  // A preview or a listing: no log, no reserve copy, the FastEcho file only
  // read. `utf8Console` then asks for code page 866 text shown as UTF-8.
  bool readOnly = false;
  bool utf8Console = false;
};
