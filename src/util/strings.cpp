#include "util/strings.h"

namespace {

constexpr unsigned char MapUpper(unsigned ch) {
  if (ch >= 0x61 && ch <= 0x7A) return static_cast<unsigned char>(ch - 0x20);  // a-z
  if (ch >= 0xA0 && ch <= 0xAF) return static_cast<unsigned char>(ch - 0x20);  // cp866 а-п
  if (ch >= 0xE0 && ch <= 0xEF) return static_cast<unsigned char>(ch - 0x50);  // cp866 р-я
  if (ch == 0xF1) return 0xF0;                                                  // cp866 ё
  return static_cast<unsigned char>(ch);
}

}  // namespace

constexpr std::array<unsigned char, 256> kUpCaseTable = [] {
  std::array<unsigned char, 256> table{};
  for (unsigned i = 0; i < 256; ++i) table[i] = MapUpper(i);
  return table;
}();

ShortString UpCaseStr(std::string_view s) {
  ShortString result = s;
  UpCaseInPlace(result);
  return result;
}

void UpCaseInPlace(ShortString& s) {
  for (std::size_t i = 0; i < s.size(); ++i) s[i] = UpCaseChar(s[i]);
}

std::string_view TrimView(std::string_view s, const CharSet& set) {
  while (!s.empty() && set.Contains(s.front())) s.remove_prefix(1);
  while (!s.empty() && set.Contains(s.back())) s.remove_suffix(1);
  return s;
}

ShortString TrimSet(std::string_view s, const CharSet& set) { return TrimView(s, set); }

void Trim(ShortString& s) { s = TrimView(s.view(), kBlankSet); }

ShortString PadLeft(std::string_view s, char fill, std::uint8_t width) {
  if (s.size() >= width) return s;
  ShortString result;
  for (std::size_t i = s.size(); i < width; ++i) result += fill;
  result += s;
  return result;
}

ShortString ZeroPad(std::string_view s, std::uint8_t width) { return PadLeft(s, '0', width); }

std::size_t WordStart(std::string_view s, const CharSet& delimiters, std::size_t n) {
  std::size_t count = 0;
  std::size_t i = 0;  // 0-based here; the result is 1-based
  while (i < s.size() && count != n) {
    while (i < s.size() && delimiters.Contains(s[i])) ++i;
    if (i < s.size()) ++count;
    if (count == n) return i + 1;
    while (i < s.size() && !delimiters.Contains(s[i])) ++i;
  }
  return 0;
}

std::string_view WordView(std::string_view s, const CharSet& delimiters, std::size_t n) {
  const std::size_t start = WordStart(s, delimiters, n);
  if (start == 0) return {};
  std::size_t end = start - 1;
  while (end < s.size() && !delimiters.Contains(s[end])) ++end;
  return s.substr(start - 1, end - (start - 1));
}

ShortString ExtractWord(std::string_view s, const CharSet& delimiters, std::size_t n) {
  return WordView(s, delimiters, n);
}

ShortString RestAfterWordSet(std::string_view s, const CharSet& delimiters, std::size_t n) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (count >= n) return s.substr(i);
    if (delimiters.Contains(s[i])) {
      while (i + 1 < s.size() && delimiters.Contains(s[i + 1])) ++i;
      ++count;
    }
  }
  return {};
}

ShortString RestAfterWord(std::string_view s, std::size_t n) {
  return RestAfterWordSet(s, kBlankSet, n);
}

ShortString TruncateStr(std::string_view s, std::size_t maxLength) {
  return s.substr(0, maxLength < s.size() ? maxLength : s.size());
}

ShortString NumToStr(std::int64_t n) {
  char digits[24];
  std::size_t pos = sizeof digits;
  // Work in the negative range so that the smallest value needs no special case.
  std::int64_t v = n < 0 ? n : -n;
  do {
    digits[--pos] = static_cast<char>('0' - v % 10);
    v /= 10;
  } while (v != 0);
  if (n < 0) digits[--pos] = '-';
  return std::string_view(digits + pos, sizeof digits - pos);
}
