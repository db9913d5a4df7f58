// End-to-end: the Windows program killed at chosen writes of a run never
// leaves a corrupted FastEcho file. strace starts wine with the program and
// kills it at the Nth write to the FastEcho file, for writes spread over a
// whole run: the first, the ones right after it, and others up to the
// last. Each description field is then either as it was or as a complete
// run writes it, whenever anything changed the reserve copy holds the file
// as it was before the run, at most the description being written lacks
// its "+" line, and the next run completes the job and settles what the
// killed one left by its record, saying so: afterwards the reserve copy
// holds the file as it was before the last run that changed it. (The
// native program is killed at every write of a run by the injected-fault
// suite.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>

#include "e2e/harness.h"

namespace {

constexpr int kAreas = 90;

struct Fixture {
  FastEchoImage layout;
  Bytes original;
  Bytes complete;  // the file after a complete run
};

// Every third area is unlisted and every fifth already described.
Fixture MakeFixture() {
  Fixture f;
  for (int i = 0; i < kAreas; ++i)
    f.layout.areas.push_back({"AREA." + std::to_string(i), i % 5 == 0 ? "Kept" : "", 0x00});
  f.original = f.layout.Build();
  f.complete = f.original;
  for (int i = 0; i < kAreas; ++i)
    if (i % 5 != 0 && i % 3 != 0) PutDescription(f.complete, f.layout, i, "Text of area " + std::to_string(i));
  return f;
}

std::string EchoListText() {
  std::string list;
  for (int i = 0; i < 300; ++i) list += ",FILLER." + std::to_string(i) + ",Filler line\r\n";
  for (int i = 0; i < kAreas; ++i)
    if (i % 3 != 0) list += ",AREA." + std::to_string(i) + ",text of area " + std::to_string(i) + "\r\n";
  return list;
}

// Descriptions that stand in the file without their "+" line in the log.
int UntoldDescriptions(const Fixture& f, const Bytes& now, const std::vector<std::string>& log) {
  std::set<std::string> told;
  const std::string added = "+ <stamp> BLSM    Added description for area ";
  for (const std::string& line : log)
    if (line.rfind(added, 0) == 0) told.insert(line.substr(added.size()));
  int untold = 0;
  for (int a = 0; a < kAreas; ++a) {
    const auto at = f.layout.DescriptionOffset(a);
    const bool changed = !std::equal(now.begin() + at, now.begin() + at + 52, f.original.begin() + at);
    if (changed && told.count("AREA." + std::to_string(a)) == 0) ++untold;
  }
  return untold;
}

// Every description field is either the original or the completed one, and
// every other byte is as it was.
void ExpectIntact(const Fixture& f, const Bytes& now) {
  ASSERT_EQ(now.size(), f.original.size());
  for (std::size_t i = 0; i < now.size(); ++i) {
    if (now[i] == f.original[i]) continue;
    ASSERT_EQ(now[i], f.complete[i]) << "byte " << i << " is neither old nor new";
  }
}

// The writes to the FastEcho file in a trace of strace (wine writes a
// file at the position it keeps, with write).
int WritesIn(const std::string& trace) {
  std::istringstream lines(trace);
  int writes = 0;
  for (std::string line; std::getline(lines, line);)
    if (line.find(" write(") != std::string::npos) ++writes;
  return writes;
}

TEST(E2eKilledRun, KilledAtWritesOfTheFastEchoFileLeavesItIntact) {
  Installation inst;
  if (!inst.UnderWine()) GTEST_SKIP() << "the injected-fault suite kills the native program at every write";
  ASSERT_EQ(std::system("strace -o /dev/null true >/dev/null 2>&1"), 0) << "strace cannot trace here";
  const Fixture f = MakeFixture();
  inst.WriteSettings("FASTECHOCFG fastecho.cfg\r\nLOGFILE blsm.log\r\nECHOLIST echos.lst\r\n");
  WriteFileText(inst.WorkPath("echos.lst"), EchoListText());
  const std::string cfg = inst.WorkPath("fastecho.cfg");
  const std::string reserve = inst.ProgPath("$FE_CFG$.QZ$");
  ScratchDir traces;
  const auto strace = [&](const std::string& inject) {
    std::vector<std::string> command = {"strace", "-f", "-o", traces.File("run.trace"), "-e", "trace=write",
                                        "-P", cfg};
    if (!inject.empty()) command.insert(command.end(), {"-e", "inject=" + inject});
    return command;
  };

  // A complete run first: its result and its writes.
  WriteFileBytes(cfg, f.original);
  inst.RunUnder(strace(""));
  ASSERT_EQ(inst.Run().exitCode, 0);
  ASSERT_EQ(ReadFileBytes(cfg), f.complete);
  const int writes = WritesIn(ReadFileText(traces.File("run.trace")));
  ASSERT_GT(writes, 8);

  // Wine's clean-up after a kill takes seconds: the first writes, where
  // the reserve copy is put in place, and a spread up to the last.
  std::set<int> points = {1, 2, 3, writes};
  for (int k = 1; k <= 4; ++k) points.insert(writes * k / 5);
  const std::string older = "the reserve copy of an earlier run";
  const std::string previous = inst.ProgPath("$FE_CFG$.QZ-");
  for (const int n : points) {
    SCOPED_TRACE("killed at write " + std::to_string(n) + " of " + std::to_string(writes));
    WriteFileBytes(cfg, f.original);
    WriteFileText(reserve, older);
    std::remove(inst.WorkPath("blsm.log").c_str());
    inst.RunUnder(strace("write:signal=KILL:when=" + std::to_string(n)));
    const RunResult r = inst.Run();
    EXPECT_NE(ReadFileText(traces.File("run.trace")).find("+++ killed by SIGKILL +++"), std::string::npos)
        << "the kill never reached the program";
    EXPECT_NE(r.exitCode, 0);
    const Bytes now = ReadFileBytes(cfg);
    ExpectIntact(f, now);
    if (now != f.original) {
      EXPECT_EQ(ReadFileBytes(reserve), f.original);
    }
    EXPECT_LE(UntoldDescriptions(f, now, inst.LogLines("blsm.log")), 1);

    // A run after the kill completes the job, and settles what it left.
    const bool previousLeft = std::filesystem::exists(previous);
    inst.RunUnder({});
    const RunResult next = inst.Run();
    ASSERT_EQ(next.exitCode, 0) << next.out;
    EXPECT_EQ(ReadFileBytes(cfg), f.complete);
    EXPECT_EQ(ReadFileBytes(reserve), now == f.original || now == f.complete ? f.original : now);
    EXPECT_FALSE(std::filesystem::exists(previous));
    const bool putBack =
        next.out.find("  The previous reserve copy was put back (a run was stopped before its first change)\r\n") !=
        std::string::npos;
    const bool removed = next.out.find("  A previous run's reserve copy was removed\r\n") != std::string::npos;
    EXPECT_EQ(putBack, previousLeft && now == f.original) << next.out;
    EXPECT_EQ(removed, previousLeft && now != f.original) << next.out;
  }
}

}  // namespace
