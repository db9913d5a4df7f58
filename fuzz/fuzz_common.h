// Shared pieces of the fuzz targets: a per-process scratch directory, and
// small reference versions of the text file rules, of UTF-8 and of the echo
// list formats, written independently of the product code so that the
// targets can check its results against them. Only the code page tables
// (each code page's characters and its upper-case mapping) are taken from
// the product; everything that reads bytes is written here afresh, plainly
// and without its fast paths.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "settings/program_settings.h"
#include "util/code_page.h"

namespace fuzzref {

// Reports a broken promise and stops at once; libFuzzer keeps the input.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "\n*** fuzz check failed: %s\n", what);
  std::fflush(stderr);
  __builtin_trap();
}

inline void Check(bool ok, const char* what) {
  if (!ok) Fail(what);
}

// Bytes as C escapes, for the report of a failed check.
inline std::string Escaped(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7F && c != '\\' && c != '"') {
      out += c;
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", u);
      out += hex;
    }
  }
  return out;
}

// One directory per process, in memory when /dev/shm exists, removed at exit.
inline const std::filesystem::path& ScratchDir(const char* target) {
  static const std::filesystem::path dir = [target] {
    std::error_code ec;
    std::filesystem::path base = "/dev/shm";
    if (!std::filesystem::is_directory(base, ec)) base = std::filesystem::temp_directory_path();
    // A random name that no other process holds: parallel runs never meet.
    std::random_device random;
    for (;;) {
      std::filesystem::path path =
          base / ("blurbsmith-" + std::string(target) + "-" + std::to_string(random()));
      if (std::filesystem::create_directory(path, ec)) return path;
      Check(!ec, "creating the scratch directory");
    }
  }();
  static const bool cleanup = [] {
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(dir, ec);
    });
    return true;
  }();
  (void)cleanup;
  return dir;
}

inline void WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  Check(out.good(), "writing an input file");
}

inline bool ReadBytes(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
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
inline std::string Fold(std::string_view s, const CodePage& codePage) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(codePage.UpCaseTable()[static_cast<unsigned char>(c)]);
  return out;
}

// NUL, TAB, LF, CR, space and 0xFF.
inline bool IsBlank(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u == 0 || u == 9 || u == 10 || u == 13 || u == 32 || u == 255;
}

inline bool IsSpaceOrTab(char c) { return c == ' ' || c == '\t'; }

inline std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
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

// One line of UTF-8 in the code page: each character its byte ('?' when
// the code page lacks it), each maximal ill-formed part one '?'.
inline std::string Utf8ToCodePage(std::string_view line, const CodePage& codePage) {
  std::string out;
  std::size_t i = 0;
  while (i < line.size()) {
    std::size_t length = 0;
    const long code = DecodeUtf8At(line, i, &length);
    out += code < 0 ? '?' : static_cast<char>(codePage.FromUnicode(static_cast<char32_t>(code)));
    i += length;
  }
  return out;
}

// ---- the echo list

constexpr std::size_t kDescriptionWidth = 52;

// The echo list as the lookups read it: its lines in the code page, each
// cut to 255 characters (a UTF-8 list is converted line by line first).
struct ListReading {
  bool utf8 = false;
  const char* why = "";  // what made it UTF-8
  std::vector<std::string> lines;
};

inline ListReading ReadList(std::string_view fileBytes, EchoListEncoding encoding, const CodePage& codePage) {
  ListReading list;
  const std::string_view text = TextOf(fileBytes);
  // The validator and the decoder, written apart, must agree.
  bool decodesWhole = true;
  for (std::size_t i = 0, length = 0; i < text.size() && decodesWhole; i += length)
    decodesWhole = DecodeUtf8At(text, i, &length) >= 0;
  Check(decodesWhole == IsWellFormedUtf8(text), "the reference's UTF-8 validator and decoder disagree");
  if (encoding == EchoListEncoding::Utf8) {
    list.utf8 = true;
    list.why = "ECHOLISTENCODING UTF-8";
  } else if (encoding == EchoListEncoding::Auto && StartsWithByteOrderMark(fileBytes)) {
    list.utf8 = true;
    list.why = "it begins with a byte-order mark";
  } else if (encoding == EchoListEncoding::Auto) {
    const bool beyondAscii =
        std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    list.utf8 = beyondAscii && IsWellFormedUtf8(text);
    list.why = "it is UTF-8 text";
  }
  for (const std::string_view line : PhysicalLines(text))
    list.lines.push_back(CutLine(list.utf8 ? Utf8ToCodePage(line, codePage) : std::string(line)).text);
  return list;
}

// What one line says about a tag: nothing (it does not decide), or the
// description that decides it (possibly empty).
struct Verdict {
  bool decides = false;
  std::string_view description;
};

// FASTECHO: [HOLD|DOWN],TAG,Description[,more fields]. An entry is a line
// that, trimmed and not a ';' comment, begins with a comma, perhaps after
// the word HOLD or DOWN; *fields is what follows that comma.
inline bool FastEchoEntry(std::string_view line, std::string_view* fields) {
  line = Trim(line);
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
  return {true, fields.size() > 1 ? fields[1] : std::string_view()};
}

// NA: the tag up to the first blank or tab, then the description after the
// blanks and tabs that follow it. A tag alone does not decide. A first word
// that holds a comma is no tag (such a line is a FASTECHO line), so that
// line is no NA entry.
inline bool NaEntry(std::string_view line, std::string_view* tag, std::string_view* description) {
  line = Trim(line);
  if (line.empty() || line.front() == ';') return false;
  std::size_t tagEnd = 0;
  while (tagEnd < line.size() && !IsSpaceOrTab(line[tagEnd])) ++tagEnd;
  *tag = line.substr(0, tagEnd);
  if (tag->find(',') != std::string_view::npos) return false;
  std::size_t start = tagEnd;
  while (start < line.size() && IsSpaceOrTab(line[start])) ++start;
  *description = line.substr(start);
  return true;
}

inline Verdict NaVerdict(std::string_view line, std::string_view key, const CodePage& codePage) {
  std::string_view tag, description;
  if (!NaEntry(line, &tag, &description) || description.empty() || Fold(tag, codePage) != key) return {};
  return {true, description};
}

// FIDOCONFIG: the words of a trimmed line, split at blanks and tabs; a word
// that begins with a quote runs to the next quote, that quote included (or
// to the end of the line when none follows).
inline std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  for (;;) {
    while (i < line.size() && IsSpaceOrTab(line[i])) ++i;
    if (i == line.size()) return words;
    std::size_t end = i + 1;
    if (line[i] == '"') {
      while (end < line.size() && line[end] != '"') ++end;
      if (end < line.size()) ++end;  // the closing quote
    } else {
      while (end < line.size() && !IsSpaceOrTab(line[end])) ++end;
    }
    words.push_back(line.substr(i, end - i));
    i = end;
  }
}

// An entry is a line whose first word is EchoArea ('#' lines are comments,
// and no other line is an entry).
inline bool FidoConfigEntry(std::string_view line, std::vector<std::string_view>* words) {
  *words = Words(Trim(line));
  return !words->empty() && SameAsciiWord(words->front(), "ECHOAREA");
}

// Word 2 is the tag, word 3 the path; the first -d after them gives the
// description in the word that follows it: a quoted one without its quotes
// (the closing one may be missing). No -d, or an empty description, does
// not decide.
inline Verdict FidoConfigVerdict(std::string_view line, std::string_view key, const CodePage& codePage) {
  std::vector<std::string_view> words;
  if (!FidoConfigEntry(line, &words) || words.size() < 2 || Fold(words[1], codePage) != key) return {};
  for (std::size_t i = 3; i < words.size(); ++i) {
    if (!SameAsciiWord(words[i], "-D")) continue;
    std::string_view text = i + 1 < words.size() ? words[i + 1] : std::string_view();
    if (!text.empty() && text.front() == '"') {
      const bool closed = text.size() >= 2 && text.back() == '"';
      text = text.substr(1, text.size() - (closed ? 2 : 1));
    }
    if (text.empty()) return {};
    return {true, text};
  }
  return {};
}

inline bool IsEntry(EchoListFormat format, std::string_view line) {
  std::string_view a, b;
  std::vector<std::string_view> words;
  switch (format) {
    case EchoListFormat::FastEcho: return FastEchoEntry(line, &a);
    case EchoListFormat::Na: return NaEntry(line, &a, &b);
    case EchoListFormat::FidoConfig: return FidoConfigEntry(line, &words);
  }
  Fail("an unknown echo list format");
}

inline bool HoldsEntry(const ListReading& list, EchoListFormat format) {
  return std::any_of(list.lines.begin(), list.lines.end(),
                     [format](const std::string& line) { return IsEntry(format, line); });
}

// The 52-byte description for `tag` (all zero when no line decides it):
// the first line that decides, its description cut to 52 bytes.
inline std::string LookupDescription(const ListReading& list, EchoListFormat format,
                                     const CodePage& codePage, std::string_view tag) {
  std::string result(kDescriptionWidth, '\0');
  const std::string key = Fold(tag, codePage);
  for (const std::string& line : list.lines) {
    Verdict verdict;
    switch (format) {
      case EchoListFormat::FastEcho: verdict = FastEchoVerdict(line, key, codePage); break;
      case EchoListFormat::Na: verdict = NaVerdict(line, key, codePage); break;
      case EchoListFormat::FidoConfig: verdict = FidoConfigVerdict(line, key, codePage); break;
    }
    if (!verdict.decides) continue;
    const std::string_view description = verdict.description.substr(0, kDescriptionWidth);
    result.replace(0, description.size(), description);
    break;
  }
  return result;
}

}  // namespace fuzzref
