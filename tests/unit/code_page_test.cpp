// The code pages: their characters against the system's iconv (on the
// native build), and their case mapping.
#include "util/code_page.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/iconv_bytes.h"
#include "support/text_bytes.h"
#include "util/strings.h"

#ifndef _WIN32
#include <iconv.h>
#include <locale.h>
#include <wctype.h>
#endif

namespace {

const std::vector<int> kNumbers = {866, 437, 850};

}  // namespace

TEST(CodePageTest, OnlyTheThreeCodePagesExist) {
  for (int number : kNumbers) {
    ASSERT_NE(CodePage::Find(number), nullptr) << number;
    EXPECT_EQ(CodePage::Find(number)->Number(), number);
  }
  EXPECT_EQ(CodePage::Find(1252), nullptr);
  EXPECT_EQ(&CodePage::Cp866(), CodePage::Find(866));
}

// A list may be written in the node's code pages and in three more.
TEST(CodePageTest, TheCodePagesOfALists) {
  const std::vector<std::pair<int, std::string>> pages = {{866, "866"},   {437, "437"},   {850, "850"},
                                                          {1251, "1251"}, {1252, "1252"}, {20866, "KOI8-R"}};
  for (const auto& [number, name] : pages) {
    ASSERT_NE(CodePage::ForList(number), nullptr) << number;
    EXPECT_EQ(CodePage::ForList(number)->Number(), number);
    EXPECT_EQ(CodePage::ForList(number)->Name(), name);
  }
  EXPECT_EQ(CodePage::ForList(866), CodePage::Find(866));
  for (int number : {0, 1250, 1253, 20878, 65001}) EXPECT_EQ(CodePage::ForList(number), nullptr) << number;
}

// One table serves both directions: every byte's character leads back to
// it, ASCII stays ASCII, and what a code page lacks becomes '?'.
TEST(CodePageTest, EveryCharacterLeadsBackToItsByte) {
  for (int number : kNumbers) {
    SCOPED_TRACE(number);
    const CodePage& page = *CodePage::Find(number);
    for (unsigned b = 0; b < 256; ++b) {
      EXPECT_EQ(page.FromUnicode(page.ToUnicode(static_cast<unsigned char>(b))), b) << b;
      if (b < 0x80) {
        EXPECT_EQ(page.ToUnicode(static_cast<unsigned char>(b)), b);
      }
    }
    // U+0080, the first code point past ASCII, is a control none of them holds.
    for (char32_t lacking : {0x80u, 0x9Fu, 0x20ACu, 0x4E2Du, 0x1F600u, 0x0100u, 0xFFFDu})
      EXPECT_EQ(page.FromUnicode(lacking), '?') << std::hex << static_cast<unsigned>(lacking);
  }
}

// The same for the code pages of a list, whose few bytes that stand for no
// character (1251's 0x98, five of 1252's) lead nowhere.
TEST(CodePageTest, EveryCharacterOfAListsCodePageLeadsBackToItsByte) {
  for (int number : {1251, 1252, CodePage::kKoi8R}) {
    SCOPED_TRACE(number);
    const CodePage& page = *CodePage::ForList(number);
    int none = 0;
    for (unsigned b = 0; b < 256; ++b) {
      const char32_t code = page.ToUnicode(static_cast<unsigned char>(b));
      if (code == CodePage::kNoCharacter) {
        ++none;
        continue;
      }
      EXPECT_EQ(page.FromUnicode(code), b) << b;
    }
    EXPECT_EQ(none, number == 1251 ? 1 : number == 1252 ? 5 : 0);
    EXPECT_EQ(page.FromUnicode(CodePage::kNoCharacter), '?');
  }
}

#ifndef _WIN32
// Every code page of a list by its iconv name.
// The list's code pages: each byte is glibc's character, and a byte glibc
// gives none stands for no character.
TEST(CodePageTest, ListTablesAgreeWithIconv) {
  for (const auto& [number, name] : kIconvNames) {
    SCOPED_TRACE(name);
    const CodePage& page = *CodePage::ForList(number);
    for (unsigned b = 0x80; b < 0x100; ++b) {
      const std::string utf8 = IconvByte(name, "UTF-8", static_cast<unsigned char>(b));
      if (utf8.empty()) {
        EXPECT_EQ(page.ToUnicode(static_cast<unsigned char>(b)), CodePage::kNoCharacter) << b;
      } else {
        EXPECT_EQ(page.ToUtf8(std::string(1, static_cast<char>(b))), utf8) << b;
      }
    }
  }
}

// The tables are glibc's CP866, CP437 and CP850, byte for byte, both ways.
TEST(CodePageTest, TablesAgreeWithIconv) {
  for (int number : kNumbers) {
    const std::string name = "CP" + std::to_string(number);
    SCOPED_TRACE(name);
    const CodePage& page = *CodePage::Find(number);
    iconv_t toUtf8 = iconv_open("UTF-8", name.c_str());
    iconv_t fromUtf8 = iconv_open(name.c_str(), "UTF-8");
    ASSERT_NE(toUtf8, reinterpret_cast<iconv_t>(-1));
    ASSERT_NE(fromUtf8, reinterpret_cast<iconv_t>(-1));
    for (unsigned b = 0x80; b < 0x100; ++b) {
      char in[1] = {static_cast<char>(b)};
      char out[8];
      char* inPtr = in;
      char* outPtr = out;
      std::size_t inLeft = 1, outLeft = sizeof out;
      ASSERT_NE(iconv(toUtf8, &inPtr, &inLeft, &outPtr, &outLeft), static_cast<std::size_t>(-1)) << b;
      const std::string expected(out, sizeof out - outLeft);
      EXPECT_EQ(page.ToUtf8(std::string(1, static_cast<char>(b))), expected) << b;

      std::string utf8 = expected;
      char back[4];
      inPtr = utf8.data();
      outPtr = back;
      inLeft = utf8.size();
      outLeft = sizeof back;
      ASSERT_NE(iconv(fromUtf8, &inPtr, &inLeft, &outPtr, &outLeft), static_cast<std::size_t>(-1)) << b;
      ASSERT_EQ(sizeof back - outLeft, 1u);
      EXPECT_EQ(static_cast<unsigned char>(back[0]), b);
    }
    iconv_close(toUtf8);
    iconv_close(fromUtf8);
  }
}

// 437 and 850: every letter maps to its Unicode capital where the code
// page holds it, and stays as it is where it does not.
TEST(CodePageTest, WesternCapitalsAreUnicodesWhereTheCodePageHoldsThem) {
  locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  ASSERT_NE(unicode, nullptr);
  for (int number : {437, 850}) {
    SCOPED_TRACE(number);
    const CodePage& page = *CodePage::Find(number);
    for (unsigned b = 0; b < 256; ++b) {
      const auto byte = static_cast<unsigned char>(b);
      const char32_t capital = static_cast<char32_t>(towupper_l(static_cast<wint_t>(page.ToUnicode(byte)), unicode));
      const unsigned char held = page.FromUnicode(capital);
      EXPECT_EQ(page.UpCase(byte), held != '?' ? held : byte) << std::hex << b;
    }
  }
  freelocale(unicode);
}
#endif

TEST(CodePageTest, CaseMappingOfEachCodePage) {
  struct Case {
    int codePage;
    unsigned char lower, upper;
    const char* what;
  };
  const std::vector<Case> cases = {
      {437, 0xA0, 0xA0, "a-acute: 437 has no A-acute"},
      {437, 0xA4, 0xA5, "n-tilde"},
      {437, 0x82, 0x90, "e-acute"},
      {437, 0xE1, 0xE1, "sharp s has no one-letter capital"},
      {850, 0xA0, 0xB5, "a-acute"},
      {850, 0xE1, 0xE1, "sharp s"},
      {850, 0xD5, 'I', "dotless i"},
      {866, 0xA0, 0x80, "Cyrillic a"},
      {866, 0xF1, 0xF0, "yo"},
      {866, 0xF3, 0xF3, "Ukrainian ye is not folded"},
      {866, 'q', 'Q', "ASCII"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(CodePage::Find(c.codePage)->UpCase(c.lower), c.upper);
  }
  // 866 is exactly the mapping of names and keywords.
  for (unsigned b = 0; b < 256; ++b)
    EXPECT_EQ(CodePage::Cp866().UpCase(static_cast<unsigned char>(b)), kUpCaseTable[b]) << b;
}
