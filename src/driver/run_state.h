// The process-wide objects of one run, owned by the driver.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "echo_list/echo_list.h"
#include "driver/reserve_copy.h"
#include "log/log_writer.h"
#include "settings/program_settings.h"
#include "util/code_page.h"
#include "util/record_stream.h"

inline constexpr const char* kProgramTag = "BLSM";

struct RunState {
  // The settings file the command line names (-c); empty: beside the program.
  std::string settingsArgument;
  ShortString programDir;  // the program's own directory (not needed with -c)
  // The node's installation: the directory of the settings file, where the
  // reserve copy lives (ends in a separator).
  ShortString installationDir;
  ShortString settingsPath;
  ProgramSettings settings;  // read-only once start-up has read them
  const CodePage* codePage = &CodePage::Cp866();  // settings.codePage's
  std::unique_ptr<LogWriter> log;
  std::unique_ptr<RecordStream> stream;  // the FastEcho configuration file
  std::int64_t fastEchoSize = -1;        // its length when it was opened
  std::unique_ptr<ReserveCopy> reserveCopy;  // the run's, from the pass on
  // The echo lists, in the order the settings name them: the first that
  // gives an area a description gives it.
  std::vector<std::unique_ptr<EchoListFile>> echoLists;
  EchoListFile& AddEchoList(const ShortString& path, EchoListFormat format = EchoListFormat::FastEcho,
                            EchoListEncoding encoding = EchoListEncoding::Auto) {
    echoLists.push_back(std::make_unique<EchoListFile>());
    echoLists.back()->Bind(path, format, encoding, *codePage);
    return *echoLists.back();
  }
  std::uint32_t addedCount = 0;  // 32 bits: a big node must not wrap it
  // A preview or a listing: no log, no reserve copy, the FastEcho file only
  // read. `utf8Console` then asks for code page 866 text shown as UTF-8.
  bool readOnly = false;
  bool listing = false;  // the listing: not even a log is needed
  bool utf8Console = false;
};
