// UTF-8 as the system writes and reads it.
#include "util/unicode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/text_bytes.h"

namespace {

TEST(UnicodeTest, ShapeOfUtf8Text) {
  struct Case {
    const char* name;
    std::string text;
    bool wellFormed, multiByte;
  };
  const std::vector<Case> cases = {
      {"empty", "", true, false},
      {"ASCII only", "just text\r\n", true, false},
      {"Cyrillic", "\xD0\x96 and \xE2\x82\xAC", true, true},
      {"ends inside a sequence", "x\xE2\x82", false, true},
      {"code page 866 text", "\x8D\xAE\xA2\xAE\xE1\xE2\xA8", false, false},
      {"code page 437 text", "\xA0rea", false, false},
      {"overlong", "\xC0\xAF", false, false},
      {"surrogate", "\xED\xA0\x80", false, false},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", false, false},
      {"U+FFFD written out", "\xEF\xBF\xBD", true, true},
      {"four bytes", Utf8(0x1F600), true, true},
      {"a sequence broken by ASCII bytes", "\xD0" "abcdefgh" "\xB6", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const unicode::Utf8Shape shape = unicode::ShapeOfUtf8(c.text);
    EXPECT_EQ(shape.wellFormed, c.wellFormed);
    if (c.wellFormed) {
      EXPECT_EQ(shape.multiByte, c.multiByte);
    }
  }
}

// Every code point written and read back; an ill-formed part is one
// replacement, as long as the longest start of a sequence it is.
TEST(UnicodeTest, WrittenAndReadBack) {
  for (const char32_t code : {0x41u, 0x7Fu, 0x80u, 0x416u, 0x7FFu, 0x800u, 0x2026u, 0xFFFDu, 0xFFFFu, 0x10000u,
                              0x1F600u, 0x10FFFFu}) {
    SCOPED_TRACE(static_cast<unsigned>(code));
    std::string out;
    unicode::AppendUtf8(out, code);
    EXPECT_EQ(out, Utf8(code));
    std::size_t length = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(out.data());
    EXPECT_EQ(unicode::DecodeUtf8(p, p + out.size(), &length), code);
    EXPECT_EQ(length, out.size());
  }
  const std::string cut = "\xE2\x82" "x";
  std::size_t length = 0;
  const auto* p = reinterpret_cast<const unsigned char*>(cut.data());
  EXPECT_EQ(unicode::DecodeUtf8(p, p + cut.size(), &length), unicode::kReplacement);
  EXPECT_EQ(length, 2u);
}

}  // namespace
