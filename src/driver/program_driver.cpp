#include "driver/program_driver.h"

#include "driver/area_listing.h"
#include "driver/area_pass.h"
#include "driver/restore.h"
#include "driver/version.h"
#include "log/console.h"
#include "util/files.h"
#include "util/strings.h"

namespace {

// The program's name and version as the banner and the log show them.
ShortString ProgramTitle() { return ShortString("Blurbsmith ver ") + kProgramVersion; }

}  // namespace

void ShowBanner() {
  ConsoleWriteLn("");  // the banner starts with an empty line
  ConsoleWriteLn(ProgramTitle() + " started:");
  ConsoleWriteLn("  Preparing...");
}

namespace {

// The settings file and the reserve copy are found by this path alone, so
// it must be exact.
void FindProgramDir(RunState& run) {
  switch (ProgramDir(&run.programDir, std::string_view(kSettingsFileName).size())) {
    case ProgramDirResult::Found:
      return;
    case ProgramDirResult::Unknown:
      ConsoleError("Can't find the program's own directory, where its settings file lies");
    case ProgramDirResult::TooLong:
      ConsoleError(ShortString("The program's directory is too long: its settings path would pass ") +
                   NumToStr(ShortString::kCapacity) + " characters");
  }
}

// Appending log lines to one of these files would corrupt it, or (the
// FastEcho file) cut it before its reserve copy is made.
void RefuseLogOnAnotherFile(const RunState& run) {
  const ShortString& log = run.settings.logFilePath;
  if (log.empty()) return;
  const ReserveCopy reserveCopy(run.installationDir);
  std::vector<std::pair<const char*, ShortString>> others = {
      {"the FastEcho configuration file", FastEchoPath(run)},
      {"the reserve copy", reserveCopy.Path()},
      {"the reserve copy's temporary copy", reserveCopy.TemporaryPath()},
      {"the previous reserve copy", reserveCopy.PreviousPath()},
      {"the reserve copy's record", reserveCopy.RecordPath()},
      {"the file a restore replaced", reserveCopy.ReplacedPath()},
      {"the settings file", run.settingsPath},
  };
  for (const EchoListSetting& list : run.settings.echoLists) others.emplace_back("the echo list", list.path);
  for (const auto& [what, path] : others) {
    if (path.empty()) continue;
    const Sameness sameness = SameFile(log, path);
    const ShortString names = ShortString("\"") + log + "\" is the same file as " + what + " \"" + path + "\"";
    // A lookup that failed tells nothing: the log is not opened on a guess.
    if (sameness.failure.Failed())
      ConsoleError(ShortString("Can't tell whether log file ") + names + Naming(sameness.failure));
    if (sameness.same) ConsoleError(ShortString("Log file ") + names);
  }
}

// A settings file named on the command line: its directory is that node's
// installation, where the reserve copy lives. Both paths must fit a text
// value whole, or they would lead to other files.
void TakeNamedSettings(RunState& run) {
  const std::string& path = run.settingsArgument;
  const ShortString limit = NumToStr(ShortString::kCapacity);
  if (path.size() > ShortString::kCapacity)
    ConsoleError(ShortString("The settings file's path passes ") + limit + " characters");
  const ShortString directory = DirectoryPart(path);
  if (directory.size() + std::string_view(kReserveCopyName).size() > ShortString::kCapacity)
    ConsoleError(ShortString("The settings file's directory is too long: its reserve copy's path would pass ") +
                 limit + " characters");
  run.settingsPath = UpCasePath(ShortString(path));
  run.installationDir = directory;
}

void ReadSettings(RunState& run) {
  auto reader = SettingsReader::Init(run.settingsPath, run.settings);
  const std::int32_t errors = reader->ErrorCount();
  reader.reset();
  if (errors != 0) {
    ConsoleProblem(NumToStr(errors) + " errors were found in " + run.settingsPath);
    platform::ExitProcess(kFailureExitCode);
  }
}

// The preview writes no log, but stops where the run could not open or
// create it, as far as that can be told without creating anything.
void ForeseeTheLog(const ShortString& path) {
  FileError failure{path, FileStatus(path)};
  if (failure.code == 0) {
    failure.code = ProbeOpen(path, platform::Access::ReadAppend, platform::Sharing::ReadWrite,
                             platform::Target::AnyFile);
  } else if (platform::IsNotFound(failure.code)) {
    // A directory that cannot be resolved does not exist.
    const std::string full = platform::FullPathName(path.CStr().c_str());
    failure.code =
        full.empty() ? failure.code : platform::CheckDirectoryWritable(std::string(DirectoryPart(full)).c_str());
  }
  if (failure.Failed()) ConsoleError(ShortString("Can't create file \"") + path + "\"" + Because(failure));
}

void OpenLog(RunState& run) {
  const ShortString& path = run.settings.logFilePath;
  if (run.listing) {
    run.log = LogWriter::ConsoleOnly();  // the listing writes no log: it needs none
    return;
  }
  if (run.readOnly) {
    run.log = LogWriter::Init(path, false);  // console only; an empty name still stops the run
    ForeseeTheLog(path);
    return;
  }
  if (path.empty()) {
    run.log = LogWriter::Init("", false);  // refuses the empty name: the run ends here
    return;
  }
  ConsoleWriteLn(ShortString("  Opening log (") + path + "..");
  run.log = LogWriter::Init(path, true);
  run.log->LogQuiet('>', kProgramTag, ProgramTitle() + " started");
  if (run.log->EndOfFileMarkKept())
    run.log->Log('%', kProgramTag, "  The log's Ctrl-Z was left in place (the log is in use by another program)");
}

}  // namespace

void StartUp(RunState& run) {
  if (run.settingsArgument.empty()) {
    FindProgramDir(run);
    run.settingsPath = SettingsPathFor(run.programDir);
    run.installationDir = run.programDir;
  } else {
    TakeNamedSettings(run);
  }
  ConsoleWriteLn(ShortString("  Reading \"") + run.settingsPath + "\"...");
  ReadSettings(run);
  if (!run.listing) RefuseLogOnAnotherFile(run);
  OpenLog(run);
  run.codePage = CodePage::Find(run.settings.codePage);
  for (const EchoListSetting& list : run.settings.echoLists)
    if (!list.path.empty()) run.AddEchoList(list.path, run.settings.FormatOf(list), run.settings.EncodingOf(list));
}

void ShutDown(RunState& run) {
  LogWriter& log = *run.log;
  log.Log('$', kProgramTag,
          ShortString("  Description was added to ") + NumToStr(run.addedCount) + " areas");
  log.Log('x', kProgramTag, "  ShutDowning...");
  run.stream.reset();  // the pass closed the FastEcho file, checked, before its result
  log.Log('>', kProgramTag, ProgramTitle() + " finished.");
  log.Done();
  run.log.reset();
}

int CompletedExitCode(const RunState& run) {
  return ConsoleWarningsTold() > 0 ? run.settings.warningExitCode : 0;
}

void ShutDownRestore(RunState& run) {
  LogWriter& log = *run.log;
  log.Log('x', kProgramTag, "  ShutDowning...");
  run.stream.reset();  // the restore closed the FastEcho file, checked, before its result
  log.Log('>', kProgramTag, ProgramTitle() + " finished.");
  log.Done();
  run.log.reset();
}

void RunProgram(RunState& run) {
  ShowBanner();
  StartUp(run);
  DescribeAreas(run);
  ShutDown(run);
  platform::ExitProcess(CompletedExitCode(run));
}

namespace {

// The preview and the listing start up as a run does, without its log.
void StartReadOnly(RunState& run) {
  run.readOnly = true;
  run.utf8Console = platform::ConsoleUsesUtf8();
  ShowBanner();
  StartUp(run);
}

[[noreturn]] void Finish(RunState& run) {
  run.stream.reset();
  run.log.reset();
  platform::ExitProcess(CompletedExitCode(run));
}

}  // namespace

void RunCommand(RunState& run, const CommandLine& commandLine) {
  ConsoleSetQuiet(commandLine.quiet);
  run.settingsArgument = commandLine.settingsPath;
  switch (commandLine.command) {
    case Command::Run:
      RunProgram(run);
    case Command::Help:
      ConsoleWriteText(UsageText());
      platform::ExitProcess(0);
    case Command::Version:
      ConsoleWriteText(VersionText());
      platform::ExitProcess(0);
    case Command::Preview:
      StartReadOnly(run);
      DescribeAreas(run);
      ConsoleResult(ShortString("  Description would be added to ") + NumToStr(run.addedCount) + " areas");
      Finish(run);
    case Command::List:
      run.listing = true;
      StartReadOnly(run);
      ListAreas(run);
      Finish(run);
    case Command::Restore:
      ShowBanner();
      StartUp(run);
      RestoreReserveCopy(run);
      ShutDownRestore(run);
      platform::ExitProcess(CompletedExitCode(run));
    case Command::RestorePreview:
      StartReadOnly(run);
      RestoreReserveCopy(run);
      Finish(run);
    case Command::Invalid:
      break;
  }
  ConsoleError(commandLine.error);
}
