#include "driver/program_driver.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "driver/area_pass.h"
#include "log/log_stamp.h"
#include "platform/fault_injection.h"
#include "support/fastecho_builder.h"
#include "support/process_trap.h"
#include "support/scratch_dir.h"
#include "util/files.h"

namespace {

platform::LocalDateTime FixedClock() { return {2025, 12, 1, 8, 5, 3}; }

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(ProgramDriverTest, BannerOnTheConsole) {
  ProcessTrap trap;
  EXPECT_EQ(trap.Run([] { ShowBanner(); }), -1);
  // The banner text itself begins with CR LF, so the console shows an empty
  // line first.
  EXPECT_EQ(trap.Console(), "\r\nBlurbsmith ver 0.2 started:\r\n  Preparing...\r\n");
}

TEST(ProgramDriverTest, ShutDownReportsTheCountAndReleasesEverything) {
  for (std::uint32_t count : {0u, 1u, 70000u}) {
    SCOPED_TRACE(count);
    ScratchDir dir;
    const std::string logPath = dir.File("blurbsmith.log");
    const std::string cfgPath = dir.File("fastecho.cfg");
    const Bytes cfg(300, 0x41);
    WriteFileBytes(cfgPath, cfg);
    {
      RunState run;
      ProcessTrap trap;
      const ShortString logName(logPath);
      ASSERT_EQ(trap.Run([&] { run.log = LogWriter::Init(logName, true, FixedClock); }), -1);
      run.stream = RecordStream::Open(ShortString(cfgPath), kFastEchoOpenMode, kStreamBufferSize);
      ASSERT_EQ(run.stream->Status(), kStreamOk);
      run.addedCount = count;
      trap.Clear();

      EXPECT_EQ(trap.Run([&] { ShutDown(run); }), -1);
      EXPECT_EQ(run.stream, nullptr);
      EXPECT_EQ(run.log, nullptr);
      const std::string number = std::to_string(count);
      EXPECT_EQ(trap.Console(), "  Description was added to " + number +
                                    " areas\r\n"
                                    "  ShutDowning...\r\n"
                                    "Blurbsmith ver 0.2 finished.\r\n");
      const std::string stamp = LogStamp(FixedClock()).str();
      const auto line = [&](const char* mark, const std::string& text) {
        return mark + (" " + stamp) + " BLSM " + text + "\r\n";
      };
      EXPECT_EQ(ReadFileText(logPath),
                "\r\n" + line("$", "  Description was added to " + number + " areas") +
                    line("x", "  ShutDowning...") + line(">", "Blurbsmith ver 0.2 finished."));
    }
    EXPECT_EQ(ReadFileBytes(cfgPath), cfg);
  }
}

// StartUp reads blurbsmith.cfg from the test program's own directory; the
// file is put there for the test and removed afterwards.
class SettingsFileInProgramDir {
 public:
  SettingsFileInProgramDir() {
    ProgramDir(&dir_);
    path_ = (dir_ + "blurbsmith.cfg").str();
  }
  const ShortString& Dir() const { return dir_; }
  ~SettingsFileInProgramDir() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  void Write(const std::string& text) const { WriteFileText(path_, text); }

 private:
  ShortString dir_;
  std::string path_;
};

TEST(ProgramDriverTest, StartUp) {
  // All cases share the one settings file, so they live in one test.
  SettingsFileInProgramDir settingsFile;
  const std::string settingsShown = UpCasePath(settingsFile.Dir() + "blurbsmith.cfg").str();
  const std::string readingLine = "  Reading \"" + settingsShown + "\"...\r\n";

  struct FailCase {
    const char* name;
    std::string settings;  // "{log}" stands for a log path in a scratch directory
    std::string consoleEnd;
    bool lookupFails = false;  // the first identity lookup of the same-file check fails
  };
  const std::vector<FailCase> failures = {
      {"no LOGFILE", "FASTECHOCFG fastecho.cfg\r\nECHOLIST echo.lst\r\n",
       "Error: Log filename not defined\r\n\r\n"},
      {"two errors", "LOGFILE {log}\r\nFORCEDESC maybe\r\nUPCASEFIRSTDESCCHAR perhaps\r\n",
       "2 errors were found in " + settingsShown + "\r\n"},
      // Not knowing whether the log is another of the program's files is
      // no "different": the log is not opened on a guess.
      {"a lookup of the same-file check fails", "FASTECHOCFG fastecho.cfg\r\nLOGFILE {log}\r\n",
       "Error: Can't tell whether log file \"{log}\" is the same file as the FastEcho configuration file \"" +
           UpCasePath("fastecho.cfg").str() + "\" ({shown log}: input/output error)\r\n\r\n",
       true},
  };
  for (const FailCase& c : failures) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    const std::string logPath = dir.File("blurbsmith.log");
    const auto withLog = [&](std::string text) {
      for (auto at = text.find("{shown log}"); at != std::string::npos; at = text.find("{shown log}"))
        text.replace(at, 11, UpCasePath(logPath).str());
      for (auto at = text.find("{log}"); at != std::string::npos; at = text.find("{log}"))
        text.replace(at, 5, logPath);
      return text;
    };
    settingsFile.Write(withLog(c.settings));

    RunState run;
    ProcessTrap trap;
    if (c.lookupFails) platform::faults::Arm(platform::faults::Op::Identify, 1);
    EXPECT_EQ(trap.Run([&] { StartUp(run); }), 255);
    platform::faults::Disarm();
    const std::string console = trap.Console();
    EXPECT_EQ(console.rfind(readingLine, 0), 0u) << console;
    EXPECT_TRUE(EndsWith(console, withLog(c.consoleEnd))) << console;
    EXPECT_EQ(run.log, nullptr);
    EXPECT_FALSE(std::filesystem::exists(logPath)) << "no log before the settings are good";
  }

  {
    SCOPED_TRACE("good settings");
    ScratchDir dir;
    const std::string logPath = dir.File("blurbsmith.log");
    const std::string echoPath = dir.File("echo.lst");
    WriteFileText(echoPath, ",SOME.AREA,Some words\r\n");
    settingsFile.Write("; settings for the test\r\nLOGFILE " + logPath + "\r\nECHOLIST " +
                       echoPath + "\r\nFASTECHOCFG fastecho.cfg\r\n");

    RunState run;
    ProcessTrap trap;
    EXPECT_EQ(trap.Run([&] { StartUp(run); }), -1);
    EXPECT_EQ(run.settingsPath.str(), settingsShown);
    EXPECT_EQ(trap.Console(), readingLine + "  Opening log (" + logPath + "..\r\n");
    ASSERT_NE(run.log, nullptr);

    // The echo list is bound: a lookup finds the area.
    fastecho::Description description;
    ASSERT_EQ(run.echoLists.size(), 1u);
    run.echoLists[0]->LookupDescription("some.area", description);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(description)), "Some words");

    run.log.reset();
    // An empty line, then the start line (no colon) in the log only.
    const std::string log = ReadFileText(logPath);
    const std::string startLine = " BLSM Blurbsmith ver 0.2 started\r\n";
    EXPECT_EQ(log.rfind("\r\n> ", 0), 0u) << log;
    EXPECT_TRUE(EndsWith(log, startLine)) << log;
    EXPECT_EQ(log.size(), 4 + LogStamp(FixedClock()).size() + startLine.size()) << log;
  }
}

}  // namespace
