// In-process test harness: catches the process end (exit code) and the
// console output of code under test.
#pragma once

#include <functional>
#include <string>
#include <string_view>

// Console bytes with each line end written as CR LF, whatever the build, so
// that one expectation serves both: the native build ends console lines
// with LF alone, and a CR there is a fault, shown as "<CR>".
std::string ConsoleAsCrLf(std::string_view bytes);

struct ProcessEnded {
  int exitCode;
};

class ProcessTrap {
 public:
  ProcessTrap();
  ~ProcessTrap();
  ProcessTrap(const ProcessTrap&) = delete;
  ProcessTrap& operator=(const ProcessTrap&) = delete;

  // Runs `body`; returns the exit code it ended the process with, or -1
  // when it returned normally.
  int Run(const std::function<void()>& body);
  // Console bytes written since the trap was set (or last Clear).
  const std::string& Console() const;
  void Clear();
};
