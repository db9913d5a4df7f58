// End-to-end, both builds: the log shared with other writers while a run
// appends to it, cuts its Ctrl-Z, or waits to. No run loses, overwrites or
// cuts away a line that another wrote, and none hides its own lines behind
// a Ctrl-Z without saying so.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <thread>

#include "e2e/harness.h"

namespace fs = std::filesystem;

namespace {

const std::string kSettings = "FASTECHOCFG fastecho.cfg\r\nLOGFILE blsm.log\r\nECHOLIST echos.lst\r\n";
const std::string kCtrlZKept = "  The log's Ctrl-Z was left in place (the log is in use by another program)";
const std::string kOldLog = "old line\r\n";

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::size_t CountOf(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}

class E2eSharedLog : public testing::Test {
 protected:
  void SetUp() override { inst_.WriteSettings(kSettings); }

  // A node of `areas` empty areas, each listed.
  void MakeNode(int areas) {
    std::string list;
    for (int i = 0; i < areas; ++i) {
      layout_.areas.push_back({"AREA." + std::to_string(i), "", 0x00});
      list += ",AREA." + std::to_string(i) + ",Text " + std::to_string(i) + "\r\n";
    }
    WriteFileText(inst_.WorkPath("echos.lst"), list);
    original_ = layout_.Build();
    complete_ = original_;
    for (int i = 0; i < areas; ++i) PutDescription(complete_, layout_, i, "Text " + std::to_string(i));
  }

  std::string Cfg() const { return inst_.WorkPath("fastecho.cfg"); }
  std::string Log() const { return inst_.WorkPath("blsm.log"); }

  // The log lines of one complete run over the node, stamps replaced.
  std::vector<std::string> CompleteRunLog() const {
    std::vector<std::string> lines = {
        "", "> <stamp> BLSM Blurbsmith ver 0.2 started",
        "% <stamp> BLSM   Making reserve copy of Fastecho.cfg [" + inst_.ProgDirSeen() + "$FE_CFG$.QZ$]",
        "% <stamp> BLSM   Processing \"" + inst_.CasedPath("fastecho.cfg") + "\".."};
    for (const AreaEntry& area : layout_.areas)
      lines.push_back("+ <stamp> BLSM    Added description for area " + area.tag);
    lines.push_back("$ <stamp> BLSM   Description was added to " + std::to_string(layout_.areas.size()) + " areas");
    lines.push_back("x <stamp> BLSM   ShutDowning...");
    lines.push_back("> <stamp> BLSM Blurbsmith ver 0.2 finished.");
    return lines;
  }

  Installation inst_;
  FastEchoImage layout_;
  Bytes original_;
  Bytes complete_;
};

// Another program appends a line to the log every 20 ms while runs write
// theirs, ten runs in a row: each line of both stays whole and in its
// place, none lost or overwritten. On Windows each write of the run goes
// through a handle that may only append, as the other program's do, and
// Windows appends through it in one step. Wine 8.0 does not: it asks the
// file's size (fstat) and writes there (pwrite64), with an append-only
// handle as with an offset of all ones, so a line of another program that
// lands between the two is overwritten (measured: lines lost in about six
// runs of ten either way). No kernel32 call appends atomically there.
TEST_F(E2eSharedLog, AnotherProgramAppendingMeanwhileLosesNoLine) {
  if (inst_.UnderWine()) GTEST_SKIP() << "wine 8.0 appends as fstat, then pwrite64 at the size found";
  const char* holder = std::getenv("BLURBSMITH_LOCK_HOLDER");
  if (!holder || !fs::exists(holder)) GTEST_SKIP() << "the appending program is not built";
  MakeNode(4096);
  static const std::regex otherLine(R"(^line (\d+) of another program$)");
  static const std::regex otherCount(R"(^another program appended (\d+) lines$)");
  for (int run = 1; run <= 10; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    WriteFileBytes(Cfg(), original_);
    WriteFileText(Log(), kOldLog);
    const RunResult r = inst_.RunWhileHeld(holder, "blsm.log", "append");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(ReadFileBytes(Cfg()), complete_);

    std::vector<std::string> ours;
    std::vector<int> theirs;
    int counted = -1;
    const std::vector<std::string> lines = inst_.LogLines("blsm.log");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "old line");
    for (std::size_t i = 1; i < lines.size(); ++i) {
      std::smatch m;
      if (std::regex_match(lines[i], m, otherLine)) theirs.push_back(std::stoi(m[1]));
      else if (std::regex_match(lines[i], m, otherCount)) counted = std::stoi(m[1]);
      else ours.push_back(lines[i]);
    }
    EXPECT_EQ(ours, CompleteRunLog());
    ASSERT_GT(counted, 0) << "the other program's last line is missing";
    std::vector<int> expected(static_cast<std::size_t>(counted));
    for (int n = 1; n <= counted; ++n) expected[static_cast<std::size_t>(n - 1)] = n;
    EXPECT_EQ(theirs, expected) << "the other program's lines, in the order they were written";
    std::printf("run %d: %d lines of the other program among the run's %zu\n", run, counted, ours.size());
  }
}

// Two runs started together on a log that ends in a Ctrl-Z, many times:
// the Ctrl-Z is cut once, by a run that has the log alone, and the other
// run's lines stay; or, the log in use, a run writes after it and says so.
TEST_F(E2eSharedLog, TwoRunsStartedTogetherOnALogEndingInCtrlZ) {
  MakeNode(4);
  const int trials = inst_.UnderWine() ? 10 : 40;
  int launcherFailures = 0;
  for (int t = 0; t < trials; ++t) {
    SCOPED_TRACE("trial " + std::to_string(t));
    WriteFileBytes(Cfg(), original_);
    fs::remove(inst_.ProgPath("$FE_CFG$.QZ$"));
    WriteFileText(Log(), kOldLog + "\x1a" "after the mark\r\n");
    const std::string outA = inst_.WorkPath("a.out"), outB = inst_.WorkPath("b.out");
    const pid_t a = inst_.Start(outA);
    const pid_t b = inst_.Start(outB);
    const int codes[] = {WaitFor(a), WaitFor(b)};
    const std::string outs[] = {ConsoleAsCrLf(inst_, ReadFileText(outA)), ConsoleAsCrLf(inst_, ReadFileText(outB))};
    if (inst_.LauncherFailed(codes[0], outs[0]) || inst_.LauncherFailed(codes[1], outs[1])) {
      ASSERT_LT(++launcherFailures, 3) << "wine keeps failing to start the program";
      --t;
      continue;
    }
    std::size_t added = 0, finished = 0, kept = 0;
    for (int i = 0; i < 2; ++i) {
      SCOPED_TRACE(outs[i]);
      // Each run opens the log; the one that loses the race for the
      // FastEcho file stops at its reserve copy, its open or its check.
      EXPECT_TRUE(codes[i] == 0 || codes[i] == 255);
      EXPECT_TRUE(Contains(outs[i], "  Opening log (blsm.log..\r\n"));
      EXPECT_FALSE(Contains(outs[i], "Error: Can't create file") || Contains(outs[i], "Error: Can't write to the log"));
      for (std::size_t at = 0; (at = outs[i].find("   Added description for area ", at)) != std::string::npos; ++at)
        ++added;
      finished += codes[i] == 0;
      kept += Contains(outs[i], "\r\n" + kCtrlZKept + "\r\n");
    }
    EXPECT_EQ(ReadFileBytes(Cfg()), complete_);
    const std::string text = ReadFileText(Log());
    ASSERT_EQ(text.substr(0, kOldLog.size()), kOldLog);
    if (kept == 0) {
      EXPECT_EQ(text.find('\x1a'), std::string::npos) << text;
    }
    const std::vector<std::string> lines = inst_.LogLines("blsm.log");
    EXPECT_EQ(CountOf(lines, "> <stamp> BLSM Blurbsmith ver 0.2 started"), 2u) << text;
    EXPECT_EQ(CountOf(lines, "> <stamp> BLSM Blurbsmith ver 0.2 finished."), finished) << text;
    EXPECT_EQ(CountOf(lines, "% <stamp> BLSM " + kCtrlZKept), kept) << text;
    std::size_t plus = 0;
    for (const std::string& line : lines) plus += line.rfind("+ <stamp> BLSM    Added description for area ", 0) == 0;
    EXPECT_EQ(plus, added) << text;
    EXPECT_EQ(added, layout_.areas.size());
  }
}

// The pid strace names in the line that tells of the stop, once there is
// one (-1 after `seconds`).
pid_t StoppedTracee(const std::string& trace, int seconds) {
  static const std::regex stopped(R"((?:^|\n)(\d+) +--- stopped by SIGSTOP ---)");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    std::smatch m;
    const std::string text = fs::exists(trace) ? ReadFileText(trace) : "";
    if (std::regex_search(text, m, stopped)) return static_cast<pid_t>(std::stol(m[1]));
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return -1;
}

// A run stopped right after its read of the log's end, which found the
// Ctrl-Z; a second run does the whole job meanwhile; then the first goes
// on. The second cannot have the log alone, so it writes after the Ctrl-Z
// and says so; the first, going on, reads the end anew and cuts nothing
// that the second wrote. Natively and under wine (strace follows wine's
// threads).
TEST_F(E2eSharedLog, ARunStoppedAfterReadingTheCtrlZCutsNothingWrittenMeanwhile) {
#ifdef BLURBSMITH_SANITIZED_BUILD
  GTEST_SKIP() << "the sanitizer runtime makes reads of its own";
#endif
  if (std::system("strace -o /dev/null true >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace cannot trace here";
  MakeNode(4);
  if (inst_.UnderWine()) {
    // strace follows every child: the wine server must be running already,
    // or it would be started, and stopped, as run A's child. A first run
    // also brings up wine's own processes.
    const std::string server = (fs::path(std::getenv("BLURBSMITH_LAUNCHER")).parent_path() / "wineserver").string();
    std::system(("'" + server + "' -p >/dev/null 2>&1").c_str());
    ASSERT_EQ(inst_.Run({"-?"}).exitCode, 0);
  }
  WriteFileBytes(Cfg(), original_);
  WriteFileText(Log(), kOldLog + "\x1a");
  ScratchDir traces;
  const std::string trace = traces.File("a.trace");
  // The run's first read(2) of the log is its look at the end (wine reads
  // at the file pointer with read too; its own reads of a file it opens
  // are pread64 calls, which are let be).
  inst_.RunUnder({"strace", "-f", "-o", trace, "-P", Log(), "-e", "trace=read", "-e",
                  "inject=read:signal=STOP:when=1"});
  const std::string outA = inst_.WorkPath("a.out");
  const pid_t a = inst_.Start(outA);
  const pid_t stopped = StoppedTracee(trace, 60);
  if (stopped == -1) {
    ::kill(a, SIGKILL);
    WaitFor(a);
    FAIL() << "run A never stopped at its read of the log\n" << ReadFileText(trace);
  }
  inst_.RunUnder({});
  const RunResult b = inst_.Run();
  ::kill(stopped, SIGCONT);
  const int codeA = WaitFor(a);
  const std::string consoleA = ConsoleAsCrLf(inst_, ReadFileText(outA));

  EXPECT_EQ(b.exitCode, 0) << b.out;
  EXPECT_TRUE(Contains(b.out, "\r\n" + kCtrlZKept + "\r\n")) << b.out;
  EXPECT_TRUE(Contains(b.out, "  Description was added to 4 areas\r\n")) << b.out;
  EXPECT_EQ(codeA, 0) << consoleA;
  EXPECT_TRUE(Contains(consoleA, "  Description was added to 0 areas\r\n")) << consoleA;
  EXPECT_FALSE(Contains(consoleA, kCtrlZKept)) << consoleA;
  EXPECT_EQ(ReadFileBytes(Cfg()), complete_);

  // The old line, the Ctrl-Z, B's run whole, then A's.
  const std::string text = ReadFileText(Log());
  ASSERT_EQ(text.substr(0, kOldLog.size() + 1), kOldLog + "\x1a") << text;
  std::vector<std::string> expected = {"old line", "\x1a"};
  std::vector<std::string> runB = CompleteRunLog();
  runB.insert(runB.begin() + 2, "% <stamp> BLSM " + kCtrlZKept);
  expected.insert(expected.end(), runB.begin() + 1, runB.end());  // its empty line follows the Ctrl-Z
  const std::vector<std::string> lines = inst_.LogLines("blsm.log");
  ASSERT_GE(lines.size(), expected.size()) << text;
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(expected.size())),
            expected)
      << text;
  EXPECT_EQ(CountOf(lines, "> <stamp> BLSM Blurbsmith ver 0.2 finished."), 2u) << text;
}

}  // namespace
