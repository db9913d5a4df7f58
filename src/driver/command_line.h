// The command line. With no arguments the program does its job; an option
// asks for help, the version, a preview of the job or a listing of the
// areas instead.
#pragma once

#include <string>

enum class Command {
  Run,      // no arguments: fill the descriptions
  Help,     // --help, -h (and /? on Windows)
  Version,  // --version
  Preview,  // --dry-run, -n: what a run would write, nothing written
  List,     // --list, -l: every area record, nothing written
  Invalid,  // anything else; `error` says what
};

struct CommandLine {
  Command command = Command::Run;
  std::string error;  // for Command::Invalid
};

CommandLine ParseCommandLine(int argc, const char* const* argv);

// The usage text and the version line, each ending with a line end.
std::string UsageText();
std::string VersionText();
