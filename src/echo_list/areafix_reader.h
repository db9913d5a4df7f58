// AREAFIX: a hub's answer to %LIST.
//   [flags] TAG [.......] [(2:5020/9999)] "Description" | Description
// Flags are single characters in the first columns (*, +, &, -, S, R, ...);
// a quoted description may go on over the lines after its own, up to its
// closing quote, and is joined with one blank. Headings, legends, rules,
// totals and tear lines have no tag where it would stand: no entries.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "echo_list/list_format.h"

// One line of a reply read alone.
struct AreafixLine {
  std::string_view tag;
  std::string_view description;  // without its quotes; the first line's part of a wrapped one
  bool marked = false;  // flags, a leader, an address or a quoted description
  bool open = false;    // the quoted description goes on over the next lines
};

// False for lines that are no entry: empty ones, headings (ending in ':'),
// rules and legends, whose first word after the flags is no tag.
bool ReadAreafixLine(std::string_view line, AreafixLine* fields);

// Reads a reply line after line, each in what the lines before it left: a
// quoted description goes on until the line that holds its closing quote,
// and an empty line ends it with no description. The first entry that
// gives a tag a description decides; a tag without one does not.
class AreafixReader {
 public:
  // The entry that `line` completes, if any. A line longer than what is
  // read whole (`cut`) may hide its closing quote: it ends a wrap, and
  // decides nothing.
  bool Read(std::string_view line, bool cut, ListEntry* entry);

 private:
  bool open_ = false;
  std::string tag_;   // of the description that wraps
  std::string text_;  // what it holds so far, its first bytes only
};

// Whether a list is a hub's reply: most of its entries, read as a reply's,
// show its marks (flags, a dot leader, an address in parentheses, a quoted
// description), which plain lists never have. The lines a wrapped
// description goes on over are no entries of their own.
class ReplyCount {
 public:
  void Feed(std::string_view line);
  bool IsAReply() const { return 2 * marked_ > entries_; }

 private:
  std::uint32_t entries_ = 0, marked_ = 0;
  bool open_ = false;
};
