#include "log/console.h"

#include <cstring>
#include <string>

#include "platform/platform.h"

namespace {

bool g_quiet = false;

// One write per line, so that a line is never split between processes.
void WriteLine(const ShortString& text, bool emptyLineAfter) {
  const std::size_t endLength = std::strlen(platform::kConsoleLineEnd);
  char line[ShortString::kCapacity + 4];
  std::size_t n = text.size();
  std::memcpy(line, text.data(), n);
  std::memcpy(line + n, platform::kConsoleLineEnd, endLength);
  n += endLength;
  if (emptyLineAfter) {
    std::memcpy(line + n, platform::kConsoleLineEnd, endLength);
    n += endLength;
  }
  platform::ConsoleWrite(line, n);
}

}  // namespace

void ConsoleSetQuiet(bool quiet) { g_quiet = quiet; }

void ConsoleWriteLn(const ShortString& text) {
  if (!g_quiet) WriteLine(text, false);
}

void ConsoleProblem(const ShortString& text) { WriteLine(text, false); }

void ConsoleWarning(const ShortString& msg) { WriteLine(ShortString("Warning: ") + msg, false); }

void ConsoleError(const ShortString& msg) {
  WriteLine(ShortString("Error: ") + msg, true);
  platform::ExitProcess(kFailureExitCode);
}

void ConsoleFatal(const ShortString& msg, std::uint8_t exitCode) {
  WriteLine(msg, true);
  platform::ExitProcess(exitCode);
}

void ConsoleResult(std::string_view text) {
  const std::string line = std::string(text) + platform::kConsoleLineEnd;
  platform::ConsoleWrite(line.data(), line.size());
}

void ConsoleWriteText(std::string_view text) {
  if (!g_quiet) platform::ConsoleWrite(text.data(), text.size());
}
