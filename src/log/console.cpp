#include "log/console.h"

#include "platform/platform.h"

namespace {

// One write per line, so that a line is never split between processes.
void WriteLine(const ShortString& text, bool emptyLineAfter) {
  char line[ShortString::kCapacity + 4];
  std::size_t n = text.size();
  std::memcpy(line, text.data(), n);
  line[n++] = '\r';
  line[n++] = '\n';
  if (emptyLineAfter) {
    line[n++] = '\r';
    line[n++] = '\n';
  }
  platform::ConsoleWrite(line, n);
}

}  // namespace

void ConsoleWriteLn(const ShortString& text) { WriteLine(text, false); }

void ConsoleWarning(const ShortString& msg) { WriteLine(ShortString("Warning: ") + msg, false); }

void ConsoleError(const ShortString& msg) {
  WriteLine(ShortString("Error: ") + msg, true);
  platform::ExitProcess(kFailureExitCode);
}

void ConsoleFatal(const ShortString& msg, std::uint8_t exitCode) {
  WriteLine(msg, true);
  platform::ExitProcess(exitCode);
}
