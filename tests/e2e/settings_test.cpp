// End-to-end: the settings file as the program finds and reads it.
#include <gtest/gtest.h>

#include "e2e/harness.h"

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

}  // namespace
