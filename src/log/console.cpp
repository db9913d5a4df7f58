#include "log/console.h"

#include <cstring>
#include <string>

#include "platform/platform.h"

namespace {

bool g_quiet = false;
std::uint32_t g_warnings = 0;

// A line shows what it says and nothing else: a control byte that came
// with a description or a path (ESC, say) could recolour or scramble the
// screen, so the console shows '?' for every byte below 0x20 and for 0x7F.
char Shown(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F ? '?' : c;
}

std::size_t CopyShown(std::string_view text, char* out) {
  for (const char c : text) *out++ = Shown(c);
  return text.size();
}

// One write per line, so that a line is never split between processes.
void WriteLine(const ShortString& text, bool emptyLineAfter) {
  const std::size_t endLength = std::strlen(platform::kConsoleLineEnd);
  char line[ShortString::kCapacity + 4];
  std::size_t n = CopyShown(text, line);
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

void ConsoleWarning(const ShortString& msg) {
  ++g_warnings;
  WriteLine(ShortString("Warning: ") + msg, false);
}

std::uint32_t ConsoleWarningsTold() { return g_warnings; }

void ConsoleError(const ShortString& msg) {
  WriteLine(ShortString("Error: ") + msg, true);
  platform::ExitProcess(kFailureExitCode);
}

void ConsoleFatal(const ShortString& msg, std::uint8_t exitCode) {
  WriteLine(msg, true);
  platform::ExitProcess(exitCode);
}

void ConsoleResult(std::string_view text) {
  std::string line(text.size(), '\0');
  CopyShown(text, line.data());
  line += platform::kConsoleLineEnd;
  platform::ConsoleWrite(line.data(), line.size());
}

void ConsoleWriteText(std::string_view text) {
  if (!g_quiet) platform::ConsoleWrite(text.data(), text.size());
}
