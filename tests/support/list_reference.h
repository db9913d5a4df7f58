// A plain reading of the echo list's rules, for tests that hold the
// program's lookup against it (the fuzz targets and the unit test of the
// one pass): the text file rules, UTF-8 and UTF-16, how a list is placed,
// and each format's rule, applied to a list read whole from its first line
// for every tag. Written apart from the product code: only the code page
// tables (each code page's characters and its upper-case mapping) are
// taken from it; everything that reads bytes is written here afresh,
// plainly and without fast paths.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "settings/program_settings.h"
#include "support/text_bytes.h"
#include "util/code_page.h"

namespace reference {

// Reports a broken assumption and stops at once (libFuzzer keeps the input).
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "\n*** reference check failed: %s\n", what);
  std::fflush(stderr);
  __builtin_trap();
}

inline void Check(bool ok, const char* what) {
  if (!ok) Fail(what);
}

// ---- reference rules ------------------------------------------------------

constexpr std::size_t kMaxLine = 255;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Upper case of one byte as the settings file reads keywords and values:
// ASCII a-z and the Russian letters of code page 866.
inline unsigned char Upper(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
  if (c >= 0xA0 && c <= 0xAF) return static_cast<unsigned char>(c - 0x20);
  if (c >= 0xE0 && c <= 0xEF) return static_cast<unsigned char>(c - 0x50);
  if (c == 0xF1) return 0xF0;
  return c;
}

inline std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(Upper(static_cast<unsigned char>(c)));
  return out;
}

// Keywords of the echo list formats (HOLD, DOWN, EchoArea, -d) are read in
// any case of their ASCII letters.
inline bool SameAsciiWord(std::string_view s, std::string_view upperWord) {
  if (s.size() != upperWord.size()) return false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i] >= 'a' && s[i] <= 'z' ? static_cast<char>(s[i] - 32) : s[i];
    if (c != upperWord[i]) return false;
  }
  return true;
}

// Upper case with a code page's mapping.
// What the reference writes for a character the code page has no byte for
// (nor a best fit), and for bytes that are no character: Ctrl-Z, which no
// line holds. A tag compares and a description shows it as '?'.
constexpr char kNoByte = '\x1A';

inline std::string Fold(std::string_view s, const CodePage& codePage) {
  std::string out(s);
  for (char& c : out) c = c == kNoByte ? '?' : static_cast<char>(codePage.UpCaseTable()[static_cast<unsigned char>(c)]);
  return out;
}

// NUL, TAB, LF, CR, space and 0xFF.
inline bool IsBlank(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u == 0 || u == 9 || u == 10 || u == 13 || u == 32 || u == 255;
}

inline bool IsSpaceOrTab(char c) { return c == ' ' || c == '\t'; }

// An echo list's line is trimmed of the blanks above and of form feeds and
// vertical tabs; the words of NA, FIDOCONFIG and AREAFIX lines are also
// separated by the no-break space, 0xFF in the node's code page.
inline bool IsWordBreak(char c) { return c == ' ' || c == '\t' || c == '\xFF'; }

inline std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

inline std::string_view TrimLine(std::string_view s) {
  const auto trimmed = [](char c) { return IsBlank(c) || c == '\v' || c == '\f'; };
  while (!s.empty() && trimmed(s.front())) s.remove_prefix(1);
  while (!s.empty() && trimmed(s.back())) s.remove_suffix(1);
  return s;
}

// ---- text files

inline bool StartsWithByteOrderMark(std::string_view bytes) {
  return bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark;
}

// The text of a text file: what follows a byte-order mark at its very
// start, up to the first Ctrl-Z.
inline std::string_view TextOf(std::string_view bytes) {
  if (StartsWithByteOrderMark(bytes)) bytes.remove_prefix(kByteOrderMark.size());
  return bytes.substr(0, bytes.find('\x1a'));
}

// The physical lines of a text, whole: CR LF, a lone CR and a lone LF
// each end a line; the end of the text ends a last line that has no line
// end; nothing follows the last line end.
inline std::vector<std::string_view> PhysicalLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// The lines a text reader hands out: the first 255 characters of each.
struct TextLine {
  std::string text;  // at most kMaxLine characters
  bool cut;          // the physical line was longer
};

inline TextLine CutLine(std::string_view line) {
  return {std::string(line.substr(0, kMaxLine)), line.size() > kMaxLine};
}

inline std::vector<TextLine> TextLines(std::string_view fileBytes) {
  std::vector<TextLine> lines;
  for (const std::string_view line : PhysicalLines(TextOf(fileBytes))) lines.push_back(CutLine(line));
  return lines;
}

// ---- UTF-8

// The number of bytes a lead byte announces (0 for a byte that cannot
// begin a character: a continuation byte, or 11111xxx), by its bit pattern.
inline int AnnouncedLength(unsigned char b) {
  if (b >> 7 == 0) return 1;
  if (b >> 5 == 0b110) return 2;
  if (b >> 4 == 0b1110) return 3;
  if (b >> 3 == 0b11110) return 4;
  return 0;
}

inline bool IsContinuation(unsigned char b) { return b >> 6 == 0b10; }

// Whether a text is well-formed UTF-8: every sequence complete, no
// overlong form (a code point written longer than it needs), no surrogate
// (U+D800-U+DFFF), nothing beyond U+10FFFF.
inline bool IsWellFormedUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int n = AnnouncedLength(lead);
    if (n == 0 || text.size() - i < static_cast<std::size_t>(n)) return false;
    std::uint32_t code = n == 1 ? lead : lead & (0xFFu >> (n + 1));
    for (int k = 1; k < n; ++k) {
      const auto b = static_cast<unsigned char>(text[i + k]);
      if (!IsContinuation(b)) return false;
      code = code << 6 | (b & 0x3Fu);
    }
    const std::uint32_t shortest = code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
    if (shortest != static_cast<std::uint32_t>(n)) return false;
    if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return false;
    i += static_cast<std::size_t>(n);
  }
  return true;
}

// Whether some code point in [low, high] is a Unicode scalar value that
// takes exactly n bytes in UTF-8.
inline bool HoldsScalarOfLength(std::uint32_t low, std::uint32_t high, int n) {
  const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
  const std::uint32_t most[] = {0, 0x7F, 0x7FF, 0xFFFF, 0x10FFFF};
  low = std::max(low, least[n]);
  high = std::min(high, most[n]);
  if (low > high) return false;
  return !(low >= 0xD800 && high <= 0xDFFF);  // nothing but surrogates
}

// Decodes the character at text[i]: its code point, or -1 for a maximal
// ill-formed part, the longest run of bytes there that begins some
// well-formed sequence (at least one byte). *length is the bytes taken.
inline long DecodeUtf8At(std::string_view text, std::size_t i, std::size_t* length) {
  const auto lead = static_cast<unsigned char>(text[i]);
  const int n = AnnouncedLength(lead);
  *length = 1;
  if (n == 1) return lead;
  if (n == 0) return -1;
  // After k of the n bytes, the code point can still become any of
  // [bits << 6(n-k), bits << 6(n-k) | ones]; the bytes so far begin a
  // well-formed sequence when a scalar value of length n is among them.
  const auto begins = [n](std::uint32_t bits, int k) {
    const int shift = 6 * (n - k);
    const std::uint32_t low = bits << shift;
    return HoldsScalarOfLength(low, low | ((std::uint32_t{1} << shift) - 1), n);
  };
  std::uint32_t bits = lead & (0xFFu >> (n + 1));
  if (!begins(bits, 1)) return -1;
  for (int k = 1; k < n; ++k) {
    if (i + k >= text.size()) return -1;
    const auto b = static_cast<unsigned char>(text[i + k]);
    if (!IsContinuation(b) || !begins(bits << 6 | (b & 0x3Fu), k + 1)) return -1;
    bits = bits << 6 | (b & 0x3Fu);
    *length = static_cast<std::size_t>(k) + 1;
  }
  return static_cast<long>(bits);
}

// A character in the code page: its byte, else what stands for it where
// the code page lacks it (the manual's table), else kNoByte.
inline std::string InCodePage(long code, const CodePage& codePage) {
  unsigned char byte = 0;
  if (code >= 0 && code != CodePage::kNoCharacter && codePage.Holds(static_cast<char32_t>(code), &byte))
    return std::string(1, static_cast<char>(byte));
  std::u32string fit;
  if (code == 0x2018 || code == 0x2019 || code == 0x201A || code == 0x201B || code == 0x2032) fit = U"'";
  if (code == 0x201C || code == 0x201D || code == 0x201E || code == 0x201F || code == 0x2033 || code == 0xAB ||
      code == 0xBB)
    fit = U"\"";
  if (code == 0x2010 || code == 0x2011 || code == 0x2012 || code == 0x2013 || code == 0x2014 || code == 0x2015 ||
      code == 0x2212)
    fit = U"-";
  if (code == 0x2026) fit = U"...";
  if (code == 0x456) fit = U"i";
  if (code == 0x406) fit = U"I";
  if (code == 0x491) fit = U"\u0433";
  if (code == 0x490) fit = U"\u0413";
  if (code == 0x2116) fit = U"N";
  if (code == 0xA0) fit = U" ";
  // An accented Latin letter: its bare letter (the letters with a stroke
  // too), by its name's first letter.
  struct Bare {
    long first, last;
    const char* letters;  // for each code point of the range; '.' for none
  };
  const Bare bare[] = {
      {0xC0, 0xFF, "AAAAAA.CEEEEIIIIDNOOOOO.OUUUUY..aaaaaa.ceeeeiiiidnooooo.ouuuuy.y"},
      {0x100, 0x17F, "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIi..JjKk.LlLlLlLlLlNnNnNn...OoOoOo..RrRrRr"
                     "SsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZz."},
  };
  for (const Bare& range : bare)
    if (fit.empty() && code >= range.first && code <= range.last && range.letters[code - range.first] != '.')
      fit = std::u32string(1, static_cast<char32_t>(range.letters[code - range.first]));
  if (fit.empty()) return std::string(1, kNoByte);
  std::string out;
  for (const char32_t c : fit) out += codePage.Holds(c, &byte) ? static_cast<char>(byte) : kNoByte;
  return out;
}

// One line of UTF-8 in the code page: each character as InCodePage makes
// it, each maximal ill-formed part one kNoByte; characters are taken while
// fewer than `limit` bytes are made. *undecodable: a part taken was no
// character (an ill-formed part, or U+FFFD).
inline std::string Utf8ToCodePage(std::string_view line, const CodePage& codePage, std::size_t limit = std::string::npos,
                                  bool* undecodable = nullptr) {
  std::string out;
  std::size_t i = 0;
  bool bad = false;
  while (i < line.size() && out.size() < limit) {
    std::size_t length = 0;
    const long code = DecodeUtf8At(line, i, &length);
    bad = bad || code < 0 || code == 0xFFFD;
    out += code < 0 ? std::string(1, kNoByte) : InCodePage(code, codePage);
    i += length;
  }
  if (undecodable) *undecodable = bad;
  return out;
}

// ---- UTF-16

// The characters of a UTF-16 file: surrogate pairs joined; an unpaired
// surrogate, and a lone byte at the end, are no character (U+FFFD). A byte-order mark
// U+FEFF first is no character of the text.
inline std::u32string Utf16Characters(std::string_view bytes, bool little) {
  std::vector<std::uint32_t> units;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
    units.push_back(little ? (a | b << 8) : (a << 8 | b));
  }
  std::u32string text;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const std::uint32_t u = units[i];
    if (i == 0 && u == 0xFEFF) continue;
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      text += static_cast<char32_t>(0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      text += U'\xFFFD';
    } else {
      text += static_cast<char32_t>(u);
    }
  }
  if (bytes.size() % 2 == 1) text += U'\xFFFD';
  return text;
}

// ---- the echo list

constexpr std::size_t kDescriptionWidth = 52;

// ---- AUTO

// The characters descriptions are written in, by the manual: letters
// (Latin, Greek, Cyrillic), punctuation and symbols. A line of a code page
// that happens to be valid UTF-8 gives others.
inline bool IsDescriptionCharacter(long c) {
  const bool latin = (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7);
  const bool greekOrCyrillic = (c >= 0x370 && c <= 0x3FF && c != 0x37E && c != 0x387) || (c >= 0x400 && c <= 0x52F);
  const bool latin1Signs = c >= 0xA0 && c <= 0xBF;
  const bool punctuation = c >= 0x2000 && c <= 0x205F && !(c >= 0x200B && c <= 0x200F) && !(c >= 0x2028 && c <= 0x202E);
  const bool symbols = (c >= 0x20A0 && c <= 0x23FF) || (c >= 0x2500 && c <= 0x27BF) || (c >= 0x1F300 && c <= 0x1FAFF);
  return latin || greekOrCyrillic || latin1Signs || punctuation || symbols;
}

inline bool HasHighByte(std::string_view s) {
  return std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// A line counts as UTF-8 in a list that mixes UTF-8 and a code page: valid
// UTF-8 with a byte above 0x7F, made of description characters unless a
// byte-order mark stood before it.
inline bool ReadsAsUtf8(std::string_view line, bool vouched) {
  if (!HasHighByte(line) || !IsWellFormedUtf8(line)) return false;
  for (std::size_t i = 0, length = 0; i < line.size() && !vouched; i += length) {
    const long code = DecodeUtf8At(line, i, &length);
    if (code >= 0x80 && !IsDescriptionCharacter(code)) return false;
  }
  return true;
}

// The words of code page lines as 866, 1251 and KOI8-R read them: runs of
// ASCII letters and bytes above 0x7F but 0xFF that hold such a byte, and no
// byte three times in a row (drawing).
struct WordReadings {
  std::uint32_t words = 0;
  std::uint32_t garbled[3] = {}, misread[3] = {}, common[3] = {};
};

inline bool IsLetterCode(long c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7) ||
         (c >= 0x370 && c <= 0x3FF && c != 0x37E && c != 0x387) || (c >= 0x400 && c <= 0x52F);
}
inline bool IsSmall(long c) {
  return (c >= 'a' && c <= 'z') || (c >= 0x430 && c <= 0x45F) || (c >= 0xDF && c <= 0xFF && c != 0xF7);
}
inline bool IsCapital(long c) {
  return (c >= 'A' && c <= 'Z') || (c >= 0x400 && c <= 0x42F) || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
}

inline WordReadings ReadWords(const std::vector<std::string>& lines) {
  const CodePage* pages[3] = {CodePage::ForList(866), CodePage::ForList(1251), CodePage::ForList(CodePage::kKoi8R)};
  const std::u32string common = U"оеаинтсрвлОЕАИНТСРВЛ";
  WordReadings r;
  for (const std::string& line : lines) {
    std::size_t i = 0;
    while (i < line.size()) {
      const auto inWord = [&](std::size_t k) {
        const auto b = static_cast<unsigned char>(line[k]);
        return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= 0x80 && b != 0xFF);
      };
      if (!inWord(i)) {
        ++i;
        continue;
      }
      std::size_t end = i;
      while (end < line.size() && inWord(end)) ++end;
      std::string word = line.substr(i, end - i);
      i = end;
      bool drawing = false;
      for (std::size_t k = 2; k < word.size(); ++k) drawing = drawing || (word[k] == word[k - 1] && word[k] == word[k - 2]);
      if (!HasHighByte(word) || drawing) continue;
      word = word.substr(0, 64);
      ++r.words;
      for (int p = 0; p < 3; ++p) {
        std::vector<long> codes;
        for (const char c : word) codes.push_back(pages[p]->ToUnicode(static_cast<unsigned char>(c)));
        bool garbled = false, sawSmall = false, badCase = false;
        for (std::size_t k = 0; k < codes.size(); ++k) {
          const bool letter = IsLetterCode(codes[k]);
          const bool nextToLetter = (k > 0 && IsLetterCode(codes[k - 1])) || (k + 1 < codes.size() && IsLetterCode(codes[k + 1]));
          garbled = garbled || (!letter && nextToLetter);
          if (letter && IsSmall(codes[k])) sawSmall = true;
          if (letter && IsCapital(codes[k]) && sawSmall) badCase = true;
          if (word.size() > 1 && common.find(static_cast<char32_t>(codes[k])) != std::u32string::npos) ++r.common[p];
        }
        r.garbled[p] += garbled;
        r.misread[p] += garbled || badCase;
      }
    }
  }
  return r;
}

// The code page of lines too few, or too mixed, for their letters to tell:
// 1251 or KOI8-R when it reads every word as letters, misreads at most one
// word in ten, and misreads fewer than 866, or no more and finds over twice
// its common letters (four at the least).
inline const CodePage* PlacedByWords(const std::vector<std::string>& lines) {
  const WordReadings r = ReadWords(lines);
  int best = 0;
  for (int p = 1; p < 3; ++p) {
    if (r.garbled[p] != 0) continue;
    if (best == 0 || r.misread[p] < r.misread[best] || (r.misread[p] == r.misread[best] && r.common[p] > r.common[best]))
      best = p;
  }
  if (best == 0 || 10 * r.misread[best] > r.words) return nullptr;
  const bool better = r.misread[best] < r.misread[0] ||
                      (r.misread[best] <= r.misread[0] && r.common[best] >= 4 && r.common[best] > 2 * r.common[0]);
  return better ? CodePage::ForList(best == 1 ? 1251 : CodePage::kKoi8R) : nullptr;
}

// What AUTO makes of the lines of a list that are not UTF-8: the code page
// their letters are written in when it is not the node's. Under 866, 1251
// or KOI8-R when the bytes of the six commonest Russian small letters (o,
// ye, a, i, en, te) in that code page are a quarter of their bytes above
// 0x7F and four times those of each other one (866 among them), with 16
// such bytes at the least, else as their words place them; under 437 and
// 850, 1252 when of the bytes above 0x7F with an ASCII letter beside them
// at least 8 are at 0xC0-0xFF (not 0xD7, 0xF7) and twice as many as at
// 0x80-0xA5. Null otherwise.
inline const CodePage* PlacedCodePage(const std::vector<std::string>& lines, const CodePage& node) {
  std::uint32_t high = 0, count[3] = {}, at1252 = 0, atOem = 0;
  const unsigned char letters[3][6] = {{0xAE, 0xA5, 0xA0, 0xA8, 0xAD, 0xE2},
                                       {0xEE, 0xE5, 0xE0, 0xE8, 0xED, 0xF2},
                                       {0xCF, 0xC5, 0xC1, 0xC9, 0xCE, 0xD4}};
  for (const std::string& text : lines) {
    const auto letter = [&](std::size_t i) {
      return i < text.size() && ((text[i] >= 'a' && text[i] <= 'z') || (text[i] >= 'A' && text[i] <= 'Z'));
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
      const auto b = static_cast<unsigned char>(text[i]);
      if (b < 0x80) continue;
      ++high;
      for (int page = 0; page < 3; ++page)
        if (std::find(std::begin(letters[page]), std::end(letters[page]), b) != std::end(letters[page])) ++count[page];
      if (!(letter(i + 1) || (i > 0 && letter(i - 1)))) continue;
      if (b >= 0xC0 && b != 0xD7 && b != 0xF7) ++at1252;
      if (b <= 0xA5) ++atOem;
    }
  }
  if (node.Number() != 866) return at1252 >= 8 && at1252 >= 2 * atOem ? CodePage::ForList(1252) : nullptr;
  if (high == 0) return nullptr;
  if (high < 16) return PlacedByWords(lines);
  const int numbers[3] = {866, 1251, CodePage::kKoi8R};
  for (int page = 1; page < 3; ++page) {
    const bool others = 4 * count[page] >= high && count[page] >= 4 * count[0] && count[page] >= 4 * count[3 - page];
    if (others && count[page] > 0) return CodePage::ForList(numbers[page]);
  }
  if (count[0] >= count[1] && count[0] >= count[2]) return nullptr;  // 866's own letters lead
  return PlacedByWords(lines);
}

// UTF-16 read as bytes: more than half of its lines (those with a byte)
// hold a NUL.
inline bool LooksLikeUtf16(const std::vector<std::string>& lines) {
  std::size_t withBytes = 0, withNul = 0;
  for (const std::string& line : lines) {
    if (line.empty()) continue;
    ++withBytes;
    withNul += line.find('\0') != std::string::npos;
  }
  return 2 * withNul > withBytes;
}

// The archive a file is, by its first bytes; empty for none.
inline std::string ArchiveOf(std::string_view bytes) {
  const auto starts = [&](std::string_view s) { return bytes.substr(0, s.size()) == s; };
  if (starts("PK\x03\x04") || starts("PK\x05\x06") || starts("PK\x07\x08")) return "a zip archive";
  if (starts("\x1F\x8B")) return "a gzip archive";
  if (starts("7z\xBC\xAF\x27\x1C")) return "a 7z archive";
  if (starts("Rar!\x1A\x07")) return "a RAR archive";
  if (starts("\x60\xEA")) return "an ARJ archive";
  if (bytes.size() >= 7 && bytes.substr(2, 3) == "-lh" && bytes[6] == '-') return "an LHA archive";
  if (bytes.size() >= 7 && bytes.substr(2, 3) == "-lz" && bytes[6] == '-') return "an LHA archive";
  return "";
}

// The echo list as the lookups read it: its lines in the code page (a list
// in another encoding is converted line by line first); FASTECHO lines cut
// to 255 characters, the other formats' read whole (a fuzz input never
// reaches their limit of 256 KB). `givesNothing`: an archive, or a file
// with NUL bytes inside that is no UTF-16.
struct ListReading {
  std::string readAs;  // empty: read as it is
  std::string why;     // what made it so
  bool looksLikeUtf16 = false;
  std::string archive;
  bool noText = false;
  // Lines holding characters beyond ASCII, and those of them with a part
  // that is no character of the encoding they are read in.
  std::size_t highLines = 0, undecodableLines = 0;
  std::vector<std::string> lines;
  bool GivesNothing() const { return !archive.empty() || noText; }
};

inline std::string ReferencePageName(const CodePage& page) {
  return page.Number() == CodePage::kKoi8R ? "KOI8-R" : "code page " + page.Name();
}

inline std::string LinesWord(std::size_t n) { return std::to_string(n) + (n == 1 ? " line" : " lines"); }

inline ListReading ReadList(std::string_view fileBytes, EchoListEncoding encoding, const CodePage& codePage,
                            EchoListFormat format) {
  ListReading list;
  list.archive = ArchiveOf(fileBytes);
  const bool cutAt255 = format == EchoListFormat::FastEcho;
  const std::string_view text = TextOf(fileBytes);
  // The validator and the decoder, written apart, must agree.
  bool decodesWhole = true;
  for (std::size_t i = 0, length = 0; i < text.size() && decodesWhole; i += length)
    decodesWhole = DecodeUtf8At(text, i, &length) >= 0;
  Check(decodesWhole == IsWellFormedUtf8(text), "the reference's UTF-8 validator and decoder disagree");

  enum class Way { AsIs, Utf8, Utf16Le, Utf16Be, Translated, Mixed } way = Way::AsIs;
  const CodePage* from = nullptr;
  const std::string setting = std::string("ECHOLISTENCODING ") + EchoListEncodingName(encoding);
  const auto read = [&](Way w, std::string name, std::string why) {
    way = w;
    list.readAs = std::move(name);
    list.why = std::move(why);
  };
  const auto translated = [&](const CodePage* page, std::string why) {
    if (page == &codePage) return;
    from = page;
    read(Way::Translated, ReferencePageName(*page), std::move(why));
  };
  const bool marked = StartsWithByteOrderMark(fileBytes);
  const bool utf16leMark = fileBytes.substr(0, 2) == "\xFF\xFE", utf16beMark = fileBytes.substr(0, 2) == "\xFE\xFF";

  // The lines as bytes, each without a UTF-8 byte-order mark at its start;
  // `vouched[i]`: a mark stood at the start of the list or of a line up to
  // line i.
  std::vector<std::string> raw;
  std::vector<bool> vouched;
  bool mark = marked;
  for (std::string_view line : PhysicalLines(text)) {
    if (StartsWithByteOrderMark(line)) {
      line.remove_prefix(kByteOrderMark.size());
      mark = true;
    }
    raw.emplace_back(line);
    vouched.push_back(mark);
  }

  switch (encoding) {
    case EchoListEncoding::Utf8: read(Way::Utf8, "UTF-8", setting); break;
    case EchoListEncoding::Utf16Le: read(Way::Utf16Le, "UTF-16LE", setting); break;
    case EchoListEncoding::Utf16Be: read(Way::Utf16Be, "UTF-16BE", setting); break;
    case EchoListEncoding::CodePage: break;
    case EchoListEncoding::Auto: {
      if (utf16leMark && !marked) {
        read(Way::Utf16Le, "UTF-16LE", "it begins with a byte-order mark");
        break;
      }
      if (utf16beMark) {
        read(Way::Utf16Be, "UTF-16BE", "it begins with a byte-order mark");
        break;
      }
      std::size_t high = 0, valid = 0, utf8 = 0;
      std::vector<std::string> others;
      for (std::size_t i = 0; i < raw.size(); ++i) {
        if (!HasHighByte(raw[i])) continue;
        ++high;
        valid += IsWellFormedUtf8(raw[i]);
        if (ReadsAsUtf8(raw[i], vouched[i])) {
          ++utf8;
        } else {
          others.push_back(raw[i]);
        }
      }
      const CodePage* placed = PlacedCodePage(others, codePage);
      if (valid == high && (marked || high > 0)) {
        read(Way::Utf8, "UTF-8", marked ? "it begins with a byte-order mark" : "it is UTF-8 text");
      } else if (utf8 > 0) {
        from = placed && placed != &codePage ? placed : nullptr;
        const std::string page = ReferencePageName(placed ? *placed : codePage);
        const std::size_t other = high - utf8;
        if (utf8 >= other)
          read(Way::Mixed, "UTF-8, " + LinesWord(other) + " in " + page,
               "it is UTF-8 text with " + LinesWord(other) + (other == 1 ? " that is not" : " that are not"));
        else
          read(Way::Mixed, page + ", " + LinesWord(utf8) + " as UTF-8",
               "it is " + page + " text with " + LinesWord(utf8) + " of UTF-8");
      } else if (placed) {
        translated(placed, "its letters are those of " + placed->Name() + ", not " + codePage.Name());
      } else {
        list.looksLikeUtf16 = LooksLikeUtf16(raw);
      }
      break;
    }
    default: translated(CodePage::ForList(EchoListCodePage(encoding)), setting); break;
  }

  if (way == Way::Utf16Le || way == Way::Utf16Be) {
    std::u32string characters = Utf16Characters(fileBytes, way == Way::Utf16Le);
    characters = characters.substr(0, characters.find(U'\x1A'));
    std::size_t start = 0;
    for (std::size_t i = 0; i <= characters.size(); ++i) {
      const bool end = i == characters.size();
      if (!end && characters[i] != U'\r' && characters[i] != U'\n') continue;
      if (end && start == i) break;
      std::size_t first = start;
      if (first < i && characters[first] == 0xFEFF) ++first;  // a mark at a line's start
      std::string line;
      bool high = false, bad = false;
      for (std::size_t k = first; k < i; ++k) {
        high = high || characters[k] >= 0x80;
        if (cutAt255 && line.size() >= kMaxLine) continue;
        bad = bad || characters[k] == 0xFFFD;
        line += InCodePage(characters[k], codePage);
      }
      list.highLines += high;
      list.undecodableLines += high && bad;
      list.lines.push_back(cutAt255 ? CutLine(line).text : line);
      if (!end && characters[i] == U'\r' && i + 1 < characters.size() && characters[i + 1] == U'\n') ++i;
      start = i + 1;
    }
    return list;
  }
  // NUL bytes with text after them, in what the lines are read of: no text
  // list (a NUL or two at the end are padding). UTF-16 read as bytes is
  // told as such instead.
  const bool cutBytes = cutAt255 && (way == Way::AsIs || way == Way::Translated);
  bool nul = false;
  for (const std::string& line : raw) {
    for (const char c : cutBytes ? line.substr(0, kMaxLine) : line) {
      list.noText = list.noText || (nul && c != '\0');
      nul = nul || c == '\0';
    }
  }
  list.noText = list.noText && list.archive.empty() && !list.looksLikeUtf16;
  if (!list.archive.empty()) list.looksLikeUtf16 = false;  // an archive is told as such, and no more
  const std::size_t limit = cutAt255 ? kMaxLine : std::string::npos;
  for (std::size_t n = 0; n < raw.size(); ++n) {
    const std::string line = cutBytes ? raw[n].substr(0, kMaxLine) : raw[n];
    bool bad = false;
    const auto translate = [&](const CodePage* page) {
      std::string out;
      for (std::size_t k = 0; k < line.size() && out.size() < limit; ++k) {
        const auto b = static_cast<unsigned char>(line[k]);
        if (b >= 0x80 && page) bad = bad || page->ToUnicode(b) == CodePage::kNoCharacter;
        out += b < 0x80 || !page ? std::string(1, line[k]) : InCodePage(page->ToUnicode(b), codePage);
      }
      return out;
    };
    std::string converted;
    switch (way) {
      case Way::Utf8: converted = Utf8ToCodePage(line, codePage, limit, &bad); break;
      case Way::Translated: converted = translate(from); break;
      case Way::Mixed:
        converted = ReadsAsUtf8(line, vouched[n]) ? Utf8ToCodePage(line, codePage, limit, &bad) : translate(from);
        break;
      default: converted = line; break;
    }
    list.highLines += HasHighByte(line);
    list.undecodableLines += bad;
    list.lines.push_back(cutAt255 ? CutLine(converted).text : converted);
  }
  return list;
}

// What one line says about a tag: nothing (it does not decide), or the
// description that decides it (possibly empty).
struct Verdict {
  bool decides = false;
  std::string description;
};

// FASTECHO: [HOLD|DOWN],TAG,Description[,more fields]. An entry is a line
// that, trimmed and not a ';' comment, begins with a comma, perhaps after
// the word HOLD or DOWN; *fields is what follows that comma.
inline bool FastEchoEntry(std::string_view line, std::string_view* fields) {
  line = TrimLine(line);
  if (line.empty() || line.front() == ';') return false;
  const std::string_view first4 = line.substr(0, 4);
  if (SameAsciiWord(first4, "HOLD") || SameAsciiWord(first4, "DOWN")) line.remove_prefix(4);
  if (line.empty() || line.front() != ',') return false;
  *fields = line.substr(1);
  return true;
}

// Field 1 is the tag, field 2 the description; a run of commas is one
// separator. The first entry with the tag decides, even without a
// description.
inline Verdict FastEchoVerdict(std::string_view line, std::string_view key, const CodePage& codePage) {
  std::string_view rest;
  if (!FastEchoEntry(line, &rest)) return {};
  std::vector<std::string_view> fields;
  std::size_t i = 0;
  while (i < rest.size() && fields.size() < 2) {
    while (i < rest.size() && rest[i] == ',') ++i;
    if (i == rest.size()) break;
    const std::size_t start = i;
    while (i < rest.size() && rest[i] != ',') ++i;
    fields.push_back(rest.substr(start, i - start));
  }
  const std::string_view tag = fields.size() > 0 ? fields[0] : std::string_view();
  if (Fold(tag, codePage) != key) return {};
  return {true, std::string(fields.size() > 1 ? fields[1] : std::string_view())};
}

// NA: the tag up to the first blank or tab, then the description after the
// blanks and tabs that follow it. A tag alone does not decide. A first word
// that holds a comma is no tag (such a line is a FASTECHO line), so that
// line is no NA entry.
inline bool NaEntry(std::string_view line, std::string_view* tag, std::string_view* description) {
  line = TrimLine(line);
  if (line.empty() || line.front() == ';') return false;
  std::size_t tagEnd = 0;
  while (tagEnd < line.size() && !IsWordBreak(line[tagEnd])) ++tagEnd;
  *tag = line.substr(0, tagEnd);
  if (tag->find(',') != std::string_view::npos) return false;
  std::size_t start = tagEnd;
  while (start < line.size() && IsWordBreak(line[start])) ++start;
  *description = line.substr(start);
  return true;
}

inline Verdict NaVerdict(std::string_view line, std::string_view key, const CodePage& codePage) {
  std::string_view tag, description;
  if (!NaEntry(line, &tag, &description) || description.empty() || Fold(tag, codePage) != key) return {};
  return {true, std::string(description)};
}

// FIDOCONFIG: the words of a trimmed line, split at blanks and tabs; a word
// that begins with a quote runs to the next quote, that quote included (or
// to the end of the line when none follows: *open then says so).
inline std::vector<std::string_view> Words(std::string_view line, bool* open = nullptr) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  for (;;) {
    while (i < line.size() && IsWordBreak(line[i])) ++i;
    if (i == line.size()) return words;
    std::size_t end = i + 1;
    if (line[i] == '"') {
      while (end < line.size() && line[end] != '"') ++end;
      if (end < line.size()) {
        ++end;  // the closing quote
      } else if (open) {
        *open = true;
      }
    } else {
      while (end < line.size() && !IsWordBreak(line[end])) ++end;
    }
    words.push_back(line.substr(i, end - i));
    i = end;
  }
}

inline std::string_view WithoutQuotes(std::string_view word) {
  return word.size() >= 2 && word.front() == '"' && word.back() == '"' ? word.substr(1, word.size() - 2) : word;
}

// An entry is a line whose first word is EchoArea ('#' lines are comments,
// and no other line is an entry).
inline bool FidoConfigEntry(std::string_view line, std::vector<std::string_view>* words, bool* open = nullptr) {
  *words = Words(TrimLine(line), open);
  return !words->empty() && SameAsciiWord(words->front(), "ECHOAREA");
}

// Word 2 is the tag, without its quotes; the last -d (or -D) after it
// gives the description in the word that follows it, a quoted one without
// its quotes (the tosser takes it anew at each -d). No -d, an empty
// description or a quote left open anywhere in the line: the line does
// not decide.
inline Verdict FidoConfigVerdict(std::string_view line, std::string_view key, const CodePage& codePage) {
  std::vector<std::string_view> words;
  bool open = false;
  if (!FidoConfigEntry(line, &words, &open) || open || words.size() < 2 ||
      Fold(WithoutQuotes(words[1]), codePage) != key)
    return {};
  bool found = false;
  std::string_view text;
  for (std::size_t i = 2; i < words.size(); ++i) {
    if (!SameAsciiWord(words[i], "-D")) continue;
    found = true;
    text = i + 1 < words.size() ? WithoutQuotes(words[i + 1]) : std::string_view();
    ++i;
  }
  if (!found || text.empty()) return {};
  return {true, std::string(text)};
}

// AREAFIX, a hub's answer to %LIST or %LISTALL. One line read alone:
//   [flags] [marks][Zn] TAG [leader] [(address[, size])] [leader] [: ] "Description" | Description [figure]
// - Flags: up to four words before another, each one mark (* + & - ! @ #
//   % ~ ^) or one of the letters R W S M P U, or two different of them
//   with a mark among them. Marks: up to two different marks written
//   against the tag.
// - A zone column, Z and a number, stands before the tag when the word
//   after it begins like a tag and then ends the line, or is followed
//   (after a leader) by a ':' column.
// - The tag begins with a letter, a digit or a byte above 0x7F, and holds
//   no quote, parenthesis, colon or comma; dots written against it from
//   two on are a leader.
// - After it: a leader (two dots or more, with the dots and blanks after
//   them); an address in parentheses (letters, digits and ": / . @ -",
//   with a digit and a ':' or '/'), perhaps with a comma and a size
//   (digits, then letters) before the closing parenthesis, and another
//   leader; a ':' column, a colon and a blank.
// - The description: a quoted string without its quotes (open when the
//   line ends before its closing quote), or the rest of the line less its
//   traffic or size columns at the end: each a number or '?' after two or
//   more blanks, or a tab, in the line.
// A line that is empty or ends in ':' is none, and so is a heading: no
// flags or marks, a first word of letters only with a capital first and a
// small letter among the rest, and more after it that begins with none of
// a leader, an address, a ':' column or a quote.
struct AreafixEntry {
  std::string tag;
  std::string description;
  bool marked = false;     // flags, marks, zone, leader, address, ':' column, quote or traffic column
  bool open = false;       // a quote opened and not closed on the line
  bool tagIsLast = false;  // no word follows the tag's on the line
  long column = -1;        // where the description (or its quote) begins in the line as read; -1: none
};

inline bool IsReplyMark(char c) { return std::string_view("*+&-!@#%~^").find(c) != std::string_view::npos; }
inline bool IsTagStart(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u >= 0x80;
}
inline bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
inline bool IsAsciiCapital(char c) { return c >= 'A' && c <= 'Z'; }
inline bool IsAsciiSmall(char c) { return c >= 'a' && c <= 'z'; }

inline std::string_view FirstWord(std::string_view s) {
  std::size_t end = 0;
  while (end < s.size() && !IsWordBreak(s[end])) ++end;
  return s.substr(0, end);
}

inline std::string_view WithoutLeadingBreaks(std::string_view s) {
  while (!s.empty() && IsWordBreak(s.front())) s.remove_prefix(1);
  return s;
}

inline bool BeginsWithLeader(std::string_view s) { return s.size() >= 2 && s[0] == '.' && s[1] == '.'; }

inline std::string_view WithoutLeader(std::string_view s) {
  if (!BeginsWithLeader(s)) return s;
  while (!s.empty() && (s.front() == '.' || IsWordBreak(s.front()))) s.remove_prefix(1);
  return s;
}

inline bool BeginsWithColonColumn(std::string_view s) { return s.size() >= 2 && s[0] == ':' && IsWordBreak(s[1]); }

inline bool IsOrdinaryWord(std::string_view w) {
  if (w.size() < 2 || !IsAsciiCapital(w[0])) return false;
  for (const char c : w)
    if (!IsAsciiCapital(c) && !IsAsciiSmall(c)) return false;
  return std::any_of(w.begin() + 1, w.end(), IsAsciiSmall);
}

inline bool IsZoneWord(std::string_view w) {
  return w.size() >= 2 && w[0] == 'Z' && std::all_of(w.begin() + 1, w.end(), IsAsciiDigit);
}

// The length of the address group `s` begins with, parentheses included;
// 0 when it begins with none.
inline std::size_t AddressGroupLength(std::string_view s) {
  if (s.empty() || s[0] != '(') return 0;
  const std::size_t close = s.find(')');
  if (close == std::string_view::npos) return 0;
  std::string_view inside = s.substr(1, close - 1);
  const std::size_t comma = inside.find(',');
  if (comma != std::string_view::npos) {
    const std::string_view size = WithoutLeadingBreaks(inside.substr(comma + 1));
    std::size_t digits = 0;
    while (digits < size.size() && IsAsciiDigit(size[digits])) ++digits;
    if (digits == 0) return 0;
    for (const char c : size.substr(digits))
      if (!IsAsciiCapital(c) && !IsAsciiSmall(c)) return 0;
    inside = inside.substr(0, comma);
  }
  const bool chars = inside.find_first_not_of("0123456789:/.@-abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ") ==
                     std::string_view::npos;
  const bool ok = chars && inside.find_first_of("0123456789") != std::string_view::npos &&
                  inside.find_first_of(":/") != std::string_view::npos;
  return ok ? close + 1 : 0;
}

// The description part of `raw`, the line as read: the bytes from index
// `from` to `to` (the end of the trimmed line). True when it shows a
// reply's mark (a quote, a traffic column).
inline bool ReadReplyDescription(std::string_view raw, std::size_t from, std::size_t to, AreafixEntry* entry) {
  entry->open = false;
  entry->column = -1;
  const std::string_view part = raw.substr(from, to - from);
  if (!part.empty() && part[0] == '"') {
    const std::size_t close = part.find('"', 1);
    entry->open = close == std::string_view::npos;
    entry->description = std::string(entry->open ? TrimLine(part.substr(1)) : part.substr(1, close - 1));
    entry->column = static_cast<long>(from);
    return true;
  }
  bool column = false;
  while (to > from) {
    std::size_t word = to;
    while (word > from && !IsWordBreak(raw[word - 1])) --word;
    const std::string_view last = raw.substr(word, to - word);
    if (last != "?" && !(!last.empty() && std::all_of(last.begin(), last.end(), IsAsciiDigit))) break;
    std::size_t gap = word;
    while (gap > 0 && IsWordBreak(raw[gap - 1])) --gap;
    const std::string_view blanks = raw.substr(gap, word - gap);
    if (blanks.size() < 2 && blanks.find('\t') == std::string_view::npos) break;
    to = std::max(gap, from);
    column = true;
  }
  entry->description = std::string(raw.substr(from, to - from));
  if (to > from) entry->column = static_cast<long>(from);
  return column;
}

inline bool ReadAreafixLine(std::string_view raw, AreafixEntry* entry) {
  std::string_view line = TrimLine(raw);
  if (line.empty() || line.back() == ':') return false;
  bool flagged = false;
  // The flag column.
  const auto isFlag = [](char c) { return IsReplyMark(c) || std::string_view("RWSMPU").find(c) != std::string_view::npos; };
  for (int n = 0; n < 4; ++n) {
    const std::string_view word = FirstWord(line);
    const bool flag = (word.size() == 1 && isFlag(word[0])) ||
                      (word.size() == 2 && word[0] != word[1] && isFlag(word[0]) && isFlag(word[1]) &&
                       (IsReplyMark(word[0]) || IsReplyMark(word[1])));
    if (!flag || word.size() == line.size()) break;
    flagged = true;
    line = WithoutLeadingBreaks(line.substr(word.size()));
  }
  // Marks against the tag.
  for (int n = 0; n < 2; ++n) {
    if (line.size() < 2 || !IsReplyMark(line[0]) || line[1] == line[0]) break;
    if (!IsTagStart(line[1]) && !(IsReplyMark(line[1]) && line.size() >= 3 && IsTagStart(line[2]))) break;
    flagged = true;
    line.remove_prefix(1);
  }
  if (line.empty() || !IsTagStart(line[0])) return false;
  std::string_view tag = FirstWord(line);
  std::string_view rest = WithoutLeadingBreaks(line.substr(tag.size()));
  bool marked = flagged;
  if (IsZoneWord(tag) && !rest.empty() && IsTagStart(rest[0])) {
    const std::string_view next = FirstWord(rest);
    const std::string_view then = WithoutLeader(WithoutLeadingBreaks(rest.substr(next.size())));
    if (then.empty() || BeginsWithColonColumn(then)) {
      tag = next;
      rest = WithoutLeadingBreaks(rest.substr(next.size()));
      marked = true;
    }
  } else if (!flagged && !rest.empty() && IsOrdinaryWord(tag) && !BeginsWithLeader(rest) &&
             AddressGroupLength(rest) == 0 && !BeginsWithColonColumn(rest) && rest[0] != '"') {
    return false;  // a heading
  }
  entry->tagIsLast = rest.empty();
  const std::size_t dots = tag.find("..");
  if (dots != std::string_view::npos) {
    if (tag.find_first_not_of('.', dots) != std::string_view::npos) return false;
    tag = tag.substr(0, dots);
    marked = true;
  }
  if (tag.empty() || tag.find_first_of("\"():,") != std::string_view::npos) return false;
  if (BeginsWithLeader(rest)) {
    rest = WithoutLeader(rest);
    marked = true;
  }
  if (const std::size_t length = AddressGroupLength(rest)) {
    rest = WithoutLeadingBreaks(rest.substr(length));
    marked = true;
    if (BeginsWithLeader(rest)) rest = WithoutLeader(rest);
  }
  if (BeginsWithColonColumn(rest)) {
    rest = WithoutLeadingBreaks(rest.substr(1));
    marked = true;
  }
  entry->tag = std::string(tag);
  const std::size_t from = static_cast<std::size_t>(rest.data() - raw.data());
  if (ReadReplyDescription(raw, from, from + rest.size(), entry)) marked = true;
  entry->marked = marked;
  return true;
}

// The line after one whose tag is its last word holds that tag's
// description when it begins (its first character after the trimming) at
// `column`, where the last description above began.
inline bool ReadDescriptionBelow(std::string_view raw, long column, AreafixEntry* entry) {
  const std::string_view line = TrimLine(raw);
  if (line.empty() || column < 0 || line.data() - raw.data() != column) return false;
  const std::size_t from = static_cast<std::size_t>(column);
  entry->marked = ReadReplyDescription(raw, from, from + line.size(), entry);
  return true;
}

// One area of a reply, with what the lines after its own added.
struct ReplyArea {
  std::string tag;
  std::string description;
  bool marked = false;    // its line, or the line below it that holds its description, shows a mark
  bool complete = false;  // false: its quoted description was never closed
};

// The areas of a reply in order, read line after line: a quoted
// description left open goes on over the lines after it, joined with one
// blank, up to the one that holds its closing quote, and an empty line (or
// the end of the list) leaves it open; a line whose tag is its last word
// has its description on the next line when that one begins at the column
// of the last description above (ReadDescriptionBelow). `visit`
// (bool(const ReplyArea&)) sees each area once it is read; true stops the
// walk.
template <typename Visit>
void WalkReply(const std::vector<std::string>& lines, Visit visit) {
  ReplyArea area;
  bool open = false;     // area's description goes on
  bool waiting = false;  // area's tag was the last word of the line before
  long column = -1;
  for (const std::string& raw : lines) {
    if (open) {
      const std::string_view line = TrimLine(raw);
      if (line.empty()) {
        open = false;
        if (visit(area)) return;
        continue;
      }
      const std::size_t close = line.find('"');
      const std::string_view part = close == std::string_view::npos ? line : TrimLine(line.substr(0, close));
      if (!part.empty()) area.description += (area.description.empty() ? "" : " ") + std::string(part);
      if (close == std::string_view::npos) continue;
      open = false;
      area.complete = true;
      if (visit(area)) return;
      continue;
    }
    AreafixEntry entry;
    if (waiting) {
      waiting = false;
      if (ReadDescriptionBelow(raw, column, &entry)) {
        area.description = entry.description;
        area.marked = area.marked || entry.marked;
        area.complete = !entry.open;
        open = entry.open;
        if (!open && visit(area)) return;
        continue;
      }
      if (visit(area)) return;
    }
    if (!ReadAreafixLine(raw, &entry)) continue;
    if (entry.column >= 0) column = entry.column;
    area = {entry.tag, entry.description, entry.marked, !entry.open};
    open = entry.open;
    waiting = entry.tagIsLast && column >= 0;
    if (!open && !waiting && visit(area)) return;
  }
  if (open || waiting) visit(area);
}

// A reply read as NA: most of its areas show a reply's marks.
inline bool IsAReply(const ListReading& list) {
  std::size_t areas = 0, marked = 0;
  WalkReply(list.lines, [&](const ReplyArea& area) {
    ++areas;
    marked += area.marked;
    return false;
  });
  return 2 * marked > areas;
}

inline bool IsEntry(EchoListFormat format, std::string_view line) {
  std::string_view a, b;
  std::vector<std::string_view> words;
  AreafixEntry entry;
  switch (format) {
    case EchoListFormat::FastEcho: return FastEchoEntry(line, &a);
    case EchoListFormat::Na: return NaEntry(line, &a, &b);
    case EchoListFormat::FidoConfig: return FidoConfigEntry(line, &words);
    case EchoListFormat::Areafix: return ReadAreafixLine(line, &entry);
  }
  Fail("an unknown echo list format");
}

inline bool HoldsEntry(const ListReading& list, EchoListFormat format) {
  return std::any_of(list.lines.begin(), list.lines.end(),
                     [format](const std::string& line) { return IsEntry(format, line); });
}

// The 52-byte description for `tag` (all zero when no line decides it):
// the first line that decides, its description cut to 52 bytes. Read as
// NA, a reply gives none.
inline std::string LookupDescription(const ListReading& list, EchoListFormat format, const CodePage& codePage,
                                     std::string_view tag) {
  std::string result(kDescriptionWidth, '\0');
  if (list.GivesNothing()) return result;
  const std::string key = Fold(tag, codePage);
  Verdict verdict;
  if (format == EchoListFormat::Areafix) {
    WalkReply(list.lines, [&](const ReplyArea& area) {
      if (!area.complete || Fold(area.tag, codePage) != key || area.description.empty()) return false;
      verdict = {true, area.description};
      return true;
    });
  } else if (format != EchoListFormat::Na || !IsAReply(list)) {
    for (const std::string& line : list.lines) {
      switch (format) {
        case EchoListFormat::FastEcho: verdict = FastEchoVerdict(line, key, codePage); break;
        case EchoListFormat::Na: verdict = NaVerdict(line, key, codePage); break;
        default: verdict = FidoConfigVerdict(line, key, codePage); break;
      }
      if (verdict.decides) break;
    }
  }
  if (verdict.decides) {
    std::string description = verdict.description.substr(0, kDescriptionWidth);
    // A description most of whose characters beyond ASCII have no byte in
    // the code page is not given.
    const auto noByte = std::count(description.begin(), description.end(), kNoByte);
    const auto high = std::count_if(description.begin(), description.end(),
                                    [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (noByte > high) return result;
    std::replace(description.begin(), description.end(), kNoByte, '?');
    result.replace(0, description.size(), description);
  }
  return result;
}

}  // namespace reference
