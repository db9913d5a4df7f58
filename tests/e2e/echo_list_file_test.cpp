// End-to-end: the echo lists sysops have. Both formats, a list that cannot
// be read, and the line ends of each build's text files.
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/harness.h"

namespace fs = std::filesystem;

namespace {

class E2eEchoList : public testing::Test {
 protected:
  void SetUp() override {
    layout_.areas = {{"FIDONEWS", ""}, {"NET_DEV", ""}, {"NOT.LISTED", ""}};
    original_ = layout_.Build();
    WriteFileBytes(inst_.WorkPath("fastecho.cfg"), original_);
  }
  std::string Settings(const std::string& extra, const std::string& lineEnd = "\r\n") const {
    return "FASTECHOCFG fastecho.cfg" + lineEnd + "LOGFILE blsm.log" + lineEnd + extra;
  }
  Bytes Filled() const {
    Bytes expected = original_;
    PutDescription(expected, layout_, 0, "FidoNews, the weekly");
    PutDescription(expected, layout_, 1, "Network development");
    return expected;
  }

  Installation inst_;
  FastEchoImage layout_;
  Bytes original_;
};

// A list that cannot be read is said once, before the first area it costs;
// the run goes on and ends with exit code 0.
TEST_F(E2eEchoList, AListThatCannotBeReadIsToldOnce) {
  fs::create_directory(inst_.WorkPath("a directory"));
  for (const std::string list : {"missing.lst", "a directory"}) {
    SCOPED_TRACE(list);
    fs::remove(inst_.WorkPath("blsm.log"));
    inst_.WriteSettings(Settings("ECHOLIST " + list + "\r\n"));
    const RunResult r = inst_.Run();
    EXPECT_EQ(r.exitCode, 0);
    const std::string warning =
        "Warning: Can't read the echo list \"" + list + "\"; its areas get no description";
    const std::size_t at = r.out.find(warning + "\r\n   No description for areaFIDONEWS\r\n");
    EXPECT_NE(at, std::string::npos) << r.out;
    EXPECT_EQ(r.out.find(warning, at + 1), std::string::npos) << "told more than once";
    const std::vector<std::string> log = inst_.LogLines("blsm.log");
    EXPECT_EQ(std::count(log.begin(), log.end(), "? <stamp> BLSM " + warning), 1);
    EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), original_);
  }
  // No ECHOLIST at all names no list: nothing to tell.
  inst_.WriteSettings(Settings("ECHOLIST\r\n"));
  const RunResult r = inst_.Run();
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out.find("Warning"), std::string::npos) << r.out;
}

TEST_F(E2eEchoList, TheBackbonesNaFilesWithEchoListFormatNa) {
  WriteFileText(inst_.WorkPath("backbone.na"),
                "; FidoNet backbone echoes\r\n"
                "\r\n"
                "fidonews            fidoNews, the weekly\r\n"
                "NET_DEV\tnetwork development   \r\n"
                "FIDONEWS            a later line never counts\r\n");
  inst_.WriteSettings(Settings("ECHOLIST backbone.na\r\nECHOLISTFORMAT NA\r\n"));
  const RunResult r = inst_.Run();
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("   No description for areaNOT.LISTED\r\n"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), Filled());
}

// Files written with LF line ends: on POSIX the same run as their CR LF
// twins; on Windows a DOS text file, so the settings are one line.
TEST_F(E2eEchoList, LfLineEndsFollowTheBuild) {
  WriteFileText(inst_.WorkPath("echos.lst"),
                "; list with LF line ends\n,FIDONEWS,fidoNews, the weekly\nHold,NET_DEV,network development\n");
  inst_.WriteSettings(Settings("ECHOLIST echos.lst\n", "\n"));
  const RunResult lf = inst_.Run();
  if (inst_.UnderWine()) {
    EXPECT_EQ(lf.exitCode, 255);
    EXPECT_EQ(lf.out, StartLines(inst_) + "Error: Log filename not defined\r\n\r\n");
    return;
  }
  const Bytes afterLf = ReadFileBytes(inst_.WorkPath("fastecho.cfg"));
  const std::vector<std::string> logLf = inst_.LogLines("blsm.log");

  WriteFileBytes(inst_.WorkPath("fastecho.cfg"), original_);
  fs::remove(inst_.WorkPath("blsm.log"));
  WriteFileText(inst_.WorkPath("echos.lst"),
                "; list with LF line ends\r\n,FIDONEWS,fidoNews, the weekly\r\nHold,NET_DEV,network development\r\n");
  inst_.WriteSettings(Settings("ECHOLIST echos.lst\r\n"));
  const RunResult crlf = inst_.Run();

  EXPECT_EQ(lf.exitCode, 0);
  EXPECT_EQ(lf.out, crlf.out);
  EXPECT_EQ(logLf, inst_.LogLines("blsm.log"));
  Bytes expected = original_;
  PutDescription(expected, layout_, 0, "FidoNews");
  PutDescription(expected, layout_, 1, "Network development");
  EXPECT_EQ(afterLf, expected);
  EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), expected);
}

}  // namespace
