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

// A FidoNet address in parentheses: "(2:5020/9999)", "(2:5020/9999.1@fidonet)".
std::size_t AddressLength(std::string_view text) {
  if (text.empty() || text.front() != '(') return 0;
  const std::size_t close = text.find(')');
  if (close == std::string_view::npos) return 0;
  bool digit = false, separator = false;
  for (const char c : text.substr(1, close - 1)) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool isDigit = c >= '0' && c <= '9';
    digit = digit || isDigit;
    separator = separator || c == ':' || c == '/';
    if (!letter && !isDigit && c != ':' && c != '/' && c != '.' && c != '@' && c != '-') return 0;
  }
  return digit && separator ? close + 1 : 0;
}

// Skips a dot leader, with the blanks around it; true when there was one.
bool SkipLeader(std::string_view* text) {
  if (text->size() < 2 || (*text)[0] != '.' || (*text)[1] != '.') return false;
  while (!text->empty() && (text->front() == '.' || IsWordBreak(text->front()))) text->remove_prefix(1);
  return true;
}

// A wrapped description is kept only as far as any description is used.
void AppendJoined(std::string* text, std::string_view part) {
  if (!text->empty() && !part.empty()) *text += ' ';
  text->append(part.substr(0, std::min(part.size(), ShortString::kCapacity)));
  if (text->size() > ShortString::kCapacity) text->resize(ShortString::kCapacity);
}

}  // namespace

bool ReadAreafixLine(std::string_view line, AreafixLine* fields) {
  line = TrimLine(line);
  if (line.empty() || line.back() == ':') return false;
  const char* const end = line.data() + line.size();
  bool flags = false;
  const char* const start = TagStart(line.data(), end, &flags);
  if (!start) return false;
  std::string_view rest(start, static_cast<std::size_t>(end - start));
  std::size_t tagEnd = 0;
  while (tagEnd < rest.size() && !IsWordBreak(rest[tagEnd])) ++tagEnd;
  std::string_view tag = rest.substr(0, tagEnd);
  rest = SkipWordBreaks(rest.substr(tagEnd));
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
  fields->tag = tag;
  fields->open = false;
  const bool quoted = !rest.empty() && rest.front() == '"';
  if (quoted) {
    const std::size_t close = rest.find('"', 1);
    fields->open = close == std::string_view::npos;
    fields->description = fields->open ? TrimLine(rest.substr(1)) : rest.substr(1, close - 1);
  } else {
    fields->description = rest;
  }
  fields->marked = flags || leader || address || quoted;
  return true;
}

bool AreafixReader::Read(std::string_view line, bool cut, ListEntry* entry) {
  if (cut) {
    open_ = false;
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
  if (!ReadAreafixLine(line, &fields)) return false;
  if (fields.open) {
    open_ = true;
    tag_.assign(fields.tag);
    text_.clear();
    AppendJoined(&text_, fields.description);
    return false;
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
  if (!ReadAreafixLine(line, &fields)) return;
  ++entries_;
  marked_ += fields.marked;
  open_ = fields.open;
}
