#include "e2e/harness.h"

#include <signal.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>

#include <gtest/gtest.h>
#include <stdexcept>

#include "util/strings.h"

namespace fs = std::filesystem;

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// How often a run that wine failed to start is started in all.
constexpr int kLaunchAttempts = 3;

// nobody's wine needs a prefix of its own, owned by it.
const char* const kUnprivilegedHome = "/tmp/blurbsmith-e2e-nobody";

std::vector<std::string> UnprivilegedPrefix() {
  return {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "env",
          std::string("HOME=") + kUnprivilegedHome,
          std::string("WINEPREFIX=") + kUnprivilegedHome + "/wine"};
}

}  // namespace

bool RunningAsRoot() { return ::geteuid() == 0; }

namespace {

// Where a started program's standard output goes: an open descriptor, a
// file, or nowhere; and where its standard input comes from.
struct Output {
  int fd = -1;
  std::string path;
  int inputFd = -1;  // /dev/null when not given
};

pid_t Spawn(std::vector<std::string> argv, const fs::path& cwd, const Output& output) {
  std::vector<char*> cargv;
  for (std::string& a : argv) cargv.push_back(a.data());
  cargv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (output.inputFd >= 0)
    posix_spawn_file_actions_adddup2(&actions, output.inputFd, 0);
  else
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (output.fd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, output.fd, 1);
    posix_spawn_file_actions_addclose(&actions, output.fd);
  } else {
    const char* out = output.path.empty() ? "/dev/null" : output.path.c_str();
    posix_spawn_file_actions_addopen(&actions, 1, out, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  }
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  pid_t pid = -1;
  const int error = posix_spawnp(&pid, cargv[0], &actions, nullptr, cargv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) throw std::runtime_error("posix_spawn failed");
  return pid;
}

}  // namespace

Installation::Installation() {
  const std::string exe = Env("BLURBSMITH_EXE");
  if (exe.empty()) throw std::runtime_error("BLURBSMITH_EXE is not set");
  launcher_ = Env("BLURBSMITH_LAUNCHER");
  prog_ = root_.Path() / "Prog Dir";
  work_ = root_.Path() / "work";
  fs::create_directories(prog_);
  fs::create_directories(work_);
  exe_ = prog_ / fs::path(exe).filename();
  fs::copy_file(exe, exe_);
}

void Installation::WriteSettings(const std::string& text) const {
  WriteFileText(ProgPath("blurbsmith.cfg"), text);
}

std::vector<std::string> Installation::Argv() const {
  std::vector<std::string> argv;
  if (unprivileged_) argv = UnprivilegedPrefix();
  if (!env_.empty()) {
    if (argv.empty()) argv.push_back("env");
    argv.insert(argv.end(), env_.begin(), env_.end());
  }
  argv.insert(argv.end(), wrapper_.begin(), wrapper_.end());
  if (!launcher_.empty()) argv.push_back(launcher_);
  argv.push_back(exe_.string());
  return argv;
}

std::string Installation::Command(const std::string& redirections,
                                  const std::vector<std::string>& args) const {
  std::string command = "cd " + Quote(work_.string()) + " && exec";
  for (const std::string& arg : Argv()) command += " " + Quote(arg);
  for (const std::string& arg : args) command += " " + Quote(arg);
  return command + " " + redirections;
}

bool Installation::LauncherFailed(int exitCode, const std::string& out) const {
  return UnderWine() && exitCode == 1 && out.empty();
}

template <typename Attempt>
RunResult Installation::AgainIfLauncherFailed(Attempt attempt) const {
  for (int n = 1;; ++n) {
    RunResult result = attempt();
    if (!LauncherFailed(result.exitCode, result.out) || n == kLaunchAttempts) return result;
    std::fprintf(stderr, "wine ended with exit code 1 before the program began; starting it again\n");
  }
}

// These two cannot see the output: their exit code alone tells.
int Installation::RunRedirected(const std::string& redirections) const {
  return AgainIfLauncherFailed([&] {
    const int status = std::system(Command(redirections).c_str());
    return RunResult{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ""};
  }).exitCode;
}

int Installation::RunWithBrokenPipe() const {
  return AgainIfLauncherFailed([&] {
    int fds[2];
    if (::pipe(fds) != 0) throw std::runtime_error("pipe failed");
    ::close(fds[0]);  // the reader is gone before the first line is written
    Output output;
    output.fd = fds[1];
    const pid_t pid = Spawn(Argv(), work_, output);
    ::close(fds[1]);
    return RunResult{WaitFor(pid), ""};
  }).exitCode;
}

void Installation::RunUnprivileged() {
  if (!RunningAsRoot()) return;
  unprivileged_ = true;
  fs::create_directories(kUnprivilegedHome);
  const std::string owner = " nobody:nogroup ";
  if (std::system(("chown" + owner + kUnprivilegedHome + " && chown -R" + owner +
                   Quote(root_.Path().string())).c_str()) != 0)
    throw std::runtime_error("chown failed");
}

void Installation::MoveProgramTo(const fs::path& dir) {
  fs::create_directories(dir);
  const fs::path exe = dir / exe_.filename();
  fs::rename(exe_, exe);
  exe_ = exe;
  prog_ = dir;
}

RunResult Installation::Run(const std::vector<std::string>& args) const {
  return AgainIfLauncherFailed([&] { return RunOnce(args); });
}

RunResult Installation::RunWithin(int seconds, bool terminal) const {
  return AgainIfLauncherFailed([&] { return RunWithinOnce(seconds, terminal); });
}

RunResult Installation::RunOnce(const std::vector<std::string>& args) const {
  RunResult result;
  FILE* pipe = ::popen(Command("</dev/null 2>/dev/null", args).c_str(), "r");
  if (!pipe) throw std::runtime_error("popen failed");
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
  const int status = ::pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = ConsoleAsCrLf(*this, result.out);
  return result;
}

pid_t Installation::StartHolder(const std::string& holder, const std::string& file,
                                const std::string& how) const {
  const fs::path ready = work_ / "ready.flag";
  fs::remove(ready);
  fs::remove(work_ / "release.flag");
  std::vector<std::string> argv;
  if (!launcher_.empty()) argv.push_back(launcher_);
  argv.insert(argv.end(), {holder, file, how, "ready.flag", "release.flag"});
  for (int n = 1; n <= kLaunchAttempts; ++n) {
    const pid_t pid = Spawn(argv, work_, {});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int status = 0;
    while (!fs::exists(ready)) {
      if (::waitpid(pid, &status, WNOHANG) == pid) break;
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid, SIGKILL);
        WaitFor(pid);
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (fs::exists(ready)) return pid;
    if (!LauncherFailed(WIFEXITED(status) ? WEXITSTATUS(status) : -1, "")) return -1;
    std::fprintf(stderr, "wine ended with exit code 1 before the holder began; starting it again\n");
  }
  return -1;
}

RunResult Installation::RunWhileHeld(const std::string& holder, const std::string& file, const std::string& how,
                                     const std::vector<std::string>& args) const {
  const pid_t pid = StartHolder(holder, file, how);
  EXPECT_NE(pid, -1) << "the holder did not take " << file << " (" << how << ")";
  const RunResult result = Run(args);
  if (pid != -1) {
    WriteFileText((work_ / "release.flag").string(), "go");
    EXPECT_EQ(WaitFor(pid), 0) << "the holder of " << file;
  }
  return result;
}

pid_t Installation::Start(const std::string& outputPath) const {
  return Spawn(Argv(), work_, {.path = outputPath});
}

RunResult Installation::RunWithinOnce(int seconds, bool terminal) const {
  int master = -1, slave = -1;
  if (terminal) {
    master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
      throw std::runtime_error("no pseudo-terminal");
    slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
  }
  const std::string outputPath = (root_.Path() / "run.out").string();
  const pid_t pid = Spawn(Argv(), work_, {.path = outputPath, .inputFd = slave});
  if (slave >= 0) ::close(slave);
  RunResult result;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      WaitFor(pid);
      result.exitCode = kTimedOut;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (result.exitCode != kTimedOut) result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (master >= 0) ::close(master);
  result.out = ConsoleAsCrLf(*this, ReadFileText(outputPath));
  return result;
}

int WaitFor(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Installation::ProgDirSeen() const {
  if (!UnderWine()) return prog_.string() + "/";
  std::string dir = "Z:" + prog_.string() + "\\";
  for (char& c : dir) if (c == '/') c = '\\';
  return dir;
}

namespace {

std::string SeenUnderWine(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path) if (c == '/') c = '\\';
  return UpCaseStr(path).str();
}

}  // namespace

std::string Installation::WorkPathSeen(const std::string& name) const {
  return UnderWine() ? SeenUnderWine(WorkPath(name)) : WorkPath(name);
}

std::string Installation::ProgPathSeen(const std::string& name) const {
  return UnderWine() ? SeenUnderWine(ProgPath(name)) : ProgPath(name);
}

std::string Installation::BecauseRelative(const std::string& name, const std::string& reason) const {
  return " (" + WorkPathSeen(name) + ": " + reason + ")";
}

std::string Installation::SettingsPathSeen() const {
  return CasedPath(ProgDirSeen() + "blurbsmith.cfg");
}

std::string Installation::CasedPath(const std::string& path) const {
  return UnderWine() ? UpCaseStr(path).str() : path;
}

std::vector<std::string> Installation::LogLines(const std::string& name) const {
  static const std::regex stamp(R"(^(.) \d\d (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) \d\d \d\d:\d\d:\d\d )");
  std::vector<std::string> lines = SplitCrLf(ReadFileText(WorkPath(name)));
  for (std::string& line : lines) line = std::regex_replace(line, stamp, "$1 <stamp> ");
  return lines;
}

std::string ConsoleAsCrLf(const Installation& inst, const std::string& raw) {
  std::string out;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const bool crlf = raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n';
    if (inst.UnderWine()) {
      if (raw[i] == '\n' && (i == 0 || raw[i - 1] != '\r')) ADD_FAILURE() << "a console LF without CR";
      if (raw[i] == '\r' && !crlf) ADD_FAILURE() << "a console CR without LF";
      out += raw[i];
    } else if (raw[i] == '\r') {
      ADD_FAILURE() << "a CR in the native console output";
    } else {
      if (raw[i] == '\n') out += '\r';
      out += raw[i];
    }
  }
  return out;
}

std::string StartLines(const Installation& inst) {
  return "\r\nBlurbsmith ver 0.2 started:\r\n  Preparing...\r\n  Reading \"" +
         inst.SettingsPathSeen() + "\"...\r\n";
}

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  if (start < text.size()) lines.push_back(text.substr(start) + "<no CR LF>");
  return lines;
}
