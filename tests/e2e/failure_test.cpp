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
  EXPECT_EQ(r.out, StartLines(inst_) + "Error: Can't open " + inst_.SettingsPathSeen() + "\r\n\r\n");
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
                       "Error: Can't create file \"nodir/blsm.log\"\r\n\r\n");
  EXPECT_FALSE(fs::exists(inst_.WorkPath("nodir")));
}

TEST_F(E2eFailure, MissingFastEchoFileMakesNoReserveCopy) {
  inst_.WriteSettings("FASTECHOCFG missing.cfg\r\nLOGFILE blsm.log\r\n");
  const RunResult r = inst_.Run();
  const std::string path = inst_.CasedPath("missing.cfg");
  EXPECT_EQ(r.exitCode, 255);
  EXPECT_EQ(r.out, Opening() + "Error: " + path + " not found\r\n\r\n");
  EXPECT_EQ(LastLogLine(), "! <stamp> BLSM Error: " + path + " not found");
  EXPECT_FALSE(fs::exists(inst_.ProgPath("$FE_CFG$.QZ$")));
}

TEST_F(E2eFailure, ReserveCopyImpossible) {
  inst_.WriteSettings(kSettings);
  fs::create_directory(inst_.ProgPath("$FE_CFG$.QZ$"));
  const RunResult r = inst_.Run();
  EXPECT_EQ(r.exitCode, 255);
  EXPECT_EQ(r.out, Opening() + ReserveLine() + "Error: Can't make reserve copy\r\n\r\n");
  EXPECT_EQ(LastLogLine(), "! <stamp> BLSM Error: Can't make reserve copy");
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
  EXPECT_EQ(r.out, Opening() + ReserveLine() + "Error: Can't open " + path + "\r\n\r\n");
  EXPECT_EQ(LastLogLine(), "! <stamp> BLSM Error: Can't open " + path);
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
  EXPECT_EQ(r.out, Opening() + ReserveLine() + "Error: Can't make reserve copy\r\n\r\n");
  EXPECT_EQ(ReadFileBytes(inst_.ProgPath("$FE_CFG$.QZ$")), original_);
}

// A log that cannot take a line (a full disk) never stops the job, and
// never goes unnoticed: the console says so at once, once.
TEST_F(E2eFailure, ALogThatCannotBeWrittenIsToldOnceAndTheJobIsDone) {
  inst_.WriteSettings("FASTECHOCFG fastecho.cfg\r\nLOGFILE /dev/full\r\nECHOLIST echos.lst\r\n");
  const RunResult r = inst_.Run();
  EXPECT_EQ(r.exitCode, 0);
  const std::string told =
      "Warning: Can't write to the log \"/dev/full\"; the rest of this run is not logged\r\n";
  EXPECT_EQ(r.out, StartLines(inst_) + "  Opening log (/dev/full..\r\n" + ReserveLine() +
                       "  Processing \"" + inst_.CasedPath("fastecho.cfg") + "\"..\r\n" + told +
                       "   Added description for area ALPHA.CHAT\r\n"
                       "  Description was added to 1 areas\r\n  ShutDowning...\r\n"
                       "Blurbsmith ver 0.2 finished.\r\n");
  Bytes expected = original_;
  PutDescription(expected, layout_, 0, "Alpha");
  EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), expected);
  EXPECT_EQ(ReadFileBytes(inst_.ProgPath("$FE_CFG$.QZ$")), original_);
}

}  // namespace
