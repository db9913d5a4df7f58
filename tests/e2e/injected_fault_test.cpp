// End-to-end: system-call failures injected from outside into the real
// native program. strace runs the program of an Installation and makes one
// of its calls fail, or kills it there: every fcntl of the run, every read
// and lseek of each of its files, every write to its log, the FastEcho file
// and the reserve copy, every rename, and every write of the run with
// SIGKILL. A clean run under strace first counts the calls of one kind on
// one file; then one run per call fails exactly that call: strace's when=N
// counts only the calls that both -e trace= and -P select, so "-e
// trace=read -P FILE -e inject=read:error=EIO:when=N" fails the Nth read of
// FILE and no other. (The program is one process with one thread, so no
// -f.) Read-only and full file systems around its files come from real
// mounts (as root only).
//
// After every run one checker holds the program to its promise: the
// FastEcho file is never corrupted, its reserve copy holds it as it was
// whenever it changed (and is left alone when it did not), exit code 0
// comes only with a log that tells the truth about every area (or, when the
// log itself failed, with the console saying so and a complete file), exit
// code 255 only with one of the program's error lines, and a kill leaves at
// most one description without its "+" line in the log.
//
// The dynamic loader reads, maps and seeks its libraries before main, so a
// fault injected there only shows that the program did not start. Reads
// and lseeks are therefore aimed at the program's own files (-P); fcntl,
// rename and write are swept over the whole run, as the loader makes none
// of them. So every run here is a run of the program, statically linked or
// not.
//
// Only the native program, unsanitized: under wine strace would see wine's
// calls, and a sanitizer runtime makes reads and writes of its own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include "driver/reserve_record.h"
#include "e2e/harness.h"

namespace fs = std::filesystem;

namespace {

// Mixed kinds, some already described, some unlisted, one listed without a
// description, one whose description is longer than the field, one matched
// in another letter case, one in code page 866.
const AreaEntry kAreas[] = {
    {"FIDONEWS", "", 0x00},      {"NETMAIL", "", 0x10},          {"NET_DEV", "", 0x05},
    {"SYSOP.CHAT", "Sysops only", 0x00}, {"LOCAL.BOARD", "", 0x20},  {"UNLISTED.ECHO", "", 0x00},
    {"RU.FIDONET.TODAY", "", 0x00}, {"BADMAIL", "", 0x30},        {"TAG.WITHOUT.TEXT", "", 0x00},
    {"mixed.Case", "", 0x0a},    {"LONG.ONE", "", 0x00},         {"DUPES", "", 0x40},
    {"LAST.AREA", "", 0x00},
};

// What a complete run writes into an area, by tag; the others keep theirs.
const std::map<std::string, std::string> kWritten = {
    {"FIDONEWS", "FidoNews - the FidoNet weekly"},
    {"NET_DEV", "Network development"},
    {"RU.FIDONET.TODAY", "\x8d\xae\xa2\xae\xe1\xe2\xa8 \xe4\xa8\xa4\xae"},
    {"mixed.Case", "Matched without regard to case"},
    {"LONG.ONE", "A description longer than the field is cut at byte 52 of it"},
    {"LAST.AREA", "The last record of the file"},
};

const char kEchoList[] =
    "; The echo list of the injected-fault runs\r\n"
    ",FIDONEWS,fidoNews - the FidoNet weekly\r\n"
    "Hold,NET_DEV,network development\r\n"
    ",SYSOP.CHAT,Never written: the area has its description\r\n"
    ",NETMAIL,Never written: a netmail area\r\n"
    "DOWN,RU.FIDONET.TODAY,\xad\xae\xa2\xae\xe1\xe2\xa8 \xe4\xa8\xa4\xae\r\n"
    ",TAG.WITHOUT.TEXT\r\n"
    ",MIXED.CASE,matched without regard to case\r\n"
    ",LONG.ONE,a description longer than the field is cut at byte 52 of it\r\n"
    ",LAST.AREA,the last record of the file\r\n";

const char kFastEchoFile[] = "fe/fastecho.cfg";
const char kLogFile[] = "logs/blsm.log";
const char kEchoListFile[] = "echos.lst";
const std::string kSettings = std::string("FASTECHOCFG ") + kFastEchoFile + "\r\nLOGFILE " +
                              kLogFile + "\r\nECHOLIST " + kEchoListFile + "\r\n";
const std::string kOldLog = "\r\n> 01 Jan 26 00:00:00 BLSM A line of an earlier run\r\n";
const std::string kOldReserveCopy = "An older reserve copy, which a run that writes nothing keeps";
const char kReserveCopy[] = "$FE_CFG$.QZ$";
const char kTemporaryCopy[] = "$FE_CFG$.QZ~";
const char kPreviousCopy[] = "$FE_CFG$.QZ-";
const char kRecord[] = "$FE_CFG$.QZ#";
// A run on the same installation that writes nothing: no echo list.
const char kIdleSettings[] = "alt.cfg";
const std::string kPutBack =
    "  The previous reserve copy was put back (a run was stopped before its first change)\r\n";
const std::string kRemoved = "  A previous run's reserve copy was removed\r\n";
const std::string kNothingAfterSettling =
    "  Nothing was changed; the reserve copy holds the file as it was before the last run that changed it\r\n";

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

// This run's log lines: the marks of the area lines by tag, and the counts.
struct RunLog {
  std::map<std::string, std::string> marksByTag;  // "+", "-", or several
  std::vector<long> counts;                       // each "Description was added to N areas"
};

RunLog ParseRunLog(const std::string& text) {
  const std::string stamp = R"(\d\d [A-Z][a-z][a-z] \d\d \d\d:\d\d:\d\d BLSM )";
  static const std::regex added("^\\+ " + stamp + "   Added description for area (.*)$");
  static const std::regex missed("^- " + stamp + "   No description for area(.*)$");
  static const std::regex count("^\\$ " + stamp + "  Description was added to (\\d+) areas$");
  RunLog log;
  for (const std::string& line : SplitCrLf(text)) {
    std::smatch m;
    if (std::regex_match(line, m, added)) log.marksByTag[m[1]] += "+";
    if (std::regex_match(line, m, missed)) log.marksByTag[m[1]] += "-";
    if (std::regex_match(line, m, count)) log.counts.push_back(std::stol(m[1]));
  }
  return log;
}

// One installation with the fixture: the state put in place before every
// run, and the promise checked after it.
class Bench {
 public:
  Bench() {
    inst_.WriteSettings(kSettings);
    fs::create_directories(inst_.WorkPath("fe"));
    fs::create_directories(inst_.WorkPath("logs"));
    WriteFileText(inst_.WorkPath(kEchoListFile), kEchoList);
    layout_.areas.assign(std::begin(kAreas), std::end(kAreas));
    original_ = layout_.Build();
    complete_ = original_;
    for (std::size_t i = 0; i < std::size(kAreas); ++i)
      if (kWritten.count(kAreas[i].tag)) PutDescription(complete_, layout_, i, kWritten.at(kAreas[i].tag));
  }

  Installation& Inst() { return inst_; }
  const Installation& Inst() const { return inst_; }
  // The FastEcho file readable and writable by its owner alone.
  void SetOwnerOnly() { ownerOnly_ = true; }
  // Removals are failed: the previous reserve copy may stay, for the next
  // run to settle.
  void LetThePreviousCopyStay() { previousMayStay_ = true; }
  bool PreviousCopyLeft() const { return fs::exists(Prog(kPreviousCopy)); }
  std::string Work(const std::string& name) const { return inst_.WorkPath(name); }
  std::string Prog(const std::string& name) const { return inst_.ProgPath(name); }
  void SetOldLog(std::string text) { oldLog_ = std::move(text); }

  // The files as they are before every run: the FastEcho file, an older
  // reserve copy unlike it, a log holding an earlier run's line.
  void PutInPlace() const {
    WriteFileBytes(Work(kFastEchoFile), original_);
    WriteFileText(Prog(kReserveCopy), kOldReserveCopy);
    fs::remove(Prog(kTemporaryCopy));
    fs::remove(Prog(kPreviousCopy));
    fs::remove(Prog(kRecord));
    WriteFileText(Work(kLogFile), oldLog_);
    if (ownerOnly_) fs::permissions(Work(kFastEchoFile), kOwnerOnly);
  }

  // A clean run writes exactly what this fixture expects, or the sweeps
  // cannot judge anything.
  void ExpectCleanRunComplete() {
    PutInPlace();
    inst_.RunUnder({});
    const RunResult r = inst_.Run();
    ASSERT_EQ(r.exitCode, 0) << r.out;
    ASSERT_EQ(ReadFileBytes(Work(kFastEchoFile)), complete_) << "a clean run";
    for (const std::string& broken : BrokenPromises(r, false))
      ADD_FAILURE() << "a clean run: " << broken;
  }

  // After a run that was killed (or whose removal of the previous copy
  // failed), the next one settles what it left, says so, and completes the
  // job; its reserve copy then holds the file as it was before the last
  // run that changed it. So it does after a restore by hand too.
  void ExpectNextRunCompletes() {
    inst_.RunUnder({});
    const Bytes left = ReadFileBytes(Work(kFastEchoFile));
    const bool previousLeft = PreviousCopyLeft();
    if (previousLeft && fs::exists(Prog(kReserveCopy))) ExpectSettledAfterARestoreByHand();
    const RunResult r = inst_.Run();
    EXPECT_EQ(r.exitCode, 0) << "the run after the kill\n" << r.out;
    EXPECT_EQ(ReadFileBytes(Work(kFastEchoFile)), complete_) << "the run after the kill";
    EXPECT_FALSE(fs::exists(Prog(kTemporaryCopy))) << "the run after the kill";
    EXPECT_FALSE(fs::exists(Prog(kPreviousCopy))) << "the run after the kill settles what it left";
    EXPECT_FALSE(fs::exists(Prog(kRecord))) << "the run after the kill settles what it left";
    // Whether the stopped run changed the file decides, and nothing else.
    const bool stoppedRunWrote = left != original_;
    EXPECT_EQ(ReadFileBytes(Prog(kReserveCopy)), left == complete_ ? original_ : left) << r.out;
    EXPECT_EQ(r.out.find(kPutBack) != std::string::npos, previousLeft && !stoppedRunWrote) << r.out;
    EXPECT_EQ(r.out.find(kRemoved) != std::string::npos, previousLeft && stoppedRunWrote) << r.out;
    if (left == complete_ && previousLeft) {
      EXPECT_NE(r.out.find(kNothingAfterSettling), std::string::npos) << r.out;
    }
  }

  // The manual's restore (the reserve copy copied onto the FastEcho file),
  // then a run that writes nothing: the record decides which copy stays,
  // not the copy's being equal to the file now. Only a stopped run whose
  // first description reached its field but not yet its record (an
  // instant) is then taken for one stopped before it: that cannot be told
  // from the files once the restore has put the field back. The files are
  // as they were afterwards, the previous copy by its own identity.
  void ExpectSettledAfterARestoreByHand() {
    ReserveRecord record;
    ASSERT_TRUE(DecodeReserveRecord(ReadFileText(Prog(kRecord)), &record)) << "a previous copy without its record";
    const bool onDisk = record.phase == ReserveRecord::Phase::OnDisk;
    const Bytes left = ReadFileBytes(Work(kFastEchoFile)), copy = ReadFileBytes(Prog(kReserveCopy));
    const std::string recordBytes = ReadFileText(Prog(kRecord));
    fs::create_hard_link(Prog(kPreviousCopy), Prog("previous.keep"));

    WriteFileBytes(Work(kFastEchoFile), copy);
    WriteFileText(Prog(kIdleSettings), std::string("FASTECHOCFG ") + kFastEchoFile + "\r\nLOGFILE " + kLogFile + "\r\n");
    const RunResult idle = inst_.Run({"-c", Prog(kIdleSettings)});
    EXPECT_EQ(idle.exitCode, 0) << idle.out;
    EXPECT_NE(idle.out.find(onDisk ? kRemoved : kPutBack), std::string::npos) << idle.out;
    EXPECT_NE(idle.out.find(kNothingAfterSettling), std::string::npos) << idle.out;
    const Bytes oldCopy(kOldReserveCopy.begin(), kOldReserveCopy.end());
    EXPECT_EQ(ReadFileBytes(Prog(kReserveCopy)), onDisk ? original_ : oldCopy) << "after a restore by hand";
    EXPECT_FALSE(fs::exists(Prog(kPreviousCopy)));
    EXPECT_FALSE(fs::exists(Prog(kRecord)));

    WriteFileBytes(Work(kFastEchoFile), left);  // in place: the same file
    WriteFileBytes(Prog(kReserveCopy), copy);
    WriteFileText(Prog(kRecord), recordBytes);
    fs::rename(Prog("previous.keep"), Prog(kPreviousCopy));
  }

  // What the run broke of the promise; nothing when it kept it.
  std::vector<std::string> BrokenPromises(const RunResult& r, bool killed) const;

 private:
  Installation inst_;
  FastEchoImage layout_;
  Bytes original_;
  Bytes complete_;  // what a complete run leaves
  std::string oldLog_ = kOldLog;
  bool ownerOnly_ = false;
  bool previousMayStay_ = false;
  static constexpr fs::perms kOwnerOnly = fs::perms::owner_read | fs::perms::owner_write;

  Bytes Field(const Bytes& image, std::size_t area) const { return DescriptionFieldIn(image, layout_, area); }
  // The error lines that may end a run under injected faults.
  bool KnownError(const std::string& text) const;
  void CheckFile(const Bytes& now, std::vector<std::string>& broken) const;
  void CheckCompleteRun(const RunResult& r, const Bytes& now, const std::string& runLog,
                        std::vector<std::string>& broken) const;
};

// The message without the reason that ends it: " (reason)", " (full path:
// reason)", or after "not found" the full path alone.
std::string WithoutReason(const std::string& text) {
  static const std::regex reason(
      R"(^(.*) \((?:[^()]*: )?(no such file|no such directory|access denied|in use by another program|)"
      R"(is a directory|not a disk file|disk full|read-only file system|input/output error|)"
      R"(system error \d+)\)$)");
  static const std::regex notFound(R"(^(.* not found) \([^()]*\)$)");
  std::smatch m;
  if (std::regex_match(text, m, reason) || std::regex_match(text, m, notFound)) return m[1];
  return text;
}

bool Bench::KnownError(const std::string& reasoned) const {
  const std::string cfg = inst_.CasedPath(kFastEchoFile);
  const std::string text = WithoutReason(reasoned);
  std::vector<std::string> known = {
      "Can't make reserve copy",
      "Can't open " + cfg,
      "Can't read " + cfg,
      "Can't write to " + cfg,
      cfg + " not found",
      "Can't check " + cfg + " against its reserve copy",
      cfg + " was changed by another program after its reserve copy was made; nothing was written",
      std::string("Can't create file \"") + kLogFile + "\"",
      std::string("Can't write to the log \"") + kLogFile + "\"",
      std::string("Can't read the echo list \"") + kEchoListFile + "\"",
  };
  for (const AreaEntry& area : kAreas)
    known.push_back(cfg + " was changed by another program during the run (area " + area.tag + ")");
  if (std::find(known.begin(), known.end(), text) != known.end()) return true;
  // The same-file check whose lookup failed: the log is not opened on a guess.
  if (StartsWith(text, std::string("Can't tell whether log file \"") + kLogFile + "\" is the same file as "))
    return true;

  // The settings file's own errors, with or without the line they met.
  const std::string settings = inst_.SettingsPathSeen();
  static const std::regex linePrefix(R"(^File (.*) \(line \d+\) - (.*)$)");
  std::string message = text;
  std::smatch m;
  if (std::regex_match(text, m, linePrefix) && m[1] == settings) message = m[2];
  return message == "Can't open " + settings || message == "Can't read " + settings;
}

// Its length, every byte outside the description fields, and each field
// either as it was or as a complete run writes it.
void Bench::CheckFile(const Bytes& now, std::vector<std::string>& broken) const {
  if (now.size() != original_.size()) {
    broken.push_back("the FastEcho file is " + std::to_string(now.size()) + " bytes long, not " +
                     std::to_string(original_.size()));
    return;
  }
  // Both files with their description fields blanked must be equal.
  Bytes outside = now, before = original_;
  for (std::size_t a = 0; a < std::size(kAreas); ++a) {
    const auto at = static_cast<std::ptrdiff_t>(layout_.DescriptionOffset(a));
    std::fill_n(outside.begin() + at, Field(now, a).size(), 0);
    std::fill_n(before.begin() + at, Field(now, a).size(), 0);
  }
  const auto differ = std::mismatch(outside.begin(), outside.end(), before.begin());
  if (differ.first != outside.end())
    broken.push_back("byte " + std::to_string(differ.first - outside.begin()) +
                     " of the FastEcho file, outside the description fields, changed");
  for (std::size_t a = 0; a < std::size(kAreas); ++a) {
    const Bytes field = Field(now, a);
    if (field != Field(original_, a) && field != Field(complete_, a))
      broken.push_back("area " + kAreas[a].tag +
                       " holds a description that is neither its old one nor the intended one");
  }
}

// Exit code 0: the log names every area the walk had to visit, every "+" is
// in the file, every "-" area untouched, and the count is right. A log that
// failed is never a complete run.
void Bench::CheckCompleteRun(const RunResult& r, const Bytes& now, const std::string& runLog,
                             std::vector<std::string>& broken) const {
  const std::string listWarning = std::string("Warning: Can't read the echo list \"") +
                                  kEchoListFile + "\"; its areas get no description";
  if (r.out.find("Can't write to the log") != std::string::npos)
    broken.push_back("exit code 0, but the console says the log failed");

  const RunLog log = ParseRunLog(runLog);
  long added = 0;
  for (std::size_t a = 0; a < std::size(kAreas); ++a) {
    const std::string tag = kAreas[a].tag;
    const auto found = log.marksByTag.find(tag);
    const std::string marks = found == log.marksByTag.end() ? "" : found->second;
    if (!Eligible(kAreas[a])) {
      if (!marks.empty())
        broken.push_back("the log has a line for area " + tag + ", which is not to be filled");
      continue;
    }
    if (marks.empty()) broken.push_back("exit code 0, but the walk never logged area " + tag);
    if (marks.size() > 1)
      broken.push_back("the log has " + std::to_string(marks.size()) + " lines for area " + tag);
    if (marks == "+") {
      ++added;
      if (!kWritten.count(tag) || Field(now, a) != Field(complete_, a))
        broken.push_back("the log says a description was added for area " + tag +
                         ", but its record does not hold it");
    }
    if (marks == "-" && Field(now, a) != Field(original_, a))
      broken.push_back("the log says area " + tag + " has no description, but its record changed");
  }
  if (log.counts.size() != 1 || log.counts[0] != added)
    broken.push_back("the log's count of added descriptions is not " + std::to_string(added));
  // Only an echo list that cannot be opened excuses a complete run that is
  // not a clean one.
  if (r.out.find(listWarning) == std::string::npos && now != complete_)
    broken.push_back("exit code 0 without a warning, but the file is not what a clean run writes");
}

std::vector<std::string> Bench::BrokenPromises(const RunResult& r, bool killed) const {
  std::vector<std::string> broken;
  const Bytes now = ReadFileBytes(Work(kFastEchoFile));
  CheckFile(now, broken);
  const bool changed = now != original_;

  // The error line that ended the run, if any.
  const std::vector<std::string> lines = SplitCrLf(r.out);
  std::string error;
  if (lines.size() >= 2 && lines.back().empty() && StartsWith(lines[lines.size() - 2], "Error: "))
    error = lines[lines.size() - 2].substr(7);

  // The reserve copy holds the file as it was whenever the file changed,
  // and is left alone when it did not, a failed first write included. Only
  // a kill between setting the previous copy aside and the first write may
  // leave it under its third name, for the next run.
  const bool copyExists = fs::exists(Prog(kReserveCopy));
  const Bytes copy = copyExists ? ReadFileBytes(Prog(kReserveCopy)) : Bytes{};
  const bool previousExists = fs::exists(Prog(kPreviousCopy));
  const Bytes oldCopy(kOldReserveCopy.begin(), kOldReserveCopy.end());
  if (changed && (!copyExists || copy != original_))
    broken.push_back("the FastEcho file changed, but the reserve copy is not the file as it was");
  const bool oldCopyKept = copyExists && copy == oldCopy && !previousExists;
  // Killed between the two renames, there is no reserve copy for a moment.
  const bool oldCopyWaits = killed && (!copyExists || copy == original_) && previousExists &&
                            ReadFileBytes(Prog(kPreviousCopy)) == oldCopy;
  if (!changed && !oldCopyKept && !oldCopyWaits) {
    const std::string what =
        !copyExists ? "is gone"
        : copy == original_
            ? "was replaced"
            : "was replaced by " + std::to_string(copy.size()) + " bytes that are not the file";
    broken.push_back("nothing was written, but the reserve copy " + what);
  }
  if (!killed && fs::exists(Prog(kTemporaryCopy)))
    broken.push_back("the temporary reserve copy was left behind");
  // Every copy of the FastEcho file is readable by no more users than it is.
  for (const char* name : {kTemporaryCopy, kReserveCopy, kPreviousCopy}) {
    const std::string path = Prog(name);
    if (!ownerOnly_ || !fs::exists(path) || ReadFileText(path) == kOldReserveCopy) continue;
    if ((fs::status(path).permissions() & fs::perms::all) != kOwnerOnly)
      broken.push_back(std::string(name) + ", a copy of the FastEcho file, is readable by others");
  }
  // Only a failed removal may leave it (the next run settles it).
  if (!killed && previousExists && !previousMayStay_)
    broken.push_back("the previous reserve copy was left behind");
  if (!killed && fs::exists(Prog(kRecord)) && !previousMayStay_)
    broken.push_back("the reserve copy's record was left behind");
  if (previousExists && !fs::exists(Prog(kRecord)))
    broken.push_back("the previous reserve copy waits without its record");

  // The console tells every run that was not killed, from its banner on.
  if (!killed && r.out.find("Blurbsmith ver ") == std::string::npos)
    broken.push_back("the console stayed silent");

  // The log is only appended to, after a Ctrl-Z at its end is cut; no line
  // of a run that completed hides behind one.
  const std::string logText = ReadFileText(Work(kLogFile));
  const std::string kept = oldLog_.substr(0, oldLog_.find('\x1a'));
  if (!StartsWith(logText, kept)) broken.push_back("the log lost what it held before the run");
  const std::string runLog = StartsWith(logText, kept) ? logText.substr(kept.size()) : "";
  // (A close that strace fails leaves the handle open: it keeps the log
  // from being had alone, as another program would, and the run says so.)
  const bool toldKept =
      r.out.find("\r\n  The log's Ctrl-Z was left in place (the log is in use by another program)\r\n") !=
      std::string::npos;
  if (!killed && r.exitCode == 0 && runLog.find('\x1a') != std::string::npos && !toldKept)
    broken.push_back("exit code 0, but the run's lines follow a Ctrl-Z");
  if (!killed && logText != oldLog_ && logText != kept && !StartsWith(logText, kept + "\r\n> ") &&
      !(toldKept && StartsWith(logText, oldLog_ + "\r\n> ")))
    broken.push_back("the log is neither as it was, nor cut at its Ctrl-Z, nor followed by the run's lines");

  // An area the list describes is never said to have no description,
  // unless the list could not be opened at all: a read of the open list
  // that fails stops the run instead.
  if (r.out.find(std::string("Warning: Can't read the echo list \"") + kEchoListFile + "\"") == std::string::npos) {
    const RunLog log = ParseRunLog(runLog);
    for (const AreaEntry& area : kAreas) {
      const auto found = log.marksByTag.find(area.tag);
      if (kWritten.count(area.tag) && found != log.marksByTag.end() && found->second.find('-') != std::string::npos)
        broken.push_back("the log says area " + area.tag + " has no description, which the list gives");
    }
  }

  if (killed) {
    if (r.exitCode != -1) broken.push_back("the injected SIGKILL did not end the run");
    const RunLog log = ParseRunLog(runLog);
    int unlogged = 0;
    for (std::size_t a = 0; a < std::size(kAreas); ++a) {
      const auto found = log.marksByTag.find(kAreas[a].tag);
      if (Field(now, a) != Field(original_, a) &&
          (found == log.marksByTag.end() || found->second != "+"))
        ++unlogged;
    }
    if (unlogged > 1)
      broken.push_back("after the kill " + std::to_string(unlogged) +
                       " descriptions are in the file without their \"+\" line");
  } else if (r.exitCode == 255) {
    if (error.empty())
      broken.push_back("exit code 255 without an error line at the end of the console output");
    else if (!KnownError(error))
      broken.push_back("exit code 255 with an unexpected error line: Error: " + error);
    // Every change has its "+" line, but for the one whose line the log
    // failed to take: the console names that one.
    const RunLog log = ParseRunLog(runLog);
    for (std::size_t a = 0; a < std::size(kAreas); ++a) {
      const auto found = log.marksByTag.find(kAreas[a].tag);
      if (Field(now, a) == Field(original_, a) || (found != log.marksByTag.end() && found->second == "+")) continue;
      const bool toldOnConsole =
          WithoutReason(error) == std::string("Can't write to the log \"") + kLogFile + "\"" &&
          r.out.find("   Added description for area " + kAreas[a].tag + "\r\nError: ") !=
              std::string::npos;
      if (!toldOnConsole)
        broken.push_back("area " + kAreas[a].tag + " changed without its \"+\" line in the log");
    }
  } else if (r.exitCode == 0) {
    CheckCompleteRun(r, now, runLog, broken);
  } else {
    broken.push_back(r.exitCode == -1 ? "the run was ended by a signal"
                                      : "exit code " + std::to_string(r.exitCode));
  }
  return broken;
}

void Report(const std::string& run, const RunResult& r, const std::vector<std::string>& broken) {
  if (broken.empty()) return;
  std::string all;
  for (const std::string& b : broken) all += "\n  - " + b;
  ADD_FAILURE() << run << " (exit code " << r.exitCode << ") broke the promise:" << all
                << "\nconsole:\n"
                << r.out;
}

bool StraceWorks() { return std::system("strace -o /dev/null true >/dev/null 2>&1") == 0; }

// Mounts in the installation, undone in reverse order.
class Mounts {
 public:
  ~Mounts() {
    for (auto it = points_.rbegin(); it != points_.rend(); ++it) ::umount2(it->c_str(), MNT_DETACH);
  }
  // A tmpfs of `bytes` on `dir`; false when mounting is not allowed here.
  bool Tmpfs(const std::string& dir, std::size_t bytes) {
    const std::string options = "size=" + std::to_string(bytes);
    return Done(dir, ::mount("tmpfs", dir.c_str(), "tmpfs", 0, options.c_str()) == 0);
  }
  bool ReadOnly(const std::string& dir) {
    if (!Done(dir, ::mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) == 0)) return false;
    return ::mount(nullptr, dir.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }

 private:
  std::vector<std::string> points_;
  bool Done(const std::string& dir, bool mounted) {
    if (mounted) points_.push_back(dir);
    return mounted;
  }
};

// ---------------------------------------------------------------------------
// Every call of one kind, on one file or in the whole run, failed in turn.

// ProgramFiles: every file of the program's own (the loader of a program
// linked dynamically looks up its libraries too).
// ReserveCopyLife: the reserve copy under all its names, its record and the
// directory that holds them (flushed after the renames).
enum class Aim { WholeRun, FastEchoFile, EchoList, ReserveCopy, ReserveCopyLife, Log, Settings, ProgramFiles };

struct FaultCase {
  const char* name;
  const char* calls;  // the system calls; each one is swept on its own
  const char* fault;  // what strace does at the call: error=... or signal=KILL
  Aim aim;
  // The FastEcho file on a tmpfs, which takes O_DIRECT and O_APPEND where
  // the disk's file system refuses unaligned direct I/O (as root only).
  bool fastEchoOnTmpfs = false;
  // Whether a clean run must make such calls at all (a run that makes
  // none has nothing to fail).
  bool required = true;
  // The FastEcho file readable by its owner alone (it holds the node's
  // passwords): so must every copy of it be, at every moment.
  bool ownerOnly = false;
  // Which failed calls must stop the run (exit code 255): a failure that
  // may lose what was written can never end as a complete run.
  enum class MustStop { Free, Every, Last } mustStop = MustStop::Free;
  // The error every run with the fault must stop with, its reason aside
  // (null: any the promise allows, or none).
  const char* stopsWith = nullptr;
  // A file whose failed call need not stop the run, whatever mustStop says:
  // the next run settles what it leaves.
  const char* mayGoOnAfter = nullptr;
  // The log ends in a Ctrl-Z with text after it, which the run must cut.
  bool logEndsInCtrlZ = false;
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

const char kReads[] = "read,pread64,readv,preadv";
const char kWrites[] = "write,pwrite64,writev,pwritev";

const FaultCase kFaultCases[] = {
    {"FcntlEio", "fcntl", "error=EIO", Aim::WholeRun},
    {"FcntlEbadf", "fcntl", "error=EBADF", Aim::WholeRun},
    {"FcntlEinval", "fcntl", "error=EINVAL", Aim::WholeRun},
    {"FcntlEioFastEchoFileOnTmpfs", "fcntl", "error=EIO", Aim::WholeRun, true},
    {"FcntlEbadfFastEchoFileOnTmpfs", "fcntl", "error=EBADF", Aim::WholeRun, true},
    {"ReadEioFastEchoFile", kReads, "error=EIO", Aim::FastEchoFile},
    // Once the list is open, any failed read of it stops the run.
    {"ReadEioEchoList", kReads, "error=EIO", Aim::EchoList, false, true, false,
     FaultCase::MustStop::Every, "Can't read the echo list \"echos.lst\""},
    {"ReadEioReserveCopy", kReads, "error=EIO", Aim::ReserveCopy},
    {"ReadEioLog", kReads, "error=EIO", Aim::Log},
    {"ReadEioSettings", kReads, "error=EIO", Aim::Settings},
    {"SeekEioFastEchoFile", "lseek", "error=EIO", Aim::FastEchoFile},
    {"SeekEioEchoList", "lseek", "error=EIO", Aim::EchoList, false, true, false,
     FaultCase::MustStop::Every, "Can't read the echo list \"echos.lst\""},
    {"SeekEioReserveCopy", "lseek", "error=EIO", Aim::ReserveCopy},
    {"SeekEioLog", "lseek", "error=EIO", Aim::Log},
    {"WriteEnospcLog", kWrites, "error=ENOSPC", Aim::Log},
    {"WriteEioLog", kWrites, "error=EIO", Aim::Log},
    // But for the flush of the record's "on the disk" mark: its first
    // description is on the disk, and should the mark be lost, the next
    // run finds the description in its field.
    {"FsyncEio", "fsync,fdatasync", "error=EIO", Aim::WholeRun, false, true, false,
     FaultCase::MustStop::Every, nullptr, kRecord},
    // Its last close is the one of the written file; the copy's read went before.
    {"CloseEioFastEchoFile", "close", "error=EIO", Aim::FastEchoFile, false, true, false,
     FaultCase::MustStop::Last},
    // The close of the copy made is the last; the probe of the old one that
    // goes before wrote nothing.
    {"CloseEioReserveCopy", "close", "error=EIO", Aim::ReserveCopy, false, true, false,
     FaultCase::MustStop::Last},
    {"StatEio", "stat,lstat,newfstatat,statx", "error=EIO", Aim::ProgramFiles},
    {"WriteEioFastEchoFile", kWrites, "error=EIO", Aim::FastEchoFile},
    {"WriteEnospcReserveCopy", kWrites, "error=ENOSPC", Aim::ReserveCopy},
    {"RenameEio", "rename,renameat,renameat2", "error=EIO", Aim::WholeRun, false, false},
    {"UnlinkEio", "unlink,unlinkat", "error=EIO", Aim::WholeRun, false, false},
    // Where the log ends must be known before a line goes there: every
    // failed look for its Ctrl-Z, and every failed step of the cut, stops
    // the run before anything is changed.
    {.name = "SeekEioLogEndingInCtrlZ", .calls = "lseek", .fault = "error=EIO", .aim = Aim::Log,
     .mustStop = FaultCase::MustStop::Every, .stopsWith = "Can't write to the log \"logs/blsm.log\"",
     .logEndsInCtrlZ = true},
    {.name = "ReadEioLogEndingInCtrlZ", .calls = kReads, .fault = "error=EIO", .aim = Aim::Log,
     .mustStop = FaultCase::MustStop::Every, .stopsWith = "Can't write to the log \"logs/blsm.log\"",
     .logEndsInCtrlZ = true},
    {.name = "TruncateEioLogEndingInCtrlZ", .calls = "ftruncate", .fault = "error=EIO", .aim = Aim::Log,
     .mustStop = FaultCase::MustStop::Every, .stopsWith = "Can't write to the log \"logs/blsm.log\"",
     .logEndsInCtrlZ = true},
    // The opens, the locks that stand for their sharing, and the closes:
    // any outcome the promise allows.
    {.name = "OpenEioLogEndingInCtrlZ", .calls = "openat,flock,fcntl,close", .fault = "error=EIO",
     .aim = Aim::Log, .logEndsInCtrlZ = true},
    {"KilledAtEveryWrite", kWrites, "signal=KILL", Aim::WholeRun},
    // Every call on the reserve copy's files, from the copy's making to its
    // record's removal: the next run settles what each kill leaves.
    {"KilledAtEveryStepOfTheReserveCopy",
     "openat,read,write,pwrite64,lseek,fsync,fdatasync,close,flock,fcntl,fchmod,chmod,fchmodat,rename,renameat,"
     "renameat2,unlink,unlinkat,stat,lstat,newfstatat,statx",
     "signal=KILL", Aim::ReserveCopyLife},
    {"KilledAtEveryWriteOwnerOnly", kWrites, "signal=KILL", Aim::WholeRun, false, true, true},
};

class E2eInjectedFault : public testing::TestWithParam<FaultCase> {
 protected:
  void SetUp() override {
    if (bench_.Inst().UnderWine()) GTEST_SKIP() << "strace sees wine's calls, not the program's";
#ifdef BLURBSMITH_SANITIZED_BUILD
    GTEST_SKIP() << "the sanitizer runtime makes reads and writes of its own";
#endif
    ASSERT_TRUE(StraceWorks()) << "strace cannot trace here (scripts/install-deps.sh installs it)";
    if (GetParam().ownerOnly) bench_.SetOwnerOnly();
    if (GetParam().logEndsInCtrlZ) bench_.SetOldLog(kOldLog + "\x1a" "junk after the mark\r\n");
    if (std::string(GetParam().calls).find("unlink") != std::string::npos) bench_.LetThePreviousCopyStay();
    if (GetParam().fastEchoOnTmpfs) {
      if (!RunningAsRoot()) GTEST_SKIP() << "mounting needs root";
      if (!mounts_.Tmpfs(bench_.Work("fe"), 1 << 20))
        GTEST_SKIP() << "mounting is not allowed here";
    }
    bench_.ExpectCleanRunComplete();
  }

  // strace's -P options for the aim: the files whose calls are counted and
  // failed (the reserve copy under both of its names).
  std::vector<std::string> PathOptions(Aim aim) const {
    std::vector<std::string> paths;
    switch (aim) {
      case Aim::WholeRun:
        break;
      case Aim::FastEchoFile:
        paths = {bench_.Work(kFastEchoFile)};
        break;
      case Aim::EchoList:
        paths = {bench_.Work(kEchoListFile)};
        break;
      case Aim::ReserveCopy:
        paths = {bench_.Prog(kReserveCopy), bench_.Prog(kTemporaryCopy)};
        break;
      case Aim::ReserveCopyLife:
        paths = {bench_.Prog(kReserveCopy), bench_.Prog(kTemporaryCopy), bench_.Prog(kPreviousCopy),
                 bench_.Prog(kRecord), bench_.Inst().ProgDirPath()};
        break;
      case Aim::Log:
        paths = {bench_.Work(kLogFile)};
        break;
      case Aim::Settings:
        paths = {bench_.Prog("blurbsmith.cfg")};
        break;
      case Aim::ProgramFiles:
        // Each as the program names it too: relative, as the settings write it.
        paths = {bench_.Work(kFastEchoFile), bench_.Work(kEchoListFile), bench_.Work(kLogFile),
                 kFastEchoFile,              kEchoListFile,              kLogFile,
                 bench_.Prog(kReserveCopy),  bench_.Prog(kTemporaryCopy), bench_.Prog(kPreviousCopy),
                 bench_.Prog(kRecord),       bench_.Prog("blurbsmith.cfg")};
        break;
    }
    std::vector<std::string> options;
    for (const std::string& p : paths) options.insert(options.end(), {"-P", p});
    return options;
  }

  // strace, writing its trace to `traceName`, tracing `calls` on the aimed
  // files, and doing `inject` when given.
  std::vector<std::string> Strace(const std::string& traceName, const std::string& calls,
                                  const std::vector<std::string>& pathOptions,
                                  const std::string& inject = "") const {
    std::vector<std::string> command = {"strace", "-y", "-o", trace_.File(traceName), "-e",
                                        "trace=" + calls};
    if (!inject.empty()) command.insert(command.end(), {"-e", "inject=" + inject});
    command.insert(command.end(), pathOptions.begin(), pathOptions.end());
    return command;
  }

  // The calls of a clean run that `calls` and the aim select, by name, in
  // the order they were made.
  std::vector<std::string> CleanRunCalls(const std::string& calls,
                                         const std::vector<std::string>& pathOptions) {
    bench_.PutInPlace();
    bench_.Inst().RunUnder(Strace("count.trace", calls, pathOptions));
    const RunResult r = bench_.Inst().Run();
    EXPECT_EQ(r.exitCode, 0) << "the clean run that counts the calls\n" << r.out;
    std::vector<std::string> names;
    std::istringstream lines(ReadFileText(trace_.File("count.trace")));
    for (std::string line; std::getline(lines, line);) {
      const auto paren = line.find('(');
      if (paren != std::string::npos && !StartsWith(line, "+++") && !StartsWith(line, "---"))
        names.push_back(line.substr(0, paren));
    }
    return names;
  }

  Bench bench_;
  Mounts mounts_;  // undone before the installation is removed
  ScratchDir trace_;
};

TEST_P(E2eInjectedFault, EveryCallFailedInTurnKeepsThePromise) {
  const FaultCase& c = GetParam();
  const std::vector<std::string> paths = PathOptions(c.aim);
  const std::vector<std::string> made = CleanRunCalls(c.calls, paths);
  if (made.empty() && !c.required)
    GTEST_SKIP() << "a clean run makes none of these calls: " << c.calls;
  ASSERT_FALSE(made.empty()) << "a clean run makes none of these calls: " << c.calls;
  std::map<std::string, int> counts;
  for (const std::string& name : made) ++counts[name];

  const bool kills = StartsWith(c.fault, "signal=");
  int runs = 0;
  for (const auto& [call, count] : counts) {
    for (int n = 1; n <= count; ++n) {
      const std::string run =
          call + " " + c.fault + " at call " + std::to_string(n) + " of " + std::to_string(count);
      SCOPED_TRACE(run);
      bench_.PutInPlace();
      bench_.Inst().RunUnder(
          Strace("run.trace", call, paths, call + ":" + c.fault + ":when=" + std::to_string(n)));
      const RunResult r = bench_.Inst().Run();
      ++runs;
      const std::string trace = ReadFileText(trace_.File("run.trace"));
      EXPECT_NE(trace.find(kills ? "+++ killed by SIGKILL +++" : "(INJECTED)"), std::string::npos)
          << "the fault never reached the program:\n"
          << trace;
      std::vector<std::string> broken = bench_.BrokenPromises(r, kills);
      const std::size_t injected = trace.find("(INJECTED)");
      const std::size_t lineStart = injected == std::string::npos ? 0 : trace.rfind('\n', injected) + 1;
      const std::string injectedCall =
          injected == std::string::npos ? "" : trace.substr(lineStart, injected - lineStart);
      const bool mayGoOn =
          c.mayGoOnAfter && injectedCall.find(std::string(c.mayGoOnAfter) + ">") != std::string::npos;
      const bool mustStop = c.stopsWith || (!mayGoOn && (c.mustStop == FaultCase::MustStop::Every ||
                                                         (c.mustStop == FaultCase::MustStop::Last && n == count)));
      if (mustStop && r.exitCode != 255) broken.push_back("the failure did not stop the run");
      if (c.stopsWith && r.out.find(std::string("\r\nError: ") + c.stopsWith + " (") == std::string::npos)
        broken.push_back(std::string("the run did not stop with ") + c.stopsWith);
      Report(run, r, broken);
      if (kills || bench_.PreviousCopyLeft()) {
        bench_.ExpectNextRunCompletes();
        ++runs;
      }
    }
  }
  // The clean runs (the fixture's check and the count) and the runs with
  // the fault, and after each kill the run that completes the job.
  RecordProperty("runs", runs + 2);
  std::printf("%s: %zu calls in a clean run, %d runs in all\n", c.name, made.size(), runs + 2);
}

INSTANTIATE_TEST_SUITE_P(, E2eInjectedFault, testing::ValuesIn(kFaultCases),
                         [](const testing::TestParamInfo<FaultCase>& info) {
                           return info.param.name;
                         });

// ---------------------------------------------------------------------------
// The same-file guard fails closed: a LOGFILE or FASTECHOCFG that names
// another of the program's files by another spelling is refused, and so is
// it when any lookup of the check fails. Each lookup of the run is failed
// in turn; nothing may be written, emptied or cut.

struct SameFileCase {
  const char* name;
  const char* logFile;    // relative to the work directory, or "{prog}/..."
  const char* fastEcho;   // likewise
};

void PrintTo(const SameFileCase& c, std::ostream* os) { *os << c.name; }

const SameFileCase kSameFileCases[] = {
    {"LogIsTheFastEchoFile", "fe/../fe/fastecho.cfg", kFastEchoFile},
    {"LogIsTheSettingsFile", "{prog}/./blurbsmith.cfg", kFastEchoFile},
    {"LogIsTheEchoList", "./echos.lst", kFastEchoFile},
    {"LogIsTheReserveCopy", "{prog}/./$FE_CFG$.QZ$", kFastEchoFile},
    {"LogIsTheTemporaryCopy", "{prog}/./$FE_CFG$.QZ~", kFastEchoFile},
    {"FastEchoFileIsTheReserveCopy", kLogFile, "{prog}/./$FE_CFG$.QZ$"},
    {"FastEchoFileIsTheTemporaryCopy", kLogFile, "{prog}/$FE_CFG$.QZ~"},
};

class E2eInjectedSameFile : public testing::TestWithParam<SameFileCase> {
 protected:
  void SetUp() override {
    if (inst_.UnderWine()) GTEST_SKIP() << "strace sees wine's calls, not the program's";
#ifdef BLURBSMITH_SANITIZED_BUILD
    GTEST_SKIP() << "the sanitizer runtime makes calls of its own";
#endif
    ASSERT_TRUE(StraceWorks());
    fs::create_directories(inst_.WorkPath("fe"));
    fs::create_directories(inst_.WorkPath("logs"));
    FastEchoImage layout;
    layout.areas = {{"FIDONEWS", "", 0x00}};
    fastEcho_ = layout.Build();
  }

  std::string Named(const char* path) const {
    const std::string text = path;
    return text.rfind("{prog}", 0) == 0 ? inst_.ProgDirPath() + text.substr(6) : text;
  }

  // Every file the run may touch, with its bytes, put in place anew.
  std::map<std::string, std::string> PutInPlace() {
    const std::string settings = "FASTECHOCFG " + Named(GetParam().fastEcho) + "\r\nLOGFILE " +
                                 Named(GetParam().logFile) + "\r\nECHOLIST echos.lst\r\n";
    inst_.WriteSettings(settings);
    std::map<std::string, std::string> files = {
        {inst_.WorkPath(kFastEchoFile), std::string(fastEcho_.begin(), fastEcho_.end())},
        {inst_.WorkPath(kEchoListFile), ",FIDONEWS,FidoNews\r\n\x1a"},
        {inst_.ProgPath(kReserveCopy), std::string(fastEcho_.begin(), fastEcho_.end()) + "\x1a"},
        {inst_.ProgPath("blurbsmith.cfg"), settings},
    };
    fs::remove(inst_.ProgPath(kTemporaryCopy));
    for (const auto& [path, bytes] : files) WriteFileText(path, bytes);
    // A temporary copy named as the FastEcho file is one to protect too.
    if (Named(GetParam().fastEcho).find(kTemporaryCopy) != std::string::npos) {
      WriteFileText(inst_.ProgPath(kTemporaryCopy), "the FastEcho file by another name");
      files[inst_.ProgPath(kTemporaryCopy)] = "the FastEcho file by another name";
    }
    return files;
  }

  Installation inst_;
  Bytes fastEcho_;
  ScratchDir trace_;
};

TEST_P(E2eInjectedSameFile, EveryLookupFailedInTurnStopsTheRunAndTouchesNothing) {
  const std::string stats = "stat,lstat,newfstatat,statx";
  // The lookups of the program's own files, each as the program names it
  // (the loader of a program linked dynamically looks up its libraries too).
  std::vector<std::string> paths;
  for (const std::string& path :
       {Named(GetParam().logFile), Named(GetParam().fastEcho), std::string(kFastEchoFile), std::string(kLogFile),
        std::string(kEchoListFile), inst_.WorkPath(kFastEchoFile), inst_.WorkPath(kLogFile),
        inst_.ProgPath("blurbsmith.cfg"), inst_.ProgPath(kReserveCopy), inst_.ProgPath(kTemporaryCopy),
        inst_.ProgPath(kPreviousCopy)})
    paths.insert(paths.end(), {"-P", path});
  const auto strace = [&](const std::string& trace, const std::string& inject) {
    std::vector<std::string> command = {"strace", "-o", trace_.File(trace), "-e", "trace=" + stats};
    if (!inject.empty()) command.insert(command.end(), {"-e", "inject=" + inject});
    command.insert(command.end(), paths.begin(), paths.end());
    return command;
  };
  PutInPlace();
  inst_.RunUnder(strace("count.trace", ""));
  RunResult r = inst_.Run();
  ASSERT_EQ(r.exitCode, 255) << "the clash itself stops the run\n" << r.out;
  const bool logClash = StartsWith(GetParam().name, "Log");
  EXPECT_NE(r.out.find(logClash ? "\r\nError: Log file \"" : ": FASTECHOCFG names the reserve copy"),
            std::string::npos)
      << r.out;
  int calls = 0;
  std::istringstream lines(ReadFileText(trace_.File("count.trace")));
  for (std::string line; std::getline(lines, line);) calls += line.find("stat") != std::string::npos;
  ASSERT_GT(calls, 0);
  for (int n = 1; n <= calls; ++n) {
    SCOPED_TRACE("lookup " + std::to_string(n) + " of " + std::to_string(calls) + " fails");
    const auto files = PutInPlace();
    inst_.RunUnder(strace("run.trace", stats + ":error=EIO:when=" + std::to_string(n)));
    r = inst_.Run();
    EXPECT_EQ(r.exitCode, 255) << r.out;
    const std::vector<std::string> out = SplitCrLf(r.out);
    const std::string error = out.size() >= 2 ? out[out.size() - 2] : "";
    EXPECT_TRUE(StartsWith(error, "Error: Log file \"") || StartsWith(error, "Error: Can't tell whether log file ") ||
                StartsWith(error, "Error: Can't make reserve copy (") ||
                StartsWith(error, "Error: Can't read ") || StartsWith(error, "Error: Can't open "))
        << r.out;
    for (const auto& [path, bytes] : files) EXPECT_EQ(ReadFileText(path), bytes) << path;
  }
  std::printf("%s: %d lookups, each failed in turn\n", GetParam().name, calls);
}

INSTANTIATE_TEST_SUITE_P(, E2eInjectedSameFile, testing::ValuesIn(kSameFileCases),
                         [](const testing::TestParamInfo<SameFileCase>& info) {
                           return info.param.name;
                         });

// ---------------------------------------------------------------------------
// What reaches the disk, and when: the copy and the record of the old one
// before the copy takes the old one's place, the directory after the
// renames and the log (the run's start and its reserve copy line) before
// the first description, the first description before the previous copy
// goes, and the log and then the file before the run reports.

TEST(E2eDurability, EachStepIsOnTheDiskBeforeTheNextCountsOnIt) {
  Bench bench;
  if (bench.Inst().UnderWine()) GTEST_SKIP() << "strace sees wine's calls, not the program's";
#ifdef BLURBSMITH_SANITIZED_BUILD
  GTEST_SKIP() << "the sanitizer runtime makes calls of its own";
#endif
  ASSERT_TRUE(StraceWorks());
  ScratchDir trace;
  bench.PutInPlace();
  bench.Inst().RunUnder({"strace", "-y", "-o", trace.File("run.trace"), "-e",
                         "trace=rename,renameat,renameat2,fsync,fdatasync,pwrite64,unlink,unlinkat"});
  const RunResult r = bench.Inst().Run();
  ASSERT_EQ(r.exitCode, 0) << r.out;
  std::vector<std::string> steps;
  std::istringstream lines(ReadFileText(trace.File("run.trace")));
  const std::string prog = bench.Inst().ProgDirPath();
  for (std::string line; std::getline(lines, line);) {
    if (StartsWith(line, "fsync(") && line.find(std::string(kTemporaryCopy) + ">") != std::string::npos)
      steps.push_back("flush copy");
    else if (StartsWith(line, "fsync(") && line.find(std::string(kRecord) + ">") != std::string::npos)
      steps.push_back("flush record");
    else if (StartsWith(line, "unlink") && line.find(kRecord) != std::string::npos)
      steps.push_back("record gone");
    else if (StartsWith(line, "fsync(") && line.find("<" + prog + ">") != std::string::npos)
      steps.push_back("flush directory");
    else if (StartsWith(line, "fsync(") && line.find(std::string(kFastEchoFile) + ">") != std::string::npos)
      steps.push_back("flush file");
    else if (StartsWith(line, "fsync(") && line.find(std::string(kLogFile) + ">") != std::string::npos)
      steps.push_back("flush log");
    else if (StartsWith(line, "rename") && line.find(std::string(kTemporaryCopy) + "\", ") != std::string::npos)
      steps.push_back("copy in place");
    else if (StartsWith(line, "rename") && line.find(std::string(kPreviousCopy) + "\")") != std::string::npos)
      steps.push_back("old copy aside");
    else if (StartsWith(line, "unlink") && line.find(kPreviousCopy) != std::string::npos)
      steps.push_back("old copy gone");
    else if (StartsWith(line, "pwrite64(") && line.find(std::string(kFastEchoFile) + ">") != std::string::npos &&
             (steps.empty() || steps.back() != "description"))
      steps.push_back("description");
  }
  // The record of the old copy is on the disk before the copy is set
  // aside, and says that the first description is on the disk before the
  // old copy goes.
  const std::vector<std::string> expected = {
      "flush copy",  "flush record", "old copy aside", "copy in place", "flush directory",
      "flush log",   "description",  "flush file",     "flush record",  "old copy gone",
      "record gone", "description",  "flush log",      "flush file"};
  EXPECT_EQ(steps, expected) << ReadFileText(trace.File("run.trace"));
}

// The restore: the file it replaces is kept, on the disk, before the file
// is written, and the file is on the disk before the log tells it.
TEST(E2eDurability, TheRestoreIsOnTheDiskBeforeItIsTold) {
  Bench bench;
  if (bench.Inst().UnderWine()) GTEST_SKIP() << "strace sees wine's calls, not the program's";
#ifdef BLURBSMITH_SANITIZED_BUILD
  GTEST_SKIP() << "the sanitizer runtime makes calls of its own";
#endif
  ASSERT_TRUE(StraceWorks());
  bench.ExpectCleanRunComplete();
  ScratchDir trace;
  bench.Inst().RunUnder({"strace", "-y", "-s", "1000", "-o", trace.File("run.trace"), "-e",
                         "trace=rename,renameat,renameat2,fsync,fdatasync,pwrite64,write,ftruncate"});
  const RunResult r = bench.Inst().Run({"--restore"});
  ASSERT_EQ(r.exitCode, 0) << r.out;
  std::vector<std::string> steps;
  std::istringstream lines(ReadFileText(trace.File("run.trace")));
  const std::string prog = bench.Inst().ProgDirPath();
  const auto on = [](const std::string& line, const std::string& file) {
    return line.find(file + ">") != std::string::npos;
  };
  for (std::string line; std::getline(lines, line);) {
    std::string step;
    if (StartsWith(line, "fsync(") && on(line, kTemporaryCopy)) step = "flush copy";
    else if (StartsWith(line, "rename") && line.find("$FE_CFG$.QZ+\")") != std::string::npos) step = "kept";
    else if (StartsWith(line, "fsync(") && line.find("<" + prog + ">") != std::string::npos) step = "flush directory";
    else if (StartsWith(line, "pwrite64(") && on(line, kFastEchoFile)) step = "file written";
    else if (StartsWith(line, "ftruncate(") && on(line, kFastEchoFile)) step = "file cut";
    else if (StartsWith(line, "fsync(") && on(line, kFastEchoFile)) step = "flush file";
    else if (StartsWith(line, "write(") && on(line, kLogFile) && line.find("Restored") != std::string::npos)
      step = "told";
    if (!step.empty() && (steps.empty() || steps.back() != step)) steps.push_back(step);
  }
  const std::vector<std::string> expected = {"flush copy", "kept",       "flush directory", "file written",
                                             "file cut",   "flush file", "told"};
  EXPECT_EQ(steps, expected) << ReadFileText(trace.File("run.trace"));
}

// A run whose removal of the previous reserve copy fails ends with 0 and
// leaves that copy; the sysop then restores by hand as the manual says, and
// a run that writes nothing follows. The reserve copy stays the file as it
// was before the run that wrote, and the log says what was settled.
TEST(E2eSettle, AFailedRemovalThenARestoreByHandKeepsTheUndoPoint) {
  Bench bench;
  if (bench.Inst().UnderWine()) GTEST_SKIP() << "strace sees wine's calls, not the program's";
#ifdef BLURBSMITH_SANITIZED_BUILD
  GTEST_SKIP() << "the sanitizer runtime makes calls of its own";
#endif
  ASSERT_TRUE(StraceWorks());
  bench.PutInPlace();
  const Bytes original = ReadFileBytes(bench.Work(kFastEchoFile));
  bench.Inst().RunUnder({"strace", "-f", "-o", "/dev/null", "-P", bench.Prog(kPreviousCopy), "-e",
                         "inject=unlink:error=EIO:when=1"});
  RunResult r = bench.Inst().Run();
  ASSERT_EQ(r.exitCode, 0) << r.out;
  ASSERT_TRUE(fs::exists(bench.Prog(kPreviousCopy)));
  EXPECT_EQ(ReadFileBytes(bench.Prog(kReserveCopy)), original);

  fs::copy_file(bench.Prog(kReserveCopy), bench.Work(kFastEchoFile), fs::copy_options::overwrite_existing);
  WriteFileText(bench.Prog(kIdleSettings), std::string("FASTECHOCFG ") + kFastEchoFile + "\r\nLOGFILE " + kLogFile + "\r\n");
  bench.Inst().RunUnder({});
  r = bench.Inst().Run({"-c", bench.Prog(kIdleSettings)});
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(ReadFileBytes(bench.Prog(kReserveCopy)), original);
  EXPECT_FALSE(fs::exists(bench.Prog(kPreviousCopy)));
  EXPECT_FALSE(fs::exists(bench.Prog(kRecord)));
  const std::vector<std::string> log = bench.Inst().LogLines(kLogFile);
  const auto has = [&log](const std::string& line) { return std::find(log.begin(), log.end(), line) != log.end(); };
  EXPECT_TRUE(has("% <stamp> BLSM   A previous run's reserve copy was removed"));
  EXPECT_TRUE(has("% <stamp> BLSM   Nothing was changed; the reserve copy holds the file as it was before the last "
                  "run that changed it"));
  EXPECT_FALSE(has("% <stamp> BLSM   Nothing was changed; the reserve copy was left as it was"));
}

// ---------------------------------------------------------------------------
// The program's files on read-only and full file systems (real mounts).

// Fills the file system of `dir` to its last block.
void FillUp(const std::string& dir) {
  const int fd = ::open((dir + "/filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  const std::string block(4096, 'f');
  while (::write(fd, block.data(), block.size()) > 0) {
  }
  ::close(fd);
  struct statvfs st {};
  ASSERT_EQ(::statvfs(dir.c_str(), &st), 0);
  ASSERT_EQ(st.f_bfree, 0u) << dir << " is not full";
}

enum class Place {
  LogDirFull,  // the log's last block has `logRoom` bytes left, the rest is full
  LogDirReadOnly,
  FastEchoDirReadOnly,
  FastEchoDirFull,  // descriptions are written in place: nothing grows
  ProgDirReadOnly,
  ProgDirFull,  // no room for a reserve copy
};

struct PlaceCase {
  const char* name;
  Place place;
  std::size_t logRoom = 0;
};

void PrintTo(const PlaceCase& c, std::ostream* os) { *os << c.name; }

const PlaceCase kPlaceCases[] = {
    {"LogDirFull", Place::LogDirFull, 0},
    {"LogDirFullAfter40Bytes", Place::LogDirFull, 40},
    {"LogDirFullAfter400Bytes", Place::LogDirFull, 400},
    {"LogDirReadOnly", Place::LogDirReadOnly},
    {"FastEchoDirReadOnly", Place::FastEchoDirReadOnly},
    {"FastEchoDirFull", Place::FastEchoDirFull},
    {"ProgDirReadOnly", Place::ProgDirReadOnly},
    {"ProgDirFull", Place::ProgDirFull},
};

class E2eInjectedFileSystem : public testing::TestWithParam<PlaceCase> {
 protected:
  void SetUp() override {
    if (bench_.Inst().UnderWine()) GTEST_SKIP() << "the native program only";
    if (!RunningAsRoot()) GTEST_SKIP() << "mounting needs root";
    bench_.ExpectCleanRunComplete();
  }

  Bench bench_;
  Mounts mounts_;  // undone before the installation is removed
};

TEST_P(E2eInjectedFileSystem, KeepsThePromise) {
  const PlaceCase& c = GetParam();
  constexpr std::size_t kPage = 4096;
  const std::string logs = bench_.Work("logs"), fe = bench_.Work("fe");
  const std::string prog = bench_.Inst().ProgDirPath();
  bool mounted = true;
  switch (c.place) {
    case Place::LogDirFull:
      // Two blocks: the old log fills one but for logRoom bytes, the filler the other.
      mounted = mounts_.Tmpfs(logs, 2 * kPage);
      bench_.SetOldLog(kOldLog + std::string(kPage - c.logRoom - kOldLog.size() - 2, '.') + "\r\n");
      bench_.PutInPlace();
      if (mounted) FillUp(logs);
      break;
    case Place::FastEchoDirFull:
      mounted = mounts_.Tmpfs(fe, 4 * kPage);
      bench_.PutInPlace();
      if (mounted) FillUp(fe);
      break;
    case Place::ProgDirFull: {
      // Room for the program, its settings and the old reserve copy only.
      const fs::path exe = std::getenv("BLURBSMITH_EXE");
      mounted = mounts_.Tmpfs(prog, (fs::file_size(exe) / kPage + 4) * kPage);
      if (mounted) {
        fs::copy_file(exe, bench_.Prog(exe.filename().string()));
        bench_.Inst().WriteSettings(kSettings);
      }
      bench_.PutInPlace();
      if (mounted) FillUp(prog);
      break;
    }
    case Place::LogDirReadOnly:
      bench_.PutInPlace();
      mounted = mounts_.ReadOnly(logs);
      break;
    case Place::FastEchoDirReadOnly:
      bench_.PutInPlace();
      mounted = mounts_.ReadOnly(fe);
      break;
    case Place::ProgDirReadOnly:
      bench_.PutInPlace();
      mounted = mounts_.ReadOnly(prog);
      break;
  }
  if (!mounted) GTEST_SKIP() << "mounting is not allowed here";
  if (HasFatalFailure()) return;

  bench_.Inst().RunUnder({});
  const RunResult r = bench_.Inst().Run();
  Report(c.name, r, bench_.BrokenPromises(r, false));
  std::printf("%s: 2 runs in all (a clean one first), exit code %d\n", c.name, r.exitCode);
}

INSTANTIATE_TEST_SUITE_P(, E2eInjectedFileSystem, testing::ValuesIn(kPlaceCases),
                         [](const testing::TestParamInfo<PlaceCase>& info) {
                           return info.param.name;
                         });

}  // namespace
