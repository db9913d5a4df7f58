// ParseCommandLine: what each accepted form asks for, and which pairs are
// refused with which argument named.
#include "driver/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

struct ParseCase {
  std::vector<const char*> args;
  Command command;
  bool quiet = false;
  std::string settings = {};
  std::string refused = {};  // for Command::Invalid: the message before the hint
};

CommandLine Parse(const std::vector<const char*>& args) {
  std::vector<const char*> argv = {"blurbsmith"};
  argv.insert(argv.end(), args.begin(), args.end());
  return ParseCommandLine(static_cast<int>(argv.size()), argv.data());
}

TEST(ParseCommandLineTest, EachFormAsksForItsCommand) {
  std::vector<ParseCase> cases = {
      {{}, Command::Run},
      {{"-q", "-c", "node.cfg"}, Command::Run, true, "node.cfg"},
      {{"--config=node.cfg", "--dry-run"}, Command::Preview, false, "node.cfg"},
      {{"-l", "-cnode.cfg"}, Command::List, false, "node.cfg"},
      {{"--restore"}, Command::Restore},
      {{"-r", "-q"}, Command::Restore, true},
      {{"-n", "--restore"}, Command::RestorePreview},
      {{"--restore", "-c", "node.cfg", "--dry-run"}, Command::RestorePreview, false, "node.cfg"},
      {{"-?"}, Command::Help},
      {{"--version"}, Command::Version},
      // -n and -r go together; nothing else does, nor anything twice.
      {{"-r", "-l"}, Command::Invalid, false, "", "Only one option at a time, not also \"-l\""},
      {{"-l", "-r"}, Command::Invalid, false, "", "Only one option at a time, not also \"-r\""},
      {{"-n", "-r", "--dry-run"}, Command::Invalid, false, "", "Only one option at a time, not also \"--dry-run\""},
      {{"-r", "--restore"}, Command::Invalid, false, "", "Only one option at a time, not also \"--restore\""},
      {{"--restore", "-h"}, Command::Invalid, false, "", "Only one option at a time, not also \"-h\""},
      {{"-r", "-c"}, Command::Invalid, false, "", "A settings file must follow \"-c\""},
      {{"--restore=now"}, Command::Invalid, false, "", "Unknown option \"--restore=now\""},
  };
  if (platform::kDosOptions) {
    cases.push_back({{"/R"}, Command::Restore});
    cases.push_back({{"/n", "/r", "/C", "node.cfg"}, Command::RestorePreview, false, "node.cfg"});
  } else {
    cases.push_back({{"/R"}, Command::Invalid, false, "", "Unexpected argument \"/R\""});
    cases.push_back({{"-R"}, Command::Invalid, false, "", "Unknown option \"-R\""});
  }
  for (const ParseCase& c : cases) {
    std::string label;
    for (const char* arg : c.args) label += std::string(arg) + " ";
    SCOPED_TRACE(label);
    const CommandLine line = Parse(c.args);
    EXPECT_EQ(line.command, c.command);
    if (c.command == Command::Invalid) {
      EXPECT_EQ(line.error, c.refused + " (blurbsmith --help lists the options)");
      continue;
    }
    EXPECT_EQ(line.quiet, c.quiet);
    EXPECT_EQ(line.settingsPath, c.settings);
  }
}

}  // namespace
