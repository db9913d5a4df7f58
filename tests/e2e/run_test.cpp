// End-to-end: complete runs of the real program on real files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "e2e/harness.h"

namespace fs = std::filesystem;

namespace {

const std::string kSettings =
    "; test settings\r\n"
    "FASTECHOCFG fastecho.cfg\r\n"
    "LOGFILE     blsm.log   ; log beside the data\r\n"
    "ECHOLIST    echos.lst\r\n";

const std::string kEchoList =
    "; tag, description\r\n"
    ",ALPHA.CHAT,general chat about alpha\r\n"
    "Hold,beta.talk,Beta discussions\r\n"
    ",GAMMA,Gamma area, moderated\r\n"
    ",PRESENT,New text for present\r\n"
    ",LOCAL.NET,Should never be used\r\n";

class E2eRun : public testing::Test {
 protected:
  void Install(const FastEchoImage& layout, const std::string& settings = kSettings,
               const std::string& echoList = kEchoList) {
    layout_ = layout;
    original_ = layout.Build();
    WriteFileBytes(inst_.WorkPath("fastecho.cfg"), original_);
    WriteFileText(inst_.WorkPath("echos.lst"), echoList);
    inst_.WriteSettings(settings);
  }

  std::string OpeningLines() const {
    return StartLines(inst_) + "  Opening log (blsm.log..\r\n";
  }
  std::string ReserveLine() const {
    return "  Making reserve copy of Fastecho.cfg [" + inst_.ProgDirSeen() + "$FE_CFG$.QZ$]";
  }
  std::string ProcessingLine(const std::string& cfg = "fastecho.cfg") const {
    return "  Processing \"" + inst_.CasedPath(cfg) + "\"..";
  }
  std::string NoAreaRecordLine(std::size_t size) const {
    return "Warning: " + inst_.CasedPath("fastecho.cfg") + " holds no area record (" +
           std::to_string(size) + " bytes)\r\n";
  }
  // A run that changed nothing says so, and that its undo point stays.
  static std::string ShutdownLines(int added) {
    return std::string(added == 0 ? "  Nothing was changed; the reserve copy was left as it was\r\n" : "") +
           "  Description was added to " + std::to_string(added) +
           " areas\r\n  ShutDowning...\r\nBlurbsmith ver 0.2 finished.\r\n";
  }
  Bytes Current() const { return ReadFileBytes(inst_.WorkPath("fastecho.cfg")); }
  Bytes ReserveCopy() const { return ReadFileBytes(inst_.ProgPath("$FE_CFG$.QZ$")); }

  Installation inst_;
  FastEchoImage layout_;
  Bytes original_;
};

FastEchoImage OutcomeTableLayout() {
  FastEchoImage f;
  f.areas = {
      {"ALPHA.CHAT", "", 0x05},              // kind 0, empty, listed: written
      {"NOT.LISTED", "", 0x00},              // kind 0, empty, unlisted: "-" line
      {"PRESENT", "Old text", 0x0F},         // kind 0, present, no force: passed over
      {"LOCAL.NET", "", 0x10},               // kind 1: passed over silently
      {"BETA.TALK", "", 0x00},               // HOLD line, tag matched ignoring case
      {"gamma", "", 0x00},                   // third field dropped
  };
  f.trailingBytes = 37;  // a partial record at the end is never touched
  return f;
}

TEST_F(E2eRun, CompleteRunFollowsTheOutcomeTable) {
  Install(OutcomeTableLayout());
  const RunResult r = inst_.Run();

  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, OpeningLines() + ReserveLine() + "\r\n" + ProcessingLine() + "\r\n" +
                       "   Added description for area ALPHA.CHAT\r\n"
                       "   No description for areaNOT.LISTED\r\n"
                       "   Added description for area BETA.TALK\r\n"
                       "   Added description for area gamma\r\n" +
                       ShutdownLines(3));

  Bytes expected = original_;
  PutDescription(expected, layout_, 0, "General chat about alpha");
  PutDescription(expected, layout_, 4, "Beta discussions");
  PutDescription(expected, layout_, 5, "Gamma area");
  EXPECT_EQ(Current(), expected);
  EXPECT_EQ(ReserveCopy(), original_);

  const std::vector<std::string> log = inst_.LogLines("blsm.log");
  const std::vector<std::string> expectedLog = {
      "",
      "> <stamp> BLSM Blurbsmith ver 0.2 started",
      "% <stamp> BLSM " + ReserveLine(),
      "% <stamp> BLSM " + ProcessingLine(),
      "+ <stamp> BLSM    Added description for area ALPHA.CHAT",
      "- <stamp> BLSM    No description for areaNOT.LISTED",
      "+ <stamp> BLSM    Added description for area BETA.TALK",
      "+ <stamp> BLSM    Added description for area gamma",
      "$ <stamp> BLSM   Description was added to 3 areas",
      "x <stamp> BLSM   ShutDowning...",
      "> <stamp> BLSM Blurbsmith ver 0.2 finished.",
  };
  EXPECT_EQ(log, expectedLog);
}

TEST_F(E2eRun, ForceDescRewritesListedAndKeepsUnlisted) {
  FastEchoImage f;
  f.areas = {{"PRESENT", "Old text", 0x00}, {"UNLISTED", "Keep me", 0x00}, {"LOCAL.NET", "x", 0x20}};
  Install(f, kSettings + "FORCEDESC yes\r\nUPCASEFIRSTDESCCHAR No\r\n");
  const RunResult r = inst_.Run();

  EXPECT_EQ(r.exitCode, 0);
  // The old text follows the "+" line, on the console and in the log.
  EXPECT_EQ(r.out, OpeningLines() + ReserveLine() + "\r\n" + ProcessingLine() + "\r\n" +
                       "   Added description for area PRESENT\r\n"
                       "    PRESENT was \"Old text\"\r\n"
                       "   No description for areaUNLISTED\r\n" + ShutdownLines(1));
  Bytes expected = original_;
  PutDescription(expected, layout_, 0, "New text for present");
  EXPECT_EQ(Current(), expected);
  const std::vector<std::string> log = inst_.LogLines("blsm.log");
  const auto added = std::find(log.begin(), log.end(), "+ <stamp> BLSM    Added description for area PRESENT");
  ASSERT_NE(added, log.end());
  ASSERT_NE(added + 1, log.end());
  EXPECT_EQ(added[1], "% <stamp> BLSM     PRESENT was \"Old text\"");
}

// A field that already holds the list's bytes (after the first letter is
// made a capital) changes nothing: no write, no line, no count. A run that
// changes no byte keeps the undo point of the last real change.
TEST_F(E2eRun, ForceDescLeavesEqualDescriptionsAlone) {
  FastEchoImage f;
  f.areas = {{"ALPHA.CHAT", "General chat about alpha", 0x00}, {"BETA.TALK", "Beta discussions", 0x00}};
  Install(f, kSettings + "FORCEDESC YES\r\n");
  WriteFileText(inst_.ProgPath("$FE_CFG$.QZ$"), "the undo point of the last real change");
  RunResult r = inst_.Run();
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, OpeningLines() + ReserveLine() + "\r\n" + ProcessingLine() + "\r\n" + ShutdownLines(0));
  EXPECT_EQ(Current(), original_);
  EXPECT_EQ(ReadFileText(inst_.ProgPath("$FE_CFG$.QZ$")), "the undo point of the last real change");
  const RunResult preview = inst_.Run({"-n"});
  EXPECT_NE(preview.out.find("  Description would be added to 0 areas\r\n"), std::string::npos) << preview.out;

  // One description differs: only that one is written, counted and logged.
  WriteFileText(inst_.WorkPath("echos.lst"), "Hold,beta.talk,Beta talk, renamed\r\n" + kEchoList);
  r = inst_.Run();
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, OpeningLines() + ReserveLine() + "\r\n" + ProcessingLine() + "\r\n" +
                       "   Added description for area BETA.TALK\r\n"
                       "    BETA.TALK was \"Beta discussions\"\r\n" + ShutdownLines(1));
  Bytes expected = original_;
  PutDescription(expected, layout_, 1, "Beta talk");
  EXPECT_EQ(Current(), expected);
  EXPECT_EQ(ReserveCopy(), original_);
  const std::vector<std::string> log = inst_.LogLines("blsm.log");
  EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& line) { return line[0] == '+'; }), 1);
}

TEST_F(E2eRun, FirstCharacterUpCasingAndFullWidthDescriptions) {
  const std::string full52(52, 'z');
  FastEchoImage f;
  f.areas = {{"ASCII", ""}, {"CYRILLIC", ""}, {"DIGIT", ""}, {"WIDE", ""}, {"LONGER", ""}};
  Install(f, kSettings,
          ",ascii,abc Def\r\n,CYRILLIC,\xA0\xA1\xE0\r\n,DIGIT,9 lives\r\n,WIDE," + full52 +
              "\r\n,LONGER," + std::string(60, 'y') + "\r\n");
  const RunResult r = inst_.Run();

  EXPECT_EQ(r.exitCode, 0);
  Bytes expected = original_;
  PutDescription(expected, layout_, 0, "Abc Def");
  PutDescription(expected, layout_, 1, "\x80\xA1\xE0");
  PutDescription(expected, layout_, 2, "9 lives");
  PutDescription(expected, layout_, 3, "Z" + full52.substr(1));
  PutDescription(expected, layout_, 4, "Y" + std::string(51, 'y'));
  EXPECT_EQ(Current(), expected);
}

TEST_F(E2eRun, NoEligibleRecordLogsOnlyTheTwoSteps) {
  FastEchoImage f;
  f.areas = {{"PRESENT", "Has one"}, {"ALPHA.CHAT", "", 0x30}};
  Install(f);
  const RunResult r = inst_.Run();

  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, OpeningLines() + ReserveLine() + "\r\n" + ProcessingLine() + "\r\n" +
                       ShutdownLines(0));
  EXPECT_EQ(Current(), original_);
}

TEST_F(E2eRun, PathsKeepTheirCaseOnPosixAndAreUpCasedOnWindows) {
  FastEchoImage f;
  f.areas = {{"ALPHA.CHAT", ""}};
  Install(f, "FASTECHOCFG FastEcho.Cfg\r\nLOGFILE Blsm.Log\r\nECHOLIST echos.lst\r\n");
  fs::rename(inst_.WorkPath("fastecho.cfg"), inst_.WorkPath("FastEcho.Cfg"));
  const RunResult r = inst_.Run();

  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, StartLines(inst_) + "  Opening log (Blsm.Log..\r\n" + ReserveLine() + "\r\n" +
                       ProcessingLine("FastEcho.Cfg") + "\r\n" +
                       "   Added description for area ALPHA.CHAT\r\n" + ShutdownLines(1));
  EXPECT_TRUE(fs::exists(inst_.WorkPath("Blsm.Log")));
}

// The reserve copy holds the file as it was before the last run that
// changed it: a run that writes nothing keeps the one before.
TEST_F(E2eRun, TheReserveCopyHoldsTheFileBeforeTheLastRunThatChangedIt) {
  FastEchoImage f;
  f.areas = {{"ALPHA.CHAT", ""}, {"BETA.TALK", ""}, {"NOT.LISTED", ""}};
  Install(f);
  WriteFileText(inst_.ProgPath("$FE_CFG$.QZ$"), std::string(100000, 'x'));  // a longer old copy
  WriteFileText(inst_.ProgPath("$FE_CFG$.QZ~"), "left by a killed run");

  ASSERT_EQ(inst_.Run().exitCode, 0);
  EXPECT_EQ(ReserveCopy(), original_);
  EXPECT_FALSE(fs::exists(inst_.ProgPath("$FE_CFG$.QZ~")));
  const Bytes afterFirst = Current();
  ASSERT_NE(afterFirst, original_);

  // Nothing left to write: the undo point stays the file before the first run.
  const RunResult second = inst_.Run();
  ASSERT_EQ(second.exitCode, 0);
  EXPECT_NE(second.out.find("  Description was added to 0 areas\r\n"), std::string::npos);
  EXPECT_EQ(Current(), afterFirst);
  EXPECT_EQ(ReserveCopy(), original_);
  EXPECT_FALSE(fs::exists(inst_.ProgPath("$FE_CFG$.QZ~")));
  EXPECT_FALSE(fs::exists(inst_.WorkPath("$FE_CFG$.QZ$")));
  // The second run appends to the log, beginning with an empty line.
  const std::vector<std::string> log = inst_.LogLines("blsm.log");
  EXPECT_EQ(std::count(log.begin(), log.end(), ""), 2);

  // A run that writes again takes the file as it found it.
  WriteFileText(inst_.WorkPath("echos.lst"), kEchoList + ",NOT.LISTED,Listed at last\r\n");
  ASSERT_EQ(inst_.Run().exitCode, 0);
  EXPECT_EQ(ReserveCopy(), afterFirst);
}

// A run killed between putting its copy in place and its first write on the
// disk leaves the previous copy under $FE_CFG$.QZ-. The next run keeps the
// copy that holds the file as it was before the last change: the previous
// one when the killed run changed nothing, its own when it did.
TEST_F(E2eRun, WhatAKilledRunLeftIsSettledByTheNextRun) {
  FastEchoImage f;
  f.areas = {{"ALPHA.CHAT", ""}, {"NOT.LISTED", ""}};
  Install(f);
  const std::string reserve = inst_.ProgPath("$FE_CFG$.QZ$"), previous = inst_.ProgPath("$FE_CFG$.QZ-");
  const std::string older = "the reserve copy before the killed run";
  struct Case {
    const char* name;
    bool killedRunWrote;
    bool reserveThere;  // killed between the two renames: no reserve copy at all
  };
  for (const Case& c : {Case{"killed before its first write", false, true},
                        Case{"killed after its first write", true, true},
                        Case{"killed between the two renames", false, false}}) {
    SCOPED_TRACE(c.name);
    Bytes killedRunSaw = original_;  // what the killed run copied
    WriteFileBytes(inst_.WorkPath("fastecho.cfg"), original_);
    WriteFileText(previous, older);
    if (c.reserveThere) WriteFileBytes(reserve, killedRunSaw);
    else fs::remove(reserve);
    Bytes before = original_;
    if (c.killedRunWrote) {
      PutDescription(before, layout_, 1, "Written by the killed run");
      WriteFileBytes(inst_.WorkPath("fastecho.cfg"), before);
    }
    const RunResult r = inst_.Run();
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_FALSE(fs::exists(previous));
    // This run wrote ALPHA.CHAT: its own copy is now the reserve copy.
    EXPECT_EQ(ReserveCopy(), before);

    // The same leftovers, and a run that writes nothing: the settled copy stays.
    WriteFileBytes(inst_.WorkPath("fastecho.cfg"), before);
    WriteFileText(previous, older);
    if (c.reserveThere) WriteFileBytes(reserve, killedRunSaw);
    else fs::remove(reserve);
    WriteFileText(inst_.WorkPath("echos.lst"), "; nothing listed\r\n,OTHER,x\r\n");
    const RunResult idle = inst_.Run();
    EXPECT_EQ(idle.exitCode, 0) << idle.out;
    EXPECT_FALSE(fs::exists(previous));
    if (c.killedRunWrote) {
      EXPECT_EQ(ReserveCopy(), killedRunSaw);
    } else {
      EXPECT_EQ(ReadFileText(reserve), older);
    }
    WriteFileText(inst_.WorkPath("echos.lst"), kEchoList);
  }
}

TEST_F(E2eRun, WalkStopsQuietlyWhenTheHeaderPutsRecordsBeyondTheFile) {
  FastEchoImage f;
  f.areas = {{"ALPHA.CHAT", ""}};
  Install(f);
  // 65535 leading records of 65535 bytes: the first area lies far beyond the end.
  Bytes image = original_;
  image[6] = image[7] = 0xFF;
  image[4638] = image[4639] = 0xFF;
  WriteFileBytes(inst_.WorkPath("fastecho.cfg"), image);
  const RunResult r = inst_.Run();

  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, OpeningLines() + ReserveLine() + "\r\n" + ProcessingLine() + "\r\n" +
                       NoAreaRecordLine(image.size()) + ShutdownLines(0));
  EXPECT_EQ(Current(), image);
}

TEST_F(E2eRun, UnsupportedRecordSizeIsAWarningAndNothingIsWritten) {
  FastEchoImage f;
  f.areaRecordSize = 180;
  f.areas = {{"ALPHA.CHAT", ""}};
  Install(f);
  const RunResult r = inst_.Run();

  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, OpeningLines() + ReserveLine() + "\r\n" + ProcessingLine() + "\r\n" +
                       "Warning: Area record size 180 is not supported; no area was processed\r\n" +
                       ShutdownLines(0));
  EXPECT_EQ(Current(), original_);
  const std::vector<std::string> log = inst_.LogLines("blsm.log");
  EXPECT_EQ(log[4], "? <stamp> BLSM Warning: Area record size 180 is not supported; no area was processed");
}

// A FASTECHOCFG that names the wrong file is worth a word: the walk ends at
// once, as it does at the end of any file, with a warning.
TEST_F(E2eRun, AFileWithoutAnAreaRecordIsAWarning) {
  Install(FastEchoImage{});
  const Bytes shortFile(4000, 0x41);
  WriteFileBytes(inst_.WorkPath("fastecho.cfg"), shortFile);
  const RunResult r = inst_.Run();

  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, OpeningLines() + ReserveLine() + "\r\n" + ProcessingLine() + "\r\n" +
                       NoAreaRecordLine(4000) + ShutdownLines(0));
  EXPECT_EQ(Current(), shortFile);
  const std::vector<std::string> log = inst_.LogLines("blsm.log");
  EXPECT_EQ(log[4], "? <stamp> BLSM " + NoAreaRecordLine(4000).substr(0, NoAreaRecordLine(4000).size() - 2));
  EXPECT_FALSE(fs::exists(inst_.ProgPath("$FE_CFG$.QZ$"))) << "nothing was written";
}

}  // namespace
