// End-to-end, Windows build under wine: files that another process holds
// open. Sharing rules exist only among Windows processes, so the holder is
// a Windows program too (file_holder.exe).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "e2e/harness.h"

namespace fs = std::filesystem;

namespace {

class E2eSharedFile : public testing::Test {
 protected:
  void SetUp() override {
    if (!inst_.UnderWine()) GTEST_SKIP() << "sharing modes exist on the Windows build only";
    const char* holder = std::getenv("BLURBSMITH_FILE_HOLDER");
    if (!holder || !fs::exists(holder)) GTEST_SKIP() << "file_holder.exe is not built";
    holder_ = holder;
    layout_.areas = {{"ALPHA.CHAT", ""}, {"BETA", "Kept"}};
    original_ = layout_.Build();
    WriteFileBytes(inst_.WorkPath("fastecho.cfg"), original_);
    WriteFileText(inst_.WorkPath("echos.lst"), ",ALPHA.CHAT,Alpha\r\n");
    inst_.WriteSettings("FASTECHOCFG fastecho.cfg\r\nLOGFILE blsm.log\r\nECHOLIST echos.lst\r\n");
  }

  // Runs the program while file_holder keeps `name` open with `sharing`.
  RunResult RunWhileHeld(const std::string& name, const std::string& sharing,
                         const std::vector<std::string>& args = {}) {
    return inst_.RunWhileHeld(holder_, name, sharing, args);
  }

  std::string ReserveLine() const {
    return "  Making reserve copy of Fastecho.cfg [" + inst_.ProgDirSeen() + "$FE_CFG$.QZ$]\r\n";
  }

  Installation inst_;
  std::string holder_;
  FastEchoImage layout_;
  Bytes original_;
};

// The reserve copy reads its source exclusively, so that nobody can change
// the file while it is copied: any other open handle stops the run before
// the file is touched, whatever that handle shares.
TEST_F(E2eSharedFile, FastEchoFileHeldByAnotherProcessStopsAtTheReserveCopy) {
  for (const std::string sharing : {"none", "readwrite"}) {
    SCOPED_TRACE("held with sharing " + sharing);
    const RunResult r = RunWhileHeld("fastecho.cfg", sharing);
    EXPECT_EQ(r.exitCode, 255);
    EXPECT_EQ(r.out, StartLines(inst_) + "  Opening log (blsm.log..\r\n" + ReserveLine() +
                         "Error: Can't make reserve copy (" + inst_.WorkPathSeen("fastecho.cfg") +
                         ": in use by another program)\r\n\r\n");
    EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), original_);
    // The preview foresees it: it asks for the copy's exclusive read too.
    const RunResult preview = RunWhileHeld("fastecho.cfg", sharing, {"-n"});
    EXPECT_EQ(preview.exitCode, 255);
    EXPECT_TRUE(preview.out.ends_with("Error: Can't make reserve copy (" + inst_.WorkPathSeen("fastecho.cfg") +
                                      ": in use by another program)\r\n\r\n"))
        << preview.out;
  }
}

TEST_F(E2eSharedFile, SharedLogAndEchoListHeldOpenDoNotStopTheRun) {
  WriteFileText(inst_.WorkPath("blsm.log"), "earlier line\r\n");
  RunResult r = RunWhileHeld("blsm.log", "readwrite");
  EXPECT_EQ(r.exitCode, 0);
  std::vector<std::string> log = inst_.LogLines("blsm.log");
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[0], "earlier line");
  EXPECT_EQ(log[1], "");
  EXPECT_EQ(log.back(), "> <stamp> BLSM Blurbsmith ver 0.2 finished.");

  WriteFileBytes(inst_.WorkPath("fastecho.cfg"), original_);
  r = RunWhileHeld("echos.lst", "readwrite");
  EXPECT_EQ(r.exitCode, 0);
  Bytes expected = original_;
  PutDescription(expected, layout_, 0, "Alpha");
  EXPECT_EQ(ReadFileBytes(inst_.WorkPath("fastecho.cfg")), expected);
}

}  // namespace
