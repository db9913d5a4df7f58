// End-to-end harness: runs the real executable as a user would. The
// program lives in its own directory with its settings file; it runs from
// a different current directory, with no arguments and no standard input.
// BLURBSMITH_EXE names the executable; BLURBSMITH_LAUNCHER, when set, the
// program that starts it (wine for blurbsmith.exe).
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/fastecho_builder.h"
#include "support/scratch_dir.h"

struct RunResult {
  int exitCode = -1;
  // Standard output, byte for byte, with each line end written as CR LF
  // whatever the build (see ConsoleAsCrLf).
  std::string out;
};

class Installation {
 public:
  Installation();

  bool UnderWine() const { return !launcher_.empty(); }
  std::string ProgDirPath() const { return prog_.string(); }
  std::string WorkPath(const std::string& name) const { return (work_ / name).string(); }
  std::string ProgPath(const std::string& name) const { return (prog_ / name).string(); }

  void WriteSettings(const std::string& text) const;
  RunResult Run(const std::vector<std::string>& args = {}) const;
  // Runs the program with the given shell redirections of its standard
  // streams instead of the usual ones; returns its exit code.
  int RunRedirected(const std::string& redirections) const;
  // Runs the program with standard output on a pipe whose reader has
  // already gone; returns its exit code.
  int RunWithBrokenPipe() const;
  // Starts the program without waiting, its standard output going to
  // `outputPath` (discarded when empty).
  pid_t Start(const std::string& outputPath = "") const;
  // Runs the program and waits at most `seconds`; a run that takes longer
  // is killed and reported with exit code kTimedOut. `terminal` gives it a
  // pseudo-terminal as standard input instead of /dev/null.
  static constexpr int kTimedOut = -2;
  RunResult RunWithin(int seconds, bool terminal = false) const;
  // Adds NAME=VALUE to the program's environment.
  void SetEnv(const std::string& assignment) { env_.push_back(assignment); }
  // From now on the program runs under `command` (strace with its options,
  // say), which gets the program as its last arguments; {} runs it directly.
  void RunUnder(std::vector<std::string> command) { wrapper_ = std::move(command); }
  // From now on the program runs as an unprivileged user (when the tests
  // run as root), who owns the installation: permissions then count.
  void RunUnprivileged();
  // The directory the program lives in, for tests that place it elsewhere.
  void MoveProgramTo(const std::filesystem::path& dir);
  // Runs the program while a holder (file_holder.exe or lock_holder) keeps
  // `file` in the work directory taken as `how` says. A holder that never
  // takes it, or does not end with 0 once released, fails the test.
  RunResult RunWhileHeld(const std::string& holder, const std::string& file, const std::string& how,
                         const std::vector<std::string>& args = {}) const;

  // The program's directory and paths as the program itself shows them.
  std::string ProgDirSeen() const;
  std::string SettingsPathSeen() const;
  // A path that the settings file names, as the program shows it in
  // messages (upper-cased on Windows, kept on POSIX).
  std::string CasedPath(const std::string& path) const;
  // The full path of a file in the work or the program's directory as the
  // program shows it after a relative name in a message ("Z:\..." and
  // upper-cased under wine).
  std::string WorkPathSeen(const std::string& name) const;
  std::string ProgPathSeen(const std::string& name) const;
  // " (FULL: reason)": what a message about the relative name `name` (a file
  // in the work directory) ends with.
  std::string BecauseRelative(const std::string& name, const std::string& reason) const;

  // Whether a run ended inside wine before the program began: wine then
  // ends with exit code 1 (its own failure, with its messages silenced) and
  // nothing was written. The program never ends with 1, and its first act
  // is to write a line, so no run of the program itself looks like this.
  // The Run functions start such a run again (a few times at most, each
  // said on standard error); tests that start runs themselves ask this.
  bool LauncherFailed(int exitCode, const std::string& out) const;

  // Log lines with the time stamps replaced by "<stamp>".
  std::vector<std::string> LogLines(const std::string& name) const;

 private:
  ScratchDir root_;
  std::filesystem::path prog_;
  std::filesystem::path work_;
  std::filesystem::path exe_;
  std::string launcher_;
  bool unprivileged_ = false;
  std::vector<std::string> env_;
  std::vector<std::string> wrapper_;

  // Returns once the holder has the file, or -1 when it never had it.
  pid_t StartHolder(const std::string& holder, const std::string& file,
                    const std::string& how) const;
  RunResult RunOnce(const std::vector<std::string>& args) const;
  RunResult RunWithinOnce(int seconds, bool terminal) const;
  template <typename Attempt>
  RunResult AgainIfLauncherFailed(Attempt attempt) const;
  std::string Command(const std::string& redirections = "</dev/null 2>/dev/null",
                      const std::vector<std::string>& args = {}) const;
  std::vector<std::string> Argv() const;
};

// The unprivileged user, when the tests run as root.
bool RunningAsRoot();

// Waits for a started process; its exit code, or -1 when a signal ended it.
int WaitFor(pid_t pid);

// Console output of `inst` with its line ends as CR LF, so that one
// expectation serves both builds. The native build ends console lines with
// LF alone and the Windows one with CR LF; any other line end is reported
// as a test failure, so the check stays byte-exact.
std::string ConsoleAsCrLf(const Installation& inst, const std::string& raw);

// The console lines of the banner and the settings step.
std::string StartLines(const Installation& inst);
std::vector<std::string> SplitCrLf(const std::string& text);
