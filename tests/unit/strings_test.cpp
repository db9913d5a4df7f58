// Text operations: the ShortString capacity, case mapping, trimming,
// padding, word extraction, the rest after a word, cutting and numbers.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "util/char_set.h"
#include "util/short_string.h"
#include "util/strings.h"

namespace {

std::string Str(const ShortString& s) { return s.str(); }

std::string Hex(unsigned value) {
  static const char kDigits[] = "0123456789ABCDEF";
  return std::string("0x") + kDigits[(value >> 4) & 15] + kDigits[value & 15];
}

// ---------------------------------------------------------------- ShortString

TEST(ShortStringTest, AssignmentKeepsFirst255Characters) {
  std::string longText;
  for (int i = 0; i < 300; ++i) longText += static_cast<char>('A' + i % 26);

  ShortString s(longText);
  EXPECT_EQ(s.size(), 255u);
  EXPECT_EQ(Str(s), longText.substr(0, 255));

  s = std::string(255, 'q');
  EXPECT_EQ(Str(s), std::string(255, 'q'));

  s = longText.c_str();
  EXPECT_EQ(Str(s), longText.substr(0, 255));

  s = "";
  EXPECT_TRUE(s.empty());
}

TEST(ShortStringTest, AppendingStopsAt255Characters) {
  ShortString s(std::string(250, 'a'));
  s += "bcdefghij";
  EXPECT_EQ(Str(s), std::string(250, 'a') + "bcdef");

  s += 'z';  // full: nothing more fits
  s += "more";
  EXPECT_EQ(s.size(), 255u);
  EXPECT_EQ(Str(s), std::string(250, 'a') + "bcdef");

  const ShortString head(std::string(200, 'x'));
  const ShortString joined = head + std::string(100, 'y');
  EXPECT_EQ(Str(joined), std::string(200, 'x') + std::string(55, 'y'));
  EXPECT_EQ(Str(head), std::string(200, 'x'));  // the left operand stays as it was
}

TEST(ShortStringTest, HoldsEveryByteValue) {
  std::string all;
  for (int c = 0; c < 255; ++c) all += static_cast<char>(c);
  const ShortString s(all);
  EXPECT_EQ(Str(s), all);
  EXPECT_TRUE(s == std::string_view(all));
}

// ---------------------------------------------------------------- case mapping

// The upper-case pairs written out letter by letter: ASCII a-z, then the
// code page 866 Russian alphabet а-п, р-я and ё.
std::array<unsigned char, 256> ExpectedUpper() {
  std::array<unsigned char, 256> table{};
  for (unsigned i = 0; i < 256; ++i) table[i] = static_cast<unsigned char>(i);
  const std::string lower =
      "abcdefghijklmnopqrstuvwxyz"
      "\xA0\xA1\xA2\xA3\xA4\xA5\xA6\xA7\xA8\xA9\xAA\xAB\xAC\xAD\xAE\xAF"
      "\xE0\xE1\xE2\xE3\xE4\xE5\xE6\xE7\xE8\xE9\xEA\xEB\xEC\xED\xEE\xEF"
      "\xF1";
  const std::string upper =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
      "\x80\x81\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8D\x8E\x8F"
      "\x90\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9D\x9E\x9F"
      "\xF0";
  EXPECT_EQ(lower.size(), 26u + 33u);
  EXPECT_EQ(upper.size(), lower.size());
  for (std::size_t i = 0; i < lower.size(); ++i)
    table[static_cast<unsigned char>(lower[i])] = static_cast<unsigned char>(upper[i]);
  return table;
}

TEST(UpCaseTest, UpCaseCharMapsExactlyAsciiAndRussianLetters) {
  const auto expected = ExpectedUpper();
  for (unsigned c = 0; c < 256; ++c) {
    SCOPED_TRACE(Hex(c));
    EXPECT_EQ(UpCaseChar(static_cast<unsigned char>(c)), expected[c]);
    EXPECT_EQ(static_cast<unsigned char>(UpCaseChar(static_cast<char>(c))), expected[c]);
  }
}

TEST(UpCaseTest, BoundaryBytes) {
  struct Case {
    unsigned in, out;
  };
  const std::vector<Case> cases = {
      {0x60, 0x60}, {0x61, 0x41}, {0x7A, 0x5A}, {0x7B, 0x7B}, {0x9F, 0x9F},
      {0xA0, 0x80}, {0xAF, 0x8F}, {0xB0, 0xB0}, {0xDF, 0xDF}, {0xE0, 0x90},
      {0xEF, 0x9F}, {0xF0, 0xF0}, {0xF1, 0xF0}, {0xF2, 0xF2}, {0xF7, 0xF7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Hex(c.in));
    EXPECT_EQ(UpCaseChar(static_cast<unsigned char>(c.in)), c.out);
  }
}

TEST(UpCaseTest, UpCaseStrAndInPlaceMapEveryCharacter) {
  const auto expected = ExpectedUpper();
  std::string all, upper;
  for (unsigned c = 1; c < 256; ++c) {
    all += static_cast<char>(c);
    upper += static_cast<char>(expected[c]);
  }
  ASSERT_EQ(all.size(), 255u);

  const ShortString result = UpCaseStr(all);
  EXPECT_EQ(Str(result), upper);

  ShortString s(all);
  UpCaseInPlace(s);
  EXPECT_EQ(Str(s), upper);

  EXPECT_EQ(Str(UpCaseStr("")), "");
  EXPECT_EQ(Str(UpCaseStr(std::string("a\0b", 3))), std::string("A\0B", 3));
}

// ---------------------------------------------------------------- trimming

TEST(TrimTest, BlankSetHasExactlySixMembers) {
  for (unsigned c = 0; c < 256; ++c) {
    SCOPED_TRACE(Hex(c));
    const bool member = c == 0x00 || c == 0x09 || c == 0x0A || c == 0x0D || c == 0x20 || c == 0xFF;
    EXPECT_EQ(kBlankSet.Contains(static_cast<unsigned char>(c)), member);
  }
  EXPECT_TRUE(kCommaSet.Contains(','));
  EXPECT_FALSE(kCommaSet.Contains(' '));
  EXPECT_TRUE(kSemicolonSet.Contains(';'));
  EXPECT_FALSE(kSemicolonSet.Contains(','));
}

TEST(TrimTest, TrimRemovesBlankSetMembersAtBothEndsOnly) {
  struct Case {
    std::string in, out;
  };
  const std::vector<Case> cases = {
      {"", ""},
      {"abc", "abc"},
      {"  abc  ", "abc"},
      {std::string("\0\xFF\t\n\r abc", 9), "abc"},
      {std::string("abc \r\n\t\xFF\0", 9), "abc"},
      {std::string("\0 a \0\xFF b \xFF", 10), std::string("a \0\xFF b", 6)},  // inner members stay
      {std::string(" \t\r\n\xFF\0", 6), ""},                                  // members only
      {"\x01x\x01", "\x01x\x01"},                                             // 0x01 is no blank
      {"\xFE" "x\xFE", "\xFE" "x\xFE"},
      {std::string(255, ' '), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.in));
    ShortString s(c.in);
    Trim(s);
    EXPECT_EQ(Str(s), c.out);
    EXPECT_EQ(Str(TrimSet(c.in, kBlankSet)), c.out);
  }
}

TEST(TrimTest, TrimSetUsesOnlyTheGivenSet) {
  struct Case {
    std::string in, out;
  };
  const std::vector<Case> cases = {
      {",,a,b,,", "a,b"},
      {" ,a, ", " ,a, "},  // blanks are not in the comma set
      {",,,", ""},
      {"a", "a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(Str(TrimSet(c.in, kCommaSet)), c.out);
  }
  EXPECT_EQ(Str(TrimSet("  x  ", CharSet{})), "  x  ");
}

// ---------------------------------------------------------------- padding

TEST(PadTest, PadLeftFillsToWidthAndNeverCuts) {
  struct Case {
    std::string in;
    char fill;
    std::uint8_t width;
    std::string out;
  };
  const std::vector<Case> cases = {
      {"abcde", '*', 3, "abcde"},
      {"abc", '*', 3, "abc"},
      {"", '*', 3, "***"},
      {"", '*', 0, ""},
      {"ab", ' ', 5, "   ab"},
      {"x", '.', 255, std::string(254, '.') + "x"},
      {std::string(255, 'y'), '.', 255, std::string(255, 'y')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in + " / " + std::to_string(c.width));
    EXPECT_EQ(Str(PadLeft(c.in, c.fill, c.width)), c.out);
  }
}

TEST(PadTest, ZeroPadFillsTextWithZeros) {
  EXPECT_EQ(Str(ZeroPad("7", 2)), "07");
  EXPECT_EQ(Str(ZeroPad("12", 2)), "12");
  EXPECT_EQ(Str(ZeroPad("123", 2)), "123");
  EXPECT_EQ(Str(ZeroPad("", 2)), "00");
  EXPECT_EQ(Str(ZeroPad("-5", 4)), "00-5");  // text, not a number
  EXPECT_EQ(Str(ZeroPad(NumToStr(7), 2)), "07");
}

// ---------------------------------------------------------------- words

TEST(WordTest, WordStartAndExtractWord) {
  struct Case {
    std::string s;
    const CharSet* set;
    std::size_t n;
    std::size_t start;
    std::string word;
  };
  const std::string twoWords = "  alpha  beta ";
  const std::vector<Case> cases = {
      {twoWords, &kBlankSet, 1, 3, "alpha"},
      {twoWords, &kBlankSet, 2, 10, "beta"},
      {twoWords, &kBlankSet, 3, 0, ""},
      {twoWords, &kBlankSet, 0, 0, ""},
      {"", &kBlankSet, 1, 0, ""},
      {"", &kBlankSet, 0, 0, ""},
      {"   ", &kBlankSet, 1, 0, ""},
      {"word", &kBlankSet, 1, 1, "word"},
      {"word", &kBlankSet, 2, 0, ""},
      {"key\tvalue\r\n", &kBlankSet, 2, 5, "value"},
      {std::string("a\0b\xFF" "c", 5), &kBlankSet, 3, 5, "c"},
      {"a,,b", &kCommaSet, 1, 1, "a"},
      {"a,,b", &kCommaSet, 2, 4, "b"},  // consecutive delimiters make no empty word
      {"a,,b", &kCommaSet, 3, 0, ""},
      {",,x,y", &kCommaSet, 1, 3, "x"},
      {",,x,y", &kCommaSet, 2, 5, "y"},
      {" THETA,Theta", &kCommaSet, 1, 1, " THETA"},  // blanks are ordinary in the comma set
      {"ETA ,Eta, more", &kCommaSet, 3, 10, " more"},
      {",,,", &kCommaSet, 1, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.s) + " n=" + std::to_string(c.n));
    EXPECT_EQ(WordStart(c.s, *c.set, c.n), c.start);
    EXPECT_EQ(Str(ExtractWord(c.s, *c.set, c.n)), c.word);
  }
}

TEST(WordTest, ExtractWordOfAFullLengthString) {
  const std::string s = std::string(200, 'a') + " " + std::string(54, 'b');
  ASSERT_EQ(s.size(), 255u);
  EXPECT_EQ(WordStart(s, kBlankSet, 2), 202u);
  EXPECT_EQ(Str(ExtractWord(s, kBlankSet, 2)), std::string(54, 'b'));
}

TEST(WordTest, RestAfterWord) {
  struct Case {
    std::string s;
    std::size_t n;
    std::string rest;
  };
  const std::vector<Case> cases = {
      {"KEY   two words  ", 1, "two words  "},
      {"KEY", 1, ""},
      {"KEY   ", 1, ""},
      {"  KEY value", 1, "KEY value"},  // the leading blank run counts as a run
      {"  KEY value", 2, "value"},
      {"  a b", 0, "  a b"},
      {"KEY value", 0, "KEY value"},
      {"", 0, ""},
      {"", 1, ""},
      {"a b c", 2, "c"},
      {"a b c", 3, ""},
      {"a\t\r\n b", 1, "b"},
      {std::string("k\0\xFFv", 4), 1, "v"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.s) + " n=" + std::to_string(c.n));
    EXPECT_EQ(Str(RestAfterWord(c.s, c.n)), c.rest);
    EXPECT_EQ(Str(RestAfterWordSet(c.s, kBlankSet, c.n)), c.rest);
  }
}

TEST(WordTest, RestAfterWordSetWithOtherDelimiters) {
  EXPECT_EQ(Str(RestAfterWordSet("a,,b,c", kCommaSet, 1)), "b,c");
  EXPECT_EQ(Str(RestAfterWordSet("a,,b,c", kCommaSet, 2)), "c");
  EXPECT_EQ(Str(RestAfterWordSet("a,,b,c", kCommaSet, 5)), "");
  EXPECT_EQ(Str(RestAfterWordSet("a b,c d", kCommaSet, 1)), "c d");
  EXPECT_EQ(Str(RestAfterWordSet("key;x", kSemicolonSet, 1)), "x");
}

// ---------------------------------------------------------------- cutting and numbers

TEST(TruncateTest, KeepsAtMostMaxLengthCharacters) {
  struct Case {
    std::string s;
    std::size_t max;
    std::string out;
  };
  const std::vector<Case> cases = {
      {"abcdef", 3, "abc"},   {"abcdef", 6, "abcdef"}, {"abcdef", 10, "abcdef"},
      {"abcdef", 0, ""},      {"", 5, ""},
      {std::string(60, 'd'), 52, std::string(52, 'd')},
      {std::string(52, 'd'), 52, std::string(52, 'd')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.s + " / " + std::to_string(c.max));
    EXPECT_EQ(Str(TruncateStr(c.s, c.max)), c.out);
  }
}

TEST(NumToStrTest, DecimalDigitsWithSign) {
  struct Case {
    std::int64_t n;
    std::string out;
  };
  const std::vector<Case> cases = {
      {0, "0"},
      {7, "7"},
      {-7, "-7"},
      {10, "10"},
      {-10, "-10"},
      {100, "100"},
      {65535, "65535"},
      {std::numeric_limits<std::int32_t>::max(), "2147483647"},
      {std::numeric_limits<std::int32_t>::min(), "-2147483648"},
      {-1, "-1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.out);
    EXPECT_EQ(Str(NumToStr(c.n)), c.out);
  }
}

}  // namespace
