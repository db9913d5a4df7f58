// End-to-end: the settings file as the program finds and reads it.
#include <gtest/gtest.h>

#include "e2e/harness.h"
#include "support/text_bytes.h"

namespace {

TEST(E2eSettings, CommentsSwitchesAndCaseOfKeywords) {
  Installation inst;
  FastEchoImage f;
  f.areas = {{"ALPHA", "Old"}};
  const Bytes original = f.Build();
  WriteFileBytes(inst.WorkPath("fe.cfg"), original);
  WriteFileText(inst.WorkPath("echo list.txt"), ",alpha,fresh\r\n");
  inst.WriteSettings(
      "// settings with every kind of comment\r\n"
      "   ; indented note\r\n"
      "fastechocfg\tfe.cfg ; the data\r\n"
      "LogFile   run.log//note\r\n"
      "ECHOLIST echo list.txt\r\n"
      "FORCEDESC YES ; old setting\r\n"
      "UpcaseFirstDescChar no\r\n");
  const RunResult r = inst.Run();
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("  Opening log (run.log..\r\n"), std::string::npos);
  Bytes expected = original;
  PutDescription(expected, f, 0, "fresh");
  EXPECT_EQ(ReadFileBytes(inst.WorkPath("fe.cfg")), expected);
}

TEST(E2eSettings, UnknownKeywordAndBadSwitchReportEveryLine) {
  Installation inst;
  inst.WriteSettings("LOGFILE x.log\r\nUPCASEFIRSTDESCCHAR Y\r\nLOGFILE;glued\r\n/\r\n");
  const RunResult r = inst.Run();
  const std::string prefix = "Warning: File " + inst.SettingsPathSeen() + " (line ";
  EXPECT_EQ(r.exitCode, 255);
  EXPECT_EQ(r.out, StartLines(inst) + prefix + "2) - Wrong value of UpcaseFirstDescChar\r\n" +
                       prefix + "3) - Unknown keyword \"LOGFILE;GLUED\"\r\n" + prefix +
                       "4) - Unknown keyword \"/\"\r\n3 errors were found in " +
                       inst.SettingsPathSeen() + "\r\n");
}

// Notepad saves "Unicode" as UTF-16 with a byte-order mark: such a
// settings file is read. One without a mark cannot be read for sure: the
// run stops before it opens the log or touches anything.
TEST(E2eSettings, Utf16SettingsFiles) {
  Installation inst;
  FastEchoImage f;
  f.areas = {{"ALPHA", ""}};
  const Bytes original = f.Build();
  WriteFileBytes(inst.WorkPath("fe.cfg"), original);
  WriteFileText(inst.WorkPath("echos.lst"), ",ALPHA,From a Unicode settings file\r\n");
  const std::u16string text = Utf16Of("FASTECHOCFG fe.cfg\r\nLOGFILE run.log\r\nECHOLIST echos.lst\r\n");
  WriteFileText(inst.ProgPath("blurbsmith.cfg"), Utf16Bytes(u"\xFEFF" + text, true));
  const RunResult r = inst.Run();
  EXPECT_EQ(r.exitCode, 0) << r.out;
  Bytes expected = original;
  PutDescription(expected, f, 0, "From a Unicode settings file");
  EXPECT_EQ(ReadFileBytes(inst.WorkPath("fe.cfg")), expected);

  WriteFileBytes(inst.WorkPath("fe.cfg"), original);
  WriteFileText(inst.ProgPath("blurbsmith.cfg"), Utf16Bytes(text, true));
  const RunResult unmarked = inst.Run();
  EXPECT_EQ(unmarked.exitCode, 255);
  EXPECT_EQ(unmarked.out, StartLines(inst) + "Error: The settings file " + inst.SettingsPathSeen() +
                              " is UTF-16 without a byte-order mark; save it as ANSI or UTF-8\r\n\r\n");
  EXPECT_EQ(ReadFileBytes(inst.WorkPath("fe.cfg")), original);
}

// Without FASTECHOCFG the run says where it is missing.
TEST(E2eSettings, NoFastEchoCfgLine) {
  Installation inst;
  inst.WriteSettings("LOGFILE run.log\r\n");
  const RunResult r = inst.Run();
  EXPECT_EQ(r.exitCode, 255);
  const std::string error = "Error:  not found (FASTECHOCFG is not set in " + inst.SettingsPathSeen() + ")";
  EXPECT_NE(r.out.find("\r\n" + error + "\r\n\r\n"), std::string::npos) << r.out;
  const std::vector<std::string> log = inst.LogLines("run.log");
  EXPECT_NE(std::find(log.begin(), log.end(), "! <stamp> BLSM Error:  not found (FASTECHOCFG is not set in " +
                                                  inst.SettingsPathSeen() + ")"),
            log.end());
}

// WARNINGEXITCODE: a run that completes but told a warning ends with it; a
// run without one with 0, and a run that stopped with 255, as ever.
TEST(E2eSettings, WarningExitCode) {
  Installation inst;
  FastEchoImage f;
  f.areas = {{"ALPHA", ""}};
  WriteFileText(inst.WorkPath("echos.lst"), ",ALPHA,Alpha\r\n");
  struct Case {
    const char* name;
    std::string settings;
    int exitCode;
  };
  const std::string base = "FASTECHOCFG fe.cfg\r\nLOGFILE run.log\r\nWARNINGEXITCODE 3\r\n";
  const std::vector<Case> cases = {
      {"a complete run", base + "ECHOLIST echos.lst\r\n", 0},
      {"a missing list", base + "ECHOLIST missing.lst\r\n", 3},
      {"a list of another format", base + "ECHOLIST echos.lst\r\nECHOLISTFORMAT FIDOCONFIG\r\n", 3},
      {"a run that stops", "FASTECHOCFG missing.cfg\r\nLOGFILE run.log\r\nWARNINGEXITCODE 3\r\n", 255},
      {"not set", "FASTECHOCFG fe.cfg\r\nLOGFILE run.log\r\nECHOLIST missing.lst\r\n", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFileBytes(inst.WorkPath("fe.cfg"), f.Build());
    inst.WriteSettings(c.settings);
    EXPECT_EQ(inst.Run().exitCode, c.exitCode);
  }
}

}  // namespace
