// The console shows each line as text: its control bytes become '?', on
// the console only.
#include "log/console.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/log_writer.h"
#include "platform/platform.h"
#include "support/fastecho_builder.h"
#include "support/process_trap.h"
#include "support/scratch_dir.h"

namespace {

// Every byte from 0x00 to 0x7F, and a few beyond (code page letters stay).
std::string AllBytes() {
  std::string text;
  for (int b = 0; b < 0x80; ++b) text += static_cast<char>(b);
  return text + "\x80\xA0\xFF";
}

std::string AllBytesShown() {
  std::string text(0x20, '?');
  for (int b = 0x20; b < 0x7F; ++b) text += static_cast<char>(b);
  return text + "?\x80\xA0\xFF";
}

TEST(ConsoleTest, EverySingleLineWriteShowsControlBytesAsQuestionMarks) {
  ProcessTrap trap;
  struct Case {
    const char* name;
    void (*write)(const std::string& text);
    std::string prefix, suffix;
  };
  const std::vector<Case> cases = {
      {"ConsoleWriteLn", [](const std::string& t) { ConsoleWriteLn(ShortString(t)); }, "", "\r\n"},
      {"ConsoleResult", [](const std::string& t) { ConsoleResult(t); }, "", "\r\n"},
      {"ConsoleProblem", [](const std::string& t) { ConsoleProblem(ShortString(t)); }, "", "\r\n"},
      {"ConsoleWarning", [](const std::string& t) { ConsoleWarning(ShortString(t)); }, "Warning: ", "\r\n"},
      {"ConsoleError", [](const std::string& t) { ConsoleError(ShortString(t)); }, "Error: ", "\r\n\r\n"},
      {"ConsoleFatal", [](const std::string& t) { ConsoleFatal(ShortString(t), 203); }, "", "\r\n\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    trap.Clear();
    trap.Run([&] { c.write(AllBytes()); });
    EXPECT_EQ(trap.Console(), c.prefix + AllBytesShown() + c.suffix);
  }
}

// The usage text is several lines in one write: its line ends stay.
TEST(ConsoleTest, TextThatHoldsItsLineEndsIsWrittenAsItIs) {
  ProcessTrap trap;
  ConsoleWriteText(std::string("one\ttab") + platform::kConsoleLineEnd + "two" + platform::kConsoleLineEnd);
  EXPECT_EQ(trap.Console(), "one\ttab\r\ntwo\r\n");
}

// The log keeps the bytes as they are; only the console shows '?'.
TEST(ConsoleTest, TheLogKeepsWhatTheConsoleShowsAsQuestionMarks) {
  ProcessTrap trap;
  ScratchDir dir;
  const std::string path = dir.File("events.log");
  {
    auto log = LogWriter::Init(ShortString(path), true);
    log->Log('+', "BLSM", "   Added description for area \x1B[31mRED\x7F\t");
    log->Warning("BLSM", "list \"\x1B\"");
  }
  EXPECT_EQ(trap.Console(), "   Added description for area ?[31mRED??\r\nWarning: list \"?\"\r\n");
  const std::string log = ReadFileText(path);
  EXPECT_NE(log.find(" BLSM    Added description for area \x1B[31mRED\x7F\t\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" BLSM Warning: list \"\x1B\"\r\n"), std::string::npos) << log;
}

}  // namespace
