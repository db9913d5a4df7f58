#include "driver/command_line.h"

#include <string>
#include <string_view>

#include "driver/version.h"
#include "platform/platform.h"
#include "util/exit_codes.h"

namespace {

enum class Option { Help, Version, Preview, List, Restore, Quiet, Config, None };

struct Name {
  std::string_view name;
  Option option;
};

constexpr Name kNames[] = {
    {"--help", Option::Help},       {"-h", Option::Help},     {"-?", Option::Help},
    {"--version", Option::Version}, {"--dry-run", Option::Preview}, {"-n", Option::Preview},
    {"--list", Option::List},       {"-l", Option::List},     {"--restore", Option::Restore},
    {"-r", Option::Restore},        {"--quiet", Option::Quiet},
    {"-q", Option::Quiet},          {"--config", Option::Config}, {"-c", Option::Config},
};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// A short option as Windows users write it: with '/' or '-', either case.
std::string Dos(std::string_view argument) {
  std::string name(argument);
  if (name.size() == 2 && (name[0] == '/' || name[0] == '-')) {
    name[0] = '-';
    name[1] = Lower(name[1]);
  }
  return name;
}

Option Find(std::string_view argument) {
  const std::string name = platform::kDosOptions ? Dos(argument) : std::string(argument);
  for (const Name& known : kNames)
    if (known.name == name) return known.option;
  return Option::None;
}

// The settings file glued to its option, as GNU programs take it:
// "--config=FILE" or "-cFILE". False for any other argument.
bool GluedConfig(std::string_view argument, std::string* file) {
  constexpr std::string_view kLong = "--config=";
  if (argument.substr(0, kLong.size()) == kLong) {
    *file = argument.substr(kLong.size());
    return true;
  }
  if (argument.size() > 2 && argument.substr(0, 2) == "-c") {
    *file = argument.substr(2);
    return true;
  }
  return false;
}

bool LooksLikeAnOption(std::string_view argument) {
  return argument.size() > 1 && (argument[0] == '-' || (platform::kDosOptions && argument[0] == '/'));
}

CommandLine Invalid(std::string what, std::string_view argument) {
  return {Command::Invalid, false, {},
          std::move(what) + " \"" + std::string(argument) + "\" (blurbsmith --help lists the options)"};
}

Command CommandOf(Option option) {
  switch (option) {
    case Option::Help: return Command::Help;
    case Option::Version: return Command::Version;
    case Option::Preview: return Command::Preview;
    case Option::List: return Command::List;
    case Option::Restore: return Command::Restore;
    default: return Command::Run;
  }
}

// Lines of the usage text; each gets the platform's line end.
constexpr const char* kUsage[] = {
    "Usage: blurbsmith [-q] [-c FILE] [-n | -l]",
    "       blurbsmith [-q] [-c FILE] [-n] -r",
    "       blurbsmith -h | --version",
    "",
    "Fills empty area descriptions in FastEcho's configuration file from an",
    "echo list. Everything it needs is in its settings file: blurbsmith.cfg",
    "beside the program, or the file that -c names.",
    "",
    "  (no option)       do the job: reserve copy, descriptions, log",
    "  -n, --dry-run     show what the job would write; nothing is written",
    "  -l, --list        list every area of the FastEcho file; nothing is written",
    "  -r, --restore     put the reserve copy back as the FastEcho file, keeping",
    "                    the file it replaces as $FE_CFG$.QZ+ (with -n: only say",
    "                    what it would do)",
    "  -q, --quiet       show only warnings, errors and what -n or -l shows",
    "  -c, --config FILE read the settings from FILE (also -cFILE and",
    "                    --config=FILE); the reserve copy is kept beside it",
    "  -h, -?, --help    show this text",
    "      --version     show the program's name and version",
    platform::kDosOptions ? "  Options may also be written /n, /l, /r, /q, /c, /h, /? and in capitals."
                          : nullptr,
    "",
};

std::string ExitCodeLines() {
  return "Exit codes: " + std::to_string(kDoneExitCode) + " done, " + std::to_string(kFailureExitCode) +
         " stopped, " + std::to_string(kOutOfMemoryExitCode) + " out of memory. Why a run stopped" +
         platform::kConsoleLineEnd +
         "is on the console; once the log is open, in the log too (errors in the" + platform::kConsoleLineEnd +
         "settings file and a log that cannot be opened reach the console only)." + platform::kConsoleLineEnd;
}

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv) {
  CommandLine line;
  bool seen[static_cast<int>(Option::None)] = {};
  bool command = false;  // -n, -l, -r, -h or --version given
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    std::string gluedFile;
    const bool glued = GluedConfig(argument, &gluedFile);
    const Option option = glued ? Option::Config : Find(argument);
    if (option == Option::None)
      return Invalid(LooksLikeAnOption(argument) ? "Unknown option" : "Unexpected argument", argument);
    const bool modifier = option == Option::Quiet || option == Option::Config;
    const bool alone = option == Option::Help || option == Option::Version;
    // -n with -r is the restore's preview, in either order.
    const bool restorePreview = (option == Option::Restore && line.command == Command::Preview) ||
                                (option == Option::Preview && line.command == Command::Restore);
    // Help and the version go with nothing; -n, -l and -r go with -q and -c.
    if (seen[static_cast<int>(option)] || (!modifier && command && !restorePreview) ||
        (alone && (line.quiet || seen[static_cast<int>(Option::Config)])) ||
        (modifier && (line.command == Command::Help || line.command == Command::Version)))
      return Invalid("Only one option at a time, not also", argument);
    seen[static_cast<int>(option)] = true;
    if (option == Option::Quiet) {
      line.quiet = true;
    } else if (option == Option::Config) {
      if (glued) {
        if (gluedFile.empty()) return Invalid("A settings file must follow", argument);
        line.settingsPath = gluedFile;
      } else {
        if (i + 1 == argc) return Invalid("A settings file must follow", argument);
        line.settingsPath = argv[++i];
      }
    } else {
      command = true;
      line.command = restorePreview ? Command::RestorePreview : CommandOf(option);
    }
  }
  return line;
}

std::string UsageText() {
  std::string text;
  for (const char* line : kUsage) {
    if (!line) continue;  // a line this build does not have
    text += line;
    text += platform::kConsoleLineEnd;
  }
  return text + ExitCodeLines();
}

std::string VersionText() {
  return std::string("Blurbsmith ") + kProgramVersion + platform::kConsoleLineEnd;
}
