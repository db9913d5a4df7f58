// Text operations on ShortString. Case mapping knows ASCII and the Russian
// letters of code page 866 and nothing else; no locale is consulted.
// Positions are 1-based; 0 means "no such character".
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "util/char_set.h"
#include "util/short_string.h"

// Upper-case mapping of every byte (ASCII a-z, cp866 а-я and ё).
extern const std::array<unsigned char, 256> kUpCaseTable;
inline unsigned char UpCaseChar(unsigned char ch) { return kUpCaseTable[ch]; }
inline char UpCaseChar(char ch) { return static_cast<char>(UpCaseChar(static_cast<unsigned char>(ch))); }
ShortString UpCaseStr(std::string_view s);
void UpCaseInPlace(ShortString& s);

ShortString TrimSet(std::string_view s, const CharSet& set);
void Trim(ShortString& s);
std::string_view TrimView(std::string_view s, const CharSet& set = kBlankSet);

ShortString PadLeft(std::string_view s, char fill, std::uint8_t width);
ShortString ZeroPad(std::string_view s, std::uint8_t width);

std::size_t WordStart(std::string_view s, const CharSet& delimiters, std::size_t n);
ShortString ExtractWord(std::string_view s, const CharSet& delimiters, std::size_t n);
// ExtractWord without a copy: a view into s.
std::string_view WordView(std::string_view s, const CharSet& delimiters, std::size_t n);

ShortString RestAfterWordSet(std::string_view s, const CharSet& delimiters, std::size_t n);
ShortString RestAfterWord(std::string_view s, std::size_t n);

ShortString TruncateStr(std::string_view s, std::size_t maxLength);
ShortString NumToStr(std::int64_t n);
