#include "support/process_trap.h"

#include <string_view>

#include "platform/platform.h"

namespace {

std::string g_console;

void CaptureConsole(const char* bytes, std::size_t count) {
  g_console += ConsoleAsCrLf(std::string_view(bytes, count));
}

[[noreturn]] void ThrowExit(int exitCode) { throw ProcessEnded{exitCode}; }

}  // namespace

std::string ConsoleAsCrLf(std::string_view bytes) {
  if (std::string_view(platform::kConsoleLineEnd) != "\n") return std::string(bytes);
  std::string text;
  for (const char c : bytes) {
    if (c == '\r') text += "<CR>";
    if (c == '\n') text += '\r';
    text += c;
  }
  return text;
}

ProcessTrap::ProcessTrap() {
  g_console.clear();
  platform::SetConsoleHook(CaptureConsole);
  platform::SetExitHook(ThrowExit);
}

ProcessTrap::~ProcessTrap() {
  platform::SetConsoleHook(nullptr);
  platform::SetExitHook(nullptr);
}

int ProcessTrap::Run(const std::function<void()>& body) {
  try {
    body();
  } catch (const ProcessEnded& ended) {
    return ended.exitCode;
  }
  return -1;
}

const std::string& ProcessTrap::Console() const { return g_console; }

void ProcessTrap::Clear() { g_console.clear(); }
