// End-to-end: runs that stop, with exit code 255, and what they leave.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "e2e/harness.h"

namespace fs = std::filesystem;

namespace {

const std::string kSettings = "FASTECHOCFG fastecho.cfg\r\nLOGFILE blsm.log\r\nECHOLIST echos.lst\r\n";

class E2eFailure : public testing::Test {
 protected:
  void SetUp() override {
    layout_.areas = {{"ALPHA.CHAT", ""}};
    original_ = layout_.Build();
    WriteFileBytes(inst_.WorkPath("fastecho.cfg"), original_);
    WriteFileText(inst_.WorkPath("echos.lst"), ",ALPHA.CHAT,Alpha\r\n");
  }
  std::string Opening() const { return StartLines(inst_) + "  Opening log (blsm.log..\r\n"; }
  std::string ReserveLine() const {
    return "  Making reserve copy of Fastecho.cfg [" + inst_.ProgDirSeen() + "$FE_CFG$.QZ$]\r\n";
  }
  std::string LastLogLine() const { return inst_.LogLines("blsm.log").back(); }

  Installation inst_;
  FastEchoImage layout_;
  Bytes original_;
};

TEST_F(E2eFailure, MissingSettingsFile) {
  const RunResult r = inst_.Run();
  EXPECT_EQ(r.exitCode, 255);
  EXPECT_EQ(r.out, StartLines(inst_) + "Error: Can't open " + inst_.SettingsPathSeen() + " (no such file)\r\n\r\n");
}

TEST_F(E2eFailure, SettingsErrorsAreCountedAndStopBeforeAnythingIsTouched) {
  inst_.WriteSettings(kSettings + "FORCEDESC maybe\r\n\r\n; note\r\n# hash\r\n");
  const RunResult r = inst_.Run();
  const std::string prefix = "Warning: File " + inst_.SettingsPathSeen() + " (line ";
  EXPECT_EQ(r.exitCode, 255);
  EXPECT_EQ(r.out, StartLines(inst_) + prefix + "4) - Wrong value of ForceDesc\r\n" + prefix +
                       "7) - Unknown keyword \"#\"\r\n2 errors were found in " +
                       inst_.SettingsPathSeen() + "\r\n");
  EXPECT_FALSE(fs::exists(inst_.WorkPath("blsm.log")));
  EXPECT_FALSE(fs::exists(inst_.ProgPath("$FE_CFG$.QZ$")));
}

TEST_F(E2eFailure, MissingLogFileSetting) {
  inst_.WriteSettings("FASTECHOCFG fastecho.cfg\r\n");
  const RunResult r = inst_.Run();
  EXPECT_EQ(r.exitCode, 255);
  EXPECT_EQ(r.out, StartLines(inst_) + "Error: Log filename not defined\r\n\r\n");
  EXPECT_FALSE(fs::exists(inst_.ProgPath("$FE_CFG$.QZ$")));
}

TEST_F(E2eFailure, LogInAMissingDirectory) {
  inst_.WriteSettings("FASTECHOCFG fastecho.cfg\r\nLOGFILE nodir/blsm.log\r\n");
  const RunResult r = inst_.Run();
  EXPECT_EQ(r.exitCode, 255);
  EXPECT_EQ(r.out, StartLines(inst_) + "  Opening log (nodir/blsm.log..\r\n"
                       "Error: Can't create file \"nodir/blsm.log\"" +
                       inst_.BecauseRelative("nodir/blsm.log", "no such directory") + "\r\n\r\n");
  EXPECT_FALSE(fs::exists(inst_.WorkPath("nodir")));
}

TEST_F(E2eFailure, MissingFastEchoFileMakesNoReserveCopy) {
  inst_.WriteSettings("FASTECHOCFG missing.cfg\r\nLOGFILE blsm.log\r\n");
  const RunResult r = inst_.Run();
  const std::string path = inst_.CasedPath("missing.cfg");
  EXPECT_EQ(r.exitCode, 255);
  const std::string where = " (" + inst_.WorkPathSeen("missing.cfg") + ")";
  EXPECT_EQ(r.out, Opening() + "Error: " + path + " not found" + where + "\r\n\r\n");
  EXPECT_EQ(LastLogLine(), "! <stamp> BLSM Error: " + path + " not found" + where);
  EXPECT_FALSE(fs::exists(inst_.ProgPath("$FE_CFG$.QZ$")));
}

TEST_F(E2eFailure, ReserveCopyImpossible) {
  inst_.WriteSettings(kSettings);
  fs::create_directory(inst_.ProgPath("$FE_CFG$.QZ$"));
  const RunResult r = inst_.Run();
  EXPECT_EQ(r.exitCode, 255);
  const std::string error =
      "Can't make reserve copy (" + inst_.ProgPathSeen("$FE_CFG$.QZ$") + ": is a directory)";
  EXPECT_EQ(r.out, Opening() + ReserveLine() + "Error: " + error + "\r\n\r\n");
  EXPECT_EQ(LastLogLine(), "! <stamp> BLSM Error: " + error);
  EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), original_);
}

TEST_F(E2eFailure, FastEchoFileThatCannotBeOpenedForWriting) {
  inst_.WriteSettings(kSettings);
  const std::string cfg = inst_.WorkPath("fastecho.cfg");
  if (std::system(("chattr +i '" + cfg + "' 2>/dev/null").c_str()) != 0)
    GTEST_SKIP() << "chattr +i is not available on this file system";
  const RunResult r = inst_.Run();
  std::system(("chattr -i '" + cfg + "'").c_str());

  const std::string path = inst_.CasedPath("fastecho.cfg");
  EXPECT_EQ(r.exitCode, 255);
  const std::string error = "Can't open " + path + inst_.BecauseRelative("fastecho.cfg", "access denied");
  EXPECT_EQ(r.out, Opening() + ReserveLine() + "Error: " + error + "\r\n\r\n");
  EXPECT_EQ(LastLogLine(), "! <stamp> BLSM Error: " + error);
  EXPECT_EQ(ReadFileBytes(cfg), original_);
  EXPECT_FALSE(fs::exists(inst_.ProgPath("$FE_CFG$.QZ$"))) << "nothing was written: no new reserve copy";
  EXPECT_FALSE(fs::exists(inst_.ProgPath("$FE_CFG$.QZ~")));
}

TEST_F(E2eFailure, FastEchoFileNamedAsItsOwnReserveCopyIsNotEmptied) {
  fs::copy_file(inst_.WorkPath("fastecho.cfg"), inst_.ProgPath("$FE_CFG$.QZ$"));
  const std::string reserve = inst_.ProgDirSeen() + "$FE_CFG$.QZ$";
  inst_.WriteSettings("FASTECHOCFG " + reserve + "\r\nLOGFILE blsm.log\r\n");
  const RunResult r = inst_.Run();
  EXPECT_EQ(r.exitCode, 255);
  EXPECT_EQ(r.out, Opening() + ReserveLine() + "Error: Can't make reserve copy (" + inst_.CasedPath(reserve) +
                       ": FASTECHOCFG names the reserve copy itself)\r\n\r\n");
  EXPECT_EQ(ReadFileBytes(inst_.ProgPath("$FE_CFG$.QZ$")), original_);
}

// The log is the record of what a run changed: a log that cannot take a
// line (a full disk) stops the run before anything is changed.
TEST_F(E2eFailure, ALogThatCannotBeWrittenStopsTheRunBeforeAnyChange) {
  inst_.WriteSettings("FASTECHOCFG fastecho.cfg\r\nLOGFILE /dev/full\r\nECHOLIST echos.lst\r\n");
  WriteFileText(inst_.ProgPath("$FE_CFG$.QZ$"), "an older reserve copy");
  const RunResult r = inst_.Run();
  EXPECT_EQ(r.exitCode, 255);
  // Windows reads "/dev/full" on the current drive.
  const std::string where = inst_.UnderWine() ? "Z:\\DEV\\FULL: disk full" : "disk full";
  EXPECT_EQ(r.out, StartLines(inst_) + "  Opening log (/dev/full..\r\n" + ReserveLine() +
                       "  Processing \"" + inst_.CasedPath("fastecho.cfg") + "\"..\r\n"
                       "Error: Can't write to the log \"/dev/full\" (" + where + ")\r\n\r\n");
  EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), original_);
  EXPECT_EQ(ReadFileText(inst_.ProgPath("$FE_CFG$.QZ$")), "an older reserve copy") << "the previous one stays";
  EXPECT_FALSE(fs::exists(inst_.ProgPath("$FE_CFG$.QZ~")));
}

// Every error about a file says why, in the same words on both builds,
// after the full path the program resolved a relative name to.
TEST_F(E2eFailure, EveryFileErrorSaysWhy) {
  fs::create_directories(inst_.WorkPath("fe"));
  fs::create_directories(inst_.WorkPath("logdir"));
  struct Case {
    const char* name;
    std::string settings;
    std::string error;
    bool asUnprivileged = false;  // permissions count
  };
  const std::vector<Case> cases = {
      {"a missing directory", "FASTECHOCFG nodir/fastecho.cfg\r\nLOGFILE blsm.log\r\n",
       inst_.CasedPath("nodir/fastecho.cfg") + " not found" +
           inst_.BecauseRelative("nodir/fastecho.cfg", "no such directory")},
      {"a directory as the FastEcho file", "FASTECHOCFG fe\r\nLOGFILE blsm.log\r\n",
       "Can't make reserve copy (" + inst_.WorkPathSeen("fe") + ": is a directory)"},
      {"a directory as the log", "FASTECHOCFG fastecho.cfg\r\nLOGFILE logdir\r\n",
       "Can't create file \"logdir\"" + inst_.BecauseRelative("logdir", "is a directory")},
      // Windows must open a file to learn its identity: the same-file check
      // meets the refusal first, and does not guess.
      {"an unreadable FastEcho file", kSettings,
       inst_.UnderWine()
           ? "Can't tell whether log file \"blsm.log\" is the same file as the FastEcho configuration file \"" +
                 inst_.CasedPath("fastecho.cfg") + "\" (" + inst_.WorkPathSeen("fastecho.cfg") + ": access denied)"
           : "Can't make reserve copy (" + inst_.WorkPathSeen("fastecho.cfg") + ": access denied)",
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.asUnprivileged) {
      if (!RunningAsRoot()) continue;
      inst_.RunUnprivileged();
      fs::permissions(inst_.WorkPath("fastecho.cfg"), fs::perms::none);
    }
    inst_.WriteSettings(c.settings);
    const RunResult r = inst_.Run();
    EXPECT_EQ(r.exitCode, 255);
    EXPECT_TRUE(r.out.ends_with("Error: " + c.error + "\r\n\r\n")) << r.out;
    if (c.asUnprivileged) fs::permissions(inst_.WorkPath("fastecho.cfg"), fs::perms::owner_all);
    EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), original_);
  }
}

}  // namespace
