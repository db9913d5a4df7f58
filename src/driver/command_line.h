// The command line. With no arguments the program does its job; an option
// asks for help, the version, a preview of the job or a listing of the
// areas instead. Two options change how any of the job, the preview and
// the listing runs: quiet, and a settings file of one's choosing.
#pragma once

#include <string>

enum class Command {
  Run,      // no command option: fill the descriptions
  Help,     // --help, -h, -? (and /? on Windows)
  Version,  // --version
  Preview,  // --dry-run, -n: what a run would write, nothing written
  List,     // --list, -l: every area record, nothing written
  Restore,  // --restore, -r: the reserve copy put back as the FastEcho file
  RestorePreview,  // -n with --restore: what the restore would do, nothing changed
  Invalid,  // anything else; `error` says what
};

struct CommandLine {
  Command command = Command::Run;
  bool quiet = false;        // --quiet, -q: no banner and no progress on the console
  // --config FILE, --config=FILE, -c FILE, -cFILE; empty: beside the program
  std::string settingsPath;
  std::string error;         // for Command::Invalid
};

// Options come in any order. -q and -c FILE go with each other and with
// one of: the job, -n, -l, -r, -n with -r. Any other pair, and any option
// given twice, is refused. On Windows options may also be written with '/'
// and in either case (/N, /l, /R, /?).
CommandLine ParseCommandLine(int argc, const char* const* argv);

// The usage text and the version line, each ending with a line end.
std::string UsageText();
std::string VersionText();
