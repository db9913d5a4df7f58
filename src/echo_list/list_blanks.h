// The blanks of the echo list's lines, as every format reads them. Lines
// arrive in the node's code page, where byte 0xFF is the no-break space
// (866, 437 and 850 alike), which lists pasted from a web page are full of.
#pragma once

#include <string_view>

#include "util/char_set.h"
#include "util/strings.h"

// What a line of any format is trimmed of at its ends: the blanks of every
// text the system reads, and the form feed and vertical tab of printed
// reports.
inline constexpr CharSet kLineTrimSet{0x00, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x20, 0xFF};
inline std::string_view TrimLine(std::string_view line) { return TrimView(line, kLineTrimSet); }

// What separates the words of an NA, FIDOCONFIG or AREAFIX line (FASTECHO
// separates its fields by commas): blanks, tabs and no-break spaces.
inline bool IsWordBreak(char c) { return c == ' ' || c == '\t' || c == '\xFF'; }

inline std::string_view SkipWordBreaks(std::string_view text) {
  while (!text.empty() && IsWordBreak(text.front())) text.remove_prefix(1);
  return text;
}
