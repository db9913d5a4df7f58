#include "echo_list/areafix_reader.h"

#include <algorithm>

#include "echo_list/list_blanks.h"
#include "util/char_set.h"
#include "util/short_string.h"
#include "util/strings.h"

namespace {

// What a reply marks its areas with, which plain lists never have.
constexpr CharSet kFlagMarks{'*', '+', '&', '-', '!', '@', '#', '%', '~', '^'};
bool IsFlagMark(char c) { return kFlagMarks.Contains(c); }

// A flag column's word: one mark or flag letter (read-only, write-only,
// subscribed, mandatory, passive, unsubscribed), or two different of them
// of which one is a mark ("*S").
constexpr CharSet kFlagCharacters{'*', '+', '&', '-', '!', '@', '#', '%', '~', '^', 'R', 'W', 'S', 'M', 'P', 'U'};
bool IsFlag(char c) { return kFlagCharacters.Contains(c); }
bool IsFlagWord(std::string_view word) {
  if (word.size() == 1) return IsFlag(word[0]);
  return word.size() == 2 && word[0] != word[1] && IsFlag(word[0]) && IsFlag(word[1]) &&
         (IsFlagMark(word[0]) || IsFlagMark(word[1]));
}

// A tag begins with a letter (of any code page) or a digit.
bool StartsATag(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u >= 0x80;
}

// Where the tag of a reply's line begins: past the flag column's words and
// at most two marks written against the tag ("+EXAMPLE.ECHO"); null when
// no tag can follow. *flags says whether there were any.
const char* TagStart(const char* p, const char* end, bool* flags) {
  *flags = false;
  // Flag words are one or two characters with a blank after them; most
  // lines begin with their tag, a longer word.
  for (int words = 0; words < 4 && end - p >= 2 && IsFlag(p[0]); ++words) {
    std::ptrdiff_t length = 1;
    if (!IsWordBreak(p[1])) {
      if (end - p < 3 || !IsWordBreak(p[2]) || !IsFlagWord(std::string_view(p, 2))) break;
      length = 2;
    }
    *flags = true;
    p += length;
    while (p != end && IsWordBreak(*p)) ++p;
  }
  for (int marks = 0; marks < 2 && end - p >= 2 && IsFlagMark(*p) && p[1] != *p; ++marks) {
    if (!StartsATag(p[1]) && !(IsFlagMark(p[1]) && end - p >= 3 && StartsATag(p[2]))) break;
    *flags = true;
    ++p;
  }
  return p != end && StartsATag(*p) ? p : nullptr;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsCapital(char c) { return c >= 'A' && c <= 'Z'; }
bool IsSmall(char c) { return c >= 'a' && c <= 'z'; }

// The size of a file area: digits and the unit's letters ("0kB", "1204").
bool IsSize(std::string_view text) {
  std::size_t digits = 0;
  while (digits < text.size() && IsDigit(text[digits])) ++digits;
  if (digits == 0) return false;
  for (const char c : text.substr(digits))
    if (!IsCapital(c) && !IsSmall(c)) return false;
  return true;
}

// A FidoNet address in parentheses, "(2:5020/9999)",
// "(2:5020/9999.1@fidonet)", or with the size of a file area after a
// comma, "(1:153/757, 0kB)".
std::size_t AddressLength(std::string_view text) {
  if (text.empty() || text.front() != '(') return 0;
  const std::size_t close = text.find(')');
  if (close == std::string_view::npos) return 0;
  std::string_view address = text.substr(1, close - 1);
  if (const std::size_t comma = address.find(','); comma != std::string_view::npos) {
    if (!IsSize(SkipWordBreaks(address.substr(comma + 1)))) return 0;
    address = address.substr(0, comma);
  }
  bool digit = false, separator = false;
  for (const char c : address) {
    const bool letter = IsCapital(c) || IsSmall(c);
    const bool isDigit = IsDigit(c);
    digit = digit || isDigit;
    separator = separator || c == ':' || c == '/';
    if (!letter && !isDigit && c != ':' && c != '/' && c != '.' && c != '@' && c != '-') return 0;
  }
  return digit && separator ? close + 1 : 0;
}

// A dot leader: two dots or more.
bool StartsWithLeader(std::string_view text) { return text.size() >= 2 && text[0] == '.' && text[1] == '.'; }

// Skips a dot leader, with the blanks around it; true when there was one.
bool SkipLeader(std::string_view* text) {
  if (!StartsWithLeader(*text)) return false;
  while (!text->empty() && (text->front() == '.' || IsWordBreak(text->front()))) text->remove_prefix(1);
  return true;
}

// A ':' column between the tag and the description: a colon and a blank.
bool StartsWithColonColumn(std::string_view text) {
  return text.size() >= 2 && text[0] == ':' && IsWordBreak(text[1]);
}

// What a reply writes between a tag and its description.
bool StartsWithReplyMark(std::string_view text) {
  return StartsWithLeader(text) || AddressLength(text) != 0 || StartsWithColonColumn(text) || text.front() == '"';
}

// The word `text` begins with; `text` moves past it and the blanks after it.
std::string_view TakeWord(std::string_view* text) {
  std::size_t end = 0;
  while (end < text->size() && !IsWordBreak((*text)[end])) ++end;
  const std::string_view word = text->substr(0, end);
  *text = SkipWordBreaks(text->substr(end));
  return word;
}

// A word of the language, which begins headings ("Available areas for",
// "List of all", "Con  Message area  Description"): letters only, a
// capital first and a small letter among them. Tags are written in
// capitals, or hold dots, digits or underscores.
bool IsOrdinaryWord(std::string_view word) {
  if (word.size() < 2 || !IsCapital(word[0])) return false;
  bool small = false;
  for (const char c : word.substr(1)) {
    if (IsSmall(c)) {
      small = true;
    } else if (!IsCapital(c)) {
      return false;
    }
  }
  return small;
}

// The zone column of a %LISTALL reply: Z and the zone's number ("Z2").
bool IsZoneWord(std::string_view word) {
  if (word.size() < 2 || word[0] != 'Z') return false;
  for (const char c : word.substr(1))
    if (!IsDigit(c)) return false;
  return true;
}

// A traffic or size column's figure: a number, or '?' where none is known.
bool IsFigure(std::string_view word) {
  if (word == "?") return true;
  if (word.empty()) return false;
  for (const char c : word)
    if (!IsDigit(c)) return false;
  return true;
}

// Drops the traffic or size columns at the end of an unquoted description:
// each a figure after two or more blanks, or a tab, counted back in the
// line from `lineStart` on (a description of a figure alone has its gap
// before it). True when there was one.
bool DropFigureColumns(const char* lineStart, std::string_view* text) {
  bool dropped = false;
  // Most descriptions end in a letter: no figure to look for.
  while (!text->empty() && (IsDigit(text->back()) || text->back() == '?')) {
    const char* const begin = text->data();
    const char* const end = begin + text->size();
    const char* word = end;
    while (word != begin && !IsWordBreak(word[-1])) --word;
    if (!IsFigure(std::string_view(word, static_cast<std::size_t>(end - word)))) break;
    const char* gap = word;
    bool tab = false;
    while (gap != lineStart && IsWordBreak(gap[-1])) tab = *--gap == '\t' || tab;
    if (word - gap < 2 && !tab) break;
    *text = text->substr(0, gap > begin ? static_cast<std::size_t>(gap - begin) : 0);
    dropped = true;
  }
  return dropped;
}

// The description part of a line, `part`, which runs to the line's end: a
// quoted string without its quotes (open when the line ends before the
// closing quote), or else the text before its traffic columns. `line` is
// the line as read, whose start the column counts from. True when the part
// shows a reply's mark: a quote or a traffic column.
bool ReadDescriptionPart(std::string_view line, std::string_view part, AreafixLine* fields) {
  fields->open = false;
  fields->column = AreafixLine::kNoColumn;
  bool marked = false;
  if (!part.empty() && part.front() == '"') {
    const std::size_t close = part.find('"', 1);
    fields->open = close == std::string_view::npos;
    fields->description = fields->open ? TrimLine(part.substr(1)) : part.substr(1, close - 1);
    marked = true;
  } else {
    marked = DropFigureColumns(line.data(), &part);
    fields->description = part;
    if (part.empty()) return marked;
  }
  fields->column = static_cast<std::size_t>(part.data() - line.data());
  return marked;
}

// A wrapped description is kept only as far as any description is used.
void AppendJoined(std::string* text, std::string_view part) {
  if (!text->empty() && !part.empty()) *text += ' ';
  text->append(part.substr(0, std::min(part.size(), ShortString::kCapacity)));
  if (text->size() > ShortString::kCapacity) text->resize(ShortString::kCapacity);
}

}  // namespace

bool ReadAreafixLine(std::string_view raw, AreafixLine* fields) {
  const std::string_view line = TrimLine(raw);
  if (line.empty() || line.back() == ':') return false;
  const char* const end = line.data() + line.size();
  bool flags = false;
  const char* const start = TagStart(line.data(), end, &flags);
  if (!start) return false;
  std::string_view rest(start, static_cast<std::size_t>(end - start));
  std::string_view tag = TakeWord(&rest);
  // A zone column stands before a tag that ends the line or comes before
  // a ':' column; an ordinary word followed by text is a heading.
  bool zone = false;
  if (IsZoneWord(tag) && !rest.empty() && StartsATag(rest.front())) {
    std::string_view after = rest;
    const std::string_view next = TakeWord(&after);
    std::string_view beyond = after;
    SkipLeader(&beyond);
    if (beyond.empty() || StartsWithColonColumn(beyond)) {
      tag = next;
      rest = after;
      zone = true;
    }
  } else if (!flags && !rest.empty() && IsOrdinaryWord(tag) && !StartsWithReplyMark(rest)) {
    return false;
  }
  const bool endsAtTag = rest.empty();
  // A leader written against the tag: no tag ends in two dots.
  bool leader = false;
  if (const std::size_t dots = tag.find(".."); dots != std::string_view::npos) {
    if (tag.find_first_not_of('.', dots) != std::string_view::npos) return false;
    tag = tag.substr(0, dots);
    leader = true;
  }
  if (tag.empty() || tag.find_first_of("\"():,") != std::string_view::npos) return false;
  leader = SkipLeader(&rest) || leader;
  bool address = false;
  if (const std::size_t length = AddressLength(rest)) {
    rest = SkipWordBreaks(rest.substr(length));
    leader = SkipLeader(&rest) || leader;
    address = true;
  }
  const bool colon = StartsWithColonColumn(rest);
  if (colon) rest = SkipWordBreaks(rest.substr(1));
  fields->tag = tag;
  fields->endsAtTag = endsAtTag;
  const bool part = ReadDescriptionPart(raw, rest, fields);
  fields->marked = flags || zone || leader || address || colon || part;
  return true;
}

bool ReadDescriptionBelow(std::string_view raw, std::size_t column, AreafixLine* fields) {
  const std::string_view line = TrimLine(raw);
  if (line.empty() || static_cast<std::size_t>(line.data() - raw.data()) != column) return false;
  fields->tag = {};
  fields->endsAtTag = false;
  fields->marked = ReadDescriptionPart(raw, line, fields);
  return true;
}

bool AreafixReader::Read(std::string_view line, bool cut, ListEntry* entry) {
  if (cut) {
    open_ = waiting_ = false;
    return false;
  }
  if (open_) {
    line = TrimLine(line);
    const std::size_t close = line.find('"');
    if (line.empty() || close == std::string_view::npos) {
      open_ = !line.empty();
      if (open_) AppendJoined(&text_, line);
      return false;
    }
    open_ = false;
    AppendJoined(&text_, TrimLine(line.substr(0, close)));
    *entry = {tag_, text_, !text_.empty()};
    return true;
  }
  AreafixLine fields;
  if (waiting_) {
    waiting_ = false;
    if (ReadDescriptionBelow(line, column_, &fields)) {
      if (fields.open) {
        open_ = true;
        text_.clear();
        AppendJoined(&text_, fields.description);
        return false;
      }
      *entry = {tag_, fields.description, !fields.description.empty()};
      return true;
    }
  }
  if (!ReadAreafixLine(line, &fields)) return false;
  if (fields.column != AreafixLine::kNoColumn) column_ = fields.column;
  if (fields.open) {
    open_ = true;
    tag_.assign(fields.tag);
    text_.clear();
    AppendJoined(&text_, fields.description);
    return false;
  }
  if (fields.endsAtTag && column_ != AreafixLine::kNoColumn) {
    waiting_ = true;
    tag_.assign(fields.tag);
  }
  *entry = {fields.tag, fields.description, !fields.description.empty()};
  return true;
}

void ReplyCount::Feed(std::string_view line) {
  if (open_) {
    line = TrimLine(line);
    open_ = !line.empty() && line.find('"') == std::string_view::npos;
    return;
  }
  AreafixLine fields;
  if (waiting_) {
    waiting_ = false;
    if (ReadDescriptionBelow(line, column_, &fields)) {
      marked_ += fields.marked && !lastMarked_;
      open_ = fields.open;
      return;
    }
  }
  if (!ReadAreafixLine(line, &fields)) return;
  ++entries_;
  marked_ += fields.marked;
  open_ = fields.open;
  if (fields.column != AreafixLine::kNoColumn) column_ = fields.column;
  waiting_ = fields.endsAtTag && column_ != AreafixLine::kNoColumn;
  lastMarked_ = fields.marked;
}
