#include "e2e/harness.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <stdexcept>

#include "util/strings.h"

namespace fs = std::filesystem;

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

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

std::string Installation::Command() const {
  std::string command = "cd " + Quote(work_.string()) + " && exec ";
  if (!launcher_.empty()) command += Quote(launcher_) + " ";
  return command + Quote(exe_.string()) + " </dev/null 2>/dev/null";
}

RunResult Installation::Run() const {
  RunResult result;
  FILE* pipe = ::popen(Command().c_str(), "r");
  if (!pipe) throw std::runtime_error("popen failed");
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
  const int status = ::pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string Installation::ProgDirSeen() const {
  if (!UnderWine()) return prog_.string() + "/";
  std::string dir = "Z:" + prog_.string() + "\\";
  for (char& c : dir) if (c == '/') c = '\\';
  return dir;
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
