// End-to-end: the program among the things a real system does around it —
// closed standard streams, a reader that went away, a log shared with other
// writers or named like another file, a second run at the same time, a
// program directory it cannot name exactly, permissions and other
// programs' locks. In every case the FastEcho file, its reserve copy and
// the log keep what they must.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "e2e/harness.h"

namespace fs = std::filesystem;

namespace {

const std::string kSettings =
    "FASTECHOCFG fastecho.cfg\r\nLOGFILE blsm.log\r\nECHOLIST echos.lst\r\n";

class E2eSurroundings : public testing::Test {
 protected:
  void SetUp() override {
    layout_.areas = {{"ALPHA", ""}, {"BETA", "Kept"}, {"GAMMA", ""}, {"NOT.LISTED", ""}};
    original_ = layout_.Build();
    complete_ = original_;
    PutDescription(complete_, layout_, 0, "Alpha area");
    PutDescription(complete_, layout_, 2, "Gamma area");
    WriteFileBytes(Cfg(), original_);
    WriteFileText(inst_.WorkPath("echos.lst"), ",ALPHA,alpha area\r\n,GAMMA,gamma area\r\n");
    inst_.WriteSettings(kSettings);
  }

  std::string Cfg() const { return inst_.WorkPath("fastecho.cfg"); }
  std::string Reserve() const { return inst_.ProgPath("$FE_CFG$.QZ$"); }
  std::string ReserveSeen() const { return Seen("$FE_CFG$.QZ$"); }
  // A file beside the program as the program names it.
  std::string Seen(const std::string& name) const { return inst_.ProgDirSeen() + name; }

  // The log of one complete run over the fixture, stamps replaced.
  std::vector<std::string> CompleteLog() const {
    return {"",
            "> <stamp> BLSM Blurbsmith ver 0.2 started",
            "% <stamp> BLSM   Making reserve copy of Fastecho.cfg [" + ReserveSeen() + "]",
            "% <stamp> BLSM   Processing \"" + inst_.CasedPath("fastecho.cfg") + "\"..",
            "+ <stamp> BLSM    Added description for area ALPHA",
            "+ <stamp> BLSM    Added description for area GAMMA",
            "- <stamp> BLSM    No description for areaNOT.LISTED",
            "$ <stamp> BLSM   Description was added to 2 areas",
            "x <stamp> BLSM   ShutDowning...",
            "> <stamp> BLSM Blurbsmith ver 0.2 finished."};
  }
  std::vector<std::string> CompleteConsole() const {
    std::vector<std::string> lines = SplitCrLf(StartLines(inst_) + "  Opening log (blsm.log..\r\n");
    for (const std::string& line : CompleteLog())
      if (!line.empty() && line[0] != '>') lines.push_back(line.substr(15));
    lines.push_back("Blurbsmith ver 0.2 finished.");
    return lines;
  }

  Installation inst_;
  FastEchoImage layout_;
  Bytes original_;
  Bytes complete_;
};

// Standard streams closed by a scheduler must never become the FastEcho
// file or the log: console lines would be written into them. (Wine itself
// cannot start a program with both standard input and output closed.)
TEST_F(E2eSurroundings, ClosedStandardStreamsNeverReachTheFiles) {
  std::vector<std::string> redirections = {">&- </dev/null 2>/dev/null"};
  if (!inst_.UnderWine()) {
    redirections.push_back("<&- >&- 2>/dev/null");
    redirections.push_back("<&- >&- 2>&-");
  }
  for (const std::string& redirection : redirections) {
    SCOPED_TRACE(redirection);
    WriteFileBytes(Cfg(), original_);
    fs::remove(inst_.WorkPath("blsm.log"));
    EXPECT_EQ(inst_.RunRedirected(redirection), 0);
    EXPECT_EQ(ReadFileBytes(Cfg()), complete_);
    EXPECT_EQ(inst_.LogLines("blsm.log"), CompleteLog());
  }
}

TEST_F(E2eSurroundings, AReaderThatWentAwayDoesNotEndTheRun) {
  EXPECT_EQ(inst_.RunWithBrokenPipe(), 0);
  EXPECT_EQ(ReadFileBytes(Cfg()), complete_);
  EXPECT_EQ(inst_.LogLines("blsm.log"), CompleteLog());
}

// Every write lands at the end of the log as it is then: console lines
// appended to the same file (and another program's lines) stay whole.
TEST_F(E2eSurroundings, ALogSharedWithOtherWritersKeepsTheirLines) {
  inst_.WriteSettings("FASTECHOCFG fastecho.cfg\r\nLOGFILE events.log\r\nECHOLIST echos.lst\r\n");
  WriteFileText(inst_.WorkPath("events.log"), "line of another program\r\n");
  ASSERT_EQ(inst_.RunRedirected(">> events.log </dev/null 2>/dev/null"), 0);

  // The console's lines end as the platform's do (LF alone on POSIX), the
  // log's in CR LF: read both as CR LF lines.
  std::string text;
  for (const char c : ReadFileText(inst_.WorkPath("events.log"))) {
    if (c == '\n' && (text.empty() || text.back() != '\r')) text += '\r';
    text += c;
  }
  WriteFileText(inst_.WorkPath("events.log"), text);
  std::vector<std::string> logged, console;
  const std::vector<std::string> lines = inst_.LogLines("events.log");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "line of another program");
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (lines[i].find(" <stamp> ") == 1) logged.push_back(lines[i]);
    else if (!lines[i].empty()) console.push_back(lines[i]);
  }
  std::vector<std::string> expectedLog;
  for (std::string line : CompleteLog())
    if (!line.empty()) expectedLog.push_back(line);
  std::vector<std::string> expectedConsole;
  for (std::string line : CompleteConsole()) {
    if (line == "  Opening log (blsm.log..") line = "  Opening log (events.log..";
    if (!line.empty()) expectedConsole.push_back(line);
  }
  EXPECT_EQ(logged, expectedLog);
  EXPECT_EQ(console, expectedConsole);
}

struct ClashCase {
  const char* label;
  std::string logFile;    // the LOGFILE setting
  std::string clashWith;  // what the message names, with its path as shown
};

// A log on one of the program's other files would append to it: on the
// FastEcho file, after cutting it at a Ctrl-Z, before its reserve copy.
TEST_F(E2eSurroundings, ALogFileThatIsAnotherOfTheProgramsFilesIsRefused) {
  fs::create_hard_link(Cfg(), inst_.WorkPath("hard.cfg"));
  fs::create_symlink("fastecho.cfg", inst_.WorkPath("soft.cfg"));
  fs::create_symlink(Reserve(), inst_.WorkPath("copy.lnk"));  // leads nowhere yet (POSIX)
  const std::string fastEcho = "the FastEcho configuration file \"" + inst_.CasedPath("fastecho.cfg") + "\"";
  const std::string work = inst_.UnderWine() ? "Z:" + inst_.WorkPath("") : inst_.WorkPath("");
  std::vector<ClashCase> cases = {
      {"another spelling", "./fastecho.cfg", fastEcho},
      {"absolute path", work + "fastecho.cfg", fastEcho},
      {"dot-dot", "../work/fastecho.cfg", fastEcho},
      {"hard link", "hard.cfg", fastEcho},
      {"symbolic link", "soft.cfg", fastEcho},
      {"reserve copy", ReserveSeen(), "the reserve copy \"" + ReserveSeen() + "\""},
      // The reserve copy's other names, which its runs create, rename away
      // and remove: none of them exists before the run.
      {"temporary copy", Seen("$FE_CFG$.QZ~"), "the reserve copy's temporary copy \"" + Seen("$FE_CFG$.QZ~") + "\""},
      {"previous reserve copy", Seen("$FE_CFG$.QZ-"), "the previous reserve copy \"" + Seen("$FE_CFG$.QZ-") + "\""},
      {"record", Seen("$FE_CFG$.QZ#"), "the reserve copy's record \"" + Seen("$FE_CFG$.QZ#") + "\""},
      {"replaced file", Seen("$FE_CFG$.QZ+"), "the file a restore replaced \"" + Seen("$FE_CFG$.QZ+") + "\""},
      {"settings file", inst_.SettingsPathSeen(), "the settings file \"" + inst_.SettingsPathSeen() + "\""},
      {"echo list", "echos.lst", "the echo list \"echos.lst\""},
  };
  if (inst_.UnderWine())
    cases.push_back({"letter case", "FASTECHO.CFG", fastEcho});
  else
    cases.push_back({"link to the reserve copy", "copy.lnk", "the reserve copy \"" + ReserveSeen() + "\""});
  for (const ClashCase& c : cases) {
    SCOPED_TRACE(c.label);
    inst_.WriteSettings("FASTECHOCFG fastecho.cfg\r\nLOGFILE " + c.logFile + "\r\nECHOLIST echos.lst\r\n");
    const Bytes settings = ReadFileBytes(inst_.ProgPath("blurbsmith.cfg"));
    const RunResult r = inst_.Run();
    EXPECT_EQ(r.exitCode, 255);
    EXPECT_EQ(r.out, StartLines(inst_) + "Error: Log file \"" + c.logFile + "\" is the same file as " +
                         c.clashWith + "\r\n\r\n");
    EXPECT_EQ(ReadFileBytes(Cfg()), original_);
    EXPECT_EQ(ReadFileBytes(inst_.ProgPath("blurbsmith.cfg")), settings);
    EXPECT_EQ(ReadFileText(inst_.WorkPath("echos.lst")), ",ALPHA,alpha area\r\n,GAMMA,gamma area\r\n");
    EXPECT_FALSE(fs::exists(Reserve()));
  }
}

// Two runs started together on one installation: each completes or stops
// at the reserve copy, and the reserve copy never holds what the other run
// wrote while this one copied.
TEST_F(E2eSurroundings, TwoRunsAtOnceNeverSpoilTheReserveCopy) {
  FastEchoImage big;
  std::string list;
  for (int i = 0; i < 1500; ++i) {
    big.areas.push_back({"AREA." + std::to_string(i), "", 0x00});
    list += ",AREA." + std::to_string(i) + ",Text " + std::to_string(i) + "\r\n";
  }
  for (int i = 0; i < 2000; ++i) list = ",FILLER." + std::to_string(i) + ",Filler\r\n" + list;
  WriteFileText(inst_.WorkPath("echos.lst"), list);
  const Bytes original = big.Build();
  Bytes complete = original;
  for (int i = 0; i < 1500; ++i) PutDescription(complete, big, i, "Text " + std::to_string(i));

  const int trials = inst_.UnderWine() ? 3 : 8;
  int launcherFailures = 0;
  for (int t = 0; t < trials; ++t) {
    SCOPED_TRACE("trial " + std::to_string(t));
    WriteFileBytes(Cfg(), original);
    fs::remove(Reserve());
    const std::string outA = inst_.WorkPath("a.out"), outB = inst_.WorkPath("b.out");
    const pid_t a = inst_.Start(outA);
    const pid_t b = inst_.Start(outB);
    const int codes[] = {WaitFor(a), WaitFor(b)};
    const std::string outs[] = {ConsoleAsCrLf(inst_, ReadFileText(outA)),
                                ConsoleAsCrLf(inst_, ReadFileText(outB))};
    if (inst_.LauncherFailed(codes[0], outs[0]) || inst_.LauncherFailed(codes[1], outs[1])) {
      // Not two runs at once: the trial proves nothing, so it is made again.
      ASSERT_LT(++launcherFailures, 3) << "wine keeps failing to start the program";
      --t;
      continue;
    }
    int completed = 0;
    for (int i = 0; i < 2; ++i) {
      if (codes[i] == 0) {
        ++completed;
        continue;
      }
      EXPECT_EQ(codes[i], 255);
      // Between its copy and its open a run can meet the other's copy in
      // progress (the same sharing rule, reported by the open), or find
      // the file already written by the other: after its reserve copy, or
      // during its pass, when a record it read is written by the other
      // before it writes there. It then writes nothing more.
      const bool atCopy = outs[i].find("Error: Can't make reserve copy (") != std::string::npos;
      const bool atOpen = outs[i].find("Error: Can't open ") != std::string::npos;
      const bool changed =
          outs[i].find(" was changed by another program after its reserve copy") != std::string::npos ||
          outs[i].find(" was changed by another program during the run (area ") != std::string::npos;
      EXPECT_TRUE(atCopy || atOpen || changed) << outs[i];
    }
    EXPECT_GE(completed, 1);
    EXPECT_EQ(ReadFileBytes(Cfg()), complete);
    // The copy holds the file as it was before either wrote, or, when one
    // run had ended before the other began, as that one left it: then the
    // later run found nothing to write. Never something in between.
    const Bytes reserve = ReadFileBytes(Reserve());
    if (reserve != original) {
      EXPECT_EQ(reserve, complete);
      const bool laterFoundNothing =
          (codes[0] == 0 && outs[0].find("  Description was added to 0 areas\r\n") != std::string::npos) ||
          (codes[1] == 0 && outs[1].find("  Description was added to 0 areas\r\n") != std::string::npos);
      EXPECT_TRUE(laterFoundNothing) << outs[0] << outs[1];
    }
  }
}

// A program directory cut to fit a text value would be another directory,
// higher up the tree, with another installation's settings in it.
TEST_F(E2eSurroundings, AProgramDirectoryTooLongToNameExactlyStopsTheRun) {
  const std::string root = fs::path(inst_.ProgDirPath()).parent_path().string();
  // An ancestor of 200 characters (with its separator), holding a decoy
  // installation, and the program 80 characters further down.
  const fs::path ancestor = root + "/" + std::string(200 - root.size() - 2, 'a');
  fs::create_directories(ancestor);
  WriteFileBytes((ancestor / "decoy.cfg").string(), original_);
  const std::string decoyCfg = inst_.UnderWine() ? "Z:" + (ancestor / "decoy.cfg").string()
                                                 : (ancestor / "decoy.cfg").string();
  WriteFileText((ancestor / "blurbsmith.cfg").string(),
                "FASTECHOCFG " + decoyCfg + "\r\nLOGFILE decoy.log\r\nECHOLIST echos.lst\r\n");
  inst_.MoveProgramTo(ancestor / std::string(80, 'b'));
  inst_.WriteSettings(kSettings);

  const RunResult r = inst_.Run();
  EXPECT_EQ(r.exitCode, 255);
  EXPECT_EQ(r.out.rfind("\r\nBlurbsmith ver 0.2 started:\r\n  Preparing...\r\nError: ", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("program's"), std::string::npos) << r.out;
  EXPECT_EQ(ReadFileBytes((ancestor / "decoy.cfg").string()), original_);
  EXPECT_EQ(ReadFileBytes(Cfg()), original_);
  EXPECT_FALSE(fs::exists(inst_.WorkPath("decoy.log")));
  EXPECT_FALSE(fs::exists(inst_.WorkPath("blsm.log")));
}

// Without /proc (a chroot, a minimal container) the program cannot find
// its own file; it must not take the current directory instead.
TEST_F(E2eSurroundings, WithoutProcTheProgramStopsInsteadOfGuessing) {
  if (inst_.UnderWine()) GTEST_SKIP() << "the Windows build asks kernel32";
  if (!RunningAsRoot()) GTEST_SKIP() << "hiding /proc needs a mount namespace";
  WriteFileText(inst_.WorkPath("blurbsmith.cfg"), kSettings);  // the current directory's
  const std::string exe = inst_.ProgPath("blurbsmith");
  const std::string command = "cd '" + inst_.WorkPath("") +
                              "' && unshare --mount --propagation private sh -c "
                              "'mount -t tmpfs none /proc && exec \"$0\"' '" + exe +
                              "' </dev/null >out.txt 2>/dev/null";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 255);
  EXPECT_EQ(ConsoleAsCrLf(inst_, ReadFileText(inst_.WorkPath("out.txt"))),
            "\r\nBlurbsmith ver 0.2 started:\r\n  Preparing...\r\n"
            "Error: Can't find the program's own directory, where its settings file lies\r\n\r\n");
  EXPECT_EQ(ReadFileBytes(Cfg()), original_);
  EXPECT_FALSE(fs::exists(inst_.WorkPath("blsm.log")));
}

// A read-only FastEcho file stops the run at its open, before anything is
// written, so the reserve copy stays as it was; made writable, the next
// run does the job. A reserve copy made read-only by hand stops the run.
TEST_F(E2eSurroundings, AReadOnlyFastEchoFileAndAReadOnlyReserveCopy) {
  inst_.RunUnprivileged();
  const std::string cfgShown = inst_.CasedPath("fastecho.cfg");
  fs::permissions(Cfg(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  RunResult r = inst_.Run();
  EXPECT_EQ(r.exitCode, 255);
  EXPECT_NE(r.out.find("Error: Can't open " + cfgShown + inst_.BecauseRelative("fastecho.cfg", "access denied") +
                       "\r\n"),
            std::string::npos)
      << r.out;
  EXPECT_FALSE(fs::exists(Reserve())) << "nothing was written";

  fs::permissions(Cfg(), fs::perms::owner_write, fs::perm_options::add);
  r = inst_.Run();
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(ReadFileBytes(Cfg()), complete_);
  EXPECT_EQ(ReadFileBytes(Reserve()), original_);
  EXPECT_NE(fs::status(Reserve()).permissions() & fs::perms::owner_write, fs::perms::none);

  WriteFileBytes(Cfg(), original_);
  fs::permissions(Reserve(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  r = inst_.Run();
  EXPECT_EQ(r.exitCode, 255);
  EXPECT_NE(r.out.find("Error: Can't make reserve copy (" + inst_.ProgPathSeen("$FE_CFG$.QZ$") +
                       ": access denied)\r\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(ReadFileBytes(Cfg()), original_);
}

// Locks other programs hold (flock, or classic fcntl record locks, as DOS
// emulators and file servers take them) count as Windows sharing does.
TEST_F(E2eSurroundings, LocksOfOtherProgramsAreRespected) {
  const char* holder = std::getenv("BLURBSMITH_LOCK_HOLDER");
  if (inst_.UnderWine() || !holder) GTEST_SKIP() << "POSIX locks: the native build";
  // The reserve copy reads its source exclusively: any lock stops it, and
  // the preview foresees that.
  for (const std::string kind : {"flock-sh", "flock-ex", "fcntl-rd", "fcntl-wr"}) {
    SCOPED_TRACE(kind);
    const RunResult preview = inst_.RunWhileHeld(holder, "fastecho.cfg", kind, {"-n"});
    EXPECT_EQ(preview.exitCode, 255);
    EXPECT_NE(preview.out.find("Error: Can't make reserve copy (" + inst_.WorkPathSeen("fastecho.cfg") +
                               ": in use by another program)\r\n"),
              std::string::npos)
        << preview.out;
    const RunResult r = inst_.RunWhileHeld(holder, "fastecho.cfg", kind);
    EXPECT_EQ(r.exitCode, 255);
    EXPECT_NE(r.out.find("Error: Can't make reserve copy (" + inst_.WorkPathSeen("fastecho.cfg") +
                         ": in use by another program)\r\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(ReadFileBytes(Cfg()), original_);
  }
  // The echo list is read sharing: another reader does not stop it.
  const RunResult r = inst_.RunWhileHeld(holder, "echos.lst", "fcntl-rd");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(ReadFileBytes(Cfg()), complete_);
}

// The FastEcho file and the echo list must be disk files: a FIFO, a
// console or a serial port would wait for input for ever. Each is refused
// like a file that cannot be opened, and stops the run before any change.
// The log may be a device.
TEST_F(E2eSurroundings, DevicesAndPipesAreRefusedAsDataFiles) {
  struct Case {
    const char* label;
    std::string settings;
  };
  std::vector<std::string> devices;
  std::string nullDevice;
  if (inst_.UnderWine()) {
    devices = {"CON", "CONIN$"};
    nullDevice = "NUL";
  } else {
    ASSERT_EQ(::mkfifo(inst_.WorkPath("list.fifo").c_str(), 0644), 0);
    devices = {"list.fifo"};
    nullDevice = "/dev/null";
  }
  std::vector<Case> cases;
  for (const std::string& device : devices) {
    cases.push_back({"FASTECHOCFG", "FASTECHOCFG " + device + "\r\nLOGFILE blsm.log\r\nECHOLIST echos.lst\r\n"});
    cases.push_back({"ECHOLIST", "FASTECHOCFG fastecho.cfg\r\nLOGFILE blsm.log\r\nECHOLIST " + device + "\r\n"});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.settings);
    inst_.WriteSettings(c.settings);
    WriteFileText(Reserve(), "the reserve copy of an earlier run");
    const RunResult r = inst_.RunWithin(60, /*terminal=*/true);
    ASSERT_EQ(r.exitCode, 255) << r.out;
    EXPECT_EQ(ReadFileBytes(Cfg()), original_);
    EXPECT_NE(r.out.find("\r\nError: "), std::string::npos) << r.out;
    EXPECT_EQ(ReadFileText(Reserve()), "the reserve copy of an earlier run");
  }
  // A run without a log: the null device.
  inst_.WriteSettings("FASTECHOCFG fastecho.cfg\r\nLOGFILE " + nullDevice + "\r\nECHOLIST echos.lst\r\n");
  const RunResult r = inst_.RunWithin(60);
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(ReadFileBytes(Cfg()), complete_);
}

// A value cut at 255 characters would name another file: FASTECHO.CFG
// instead of FASTECHO.CFG.NEW, say.
TEST_F(E2eSurroundings, ASettingsLineLongerThan255CharactersStopsTheRun) {
  const std::string longPath = std::string(236, 'd') + "/fastecho.cfg.new";
  inst_.WriteSettings("FASTECHOCFG " + longPath + "\r\nLOGFILE blsm.log\r\n; " +
                      std::string(300, 'c') + "\r\n");
  const RunResult r = inst_.Run();
  EXPECT_EQ(r.exitCode, 255);
  EXPECT_EQ(r.out, StartLines(inst_) + "Warning: File " + inst_.SettingsPathSeen() +
                       " (line 1) - Line is longer than 255 characters\r\n1 errors were found in " +
                       inst_.SettingsPathSeen() + "\r\n");
  EXPECT_EQ(ReadFileBytes(Cfg()), original_);
  EXPECT_FALSE(fs::exists(inst_.WorkPath("blsm.log")));
  EXPECT_FALSE(fs::exists(Reserve()));
}

// On a Russian Windows the ANSI code page is 1251 and the OEM one 866: the
// program takes every name in the OEM code page, as its settings file and
// console are, so lower-case Cyrillic names survive the upper-casing.
TEST_F(E2eSurroundings, CyrillicNamesUnderARussianLocale) {
  if (!inst_.UnderWine()) GTEST_SKIP() << "code pages belong to the Windows build";
  inst_.SetEnv("LANG=ru_RU.UTF-8");  // wine's OEM code page is then 866
  const std::string prog = "\xd0\xbf\xd1\x80\xd0\xbe\xd0\xb3";   // "прог" in UTF-8
  const std::string dir = "\xd1\x84\xd0\xb5\xd1\x85\xd0\xbe";    // "фехо" in UTF-8
  inst_.MoveProgramTo(fs::path(inst_.ProgDirPath()).parent_path() / prog);
  inst_.WriteSettings("FASTECHOCFG \xe4\xa5\xe5\xae\\fastecho.cfg\r\n"  // "фехо" in code page 866
                      "LOGFILE blsm.log\r\nECHOLIST echos.lst\r\n");
  fs::create_directory(inst_.WorkPath(dir));
  fs::rename(Cfg(), inst_.WorkPath(dir) + "/fastecho.cfg");
  const RunResult r = inst_.Run();
  EXPECT_EQ(r.exitCode, 0) << r.out;
  // "ПРОГ" and "ФЕХО" in code page 866 in the console lines.
  EXPECT_NE(r.out.find("\\\x8f\x90\x8e\x83\\BLURBSMITH.CFG\"...\r\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  Processing \"\x94\x85\x95\x8e\\FASTECHO.CFG\"..\r\n"), std::string::npos) << r.out;
  EXPECT_EQ(ReadFileBytes(inst_.WorkPath(dir) + "/fastecho.cfg"), complete_);
}

}  // namespace
