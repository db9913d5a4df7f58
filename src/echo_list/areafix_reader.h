// AREAFIX: a hub's answer to %LIST (or %LISTALL).
//   [flags] [Zn] TAG [.......] [(2:5020/9999[, 12kB])] [:] "Description" | Description [traffic]
// Flags are single characters in the first columns (*, +, &, -, S, R, ...);
// a zone column ("Z2") may stand before the tag, a ':' column after it. A
// quoted description may go on over the lines after its own, up to its
// closing quote, and is joined with one blank; a traffic or size column
// (a number or '?') may end an unquoted one. A tag too long for its column
// has its description on the next line, under the description column.
// Headings, legends, rules, totals and tear lines have no tag where it
// would stand, or begin with an ordinary word: no entries.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "echo_list/list_format.h"

// One line of a reply read alone.
struct AreafixLine {
  static constexpr std::size_t kNoColumn = static_cast<std::size_t>(-1);

  std::string_view tag;
  std::string_view description;  // without its quotes; the first line's part of a wrapped one
  bool marked = false;  // flags, a zone, a leader, an address, a ':' column, quotes or a traffic column
  bool open = false;    // the quoted description goes on over the next lines
  // Where the description (its opening quote) begins in the line as read;
  // kNoColumn when the line holds none, or only a traffic column.
  std::size_t column = kNoColumn;
  bool endsAtTag = false;  // nothing follows the tag: its description may stand on the next line
};

// False for lines that are no entry: empty ones, those that end in ':',
// rules and legends, whose first word after the flags is no tag, and
// headings that begin with an ordinary word.
bool ReadAreafixLine(std::string_view line, AreafixLine* fields);

// The line after one that ends at its tag: true when it begins at
// `column`, under the description of the area above, and so holds the
// description of that tag (`fields` then gives it, without a tag).
bool ReadDescriptionBelow(std::string_view line, std::size_t column, AreafixLine* fields);

// Reads a reply line after line, each in what the lines before it left: a
// quoted description goes on until the line that holds its closing quote,
// and an empty line ends it with no description; a line that ends at its
// tag may have its description on the next. The first entry that gives a
// tag a description decides; a tag without one does not.
class AreafixReader {
 public:
  // The entry that `line` completes, if any. A line longer than what is
  // read whole (`cut`) may hide its closing quote: it ends a wrap, and
  // decides nothing.
  bool Read(std::string_view line, bool cut, ListEntry* entry);

 private:
  bool open_ = false;
  bool waiting_ = false;  // the last line ended at tag_
  std::size_t column_ = AreafixLine::kNoColumn;  // of the last description read
  std::string tag_;   // of the description that wraps, or is waited for
  std::string text_;  // what it holds so far, its first bytes only
};

// Whether a list is a hub's reply: most of its entries, read as a reply's,
// show its marks (flags, a zone column, a dot leader, an address in
// parentheses, a ':' column, a quoted description, a traffic column), which
// plain lists never have. The lines a wrapped description goes on over,
// and the line that holds the description of a tag above it, are no
// entries of their own.
class ReplyCount {
 public:
  void Feed(std::string_view line);
  bool IsAReply() const { return 2 * marked_ > entries_; }

 private:
  std::uint32_t entries_ = 0, marked_ = 0;
  bool open_ = false;
  bool waiting_ = false;
  bool lastMarked_ = false;  // the entry that waits for its description
  std::size_t column_ = AreafixLine::kNoColumn;
};
