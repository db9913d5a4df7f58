// The line formats of the echo list: which lines are entries, and which
// entry gives a tag its description. Lines arrive in the FastEcho file's
// code page (a list in UTF-8, UTF-16 or another code page is converted
// first); `fold` is that code page's upper-case table and `key` the tag
// folded with it.
//
// Each format also has a quick look (May...) for the scan of a long list:
// false when a line surely gives no description for the key, true when it
// may; the full rule (Match...) then decides. The quick look sees a line
// before its conversion. A list in another code page converts byte for
// byte, so the quick look reads its bytes through the KeyProbe: folded and
// tested for blanks as their conversion is. With kUtf8 its answer stands
// only when every byte it looked at is ASCII and within the first 255,
// which read the same converted or not; otherwise it answers "may".
//
// AREAFIX is the one format whose lines are not read alone: a quoted
// description may go on over the lines after its own (AreafixWrap).
#pragma once

#include <algorithm>
#include <bit>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "util/byte_scan.h"
#include "util/char_set.h"
#include "util/short_string.h"
#include "util/strings.h"

namespace echo_list {

using FoldTable = std::array<unsigned char, 256>;

inline bool EqualsFolded(std::string_view a, std::string_view b, const FoldTable& fold) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (fold[static_cast<unsigned char>(a[i])] != fold[static_cast<unsigned char>(b[i])]) return false;
  return true;
}

// For each upper-case byte k, the bits in which every byte that folds to k
// agrees with k: a byte b can fold to k only if b and k are equal under this
// mask. Exact where the two cases differ in one bit, a coarser filter else.
inline std::array<std::uint8_t, 256> FoldMasks(const FoldTable& fold) {
  std::array<std::uint8_t, 256> masks;
  masks.fill(0xFF);
  for (unsigned b = 0; b < 256; ++b) masks[fold[b]] &= static_cast<std::uint8_t>(~(b ^ fold[b]));
  return masks;
}

// How the quick look reads the bytes of a list before their conversion:
// each folded, and taken for a blank or not, as the byte it becomes in the
// node's code page; and for each upper-case byte k, the bits in which every
// byte that folds to k agrees with it (for KeyProbe).
struct RawBytes {
  FoldTable fold;
  CharSet blanks;
  std::array<std::uint8_t, 256> masks;

  // `translation` takes each byte of the list into the node's code page;
  // null when the list's bytes are the node's (or UTF-8, whose quick look
  // trusts ASCII bytes only).
  static RawBytes Of(const FoldTable& nodeFold, const std::array<unsigned char, 256>* translation = nullptr) {
    RawBytes raw{nodeFold, kBlankSet, {}};
    if (translation) {
      raw.blanks = CharSet();
      for (unsigned b = 0; b < 256; ++b) {
        const unsigned char to = (*translation)[b];
        raw.fold[b] = nodeFold[to];
        if (kBlankSet.Contains(to)) raw.blanks.Add(static_cast<unsigned char>(b));
      }
    }
    raw.masks = FoldMasks(raw.fold);
    return raw;
  }
};

// The tag of one lookup, folded, ready for the quick look at each line. A
// tag of eight bytes or more is first compared as two 64-bit words, its
// first and its last eight bytes, under the fold masks: one compare turns
// away nearly every other tag. Only what passes is compared byte by byte.
// `fold` and `blanks` read the line's bytes as they are before conversion:
// for a list in another code page, each byte folded and tested as the byte
// it becomes.
class KeyProbe {
 public:
  KeyProbe(std::string_view upperKey, const RawBytes& raw) : KeyProbe(upperKey, raw.masks, raw.fold, raw.blanks) {}
  KeyProbe(std::string_view upperKey, const std::array<std::uint8_t, 256>& masks, const FoldTable& fold,
           const CharSet& blanks = kBlankSet)
      : key_(upperKey), fold_(fold), blanks_(blanks) {
    if (!key_.empty()) {
      std::memset(firstMask_, masks[static_cast<unsigned char>(key_[0])], sizeof firstMask_);
      std::memset(firstValue_, key_[0] & firstMask_[0], sizeof firstValue_);
    }
    if (key_.size() >= 8) {
      MakeWord(key_.data(), masks, &headMask_, &headValue_);
      MakeWord(key_.data() + key_.size() - 8, masks, &tailMask_, &tailValue_);
    }
  }

  std::size_t size() const { return key_.size(); }
  // Whether a byte of the line is a blank once converted.
  bool IsBlank(char c) const { return blanks_.Contains(c); }
  // A byte b may fold to the tag's first byte only if b & FirstMask()
  // equals FirstValue() (the tag is not empty).
  std::uint8_t FirstMask() const { return firstMask_[0]; }
  std::uint8_t FirstValue() const { return firstValue_[0]; }
  // The same, sixteen times over, for a compare of sixteen bytes at once.
  const std::uint8_t* FirstMasks() const { return firstMask_; }
  const std::uint8_t* FirstValues() const { return firstValue_; }

  // True when the size() bytes at `p` fold to the tag.
  bool Matches(const char* p) const {
    const std::size_t n = key_.size();
    if (n >= 8 && ((Load(p) & headMask_) != headValue_ || (Load(p + n - 8) & tailMask_) != tailValue_))
      return false;
    for (std::size_t i = 0; i < n; ++i)
      if (static_cast<char>(fold_[static_cast<unsigned char>(p[i])]) != key_[i]) return false;
    return true;
  }

 private:
  static std::uint64_t Load(const char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
  }
  // Mask and value in memory order, as Load reads them, on any byte order.
  static void MakeWord(const char* bytes, const std::array<std::uint8_t, 256>& masks,
                       std::uint64_t* mask, std::uint64_t* value) {
    std::uint8_t m[8], v[8];
    for (int i = 0; i < 8; ++i) {
      m[i] = masks[static_cast<unsigned char>(bytes[i])];
      v[i] = static_cast<std::uint8_t>(bytes[i] & m[i]);
    }
    std::memcpy(mask, m, sizeof m);
    std::memcpy(value, v, sizeof v);
  }

  std::string_view key_;
  const FoldTable& fold_;
  const CharSet blanks_;  // a copy: one load a test, next to the key's words
  std::uint64_t headMask_ = 0, headValue_ = 0, tailMask_ = 0, tailValue_ = 0;
  std::uint8_t firstMask_[16] = {}, firstValue_[16] = {};
};

// Whether the bytes [first, last) of `line` might read otherwise once the
// line is converted from UTF-8: one of them is not ASCII, or they reach
// past the 255th byte, where the converted line may already be cut.
inline bool MayChangeInConversion(std::string_view line, const char* first, const char* last) {
  if (last - line.data() > static_cast<std::ptrdiff_t>(ShortString::kCapacity)) return true;
  constexpr std::uint64_t kHighBits = 0x8080808080808080u;
  const auto highIn = [](const char* at) {
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    return (word & kHighBits) != 0;
  };
  if (last - first < 8) {
    for (; first != last; ++first)
      if (static_cast<unsigned char>(*first) >= 0x80) return true;
    return false;
  }
  // Eight bytes at a time; the last eight overlap what went before.
  for (; last - first > 8; first += 8)
    if (highIn(first)) return true;
  return highIn(last - 8);
}

// For the quick look at a UTF-8 line whose bytes before `at` are ASCII: the
// character at `at` is no ASCII one, so converted it is a code page letter
// or '?', never a comma, a blank or a tab; but a no-break space (C2 A0)
// becomes byte 0xFF, which counts as a blank at the end of a line.
inline bool NonAsciiAt(const char* at, const char* end, bool noBreakSpaceCounts) {
  if (at == end || static_cast<unsigned char>(*at) < 0x80) return false;
  return !noBreakSpaceCounts || end - at < 2 || static_cast<unsigned char>(at[0]) != 0xC2 ||
         static_cast<unsigned char>(at[1]) != 0xA0;
}

// A quick look that sets *seen past the last byte it looked at, made a
// UTF-8 one.
template <bool kUtf8, typename Look>
bool Quick(std::string_view line, Look look) {
  const char* seen = line.data();
  const bool may = look(&seen);
  if constexpr (kUtf8) return may || MayChangeInConversion(line, line.data(), seen);
  return may;
}

inline bool IsBlankOrTab(char c) { return c == ' ' || c == '\t'; }

// The last step of the NA and FIDOCONFIG quick looks: the key's length of
// tag at `p`, then a blank or tab.
template <bool kUtf8>
bool MayBeTagThenBlank(std::string_view line, const char* p, const KeyProbe& key, const char** seen) {
  const char* const end = line.data() + line.size();
  const std::size_t n = key.size();
  if (static_cast<std::size_t>(end - p) <= n) return false;
  if (kUtf8 && NonAsciiAt(p + n, end, false)) {
    *seen = p + n;  // the tag goes on, converted or not, unless the line is cut there
    return p + n - line.data() >= static_cast<std::ptrdiff_t>(ShortString::kCapacity);
  }
  *seen = p + n + 1;
  if (!IsBlankOrTab(p[n])) return false;
  return key.Matches(p);
}

// ---- FASTECHO: [HOLD|DOWN],TAG,Description[,more fields] ----

inline bool StartsWithHoldOrDown(std::string_view line) {
  if (line.size() < 4) return false;
  const char word[4] = {UpCaseChar(line[0]), UpCaseChar(line[1]), UpCaseChar(line[2]), UpCaseChar(line[3])};
  return std::memcmp(word, "HOLD", 4) == 0 || std::memcmp(word, "DOWN", 4) == 0;
}

// The line after the trimming and a HOLD or DOWN word, when it begins with
// the comma that makes it an entry; empty otherwise.
inline std::string_view FastEchoFields(std::string_view line) {
  line = TrimView(line);
  if (line.empty() || line.front() == ';') return {};
  if (StartsWithHoldOrDown(line)) line.remove_prefix(4);
  if (line.empty() || line.front() != ',') return {};
  return line;
}

inline bool IsFastEchoEntry(std::string_view line) { return !FastEchoFields(line).empty(); }

// The description field of `line` when its tag field equals `key` (the
// first matching line decides, even without a description).
inline bool MatchFastEcho(std::string_view line, std::string_view key, const FoldTable& fold,
                          std::string_view* description) {
  line = FastEchoFields(line);
  if (line.empty()) return false;
  line.remove_prefix(1);
  const std::string_view tag = WordView(line, kCommaSet, 1);
  if (!EqualsFolded(tag, key, fold)) return false;
  if (tag.empty()) {  // a line of commas alone: no tag, so no description either
    *description = {};
    return true;
  }
  const std::string_view rest = line.substr(static_cast<std::size_t>(tag.data() - line.data()) + tag.size());
  *description = WordView(rest, kCommaSet, 1);
  return true;
}

// Where the fields of a line begin when it does not begin with a comma:
// past the blanks at its start and a HOLD or DOWN word. Null when the line
// cannot list a tag. *seen: past the last byte looked at.
inline const char* FirstCommaAfterLead(const char* p, const char* end, const KeyProbe& key, const char** seen) {
  while (p != end && key.IsBlank(*p)) ++p;
  *seen = p + (p != end);
  if (p == end || *p == ';') return nullptr;
  if (*p == ',') return p;
  if (end - p < 5) return nullptr;
  *seen = p + 5;
  if (p[4] != ',' || !StartsWithHoldOrDown(std::string_view(p, 4))) return nullptr;
  return p + 4;
}

// The quick look, walking the line as MatchFastEcho does but without the
// trim at the end, which never moves the start of the tag field, and
// checking only the key's length of it and the byte after. Lines that begin
// with a comma, the common case, take the short way.
template <bool kUtf8>
bool MayGiveFastEcho(std::string_view line, const KeyProbe& key) {
  return Quick<kUtf8>(line, [&](const char** seen) {
    const char* p = line.data();
    const char* const end = p + line.size();
    if (p == end) return false;
    *seen = p + 1;
    if (*p != ',' && (p = FirstCommaAfterLead(p, end, key, seen)) == nullptr) return false;
    do ++p;
    while (p != end && *p == ',');
    *seen = p + (p != end);
    // The tag field must end right after the key's length: at a comma, at
    // the end of the line or where the blanks at its end begin. Conversion
    // never makes a line longer.
    const std::size_t n = key.size();
    if (static_cast<std::size_t>(end - p) < n) return false;
    if (kUtf8 && NonAsciiAt(p + n, end, true)) {
      *seen = p + n;  // the field goes on, converted or not, unless the line is cut there
      return p + n - line.data() >= static_cast<std::ptrdiff_t>(ShortString::kCapacity);
    }
    *seen = p + n + (p + n != end);
    if (p + n != end && p[n] != ',' && !key.IsBlank(p[n])) return false;
    return key.Matches(p);
  });
}

// ---- NA: TAG  Description ----

// The tag word and what follows the blanks after it; false for lines that
// are no entry (empty, comments, a first word holding a comma).
inline bool NaFields(std::string_view line, std::string_view* tag, std::string_view* rest) {
  line = TrimView(line);
  if (line.empty() || line.front() == ';') return false;
  std::size_t tagEnd = 0;
  while (tagEnd < line.size() && !IsBlankOrTab(line[tagEnd])) ++tagEnd;
  *tag = line.substr(0, tagEnd);
  if (tag->find(',') != std::string_view::npos) return false;
  std::size_t start = tagEnd;
  while (start < line.size() && IsBlankOrTab(line[start])) ++start;
  *rest = line.substr(start);
  return true;
}

inline bool IsNaEntry(std::string_view line) {
  std::string_view tag, rest;
  return NaFields(line, &tag, &rest);
}

// The description when the line's tag equals `key`. A tag alone (the
// backbone lists echoes without descriptions so) does not decide: a later
// line may still describe it.
inline bool MatchNa(std::string_view line, std::string_view key, const FoldTable& fold,
                    std::string_view* description) {
  std::string_view tag, rest;
  if (!NaFields(line, &tag, &rest) || rest.empty() || !EqualsFolded(tag, key, fold)) return false;
  *description = rest;
  return true;
}

template <bool kUtf8>
bool MayGiveNa(std::string_view line, const KeyProbe& key) {
  return Quick<kUtf8>(line, [&](const char** seen) {
    const char* p = line.data();
    const char* const end = p + line.size();
    while (p != end && key.IsBlank(*p)) ++p;
    *seen = p + (p != end);
    if (p == end || *p == ';') return false;
    // The tag, then a blank or tab before the description: a line that ends
    // after the tag describes nothing.
    return MayBeTagThenBlank<kUtf8>(line, p, key, seen);
  });
}

// ---- FIDOCONFIG: EchoArea TAG path [options] -d "Description" ----

inline bool IsEchoAreaKeyword(const char* p) {
  constexpr char kKeyword[] = "ECHOAREA";
  for (int i = 0; i < 8; ++i)
    if ((p[i] >= 'a' && p[i] <= 'z' ? p[i] - 32 : p[i]) != kKeyword[i]) return false;
  return true;
}

// The text after "EchoArea" and its blanks, when the line is an EchoArea
// line ('#' starts a comment line).
inline bool EchoAreaRest(std::string_view line, std::string_view* rest) {
  line = TrimView(line);
  if (line.size() < 8 || !IsEchoAreaKeyword(line.data())) return false;
  line.remove_prefix(8);
  if (!line.empty() && !IsBlankOrTab(line.front())) return false;
  while (!line.empty() && IsBlankOrTab(line.front())) line.remove_prefix(1);
  *rest = line;
  return true;
}

inline bool IsFidoConfigEntry(std::string_view line) {
  std::string_view rest;
  return EchoAreaRest(line, &rest);
}

// The next word of `text`, a quoted string counting as one word with its
// quotes; `text` moves past it and the blanks after it. A quote that is
// never closed takes the word to the end of the text, and sets *unclosed.
inline std::string_view NextWord(std::string_view* text, bool* unclosed = nullptr) {
  std::size_t end = 0;
  if (!text->empty() && text->front() == '"') {
    end = text->find('"', 1);
    if (end == std::string_view::npos && unclosed) *unclosed = true;
    end = end == std::string_view::npos ? text->size() : end + 1;
  } else {
    while (end < text->size() && !IsBlankOrTab((*text)[end])) ++end;
  }
  const std::string_view word = text->substr(0, end);
  text->remove_prefix(end);
  while (!text->empty() && IsBlankOrTab(text->front())) text->remove_prefix(1);
  return word;
}

// A quoted word without its quotes.
inline std::string_view Unquoted(std::string_view word) {
  if (word.size() >= 2 && word.front() == '"' && word.back() == '"') return word.substr(1, word.size() - 2);
  return word;
}

inline bool IsDescriptionOption(std::string_view word) {
  return word.size() == 2 && word[0] == '-' && (word[1] == 'd' || word[1] == 'D');
}

// The description of an EchoArea line for `key` (its tag may be quoted):
// the argument of its -d or -D option, which may stand anywhere after the
// tag (areas under EchoAreaDefaults have no path), a quoted string without
// its quotes or else the next word. A line without one, or with an empty
// one, does not decide; nor does a line with a quote left open, which may
// have been cut.
inline bool MatchFidoConfig(std::string_view line, std::string_view key, const FoldTable& fold,
                            std::string_view* description) {
  std::string_view rest;
  bool unclosed = false;
  if (!EchoAreaRest(line, &rest) || !EqualsFolded(Unquoted(NextWord(&rest, &unclosed)), key, fold) || unclosed)
    return false;
  std::string_view text;
  bool found = false;
  while (!rest.empty()) {
    const std::string_view word = NextWord(&rest, &unclosed);
    if (found || !IsDescriptionOption(word)) continue;
    text = Unquoted(NextWord(&rest, &unclosed));
    found = true;
  }
  if (!found || unclosed || text.empty()) return false;
  *description = text;
  return true;
}

template <bool kUtf8>
bool MayGiveFidoConfig(std::string_view line, const KeyProbe& key) {
  return Quick<kUtf8>(line, [&](const char** seen) {
    const char* p = line.data();
    const char* const end = p + line.size();
    while (p != end && key.IsBlank(*p)) ++p;
    *seen = p + (end - p < 9 ? end - p : 9);
    if (end - p < 9 || (*p | 0x20) != 'e' || !IsEchoAreaKeyword(p) || !IsBlankOrTab(p[8])) return false;
    p += 9;
    while (p != end && IsBlankOrTab(*p)) ++p;
    // The tag, then a blank before the path: an entry without one gives
    // nothing. A quoted tag is a word up to its closing quote, whatever
    // follows: the full rule looks at it.
    *seen = p + (p != end);
    if (p != end && *p == '"') return true;
    return MayBeTagThenBlank<kUtf8>(line, p, key, seen);
  });
}

// ---- AREAFIX: a hub's answer to %LIST ----
//   [flags] TAG [.......] [(2:5020/9999)] "Description" | Description
// Flags are single characters in the first columns (*, +, &, -, S, R, ...);
// a quoted description may go on over the lines after its own, up to its
// closing quote, and is joined with one blank. Headings, legends, rules,
// totals and tear lines have no tag where it would stand: no entries.

// What a reply marks its areas with, which plain lists never have.
inline constexpr CharSet kFlagMarks{'*', '+', '&', '-', '!', '@', '#', '%', '~', '^'};
inline bool IsFlagMark(char c) { return kFlagMarks.Contains(c); }

// A flag column's word: one mark or flag letter (read-only, write-only,
// subscribed, mandatory, passive, unsubscribed), or two different of them
// of which one is a mark ("*S").
inline constexpr CharSet kFlagCharacters{'*', '+', '&', '-', '!', '@', '#', '%', '~', '^', 'R', 'W', 'S', 'M', 'P', 'U'};
inline bool IsFlagWord(std::string_view word) {
  const auto flag = [](char c) { return kFlagCharacters.Contains(c); };
  if (word.size() == 1) return flag(word[0]);
  return word.size() == 2 && word[0] != word[1] && flag(word[0]) && flag(word[1]) &&
         (IsFlagMark(word[0]) || IsFlagMark(word[1]));
}

// A tag begins with a letter (of any code page) or a digit.
inline bool StartsATag(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u >= 0x80;
}

// Where the tag of a reply's line begins: past the flag column's words and
// at most two marks written against the tag ("+EXAMPLE.ECHO"); null when
// no tag can follow. *flags says whether there were any.
inline const char* AreafixTagStart(const char* p, const char* end, bool* flags) {
  *flags = false;
  const auto flag = [](char c) { return kFlagCharacters.Contains(c); };
  // Flag words are one or two characters with a blank after them; most
  // lines begin with their tag, a longer word.
  for (int words = 0; words < 4 && end - p >= 2 && flag(p[0]); ++words) {
    std::ptrdiff_t length = 1;
    if (!IsBlankOrTab(p[1])) {
      if (end - p < 3 || !IsBlankOrTab(p[2]) || !IsFlagWord(std::string_view(p, 2))) break;
      length = 2;
    }
    *flags = true;
    p += length;
    while (p != end && IsBlankOrTab(*p)) ++p;
  }
  for (int marks = 0; marks < 2 && end - p >= 2 && IsFlagMark(*p) && p[1] != *p; ++marks) {
    if (StartsATag(p[1]) || (IsFlagMark(p[1]) && end - p >= 3 && StartsATag(p[2]))) {
      *flags = true;
      ++p;
    } else {
      break;
    }
  }
  return p != end && StartsATag(*p) ? p : nullptr;
}

// A FidoNet address in parentheses: "(2:5020/9999)", "(2:5020/9999.1@fidonet)".
inline std::size_t AddressLength(std::string_view text) {
  if (text.empty() || text.front() != '(') return 0;
  const std::size_t close = text.find(')');
  if (close == std::string_view::npos) return 0;
  bool digit = false, separator = false;
  for (const char c : text.substr(1, close - 1)) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    digit = digit || (c >= '0' && c <= '9');
    separator = separator || c == ':' || c == '/';
    if (!letter && !(c >= '0' && c <= '9') && c != ':' && c != '/' && c != '.' && c != '@' && c != '-') return 0;
  }
  return digit && separator ? close + 1 : 0;
}

// Skips a dot leader, with the blanks around it; true when there was one.
inline bool SkipLeader(std::string_view* text) {
  if (text->size() < 2 || (*text)[0] != '.' || (*text)[1] != '.') return false;
  while (!text->empty() && (text->front() == '.' || IsBlankOrTab(text->front()))) text->remove_prefix(1);
  return true;
}

// One line of a reply read alone.
struct AreafixLine {
  std::string_view tag;
  std::string_view description;  // without its quotes; the first line's part of a wrapped one
  bool marked = false;  // flags, a leader, an address or a quoted description
  bool open = false;    // the quoted description goes on over the next lines
};

// False for lines that are no entry: empty ones, headings (ending in ':'),
// rules and legends, whose first word after the flags is no tag.
inline bool AreafixFields(std::string_view line, AreafixLine* fields) {
  line = TrimView(line);
  if (line.empty() || line.back() == ':') return false;
  const char* const end = line.data() + line.size();
  bool flags = false;
  const char* const start = AreafixTagStart(line.data(), end, &flags);
  if (!start) return false;
  std::string_view rest(start, static_cast<std::size_t>(end - start));
  std::size_t tagEnd = 0;
  while (tagEnd < rest.size() && !IsBlankOrTab(rest[tagEnd])) ++tagEnd;
  std::string_view tag = rest.substr(0, tagEnd);
  rest.remove_prefix(tagEnd);
  // A leader written against the tag: no tag ends in two dots.
  bool leader = false;
  if (const std::size_t dots = tag.find(".."); dots != std::string_view::npos) {
    if (tag.find_first_not_of('.', dots) != std::string_view::npos) return false;
    tag = tag.substr(0, dots);
    leader = true;
  }
  if (tag.empty() || tag.find_first_of("\"():,") != std::string_view::npos) return false;
  while (!rest.empty() && IsBlankOrTab(rest.front())) rest.remove_prefix(1);
  leader = SkipLeader(&rest) || leader;
  bool address = false;
  if (const std::size_t length = AddressLength(rest)) {
    rest.remove_prefix(length);
    while (!rest.empty() && IsBlankOrTab(rest.front())) rest.remove_prefix(1);
    leader = SkipLeader(&rest) || leader;
    address = true;
  }
  fields->tag = tag;
  fields->open = false;
  const bool quoted = !rest.empty() && rest.front() == '"';
  if (quoted) {
    const std::size_t close = rest.find('"', 1);
    fields->open = close == std::string_view::npos;
    fields->description = fields->open ? TrimView(rest.substr(1)) : rest.substr(1, close - 1);
  } else {
    fields->description = rest;
  }
  fields->marked = flags || leader || address || quoted;
  return true;
}

inline bool IsAreafixEntry(std::string_view line) {
  AreafixLine fields;
  return AreafixFields(line, &fields);
}

// A quoted description that goes on over the lines after its own: until
// the line that holds its closing quote; an empty line ends it with no
// description. Its text is kept only when it is the key's. `possible`:
// whether a line of the list opens one at all, which spares the quick
// look its search for quotes in most replies.
struct AreafixWrap {
  bool open = false;
  bool ours = false;
  std::string text;
  bool possible = true;
};

// The description of a reply's line for `key`, the line read in the wrap
// the lines before it left. The first entry that gives the tag a
// description decides; a tag without one does not.
inline bool MatchAreafix(std::string_view line, std::string_view key, const FoldTable& fold, AreafixWrap* wrap,
                         std::string_view* description) {
  if (wrap->open) {
    line = TrimView(line);
    const std::size_t close = line.find('"');
    if (line.empty() || close == std::string_view::npos) {
      wrap->open = !line.empty();
      if (wrap->open && wrap->ours) wrap->text.append(wrap->text.empty() ? "" : " ").append(line);
      return false;
    }
    wrap->open = false;
    if (!wrap->ours) return false;
    const std::string_view last = TrimView(line.substr(0, close));
    wrap->text.append(wrap->text.empty() || last.empty() ? "" : " ").append(last);
    *description = wrap->text;
    return !wrap->text.empty();
  }
  AreafixLine fields;
  if (!AreafixFields(line, &fields)) return false;
  const bool ours = EqualsFolded(fields.tag, key, fold);
  if (fields.open) {
    wrap->open = true;
    wrap->ours = ours;
    if (ours) wrap->text.assign(fields.description);
    return false;
  }
  if (!ours || fields.description.empty()) return false;
  *description = fields.description;
  return true;
}

// The first step of the AREAFIX quick look, sixteen bytes at once: true
// when the key surely does not begin where the line's tag does. The tag
// begins at the latest two marks into the line's first word of three
// characters or more (the words before it can only be flags of one or two);
// when that word begins within the first 14 bytes, after blanks and tabs
// alone, the key must stand where one of the bytes up to there begins,
// with a byte after it. False when it cannot tell so. UTF-8 read as bytes
// keeps every blank and tab where it is and makes no word shorter than it
// is converted, and a character beyond ASCII is never a flag: the tag
// begins no later than said; where the key is compared with bytes beyond
// ASCII, the answer is "may".
template <bool kUtf8>
__attribute__((always_inline)) inline bool KeyCannotBeginTheTag(std::string_view line, const KeyProbe& key) {
#ifdef BLURBSMITH_HAS_SSE2
  if (line.size() < 16 || key.size() == 0 || (kUtf8 && static_cast<unsigned char>(key.FirstValue()) >= 0x80))
    return false;
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data()));
  const unsigned blank = static_cast<unsigned>(_mm_movemask_epi8(
      _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(' ')), _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\t')))));
  const unsigned word = ~blank & 0xFFFFu;
  // The line may begin with other blanks (NUL, CR, LF, 0xFF and, in another
  // code page, bytes that become 0xFF): those lines take the slow way.
  const __m128i zero = _mm_setzero_si128();
  const unsigned otherBlank = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
      _mm_or_si128(_mm_cmpeq_epi8(bytes, zero), _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n'))),
      _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r')), _mm_cmplt_epi8(bytes, zero)))));
  if (word == 0 || (word & (0u - word) & otherBlank) != 0) return false;
  const int first = std::countr_zero(word);
  const unsigned longWords = word & (blank << 1 | 1u) & word >> 1 & word >> 2 & 0x3FFFu;
  if (longWords == 0) return false;
  const unsigned upTo = (2u << (std::countr_zero(longWords) + 2)) - 1;  // the tag begins within these
  const unsigned keyFirst = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(
      _mm_and_si128(bytes, _mm_loadu_si128(reinterpret_cast<const __m128i*>(key.FirstMasks()))),
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(key.FirstValues())))));
  // Where the key's first byte stands, the whole key is compared (its
  // first and last eight bytes as words, most of the time).
  for (unsigned at = keyFirst & upTo & ~((1u << first) - 1); at != 0; at &= at - 1) {
    const auto start = static_cast<std::size_t>(std::countr_zero(at));
    if (line.size() - start <= key.size()) continue;
    const char* const tag = line.data() + start;
    if (key.Matches(tag) || (kUtf8 && MayChangeInConversion(line, tag, tag + key.size()))) return false;
  }
  return true;
#else
  (void)line;
  (void)key;
  return false;
#endif
}

// The quick look: while a quoted description wraps, every line goes to the
// full rule; so does a line with exactly one quote, which may open a wrap
// (in a list where wraps are possible). Any other line may give the key
// only with the key's length of tag where its tag begins, then a blank, a
// tab or a leader's dot.
template <bool kUtf8>
__attribute__((always_inline)) inline bool MayGiveAreafix(std::string_view line, const KeyProbe& key,
                                                    const AreafixWrap& wrap) {
  if (wrap.open) return true;
  const char* const end = line.data() + line.size();
  if (wrap.possible) {
    // A quoted description mostly ends the line: then its first quote is
    // not the last one, and no second search is needed.
    const char* const quote = FindByte(line.data(), end, '"');
    if (quote != end && (quote == end - 1 || (end[-1] != '"' && FindByte(quote + 1, end, '"') == end))) return true;
  }
  if (KeyCannotBeginTheTag<kUtf8>(line, key)) return false;
  return Quick<kUtf8>(line, [&](const char** seen) {
    const char* p = line.data();
    while (p != end && key.IsBlank(*p)) ++p;
    bool flags = false;
    // The flag column reads the same converted or not unless it holds a
    // byte beyond ASCII, which Quick then sees.
    const char* const start = AreafixTagStart(p, end, &flags);
    if (!start) {
      *seen = end;
      return false;
    }
    const std::size_t n = key.size();
    if (static_cast<std::size_t>(end - start) <= n) {
      *seen = end;
      return false;
    }
    if (kUtf8 && NonAsciiAt(start + n, end, false)) {
      *seen = start + n;  // the tag goes on, converted or not, unless the line is cut there
      return start + n - line.data() >= static_cast<std::ptrdiff_t>(ShortString::kCapacity);
    }
    *seen = start + n + 1;
    if (!IsBlankOrTab(start[n]) && start[n] != '.') return false;
    return key.Matches(start);
  });
}

}  // namespace echo_list
