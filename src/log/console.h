// Console message operations: everything reaches standard output through
// these, lines end as the platform's text does (CR LF on Windows, LF on
// POSIX) and every write is flushed at once. A line shows '?' for each of
// its control bytes (below 0x20, and 0x7F); only ConsoleWriteText, for text
// that holds its own line ends, writes its bytes as they are.
#pragma once

#include <cstdint>
#include <string_view>

#include "util/exit_codes.h"
#include "util/short_string.h"

// A quiet run (-q) shows only warnings, errors and results: the lines
// written with ConsoleWriteLn and ConsoleWriteText (the banner, the
// progress) are dropped.
void ConsoleSetQuiet(bool quiet);

void ConsoleWriteLn(const ShortString& text);
// A line that belongs to a failure (the count of settings errors): shown
// in quiet runs too.
void ConsoleProblem(const ShortString& text);
void ConsoleWarning(const ShortString& msg);
// How many warnings the process has told so far.
std::uint32_t ConsoleWarningsTold();
// "Error: " and the message, an empty line, then exit code 255.
[[noreturn]] void ConsoleError(const ShortString& msg);
// The message, an empty line, then the given exit code.
[[noreturn]] void ConsoleFatal(const ShortString& msg, std::uint8_t exitCode);
// A line of what was asked for, the preview's and the listing's, shown in
// quiet runs too; of any length (a line may pass 255 characters once
// converted to UTF-8).
void ConsoleResult(std::string_view text);
// Text that already holds its line ends.
void ConsoleWriteText(std::string_view text);
