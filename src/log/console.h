// Console message operations: everything reaches standard output through
// these, lines end in CR LF and every write is flushed at once.
#pragma once

#include <cstdint>

#include "util/short_string.h"

inline constexpr int kFailureExitCode = 255;

void ConsoleWriteLn(const ShortString& text);
void ConsoleWarning(const ShortString& msg);
// "Error: " and the message, an empty line, then exit code 255.
[[noreturn]] void ConsoleError(const ShortString& msg);
// The message, an empty line, then the given exit code.
[[noreturn]] void ConsoleFatal(const ShortString& msg, std::uint8_t exitCode);
