// End-to-end: the program killed at many moments of a long run never leaves
// a corrupted FastEcho file. Each description field is either as it was or
// as a complete run writes it, and whenever anything changed, the reserve
// copy holds the file as it was before the run. The next run settles what
// the killed one left by its record and says so: afterwards the reserve
// copy holds the file as it was before the last run that changed it.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "e2e/harness.h"

namespace {

constexpr int kAreas = 1500;
// Under wine every kill costs seconds of clean-up in the wine server.
int KillCount(const Installation& inst) { return inst.UnderWine() ? 8 : 16; }

struct Fixture {
  FastEchoImage layout;
  Bytes original;
  Bytes complete;  // the file after a complete run
};

// Every third area is unlisted and every fifth already described; the
// filler lines make each lookup read a fair part of the list.
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
  for (int i = 0; i < 3000; ++i) list += ",FILLER." + std::to_string(i) + ",Filler line\r\n";
  for (int i = 0; i < kAreas; ++i)
    if (i % 3 != 0) list += ",AREA." + std::to_string(i) + ",text of area " + std::to_string(i) + "\r\n";
  return list;
}

// Descriptions that stand in the file without their "+" line in the log.
// The log reaches the file before the first write and after every "+"
// line, so a kill can leave at most the one being written untold.
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
  for (int a = 0; a < kAreas; ++a) {
    const auto at = f.layout.DescriptionOffset(a);
    const bool old = std::equal(now.begin() + at, now.begin() + at + 52, f.original.begin() + at);
    const bool fresh = std::equal(now.begin() + at, now.begin() + at + 52, f.complete.begin() + at);
    ASSERT_TRUE(old || fresh) << "area " << a << " holds a torn description";
  }
}

TEST(E2eKilledRun, KilledAtManyMomentsLeavesTheFileIntact) {
  Installation inst;
  const Fixture f = MakeFixture();
  inst.WriteSettings("FASTECHOCFG fastecho.cfg\r\nLOGFILE blsm.log\r\nECHOLIST echos.lst\r\n");
  WriteFileText(inst.WorkPath("echos.lst"), EchoListText());
  const std::string cfg = inst.WorkPath("fastecho.cfg");
  const std::string reserve = inst.ProgPath("$FE_CFG$.QZ$");

  // A complete run first: its result and its duration.
  WriteFileBytes(cfg, f.original);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(inst.Run().exitCode, 0);
  const auto duration = std::chrono::steady_clock::now() - start;
  ASSERT_EQ(ReadFileBytes(cfg), f.complete);

  const int kills = KillCount(inst);
  const std::string older = "the reserve copy of an earlier run";
  const std::string previous = inst.ProgPath("$FE_CFG$.QZ-");
  int killedMidway = 0;
  for (int k = 0; k < kills; ++k) {
    SCOPED_TRACE("kill " + std::to_string(k));
    WriteFileBytes(cfg, f.original);
    WriteFileText(reserve, older);
    std::remove(inst.WorkPath("blsm.log").c_str());
    const pid_t pid = inst.Start();
    // Spread over the first four fifths of a run, so that a loaded machine's
    // late wake-ups still land before its end.
    std::this_thread::sleep_for(duration * k / (kills + kills / 4));
    ::kill(pid, SIGKILL);
    const int code = WaitFor(pid);
    const Bytes now = ReadFileBytes(cfg);
    ExpectIntact(f, now);
    if (now != f.original) {
      EXPECT_EQ(ReadFileBytes(reserve), f.original);
    }
    EXPECT_LE(UntoldDescriptions(f, now, inst.LogLines("blsm.log")), 1);
    if (code == -1) ++killedMidway;

    // A run after the kill completes the job, and settles what it left.
    const bool previousLeft = std::filesystem::exists(previous);
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
  RecordProperty("killed_midway", killedMidway);
  std::printf("killed %d runs, %d of them before they ended\n", kills, killedMidway);
  EXPECT_GT(killedMidway, kills / 2);
}

}  // namespace
