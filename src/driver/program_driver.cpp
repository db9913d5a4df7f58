#include "driver/program_driver.h"

#include "driver/area_pass.h"
#include "log/console.h"
#include "util/files.h"
#include "util/strings.h"

void ShowBanner() {
  ConsoleWriteLn("\r\nBlurbsmith ver 0.2 started:");
  ConsoleWriteLn("  Preparing...");
}

namespace {

void ReadSettings(RunState& run) {
  auto reader = SettingsReader::Init(run.settingsPath, run.settings);
  const std::int32_t errors = reader->ErrorCount();
  reader.reset();
  if (errors != 0) {
    ConsoleWriteLn(NumToStr(errors) + " errors were found in " + run.settingsPath);
    platform::ExitProcess(kFailureExitCode);
  }
}

void OpenLog(RunState& run) {
  const ShortString& path = run.settings.logFilePath;
  if (path.empty()) {
    run.log = LogWriter::Init("", false);  // refuses the empty name: the run ends here
    return;
  }
  ConsoleWriteLn(ShortString("  Opening log (") + path + "..");
  run.log = LogWriter::Init(path, true);
  run.log->LogQuiet('>', kProgramTag, "Blurbsmith ver 0.2 started");
}

}  // namespace

void StartUp(RunState& run) {
  run.settingsPath = SettingsPathFor(ProgramDir());
  ConsoleWriteLn(ShortString("  Reading \"") + run.settingsPath + "\"...");
  ReadSettings(run);
  OpenLog(run);
  run.echoList.Bind(run.settings.echoListPath);
}

void ShutDown(RunState& run) {
  LogWriter& log = *run.log;
  log.Log('$', kProgramTag,
          ShortString("  Description was added to ") + NumToStr(run.addedCount) + " areas");
  log.Log('x', kProgramTag, "  ShutDowning...");
  run.stream.reset();  // closes the FastEcho configuration file
  run.echoList.Close();  // the lookups of the pass kept it open
  log.Log('>', kProgramTag, "Blurbsmith ver 0.2 finished.");
  run.log.reset();
}

void RunProgram(RunState& run) {
  ShowBanner();
  StartUp(run);
  DescribeAreas(run);
  ShutDown(run);
  platform::ExitProcess(0);
}
