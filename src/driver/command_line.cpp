#include "driver/command_line.h"

#include <string_view>

#include "driver/version.h"
#include "platform/platform.h"

namespace {

struct Option {
  std::string_view name;
  Command command;
};

constexpr Option kOptions[] = {
    {"--help", Command::Help},       {"-h", Command::Help},
    {"--version", Command::Version}, {"--dry-run", Command::Preview},
    {"-n", Command::Preview},        {"--list", Command::List},
    {"-l", Command::List},
};

Command Find(std::string_view argument) {
  if (platform::kSlashQuestionAsksHelp && argument == "/?") return Command::Help;
  for (const Option& option : kOptions)
    if (option.name == argument) return option.command;
  return Command::Invalid;
}

CommandLine Invalid(std::string what, std::string_view argument) {
  return {Command::Invalid, std::move(what) + " \"" + std::string(argument) +
                                "\" (blurbsmith --help lists the options)"};
}

// Lines of the usage text; each gets the platform's line end.
constexpr std::string_view kUsage[] = {
    "Usage: blurbsmith [option]",
    "",
    "Fills empty area descriptions in FastEcho's configuration file from an",
    "echo list. Everything it needs is in blurbsmith.cfg, beside the program.",
    "",
    "  (no option)    do the job: reserve copy, descriptions, log",
    "  -n, --dry-run  show what the job would write; nothing is written",
    "  -l, --list     list every area of the FastEcho file; nothing is written",
    platform::kSlashQuestionAsksHelp ? "  -h, --help     show this text (also /?)"
                                     : "  -h, --help     show this text",
    "      --version  show the program's name and version",
    "",
    "Exit codes: 0 done, 255 stopped, 203 out of memory. Why a run stopped",
    "is on the console; once the log is open, in the log too (errors in the",
    "settings file and a log that cannot be opened reach the console only).",
};

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv) {
  if (argc <= 1) return {};
  const Command command = Find(argv[1]);
  if (command == Command::Invalid) {
    const std::string_view first = argv[1];
    return Invalid(first.size() > 1 && first[0] == '-' ? "Unknown option" : "Unexpected argument",
                   first);
  }
  if (argc > 2)
    return Invalid(Find(argv[2]) == Command::Invalid ? "Unexpected argument"
                                                     : "Only one option at a time, not also",
                   argv[2]);
  return {command, {}};
}

std::string UsageText() {
  std::string text;
  for (std::string_view line : kUsage) {
    text += line;
    text += platform::kConsoleLineEnd;
  }
  return text;
}

std::string VersionText() {
  return std::string("Blurbsmith ") + kProgramVersion + platform::kConsoleLineEnd;
}
