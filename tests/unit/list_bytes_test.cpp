// ECHOLISTENCODING AUTO for a list without a byte-order mark, held against
// the project's own test texts (tests/data): the same Russian echo list of
// about two hundred lines in 866, 1251 and KOI8-R, an 866 list drawn with
// box-drawing frames and tables, and a Western list of about two hundred
// lines (French, Spanish, German, Portuguese, Italian, Nordic) in 1252, 850
// and 437. Each is placed whole, and so is every run of its lines: never
// as another code page than its own.
#include "echo_list/list_bytes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/embedded_files.h"

namespace {

// The bytes of a text fed line by line, as the text file hands them out:
// CR LF, a lone CR and a lone LF end a line.
ListBytes Fed(std::string_view text) {
  ListBytes bytes;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    bytes.FeedLine(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) bytes.FeedLine(text.substr(start));
  return bytes;
}

const CodePage* Placed(std::string_view text, int node) { return Fed(text).LettersCodePage(*CodePage::Find(node)); }

int Number(const CodePage* page) { return page ? page->Number() : 0; }

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end - start + 2));
    start = end + 2;
  }
  return lines;
}

struct TestText {
  const char* file;
  int node;      // CODEPAGE
  int placedAs;  // 0: read in the node's code page as it is
};

const std::vector<TestText> kTexts = {
    {"russian.866.lst", 866, 0},
    {"russian.1251.lst", 866, 1251},
    {"russian.koi8r.lst", 866, CodePage::kKoi8R},
    {"framed.866.lst", 866, 0},
    {"western.1252.lst", 850, 1252},
    {"western.1252.lst", 437, 1252},
    {"western.850.lst", 850, 0},
    {"western.437.lst", 437, 0},
    {"western.850.lst", 437, 0},
    {"western.437.lst", 850, 0},
};

TEST(ListBytesTest, EachTestTextIsPlacedWhole) {
  for (const TestText& t : kTexts) {
    SCOPED_TRACE(std::string(t.file) + " under CODEPAGE " + std::to_string(t.node));
    const std::string text = EmbeddedFileBytes(t.file);
    ASSERT_GT(LinesOf(text).size(), 160u) << "the test text is missing or short";
    EXPECT_EQ(Number(Placed(text, t.node)), t.placedAs);
  }
}

// Every run of 5, 10, 25 and 50 lines of each text: a list in the node's
// code page is never placed as another, a list in another one never as a
// third, and most are placed right.
TEST(ListBytesTest, EveryRunOfLinesIsPlacedRightOrLeftAsItIs) {
  for (const TestText& t : kTexts) {
    const std::vector<std::string> lines = LinesOf(EmbeddedFileBytes(t.file));
    for (const std::size_t length : {5u, 10u, 25u, 50u}) {
      SCOPED_TRACE(std::string(t.file) + " under CODEPAGE " + std::to_string(t.node) + ", runs of " +
                   std::to_string(length) + " lines");
      int runs = 0, right = 0;
      for (std::size_t first = 0; first + length <= lines.size(); ++first) {
        std::string text;
        for (std::size_t i = first; i < first + length; ++i) text += lines[i];
        const int placed = Number(Placed(text, t.node));
        ++runs;
        right += placed == t.placedAs;
        if (placed != 0 && placed != t.placedAs) ADD_FAILURE() << "lines " << first + 1 << " on placed as " << placed;
      }
      // A Russian list is placed from five lines on (its words decide where
      // its letters are too few); a Western one from 25, and from five
      // lines on at least half the time.
      if (t.placedAs == 0 || t.node == 866 || length >= 25) {
        EXPECT_EQ(right, runs);
      } else {
        EXPECT_GE(2 * right, runs) << right << " of " << runs << " placed";
      }
    }
  }
}

// Two lists run together are a mixture: left as they are.
TEST(ListBytesTest, AMixtureIsLeftAsItIs) {
  const auto half = [](const char* file, bool first) {
    const std::vector<std::string> lines = LinesOf(EmbeddedFileBytes(file));
    std::string text;
    for (std::size_t i = first ? 0 : lines.size() / 2; i < (first ? lines.size() / 2 : lines.size()); ++i)
      text += lines[i];
    return text;
  };
  EXPECT_EQ(Placed(half("russian.866.lst", true) + half("russian.1251.lst", false), 866), nullptr);
  EXPECT_EQ(Placed(half("russian.1251.lst", true) + half("russian.koi8r.lst", false), 866), nullptr);
  EXPECT_EQ(Placed(half("russian.koi8r.lst", true) + half("russian.866.lst", false), 866), nullptr);
  EXPECT_EQ(Placed(half("western.1252.lst", true) + half("western.850.lst", false), 850), nullptr);
}

// The thresholds themselves, on made-up bytes: 16 bytes above 0x7F at the
// least, a quarter of them the six letters, four times the others'; 8
// accented letters next to ASCII ones at the least, twice as many at
// 0xC0-0xFF as at 0x80-0xA5.
TEST(ListBytesTest, TheRulesBounds) {
  const std::string o1251 = "\xEE", a866 = "\xA0", koi8o = "\xCF", other = "\xC2";  // 0xC2: b in 1251, none of the six
  const auto times = [](const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s + " ";
    return out;
  };
  struct Case {
    const char* name;
    std::string text;
    int node;
    int placedAs;
  };
  const std::vector<Case> cases = {
      {"16 bytes, 4 of them letters", times(o1251, 4) + times(other, 12), 866, 1251},
      // Too few to count: the words decide, and letters alone tell nothing.
      {"15 bytes", times(o1251, 4) + times(other, 11), 866, 0},
      {"under a quarter", times(o1251, 4) + times(other, 13), 866, 0},
      {"four times 866's", times(o1251, 8) + times(a866, 2) + times(other, 6), 866, 1251},
      {"under four times 866's", times(o1251, 8) + times(a866, 3) + times(other, 5), 866, 0},
      {"under four times KOI8-R's", times(o1251, 8) + times(koi8o, 3) + times(other, 5), 866, 0},
      {"KOI8-R's letters", times(koi8o, 8) + times(other, 8), 866, CodePage::kKoi8R},
      {"866's letters", times(a866, 16), 866, 0},
      {"8 accents", times("a\xE9", 8), 850, 1252},
      {"7 accents", times("a\xE9", 7), 850, 0},
      {"twice the OEM ones", times("a\xE9", 8) + times("a\x82", 4), 437, 1252},
      {"under twice", times("a\xE9", 8) + times("a\x82", 5), 437, 0},
      {"the OEM letters at 0xA0-0xA5 count", times("a\xE9", 8) + times("a\xA4", 5), 850, 0},
      {"an accent after eight ASCII letters", times("abcdefgh\xE9", 8), 850, 1252},
      {"not next to a letter", times("\xE9", 20), 850, 0},
      {"after a letter", times("a\xE9", 8), 850, 1252},
      {"before a letter", times("\xE9" "a", 8), 850, 1252},
      {"the signs of times and division are no letters", times("a\xD7" "a\xF7", 8), 850, 0},
      {"accents on a Russian node", times("a\xE9", 20), 866, 0},
      {"Russian letters on a Western node", times(o1251, 40), 437, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Number(Placed(c.text, c.node)), c.placedAs);
  }
}

// Short lists, a line to five of real descriptions, in each code page a
// Russian or Ukrainian list is written in: too few letters to count, so
// their words place them. Read as 866 they would show box drawing next to
// letters ("╤шёюя√"), or small letters in an order no word has.
TEST(ListBytesTest, ShortListsArePlacedByTheirWords) {
  const std::vector<std::vector<std::u32string>> lists = {
      {U"RU.SYSOP  Сисопы"},
      {U"RU.NEWS  новости сети"},
      {U"RU.FIDONET  Жизнь сети Фидонет", U"RU.LINUX  Линукс для всех"},
      {U"RU.HUMOR  Юмор и анекдоты", U"SU.GENERAL  Общие разговоры", U"RU.COMPUTER  Компьютеры и всё о них"},
      {U"RU.BOOKS  Книги", U"RU.MUSIC  Музыка", U"RU.CINEMA  Кино", U"RU.AUTO  Автомобили"},
      {U"RU.NEWS  Новости", U"RU.SPORT  Спорт", U"RU.HAM  Радиолюбители", U"RU.GAMES  Игры",
       U"RU.PHOTO  Фотография"},
  };
  const auto encoded = [](const std::vector<std::u32string>& lines, int codePage) {
    const CodePage& page = *CodePage::ForList(codePage);
    std::string text;
    for (const std::u32string& line : lines) {
      for (const char32_t c : line) text += static_cast<char>(page.FromUnicode(c));
      text += "\r\n";
    }
    return text;
  };
  for (const auto& lines : lists) {
    SCOPED_TRACE(lines.size());
    EXPECT_EQ(Number(Placed(encoded(lines, 866), 866)), 0);
    EXPECT_EQ(Number(Placed(encoded(lines, 1251), 866)), 1251);
    EXPECT_EQ(Number(Placed(encoded(lines, CodePage::kKoi8R), 866)), CodePage::kKoi8R);
  }
  // Ukrainian: 1251 holds its letters; in 866 lists it is written with the
  // Latin i.
  const std::vector<std::u32string> ukrainian = {U"UA.GENERAL  Загальна розмова", U"UA.LINUX  Лінукс і все інше"};
  EXPECT_EQ(Number(Placed(encoded(ukrainian, 1251), 866)), 1251);
  EXPECT_EQ(Number(Placed(encoded({U"UA.GENERAL  Загальна розмова", U"UA.LINUX  Лiнукс i все iнше"}, 866), 866)), 0);
}

// UTF-16 read as bytes: most of its lines hold a NUL. A NUL or two at the
// end of a list, or a few inside it, are no such thing.
TEST(ListBytesTest, Utf16WithoutAMarkIsSeenByItsNuls) {
  const auto looks = [](std::string_view text) { return Fed(text).LooksLikeUtf16(); };
  std::string utf16;
  for (const char c : std::string("; comment\r\n,A,Alpha\r\n,B,Beta\r\n")) utf16 += std::string(1, c) + '\0';
  EXPECT_TRUE(looks(utf16));
  EXPECT_TRUE(looks(utf16.substr(1)));  // big-endian, as bytes
  EXPECT_FALSE(looks(EmbeddedFileBytes("russian.866.lst") + std::string(64, '\0')));
  EXPECT_FALSE(looks(std::string(",A,\0a\r\n,B,b\r\n,C,c\r\n", 19)));
  EXPECT_TRUE(looks(std::string(",A,\0a\r\n,B,\0b\r\n,C,c\r\n", 20)));
  // More than half: exactly half is no such thing, nor is a list of nothing.
  EXPECT_FALSE(looks(std::string(",A,\0a\r\n,B,b\r\n", 13)));
  EXPECT_FALSE(looks(""));
  EXPECT_FALSE(looks("\r\n"));
}

}  // namespace
