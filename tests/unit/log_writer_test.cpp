#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "log/console.h"
#include "log/log_stamp.h"
#include "log/log_writer.h"
#include "platform/fault_injection.h"
#include "platform/platform.h"
#include "support/fastecho_builder.h"
#include "support/process_trap.h"
#include "support/scratch_dir.h"

namespace fs = std::filesystem;

namespace {

// The test clock: every stamp reads this moment.
platform::LocalDateTime g_now{2026, 12, 7, 22, 14, 5};
platform::LocalDateTime TestClock() { return g_now; }

constexpr const char* kStamp = "07 Dec 26 22:14:05";

// Moments of the log's opening for the tests below.
int g_refusals = 0;
// The append about to be tried fails, as long as refusals are left.
void RefuseTheOpens() {
  if (g_refusals-- <= 0) return;
  platform::faults::Arm(platform::faults::Op::Open, 1);
  platform::faults::AtMoment(platform::faults::Moment::LogAppending, 1, RefuseTheOpens);
}
std::string g_createdMeanwhile;
void CreateTheLogMeanwhile() { WriteFileText(g_createdMeanwhile, "the other run's line\r\n"); }

class LogWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_now = {2026, 12, 7, 22, 14, 5};
    platform::faults::Disarm();
  }
  void TearDown() override {
    platform::faults::Disarm();
  }

  std::unique_ptr<LogWriter> Open(const std::string& name, bool enabled = true) {
    return LogWriter::Init(ShortString(name), enabled, TestClock);
  }

  ScratchDir dir;
  std::string logName = dir.File("events.log");
  ProcessTrap trap;
};

}  // namespace

TEST(LogStampTest, FormatsDayMonthYearAndTime) {
  struct Case {
    platform::LocalDateTime now;
    const char* stamp;
  };
  const std::vector<Case> cases = {
      {{2000, 1, 1, 0, 0, 0}, "01 Jan 00 00:00:00"},
      {{1999, 12, 31, 23, 59, 59}, "31 Dec 99 23:59:59"},
      {{2026, 12, 7, 22, 14, 5}, "07 Dec 26 22:14:05"},
      {{2024, 2, 29, 9, 5, 7}, "29 Feb 24 09:05:07"},
      {{2031, 6, 15, 12, 30, 45}, "15 Jun 31 12:30:45"},
  };
  const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stamp);
    EXPECT_EQ(LogStamp(c.now).str(), c.stamp);
  }
  for (int month = 1; month <= 12; ++month) {
    SCOPED_TRACE(month);
    EXPECT_EQ(LogStamp({2010, month, 10, 10, 10, 10}).str(),
              std::string("10 ") + months[month - 1] + " 10 10:10:10");
  }
}

TEST_F(LogWriterTest, WritesEachOperationInItsLayoutAndConsoleForm) {
  auto log = Open(logName);
  EXPECT_TRUE(log->Enabled());
  log->LogQuiet('>', "BLSM", "Blurbsmith ver 0.2 started");
  log->Log('%', "BLSM", "  Making reserve copy");
  log->LogRaw("raw text");
  log->Warning("BLSM", "something odd");
  log->Log('+', "", "no tag");
  g_now = {2026, 12, 7, 22, 14, 9};  // the stamp is taken anew for every line
  log->Log('$', "BLSM", "  Description was added to 3 areas");
  log->Done();

  EXPECT_EQ(ReadFileText(logName),
            std::string("\r\n") +
                "> " + kStamp + " BLSM Blurbsmith ver 0.2 started\r\n" +
                "% " + kStamp + " BLSM   Making reserve copy\r\n" +
                "raw text\r\n" +
                "? " + kStamp + " BLSM Warning: something odd\r\n" +
                "+ " + kStamp + "  no tag\r\n" +
                "$ 07 Dec 26 22:14:09 BLSM   Description was added to 3 areas\r\n");
  EXPECT_EQ(trap.Console(),
            "  Making reserve copy\r\n"
            "raw text\r\n"
            "Warning: something odd\r\n"
            "no tag\r\n"
            "  Description was added to 3 areas\r\n");
}

TEST_F(LogWriterTest, CutsTheLineAt255CharactersBeforeItsLineEnd) {
  const std::string prefix = std::string("+ ") + kStamp + " BLSM ";
  struct Case {
    const char* label;
    std::size_t msgLength;
    std::size_t lineLength;
  };
  const std::vector<Case> cases = {
      {"fits exactly", 255 - prefix.size(), 255},
      {"one over", 256 - prefix.size(), 255},
      {"longest message", 255, 255},
      {"short", 10, prefix.size() + 10},
  };
  auto log = Open(logName);
  std::string expected = "\r\n";
  for (const Case& c : cases) {
    const std::string msg(c.msgLength, 'm');
    log->Log('+', "BLSM", ShortString(msg));
    expected += (prefix + msg).substr(0, c.lineLength) + "\r\n";
  }
  log->Done();
  EXPECT_EQ(ReadFileText(logName), expected);
}

TEST_F(LogWriterTest, CreatesAMissingLogAndAppendsToAnExistingOne) {
  {
    auto log = Open(logName);
    log->Done();
  }
  EXPECT_EQ(ReadFileText(logName), "\r\n");

  WriteFileText(logName, "> older line\r\n");
  {
    auto log = Open(logName);
    log->Log('x', "BLSM", "next");
    log->Done();
  }
  EXPECT_EQ(ReadFileText(logName),
            std::string("> older line\r\n\r\nx ") + kStamp + " BLSM next\r\n");
  EXPECT_EQ(trap.Console(), "next\r\n");
}

TEST_F(LogWriterTest, RemovesAnEndOfFileMarkWithinTheLastBlockBeforeAppending) {
  const std::string filler(300, 'a');
  struct Case {
    const char* label;
    std::string existing;
    std::string kept;
  };
  const std::vector<Case> cases = {
      {"mark at the very end", filler + "\x1A", filler},
      {"mark and text after it", filler + "\r\n\x1Atail\r\n", filler + "\r\n"},
      {"two marks: cut at the first", filler + "\x1A" "b\x1A" "c", filler},
      {"mark on the first byte of the last 128", filler + "\x1A" + std::string(127, 'z'), filler},
      {"mark just before the last 128 is kept",
       filler + "\x1A" + std::string(128, 'z'), filler + "\x1A" + std::string(128, 'z')},
      {"short file holding only the mark", "\x1A", ""},
      {"short file with the mark in the middle", "ab\x1A" "cd", "ab"},
      {"no mark", filler, filler},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    WriteFileText(logName, c.existing);
    auto log = Open(logName);
    log->LogRaw("new");
    log->Done();
    EXPECT_EQ(ReadFileText(logName), c.kept + "\r\nnew\r\n");
  }
}

TEST_F(LogWriterTest, ErrorPutsItsLineOnDiskBeforeTheConsoleAndEndsWith255) {
  static std::string g_path;
  static std::string g_logAtConsole;
  static std::string g_console;
  g_path = logName;
  g_logAtConsole.clear();
  g_console.clear();
  // What the log file holds at the moment the console part begins.
  platform::SetConsoleHook([](const char* bytes, std::size_t count) {
    if (g_console.empty()) g_logAtConsole = ReadFileText(g_path);
    g_console += ConsoleAsCrLf(std::string_view(bytes, count));
  });

  auto log = Open(logName);
  log->LogQuiet('%', "BLSM", "  Making reserve copy");
  const int code = trap.Run([&] { log->Error("BLSM", "Can't make reserve copy"); });
  EXPECT_EQ(code, 255);

  const std::string expected = std::string("\r\n% ") + kStamp + " BLSM   Making reserve copy\r\n" +
                               "! " + kStamp + " BLSM Error: Can't make reserve copy\r\n";
  EXPECT_EQ(g_logAtConsole, expected);
  EXPECT_EQ(g_console, "Error: Can't make reserve copy\r\n\r\n");
  EXPECT_EQ(ReadFileText(logName), expected);
  log.reset();
  EXPECT_EQ(ReadFileText(logName), expected);
}

TEST_F(LogWriterTest, FatalWritesItsLineAndEndsWithItsOwnCode) {
  auto log = Open(logName);
  const int code = trap.Run([&] { log->Fatal("BLSM", "Out of luck", 7); });
  EXPECT_EQ(code, 7);
  EXPECT_EQ(trap.Console(), "Out of luck\r\n\r\n");
  const std::string text = ReadFileText(logName);
  const std::string head = std::string("\r\n! ") + kStamp + " BLSM";
  const std::string tail = "Out of luck\r\n";
  ASSERT_GE(text.size(), head.size() + tail.size());
  EXPECT_EQ(text.substr(0, head.size()), head);
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
}

TEST_F(LogWriterTest, DisabledWriterOnlyDoesTheConsoleParts) {
  auto log = Open(logName, false);
  EXPECT_FALSE(log->Enabled());
  log->Log('+', "BLSM", "shown");
  log->LogRaw("raw");
  log->LogQuiet('>', "BLSM", "quiet");
  log->Warning("BLSM", "careful");
  EXPECT_EQ(trap.Console(), "shown\r\nraw\r\nWarning: careful\r\n");

  trap.Clear();
  EXPECT_EQ(trap.Run([&] { log->Error("BLSM", "stop"); }), 255);
  EXPECT_EQ(trap.Console(), "Error: stop\r\n\r\n");
  trap.Clear();
  EXPECT_EQ(trap.Run([&] { log->Fatal("BLSM", "halt", 3); }), 3);
  EXPECT_EQ(trap.Console(), "halt\r\n\r\n");
  log->Done();
  EXPECT_FALSE(fs::exists(logName));
}

TEST_F(LogWriterTest, EmptyFileNameStopsTheRunWhetherEnabledOrNot) {
  for (const bool enabled : {true, false}) {
    SCOPED_TRACE(enabled);
    trap.Clear();
    std::unique_ptr<LogWriter> log;
    EXPECT_EQ(trap.Run([&] { log = Open("", enabled); }), 255);
    EXPECT_EQ(trap.Console(), "Error: Log filename not defined\r\n\r\n");
    EXPECT_EQ(log, nullptr);
  }
  EXPECT_TRUE(fs::is_empty(dir.Path()));
}

TEST_F(LogWriterTest, LogInAMissingDirectoryStopsTheRunAndCreatesNothing) {
  const std::string name = (dir.Path() / "nodir" / "events.log").string();
  EXPECT_EQ(trap.Run([&] { Open(name); }), 255);
  EXPECT_EQ(trap.Console(), "Error: Can't create file \"" + name + "\" (no such directory)\r\n\r\n");
  EXPECT_TRUE(fs::is_empty(dir.Path()));
}

// The log is the record of the changes: the first failed or short write
// ends the run (after the stop hook), once the console has shown the line
// that failed.
TEST_F(LogWriterTest, AFailedLogWriteEndsTheRun) {
  using platform::faults::Kind;
  struct Case {
    const char* name;
    Kind kind;
    bool atDone;  // the failing write is the one Done makes, not a Flush
    const char* reason;
  };
  for (const Case& c : {Case{"failed flush", Kind::Fail, false, "input/output error"},
                        Case{"short flush", Kind::ShortWrite, false, "disk full"},
                        Case{"failed write at close", Kind::Fail, true, "input/output error"}}) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(logName);
    trap.Clear();
    auto log = Open(logName);
    int hookRuns = 0;
    log->SetStopHook([&hookRuns] { ++hookRuns; });
    log->Log('+', "BLSM", "first");
    platform::faults::Arm(platform::faults::Op::Write, 1, c.kind);
    const int code = trap.Run([&] {
      if (!c.atDone) log->Flush();
      log->Log('+', "BLSM", "second");
      log->Done();
    });
    platform::faults::Disarm();
    EXPECT_EQ(code, 255);
    EXPECT_EQ(hookRuns, 1);
    EXPECT_FALSE(log->Enabled());
    const std::string stopped =
        "Error: Can't write to the log \"" + logName + "\" (" + c.reason + ")\r\n\r\n";
    EXPECT_EQ(trap.Console(), c.atDone ? "first\r\nsecond\r\n" + stopped : "first\r\n" + stopped);
    const std::string text = ReadFileText(logName);
    EXPECT_EQ(text.find("second"), std::string::npos);
    if (c.kind == Kind::Fail) {
      EXPECT_EQ(text, "");
    }
  }
}

// The log brought to the disk: a sync that fails, or the write of the
// buffered lines before it, is a failed log write. A log that is no disk
// file (the null device) has nothing to sync.
TEST_F(LogWriterTest, TheLogBroughtToTheDiskOrTheRunEnds) {
  using platform::faults::Kind;
  using platform::faults::Op;
  struct Case {
    const char* name;
    Op op;
    Kind kind;
    const char* reason;
  };
  for (const Case& c : {Case{"failed sync", Op::Flush, Kind::Fail, "input/output error"},
                        Case{"failed write before it", Op::Write, Kind::Fail, "input/output error"},
                        Case{"short write before it", Op::Write, Kind::ShortWrite, "disk full"}}) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(logName);
    trap.Clear();
    auto log = Open(logName);
    int hookRuns = 0;
    log->SetStopHook([&hookRuns] { ++hookRuns; });
    log->Log('+', "BLSM", "first");
    platform::faults::Arm(c.op, 1, c.kind);
    const int code = trap.Run([&] { log->FlushToDisk(); });
    platform::faults::Disarm();
    EXPECT_EQ(code, 255);
    EXPECT_EQ(hookRuns, 1);
    EXPECT_EQ(trap.Console(),
              "first\r\nError: Can't write to the log \"" + logName + "\" (" + c.reason + ")\r\n\r\n");
  }

  std::filesystem::remove(logName);
  trap.Clear();
  auto log = Open(logName);
  log->Log('+', "BLSM", "first");
  platform::faults::ResetCounts();
  EXPECT_EQ(trap.Run([&] { log->FlushToDisk(); }), -1);
  EXPECT_EQ(platform::faults::Calls(platform::faults::Op::Flush), 1u);
  EXPECT_EQ(ReadFileText(logName), std::string("\r\n+ ") + kStamp + " BLSM first\r\n");
  log->Done();

  const std::string nullDevice = platform::kDirSeparator == '/' ? "/dev/null" : "NUL";
  auto none = Open(nullDevice);
  none->Log('+', "BLSM", "into nothing");
  EXPECT_EQ(trap.Run([&] { none->FlushToDisk(); }), -1) << trap.Console();
  none->Done();
}

// The console part of a line whose log write failed still shows: the
// sysop learns which change has no line in the log.
TEST_F(LogWriterTest, TheLineWhoseLogWriteFailedReachesTheConsole) {
  auto log = Open(logName);
  const std::string message(200, 'm');
  for (int i = 0; i < 4; ++i) log->LogQuiet('-', "BLSM", message);  // about 900 of 1024 bytes
  platform::faults::Arm(platform::faults::Op::Write, 1);  // the buffer goes out to make room
  EXPECT_EQ(trap.Run([&] { log->Log('+', "BLSM", "   Added description for area " + message); }), 255);
  platform::faults::Disarm();
  EXPECT_EQ(trap.Console(), "   Added description for area " + message + "\r\nError: Can't write to the log \"" +
                                logName + "\" (input/output error)\r\n\r\n");
}

// Should the log fail at the very line of an error, the console still
// tells why the run stopped.
TEST_F(LogWriterTest, AFailureAtAnErrorStillTellsTheError) {
  auto log = Open(logName);
  platform::faults::Arm(platform::faults::Op::Write, 1);
  EXPECT_EQ(trap.Run([&] { log->Error("BLSM", "Can't make reserve copy"); }), 255);
  platform::faults::Disarm();
  EXPECT_EQ(trap.Console(), "Error: Can't make reserve copy\r\n\r\n");
}

// A line and its line end reach the file in one write, also when the line
// does not fit the rest of the buffer: the file never ends in part of one.
TEST_F(LogWriterTest, ALineThatDoesNotFitTheBufferGoesOutWhole) {
  std::filesystem::remove(logName);
  auto log = Open(logName);
  const std::string message(200, 'm');
  for (int i = 0; i < 4; ++i) log->LogQuiet('-', "BLSM", message);  // about 900 of 1024 bytes
  platform::faults::Arm(platform::faults::Op::Write, 2);  // the write after the first
  EXPECT_EQ(trap.Run([&] {
              log->LogQuiet('-', "BLSM", message);
              log->Done();
            }),
            255);
  platform::faults::Disarm();
  std::string expected = "\r\n";
  for (int i = 0; i < 4; ++i) expected += "- " + std::string(kStamp) + " BLSM " + message + "\r\n";
  EXPECT_EQ(ReadFileText(logName), expected);
}

// Where a log ends must be known before a line is added: a line written
// after a Ctrl-Z that stays is hidden from DOS viewers, and from the next
// run's own search. Every single failure of the look for the Ctrl-Z and of
// the cut, in turn: a failed seek, read or truncate stops the run as a
// failed log write, with the log as it was (or cut at its Ctrl-Z), and so
// does a failed close of the handle that cut (the last close of the
// opening: the look's own handle wrote nothing); a run that goes on has
// no Ctrl-Z before its lines.
TEST_F(LogWriterTest, AFailedLookOrCutAtTheCtrlZStopsTheRun) {
  using platform::faults::Op;
  const std::string earlier = "line of another program\r\n";
  const std::string stopped =
      "Error: Can't write to the log \"" + logName + "\" (input/output error)\r\n\r\n";
  for (const std::string& existing : {earlier, earlier + "\x1A" "after the mark\r\n"}) {
    SCOPED_TRACE(existing.size() == earlier.size() ? "no Ctrl-Z" : "a Ctrl-Z to cut");
    for (const Op op : {Op::Seek, Op::Read, Op::Truncate, Op::Open, Op::OpenCheck, Op::Close}) {
      WriteFileText(logName, existing);
      platform::faults::Disarm();
      platform::faults::ResetCounts();
      auto clean = Open(logName);
      const std::uint64_t calls = platform::faults::Calls(op);  // the opening's alone
      clean->Done();
      for (std::uint64_t n = 1; n <= calls; ++n) {
        SCOPED_TRACE("op " + std::to_string(static_cast<int>(op)) + " #" + std::to_string(n));
        WriteFileText(logName, existing);
        trap.Clear();
        platform::faults::Arm(op, n);
        std::unique_ptr<LogWriter> log;
        const int code = trap.Run([&] { log = Open(logName); });
        platform::faults::Disarm();
        if (log) log->Done();
        const std::string text = ReadFileText(logName);
        if (code == 255) {
          EXPECT_EQ(trap.Console(), stopped);
          EXPECT_TRUE(text == existing || text == earlier) << text;
        } else {
          EXPECT_EQ(code, -1);
          EXPECT_NE(op, Op::Seek);
          EXPECT_NE(op, Op::Read);
          EXPECT_NE(op, Op::Truncate);
          EXPECT_FALSE(op == Op::Close && existing != earlier && n == calls) << "the cut's close";
          EXPECT_EQ(text, earlier + "\r\n");
        }
      }
    }
  }
}

// Another program that holds the log open (a viewer, a second run) keeps
// the Ctrl-Z from being cut: after a short wait the run appends after it,
// takes nothing away, and says so. A log without one is not waited for.
bool g_waited = false;
void NoteTheWait() { g_waited = true; }

TEST_F(LogWriterTest, ALogHeldByAnotherProgramKeepsItsCtrlZ) {
  const std::string earlier = "line of another program\r\n";
  for (const std::string& existing : {earlier, earlier + "\x1A" "after the mark\r\n"}) {
    const bool marked = existing != earlier;
    SCOPED_TRACE(marked ? "a Ctrl-Z to cut" : "no Ctrl-Z");
    WriteFileText(logName, existing);
    platform::FileHandle other = platform::kInvalidHandle;
    ASSERT_EQ(platform::OpenFile(logName.c_str(), platform::Access::ReadWrite, platform::Sharing::ReadWrite,
                                 platform::Creation::OpenExisting, platform::Target::AnyFile, &other),
              0u);
    g_waited = false;
    platform::faults::AtMoment(platform::faults::Moment::FileInUse, 1, NoteTheWait);
    auto log = Open(logName);
    platform::faults::ClearMoments();
    EXPECT_EQ(log->EndOfFileMarkKept(), marked);
    EXPECT_EQ(g_waited, marked);
    log->LogQuiet('>', "BLSM", "started");
    log->Done();
    platform::CloseFile(other);
    EXPECT_EQ(ReadFileText(logName), existing + "\r\n> " + kStamp + " BLSM started\r\n");
  }
  // Let go, the next run cuts it.
  WriteFileText(logName, earlier + "\x1A");
  auto log = Open(logName);
  EXPECT_FALSE(log->EndOfFileMarkKept());
  log->Done();
  EXPECT_EQ(ReadFileText(logName), earlier + "\r\n");
}

// Another program that holds the log for a moment only (a second run
// cutting its Ctrl-Z, say) is waited for: the log is then opened, and a
// Ctrl-Z cut, as if it had never been held.
platform::FileHandle g_holder = platform::kInvalidHandle;
void LetGoOfTheLog() {
  platform::CloseFile(g_holder);
  g_holder = platform::kInvalidHandle;
}

TEST_F(LogWriterTest, ALogHeldForAMomentIsWaitedFor) {
  const std::string earlier = "line of another program\r\n";
  struct Case {
    const char* name;
    platform::Sharing held;  // what the other opener lets others do
    std::string existing;
  };
  for (const Case& c : {Case{"held alone", platform::Sharing::None, earlier},
                        Case{"held alone, a Ctrl-Z to cut", platform::Sharing::None, earlier + "\x1A"},
                        Case{"held shared, a Ctrl-Z to cut", platform::Sharing::ReadWrite, earlier + "\x1A"}}) {
    SCOPED_TRACE(c.name);
    WriteFileText(logName, c.existing);
    ASSERT_EQ(platform::OpenFile(logName.c_str(), platform::Access::ReadWrite, c.held,
                                 platform::Creation::OpenExisting, platform::Target::AnyFile, &g_holder),
              0u);
    platform::faults::AtMoment(platform::faults::Moment::FileInUse, 3, LetGoOfTheLog);
    std::unique_ptr<LogWriter> log;
    EXPECT_EQ(trap.Run([&] { log = Open(logName); }), -1) << trap.Console();
    platform::faults::ClearMoments();
    if (g_holder != platform::kInvalidHandle) LetGoOfTheLog();
    ASSERT_NE(log, nullptr);
    EXPECT_FALSE(log->EndOfFileMarkKept());
    log->LogQuiet('>', "BLSM", "started");
    log->Done();
    EXPECT_EQ(ReadFileText(logName), earlier + "\r\n> " + kStamp + " BLSM started\r\n");
  }
}

// What another writer appends between the look that found the Ctrl-Z and
// the cut stays: the cut reads the end anew once it has the log alone.
std::string g_appendedMeanwhile;
void AppendToTheLogMeanwhile() {
  std::string lines;
  for (int i = 0; i < 4; ++i) lines += "+ the other run's line " + std::to_string(i) + " of its four\r\n";
  WriteFileText(g_appendedMeanwhile, ReadFileText(g_appendedMeanwhile) + lines);
}

TEST_F(LogWriterTest, LinesAppendedBeforeTheCutAreKept) {
  const std::string existing = std::string("old line\r\n\x1A");
  WriteFileText(logName, existing);
  g_appendedMeanwhile = logName;
  platform::faults::AtMoment(platform::faults::Moment::EndOfFileMarkSeen, 1, AppendToTheLogMeanwhile);
  auto log = Open(logName);
  platform::faults::ClearMoments();
  log->LogQuiet('>', "BLSM", "started");
  log->Done();
  const std::string text = ReadFileText(logName);
  ASSERT_GT(text.size(), existing.size());
  EXPECT_EQ(text.substr(0, existing.size()), existing);
  for (int i = 0; i < 4; ++i)
    EXPECT_NE(text.find("+ the other run's line " + std::to_string(i) + " of its four\r\n"), std::string::npos);
  EXPECT_TRUE(text.ends_with("\r\n\r\n> " + std::string(kStamp) + " BLSM started\r\n")) << text;
}

// Each line lands at the end of the log as it is when it is written, not
// where the last one ended: a line another program added in between stays.
TEST_F(LogWriterTest, EachLineGoesToTheEndAsItIsThen) {
  WriteFileText(logName, "");
  auto log = Open(logName);
  log->Log('+', "BLSM", "ours, first");
  log->Flush();
  platform::FileHandle other = platform::kInvalidHandle;
  ASSERT_EQ(platform::OpenFile(logName.c_str(), platform::Access::ReadAppend, platform::Sharing::ReadWrite,
                               platform::Creation::OpenExisting, platform::Target::AnyFile, &other),
            0u);
  const std::string theirs = "their line, in between\r\n";
  std::uint32_t written = 0;
  ASSERT_EQ(platform::AppendFile(other, theirs.data(), static_cast<std::uint32_t>(theirs.size()), &written), 0u);
  platform::CloseFile(other);
  log->Log('+', "BLSM", "ours, second");
  log->Done();
  EXPECT_EQ(ReadFileText(logName), std::string("\r\n+ ") + kStamp + " BLSM ours, first\r\n" + theirs + "+ " +
                                       kStamp + " BLSM ours, second\r\n");
}

// A log that goes away between the look that found its Ctrl-Z and the cut
// (rotated, say) is created anew, as a missing one is.
std::string g_removedMeanwhile;
void RemoveTheLogMeanwhile() { std::filesystem::remove(g_removedMeanwhile); }

TEST_F(LogWriterTest, ALogRemovedBeforeTheCutIsCreatedAnew) {
  WriteFileText(logName, "old line\r\n\x1A");
  g_removedMeanwhile = logName;
  platform::faults::AtMoment(platform::faults::Moment::EndOfFileMarkSeen, 1, RemoveTheLogMeanwhile);
  std::unique_ptr<LogWriter> log;
  EXPECT_EQ(trap.Run([&] { log = Open(logName); }), -1) << trap.Console();
  platform::faults::ClearMoments();
  ASSERT_NE(log, nullptr);
  log->LogQuiet('>', "BLSM", "started");
  log->Done();
  EXPECT_EQ(ReadFileText(logName), std::string("\r\n> ") + kStamp + " BLSM started\r\n");
}

// A log that exists is shared with other programs: an append that is
// refused must never empty it.
TEST_F(LogWriterTest, AnExistingLogIsNeverEmptied) {
  const std::string earlier = "line of another program\r\n";
  // An append refused once is tried again, never replaced by a new file;
  // refused again, it stops the run.
  for (const bool refusedTwice : {false, true}) {
    SCOPED_TRACE(refusedTwice ? "refused twice" : "refused once");
    WriteFileText(logName, earlier);
    trap.Clear();
    g_refusals = refusedTwice ? 2 : 1;
    platform::faults::AtMoment(platform::faults::Moment::LogAppending, 1, RefuseTheOpens);
    const int code = trap.Run([&] { Open(logName)->Done(); });
    platform::faults::Disarm();
    platform::faults::ClearMoments();
    EXPECT_EQ(code, refusedTwice ? 255 : -1);
    EXPECT_EQ(ReadFileText(logName), refusedTwice ? earlier : earlier + "\r\n");
    if (refusedTwice) {
      EXPECT_EQ(trap.Console(), "Error: Can't create file \"" + logName + "\" (input/output error)\r\n\r\n");
    }
  }
}

// A log that another program (a second run) creates between our failed
// append and our own creation is appended to, never emptied.
TEST_F(LogWriterTest, ALogCreatedMeanwhileIsAppendedTo) {
  std::filesystem::remove(logName);
  g_createdMeanwhile = logName;
  platform::faults::AtMoment(platform::faults::Moment::LogCreating, 1, CreateTheLogMeanwhile);
  auto log = Open(logName);
  platform::faults::ClearMoments();
  log->Done();
  EXPECT_EQ(ReadFileText(logName), "the other run's line\r\n\r\n");
}
