// Every single I/O failure of a complete run, one at a time: the run ends
// with exit code 0 or with one of its error messages and 255, and the
// FastEcho file is never corrupted. Its length never changes, only
// description fields of visited areas can differ, and whenever it changed
// at all, the reserve copy holds it as it was before the run.
#include <gtest/gtest.h>

#include <array>
#include <regex>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string_view>

#include "driver/area_pass.h"
#include "driver/program_driver.h"
#include "platform/fault_injection.h"
#include "support/fastecho_builder.h"
#include "support/process_trap.h"
#include "support/scratch_dir.h"
#include "util/files.h"

namespace {

using platform::faults::Kind;
using platform::faults::Op;

constexpr std::array kOps = {Op::Open,     Op::Read,   Op::Write,  Op::Seek,     Op::SetAttributes, Op::Close,
                             Op::Truncate, Op::Rename, Op::Remove, Op::Identify, Op::OpenCheck,     Op::Flush};

// `text` as a regular expression that matches it alone.
std::string Literal(const std::string& text) {
  static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
  return std::regex_replace(text, special, R"(\$&)");
}

const char* OpName(Op op) {
  static const char* const names[] = {"open",   "read",   "write",    "seek",       "set-attributes", "close",
                                      "truncate", "rename", "remove", "identify", "open-check",     "flush"};
  return names[static_cast<int>(op)];
}

std::uint64_t g_readsBeforeTheCheck = 0;
void CountReadsBeforeTheCheck() { g_readsBeforeTheCheck = platform::faults::Calls(Op::Read); }

class FaultSweep : public testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 40; ++i) {
      const std::string tag = "AREA." + std::to_string(i);
      layout_.areas.push_back({tag, i % 7 == 0 ? "Old" : "", static_cast<std::uint8_t>(i % 9 == 0 ? 0x20 : 0x03)});
      if (i % 4 != 0) echoList_ += ",area." + std::to_string(i) + ",text " + std::to_string(i) + "\r\n";
      if (i % 10 == 0) echoList_ += "; section " + std::to_string(i) + "\r\n";
    }
    layout_.trailingBytes = 77;
    original_ = layout_.Build();
    WriteFileText(dir_.File("echos.lst"), echoList_);
    programDir_ = dir_.Path().string() + platform::kDirSeparator;
    reserve_ = programDir_ + kReserveCopyName;
    temporary_ = programDir_ + kTemporaryReserveCopyName;
    previous_ = programDir_ + kPreviousReserveCopyName;
    record_ = programDir_ + kReserveRecordName;
  }
  void TearDown() override {
    platform::faults::Disarm();
    std::remove(reserve_.c_str());
    std::remove(temporary_.c_str());
    std::remove(previous_.c_str());
    std::remove(record_.c_str());
  }

  // One complete run in-process, from opening the log to the exit code.
  int RunOnce(ProcessTrap& trap) {
    WriteFileBytes(dir_.File("fastecho.cfg"), original_);
    WriteFileText(reserve_, kOldReserveCopy);
    std::remove(temporary_.c_str());
    std::remove(previous_.c_str());
    std::remove(record_.c_str());
    std::remove(dir_.File("blsm.log").c_str());
    RunState run;
    run.programDir = programDir_;
    run.installationDir = programDir_;
    run.settings.fastEchoCfgPath = dir_.File("fastecho.cfg");
    run.settings.logFilePath = dir_.File("blsm.log");
    trap.Clear();
    const int code = trap.Run([&] {
      run.log = LogWriter::Init(run.settings.logFilePath, true);
      run.AddEchoList(dir_.File("echos.lst"));
      DescribeAreas(run);
      ShutDown(run);
      platform::ExitProcess(0);
    });
    platform::faults::Disarm();  // releasing the objects is not part of the run
    run.stream.reset();
    run.log.reset();
    return code;
  }

  // The promise, checked after a run that met a fault.
  // `checkRead`: the injected failure was the first read of the temporary
  // copy for the check against the FastEcho file before the first write.
  void ExpectPromiseKept(int code, const std::string& console, Op injected, bool checkRead) {
    const Bytes now = ReadFileBytes(dir_.File("fastecho.cfg"));
    ASSERT_EQ(now.size(), original_.size());
    std::set<std::size_t> changedAreas;
    for (std::size_t i = 0; i < now.size(); ++i) {
      if (now[i] == original_[i]) continue;
      ASSERT_GE(i, layout_.FirstAreaOffset()) << "header byte " << i << " changed";
      const std::size_t area = (i - layout_.FirstAreaOffset()) / layout_.areaRecordSize;
      ASSERT_LT(area, layout_.areas.size()) << "byte " << i << " beyond the records changed";
      const std::size_t within = i - layout_.RecordStart(area);
      ASSERT_TRUE(within >= 138 && within < 190) << "byte " << within << " of area " << area;
      changedAreas.insert(area);
    }
    // The reserve copy holds the file as it was before the last run that
    // changed it: a run that changed nothing, a failed first write
    // included, keeps the previous one. This run's own copies are never
    // left behind, unless removing one was what failed.
    ASSERT_EQ(ReadFileBytes(reserve_), changedAreas.empty() ? OldReserveCopy() : original_) << console;
    if (injected != Op::Remove) {
      ASSERT_FALSE(std::filesystem::exists(temporary_)) << console;
      ASSERT_FALSE(std::filesystem::exists(previous_)) << console;
      ASSERT_FALSE(std::filesystem::exists(record_)) << console;
    }
    // A copy that cannot be read back is never taken for the file: nothing
    // is written into a file it was not checked against.
    if (checkRead) {
      ASSERT_EQ(code, 255) << console;
      const std::string path = UpCasePath(dir_.File("fastecho.cfg")).str();
      const std::string copy = UpCasePath(temporary_).str();
      EXPECT_NE(console.find("Error: Can't check " + path + " against its reserve copy (" + copy +
                             ": input/output error)\r\n\r\n"),
                std::string::npos)
          << console;
    }
    // Only a list that could not be opened excuses an area said to lack the
    // description the list gives it: a failed read of the open list stops
    // the run instead.
    const bool listUnopened = (injected == Op::Open || injected == Op::OpenCheck) &&
                              console.find("Warning: Can't read the echo list") != std::string::npos;
    if (!listUnopened) {
      ASSERT_EQ(console.find("Warning: Can't read the echo list"), std::string::npos) << console;
      for (std::size_t i = 0; i < layout_.areas.size(); ++i) {
        if (i % 4 == 0) continue;  // not listed
        ASSERT_EQ(console.find("   No description for areaAREA." + std::to_string(i) + "\r\n"), std::string::npos)
            << console;
      }
    }
    if (code == 0) {
      // A run that says it completed did the whole job, or said why not.
      if (!listUnopened) {
        ASSERT_EQ(now, complete_) << console;
      }
      return;
    }
    ASSERT_EQ(code, 255);
    // One of the run's errors, with the reason an injected fault gives.
    const std::string path = Literal(UpCasePath(dir_.File("fastecho.cfg")).str());
    const std::string log = Literal(dir_.File("blsm.log"));
    const std::string list = Literal(dir_.File("echos.lst"));
    const std::string reason = injected == Op::Write ? "(input/output error|disk full)" : "input/output error";
    const std::string anyPath = R"([^()]+)";
    const std::regex error(
        "Error: (Can't make reserve copy \\(" + anyPath + ": " + reason + "\\)|" +
        "(Can't open|Can't write to|Can't read) " + path + " \\(" + reason + "\\)|" +
        "Can't check " + path + " against its reserve copy \\(" + anyPath + ": " + reason + "\\)|" +
        "Can't (create file|write to the log) \"" + log + "\" \\(" + reason + "\\)|" +
        "Can't read the echo list \"" + list + "\" \\(" + reason + "\\))\r\n\r\n");
    const std::size_t last = console.rfind("Error: ");
    ASSERT_NE(last, std::string::npos) << console;
    EXPECT_TRUE(std::regex_match(console.substr(last), error)) << console.substr(last);
  }

  ScratchDir dir_;
  FastEchoImage layout_;
  std::string echoList_;
  Bytes original_;
  std::string programDir_;
  std::string reserve_;
  std::string temporary_;
  std::string previous_;
  std::string record_;
  Bytes complete_;  // the file after a run that met no fault

  static constexpr const char* kOldReserveCopy = "an earlier run's reserve copy";
  static Bytes OldReserveCopy() {
    return Bytes(kOldReserveCopy, kOldReserveCopy + std::string_view(kOldReserveCopy).size());
  }
};

TEST_F(FaultSweep, EveryOperationOfARunFailingInTurnKeepsThePromise) {
  ProcessTrap trap;
  platform::faults::Disarm();
  platform::faults::ResetCounts();
  // The reads made before the first description's check against the copy.
  platform::faults::AtMoment(platform::faults::Moment::DescriptionFound, 1, CountReadsBeforeTheCheck);
  ASSERT_EQ(RunOnce(trap), 0) << trap.Console();
  platform::faults::ClearMoments();
  complete_ = ReadFileBytes(dir_.File("fastecho.cfg"));
  ASSERT_NE(complete_, original_);
  std::array<std::uint64_t, kOps.size()> calls{};
  for (std::size_t k = 0; k < kOps.size(); ++k) calls[k] = platform::faults::Calls(kOps[k]);
  ASSERT_GT(calls[1], 40u);  // a realistic run: many reads, writes and seeks

  int injected = 0, failedRuns = 0;
  for (std::size_t k = 0; k < kOps.size(); ++k) {
    const std::vector<Kind> kinds = kOps[k] == Op::Write ? std::vector{Kind::Fail, Kind::ShortWrite}
                                                         : std::vector{Kind::Fail};
    for (Kind kind : kinds) {
      for (std::uint64_t n = 1; n <= calls[k]; ++n) {
        SCOPED_TRACE(std::string(OpName(kOps[k])) + (kind == Kind::ShortWrite ? " (short)" : "") +
                     " #" + std::to_string(n));
        // Restoring the files is not part of the run: arm only inside it.
        WriteFileBytes(dir_.File("fastecho.cfg"), original_);
        platform::faults::Arm(kOps[k], n, kind);
        const int code = RunOnce(trap);
        ++injected;
        if (code != 0) ++failedRuns;
        ExpectPromiseKept(code, trap.Console(), kOps[k],
                          kOps[k] == Op::Read && kind == Kind::Fail && n == g_readsBeforeTheCheck + 1);
        if (HasFatalFailure()) return;
      }
    }
  }
  std::printf("faults injected: %d, runs stopped by them: %d\n", injected, failedRuns);
  EXPECT_GT(failedRuns, 0);
}

// The log reaches the disk at two points of a run that writes: before the
// first description, and before the FastEcho file's last sync, so that
// every description that sync keeps has its line on the disk. Each sync of
// the run failed in turn shows which comes where; a failed one of the log
// is a failed log write.
TEST_F(FaultSweep, TheLogIsOnTheDiskBeforeTheFirstChangeAndBeforeTheLastSync) {
  ProcessTrap trap;
  platform::faults::Disarm();
  platform::faults::ResetCounts();
  ASSERT_EQ(RunOnce(trap), 0) << trap.Console();
  complete_ = ReadFileBytes(dir_.File("fastecho.cfg"));
  const std::string cfg = UpCasePath(dir_.File("fastecho.cfg")).str();
  const std::string log = "Can't write to the log \"" + dir_.File("blsm.log") + "\" (input/output error)";
  const std::string file = "Can't write to " + cfg + " (input/output error)";
  struct Sync {
    std::string error;  // the error line's text after "Error: ", up to the reason;
                        // empty: the run goes on (the next run settles it)
    bool fileChanged;   // whether the FastEcho file holds descriptions then
  };
  // The copy, the record and the directory after the renames, then the
  // log, the first description, the record's "on the disk" byte, and at the
  // end the log and the file.
  const std::vector<Sync> expected = {
      {"Can't make reserve copy (", false}, {"Can't make reserve copy (", false},
      {"Can't make reserve copy (", false}, {log, false},
      {file, true},                        {"", true},
      {log, true},                         {file, true}};
  ASSERT_EQ(platform::faults::Calls(Op::Flush), expected.size());
  for (std::size_t n = 1; n <= expected.size(); ++n) {
    SCOPED_TRACE("sync #" + std::to_string(n));
    platform::faults::Arm(Op::Flush, n);
    const Sync& sync = expected[n - 1];
    const int code = RunOnce(trap);
    const std::string& console = trap.Console();
    ASSERT_EQ(code, sync.error.empty() ? 0 : 255) << console;
    if (!sync.error.empty()) {
      const std::size_t at = console.rfind("Error: ");
      ASSERT_NE(at, std::string::npos) << console;
      EXPECT_EQ(console.substr(at + 7, sync.error.size()), sync.error) << console;
    }
    EXPECT_EQ(ReadFileBytes(dir_.File("fastecho.cfg")) != original_, sync.fileChanged);
    ExpectPromiseKept(code, console, Op::Flush, false);
  }
}

}  // namespace
