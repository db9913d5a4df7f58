// How the echo list's lines become text in the node's code page: UTF-8
// decoded, other code pages translated (against the system's iconv on the
// native build), the best fit for what the node's code page lacks, the
// mark for what has none, byte-order marks at the start of any line, and
// lists that mix UTF-8 with a code page.
#include "echo_list/list_encoding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "echo_list/best_fit.h"
#include "support/iconv_bytes.h"
#include "support/text_bytes.h"
#include "util/code_page.h"

namespace {

constexpr char kMark = kUnconverted;
const std::string kNo(1, kMark);  // a character without a byte in the node's code page

std::string Converted(const ListReading& reading, int node, const std::string& line, std::size_t limit = 255) {
  LineConverter converter(reading, *CodePage::Find(node), limit);
  return std::string(converter.Convert(line));
}

ListReading Utf8Reading() {
  ListReading reading;
  reading.way = ListReading::Way::Utf8;
  return reading;
}

ListReading TranslatedFrom(int codePage) {
  ListReading reading;
  reading.way = ListReading::Way::Translated;
  reading.from = CodePage::ForList(codePage);
  return reading;
}

TEST(ListEncodingTest, Utf8LinesBecomeCodePageText) {
  struct Case {
    const char* name;
    std::string utf8;
    int codePage;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"ASCII", "plain, text; 123", 866, "plain, text; 123"},
      {"Cyrillic", "\xD0\x9D\xD0\xBE\xD0\xB2\xD0\xBE\xD1\x81\xD1\x82\xD0\xB8 \xD1\x91", 866,
       "\x8D\xAE\xA2\xAE\xE1\xE2\xA8 \xF1"},
      {"accented Latin in 437", "\xC3\xA1rea \xC3\xB1" "and\xC3\xBA", 437, "\xA0rea \xA4" "and\xA3"},
      {"accented Latin in 850", "\xC3\x81rea \xC3\x95", 850, "\xB5rea \xE5"},
      {"lacking characters", "5 \xE2\x82\xAC, \xF0\x9F\x98\x80!", 866, "5 " + kNo + ", " + kNo + "!"},
      {"stray continuation bytes", "a\x80\xBF" "b", 866, "a" + kNo + kNo + "b"},
      {"lead without continuation", "a\xD0" "b", 866, "a" + kNo + "b"},
      {"three-byte sequence cut after two", "a\xE2\x82" "b", 866, "a" + kNo + "b"},
      {"sequence cut at the line end", "ab\xF0\x9F\x98", 866, "ab" + kNo},
      {"overlong forms", "\xC0\xAF\xE0\x80\xAF", 866, kNo + kNo + kNo + kNo + kNo},
      {"surrogate", "\xED\xA0\x80", 866, kNo + kNo + kNo},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", 866, kNo + kNo + kNo + kNo},
      {"bytes never in UTF-8", "\xFE\xFF", 866, kNo + kNo},
      {"U+FFFD itself", "\xEF\xBF\xBD", 866, kNo},
      {"a byte-order mark first is no part of the line", "\xEF\xBB\xBF" ",A,a", 866, ",A,a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Converted(Utf8Reading(), c.codePage, c.utf8), c.expected);
  }
}

// The 255-character limit counts characters after conversion: a line of
// Cyrillic letters twice as long in bytes is not cut, a longer one is cut
// between letters, never inside one; an ellipsis counts as three.
TEST(ListEncodingTest, TheLimitCountsConvertedCharacters) {
  std::string line;
  for (int i = 0; i < 150; ++i) line += Utf8(0x0436);  // 300 bytes
  EXPECT_EQ(Converted(Utf8Reading(), 866, line), std::string(150, '\xA6'));
  for (int i = 0; i < 150; ++i) line += Utf8(0x0436);
  EXPECT_EQ(Converted(Utf8Reading(), 866, line), std::string(255, '\xA6'));
  EXPECT_EQ(Converted(Utf8Reading(), 866, std::string(300, 'x')), std::string(255, 'x'));
  EXPECT_EQ(Converted(Utf8Reading(), 866, "abc" + Utf8(0x0436), 4), "abc\xA6");
  EXPECT_EQ(Converted(Utf8Reading(), 866, "ab" + Utf8(0x2026), 4), "ab..");
  ListReading asIs;
  EXPECT_EQ(Converted(asIs, 866, std::string(300, 'x')), std::string(255, 'x'));
}

// What the node's code page lacks takes the character sysops write in plain
// text: one table, held against each node's code page. 866 holds the
// numero sign and the no-break space, 437 and 850 the guillemets.
TEST(ListEncodingTest, ABestFitForWhatTheCodePageLacks) {
  const std::string text = Utf8(0x2018) + Utf8(0x2019) + Utf8(0x201A) + Utf8(0x2032) + "|" + Utf8(0x201C) +
                           Utf8(0x201D) + Utf8(0x201E) + Utf8(0x2033) + Utf8(0xAB) + Utf8(0xBB) + "|" +
                           Utf8(0x2013) + Utf8(0x2014) + Utf8(0x2012) + Utf8(0x2212) + "|" + Utf8(0x2026) + "|" +
                           Utf8(0x0456) + Utf8(0x0406) + Utf8(0x0491) + Utf8(0x0490) + "|" + Utf8(0x2116) +
                           Utf8(0xA0) + "|" + Utf8(0xE9) + Utf8(0xC0) + Utf8(0x0151) + Utf8(0x0141) + Utf8(0x0161);
  struct Case {
    int codePage;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {866, "''''|\"\"\"\"\"\"|----|...|iI\xA3\x83|\xFC\xFF|eAoLs"},
      {437, "''''|\"\"\"\"\xAE\xAF|----|...|iI" + kNo + kNo + "|N\xFF|\x82" "AoLs"},
      {850, "''''|\"\"\"\"\xAE\xAF|----|...|iI" + kNo + kNo + "|N\xFF|\x82\xB7oLs"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.codePage);
    EXPECT_EQ(Converted(Utf8Reading(), c.codePage, text), c.expected);
  }
  // Ukrainian in 1251, translated: no letter lost.
  EXPECT_EQ(Converted(TranslatedFrom(1251), 866, "\xCB\xB3\xED\xF3\xEA\xF1 \xB2 \xA5\xE0\xED\xEE\xEA"),
            "\x8B" "i\xAD\xE3\xAA\xE1 I \x83\xA0\xAD\xAE\xAA");
  EXPECT_TRUE(BestFit(U'\u0436').empty());
}

#ifndef _WIN32
// A list in one code page reads in the node's as iconv converts it: every
// byte its character's byte there; where the node's code page lacks the
// character, its best fit or the mark.
TEST(ListEncodingTest, ListTextTranslatesIntoTheNodesCodePageAsIconvConvertsIt) {
  for (const auto& [number, name] : kIconvNames) {
    for (const int node : {866, 437, 850}) {
      SCOPED_TRACE(name + " to " + std::to_string(node));
      const ListReading reading = TranslatedFrom(number);
      for (unsigned b = 0x80; b < 0x100; ++b) {
        const std::string byte = IconvByte(name, "CP" + std::to_string(node), static_cast<unsigned char>(b));
        const std::string got = Converted(reading, node, std::string(1, static_cast<char>(b)));
        if (!byte.empty()) {
          EXPECT_EQ(got, byte) << b;
        } else if (got != kNo) {
          EXPECT_FALSE(BestFit(CodePage::ForList(number)->ToUnicode(static_cast<unsigned char>(b))).empty()) << b;
        }
      }
    }
  }
}
#endif

// A list that mixes UTF-8 lines with code page lines is read line by line:
// each line that reads as UTF-8 so, each other one in the code page. A
// byte-order mark at the start of a later line (two lists joined) is no
// part of it and vouches for the lines after it.
TEST(ListEncodingTest, MixedListsAreReadLineByLine) {
  ListReading mixed;
  mixed.way = ListReading::Way::Mixed;
  LineConverter fromNode(mixed, CodePage::Cp866(), 255);
  EXPECT_EQ(fromNode.Convert(",A," + Utf8(0x042D)), ",A,\x9D");
  EXPECT_FALSE(fromNode.ReadAsIs());
  EXPECT_EQ(fromNode.Convert(",B,\x9D"), ",B,\x9D");
  EXPECT_TRUE(fromNode.ReadAsIs());
  EXPECT_EQ(fromNode.Convert("\xEF\xBB\xBF,C,c"), ",C,c");

  mixed.from = CodePage::ForList(1251);
  LineConverter from1251(mixed, CodePage::Cp866(), 255);
  EXPECT_EQ(from1251.Convert(",A,\xDD"), ",A,\x9D");
  EXPECT_EQ(from1251.Convert(",A," + Utf8(0x042D)), ",A,\x9D");
}

}  // namespace
