// The one pass over the echo list held against a reading from the top:
// on generated lists, in every format and encoding, each tag the walk
// expects, and one it does not, must get what the reference reading of the
// list (support/list_reference.h: the list read whole, each tag looked up
// from its first line by the format's rule) gives, and the notices of the
// first lookup must be the reference's. The lines are made of what the
// rules look at: the tags in any case, shortened and lengthened, commas,
// blanks, tabs, the no-break space, HOLD and DOWN, EchoArea and -d, quotes,
// flags, dot leaders, addresses (with a size or without), zone and ':'
// columns, traffic columns, headings, reply tables whose long tags have
// their descriptions on the next line, letters beyond ASCII, bytes of
// every value and runs that reach past the 255th character.
// Deterministic: the same lists on every run and build.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "echo_list/echo_list.h"
#include "support/fastecho_builder.h"
#include "support/list_reference.h"
#include "support/scratch_dir.h"
#include "support/text_bytes.h"
#include "util/code_page.h"

namespace {

// How a list is written, and what the settings say of it.
struct Writing {
  const char* name;
  int node;      // CODEPAGE
  int listPage;  // 0: the node's bytes; -1: UTF-8; -2, -3: UTF-16LE, UTF-16BE; else a code page
  const char* mark;
  EchoListEncoding setting;
};

const Writing kWritings[] = {
    {"866 as it is", 866, 0, "", EchoListEncoding::Auto},
    {"866, CODEPAGE set", 866, 0, "", EchoListEncoding::CodePage},
    {"437 as it is", 437, 0, "", EchoListEncoding::Auto},
    {"850 as it is", 850, 0, "", EchoListEncoding::Auto},
    {"UTF-8 on an 866 node", 866, -1, "", EchoListEncoding::Auto},
    {"UTF-8 set on an 850 node", 850, -1, "", EchoListEncoding::Utf8},
    {"UTF-8 with its mark", 866, -1, "\xEF\xBB\xBF", EchoListEncoding::Auto},
    {"UTF-16LE with its mark", 866, -2, "\xFF\xFE", EchoListEncoding::Auto},
    {"UTF-16BE set", 437, -3, "", EchoListEncoding::Utf16Be},
    {"1251, AUTO", 866, 1251, "", EchoListEncoding::Auto},
    {"1251 set", 866, 1251, "", EchoListEncoding::Cp1251},
    {"KOI8-R set", 866, CodePage::kKoi8R, "", EchoListEncoding::Koi8R},
    {"1252 on an 850 node, AUTO", 850, 1252, "", EchoListEncoding::Auto},
    {"866 set on a 437 node", 437, 866, "", EchoListEncoding::Cp866},
};

const EchoListFormat kFormats[] = {EchoListFormat::FastEcho, EchoListFormat::Na, EchoListFormat::FidoConfig,
                                   EchoListFormat::Areafix};

// Tags of every kind: short and long, with letters beyond ASCII at their
// start, middle and end, and the byte a character the code page lacks
// becomes.
const std::u32string kTags[] = {U"A",           U"MU",       U"RU.FIDO", U"AREA.ONE.ECHO", U"RU.НОВОСТИ",
                                U"RU.FIDO.ЧАТ", U"ESPAÑOL.ECHO", U"ÁREA", U"ЁЛКА",         U"SU.GENERAL.TALKS.AND.MORE",
                                U"?"};

char32_t OtherCase(char32_t c) {
  if ((c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z')) return c ^ 0x20;
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;
  if (c == 0x401 || c == 0x451) return c ^ 0x50;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c ^ 0x20;
  return c;
}

// UTF-8 with each byte that is no part of a well-formed character made a
// '?', for the lists written in UTF-16.
std::string WellFormed(std::string_view utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    std::size_t length = 0;
    if (reference::DecodeUtf8At(utf8, i, &length) < 0) {
      out += '?';
      i += 1;
    } else {
      out += utf8.substr(i, length);
      i += length;
    }
  }
  return out;
}

class Generator {
 public:
  Generator(const Writing& writing, std::uint32_t seed) : writing_(writing), random_(seed) {}

  std::uint32_t Next(std::uint32_t n) { return static_cast<std::uint32_t>(random_() % n); }

  // Text as the list writes it (UTF-16 lists are made from UTF-8).
  std::string Encode(std::u32string_view text) const {
    std::string out;
    for (const char32_t c : text) {
      if (writing_.listPage < 0) {
        out += Utf8(c);
      } else {
        const CodePage& page =
            writing_.listPage == 0 ? *CodePage::Find(writing_.node) : *CodePage::ForList(writing_.listPage);
        out += static_cast<char>(page.FromUnicode(c));
      }
    }
    return out;
  }

  // A token of a line, most of them things the rules look at.
  std::string Token(const std::u32string& tag) {
    std::u32string variant = tag;
    switch (Next(46)) {
      case 0: case 1: case 2: case 3: case 4: return Encode(tag);
      case 5: case 6:
        for (char32_t& c : variant) if (Next(2)) c = OtherCase(c);
        return Encode(variant);
      case 7: return Encode(tag.substr(0, tag.size() - 1));
      case 8: return Encode(tag + U"X");
      case 9: return Encode(U"X" + tag);
      case 10:
        variant[Next(static_cast<std::uint32_t>(variant.size()))] = U"BЖé._€"[Next(6)];
        return Encode(variant);
      case 11: return std::string(1 + Next(3), ',');
      case 12: return std::string(1 + Next(3), ' ');
      case 13: return "\t";
      case 14: return Encode(U"\u00A0");
      case 15: return std::string(1, static_cast<char>(0x80 + Next(128)));  // any byte beyond ASCII
      case 16: return std::string(1, "\xFF\xA0\x00\x9A;#:=()'\"-"[Next(13)]);
      case 17: return std::string(1, ";#"[Next(2)]);
      case 18: return Encode(Next(2) ? U"HOLD" : U"Down");
      case 19: return Encode(Next(2) ? U"EchoArea" : U"ECHOAREA");
      case 20: return Encode(Next(2) ? U"EchoAreaDefaults" : U"echoarea");
      case 21: return Next(2) ? "-d" : "-D";
      case 22: return "\"";
      case 23: return Encode(U"\"Описание, café\"");
      case 24: return std::string(2 + Next(8), '.');
      case 25: return Next(2) ? "(2:5020/9999)" : "(moderated)";
      case 26: return std::string(1, "*+&-!SRWM"[Next(9)]);
      case 27: return Next(2) ? "*S" : "+R";
      case 28: return Encode(U"Описание эхи");
      case 29: return Encode(U"Ñandú à la carte");
      case 30: return "/fido/path";
      case 31: case 32: {
        // A run that reaches past the 255th character somewhere.
        const char32_t fill[] = {U'x', U',', U' ', U'\u00A0', U'Ж', U'.'};
        return Encode(std::u32string(200 + Next(80), fill[Next(6)]));
      }
      case 33: return "";  // an empty line, now and then
      case 34: return Next(2) ? "Z2" : "Z21";
      case 35: return Next(2) ? ": " : " :";
      case 36: return std::string(2 + Next(3), ' ') + (Next(2) ? "12" : "?");
      case 37: return Next(2) ? "(1:153/757, 0kB)" : "(2:5020/9999,12)";
      case 38: return Next(2) ? "Available areas for" : "Con  Message area";
      case 39: return std::string(16 + Next(16), ' ');  // as far as a description column
      default: return std::string(1, static_cast<char>('a' + Next(26)));
    }
  }

  // A line of one format's shape (or of tokens alone), each part of it now
  // and then another token.
  std::string Line(const std::u32string& tag) {
    const auto part = [&](std::string text) { return Next(8) == 0 ? Token(tag) : text; };
    const auto maybe = [&](std::string text) { return Next(2) ? text : std::string(); };
    const auto tagVariant = [&] { return Next(3) ? Encode(tag) : Token(tag); };
    const auto blanks = [&] { return std::string(1 + Next(2), " \t"[Next(2)]); };
    const auto description = [&] {
      std::string text;
      for (std::uint32_t i = 1 + Next(3); i > 0; --i) text += Token(tag) + maybe(" ");
      return text;
    };
    switch (Next(10)) {
      case 0:  // FASTECHO
        return maybe(blanks()) + part(Next(3) ? "" : Next(2) ? "HOLD" : "down") + part(std::string(1 + Next(2), ',')) +
               tagVariant() + part(",") + description();
      case 1:  // NA
        return maybe(blanks()) + tagVariant() + part(blanks()) + description();
      case 2:  // FIDOCONFIG
        return maybe(blanks()) + part("EchoArea") + blanks() + (Next(4) ? tagVariant() : "\"" + tagVariant() + "\"") +
               blanks() + maybe(part("/fido/area") + blanks()) + maybe(part("-b Squish") + blanks()) +
               part(Next(2) ? "-d" : "-D") + blanks() + (Next(2) ? "\"" + description() + part("\"") : description());
      case 3:  // AREAFIX
        return maybe(part(std::string(1, "*+&-SRW"[Next(7)])) + blanks()) + maybe(part("+")) + tagVariant() +
               maybe(blanks() + part(std::string(2 + Next(6), '.'))) + maybe(blanks() + part("(2:5020/9999)")) +
               blanks() + (Next(3) ? "\"" + description() + part("\"") : description());
      case 4:  // a line a wrapped description goes on over
        return maybe(blanks()) + description() + maybe("\"");
      case 5:  // a tag, and the line ends
        return maybe(blanks()) + maybe(Next(2) ? "," : "*  ") + tagVariant();
      case 6: {  // a reply's table: the description at column 14, the traffic after it
        const auto row = [&](const std::string& lead, const std::string& text, std::size_t length) {
          // A tag too long for its column has its description on the next line.
          const std::size_t used = lead.size() + length;
          return lead + text + (used + 1 < 14 ? std::string(14 - used, ' ') : "\r\n" + std::string(14, ' ')) +
                 description() + maybe(std::string(2 + Next(3), ' ') + part(Next(2) ? "12" : "?"));
        };
        return maybe(row(" * ", "FIDONEWS", 8) + "\r\n") + row(Next(2) ? "  " : " * ", tagVariant(), tag.size());
      }
      case 7:  // a zone column, a ':' column
        return maybe("* ") + part(Next(2) ? "Z2" : "Z1") + blanks() + tagVariant() +
               maybe(" " + std::string(2 + Next(6), '.')) + blanks() + part(": ") + description();
      default: {
        std::string line;
        for (std::uint32_t i = 1 + Next(9); i > 0; --i) {
          line += Token(tag);
          if (Next(3) == 0) line += " ,\t"[Next(3)];
        }
        return line;
      }
    }
  }

  // A whole list: its lines with line ends of every kind, now and then a
  // comment, and rarely a Ctrl-Z before the end.
  std::string List(const std::vector<std::u32string>& tags, std::size_t lines) {
    std::string text;
    for (std::size_t i = 0; i < lines; ++i) {
      text += Next(12) == 0 ? std::string("; a comment") : Line(tags[Next(static_cast<std::uint32_t>(tags.size()))]);
      const char* ends[] = {"\r\n", "\r\n", "\r\n", "\n", "\r"};
      text += ends[Next(5)];
    }
    if (Next(10) == 0) text.insert(Next(static_cast<std::uint32_t>(text.size())), "\x1A");
    if (writing_.listPage == -2 || writing_.listPage == -3)
      text = Utf16Bytes(Utf16Of(WellFormed(text)), writing_.listPage == -2);
    return writing_.mark + text;
  }

 private:
  const Writing& writing_;
  std::mt19937 random_;
};

std::string Shown(const std::string& field) { return Escaped(field.substr(0, field.find_last_not_of('\0') + 1)); }

TEST(OnePassTest, EveryTagGetsWhatAReadingFromTheTopGives) {
  ScratchDir dir;
  const std::string path = dir.File("echo.lst");
  std::size_t lookups = 0, described = 0;
  for (const Writing& writing : kWritings) {
    const CodePage& node = *CodePage::Find(writing.node);
    for (const EchoListFormat format : kFormats) {
      for (std::uint32_t seed = 1; seed <= 8; ++seed) {
        SCOPED_TRACE(std::string(writing.name) + ", " + EchoListFormatName(format) + ", seed " + std::to_string(seed));
        Generator generator(writing, seed * 7919 + static_cast<std::uint32_t>(format));
        std::vector<std::u32string> tags;
        for (int i = 0; i < 6; ++i) tags.push_back(kTags[generator.Next(std::size(kTags))]);
        const std::string bytes = generator.List(tags, 40 + generator.Next(80));
        WriteFileText(path, bytes);

        EchoListFile list;
        list.Bind(ShortString(path), format, writing.setting, node);
        // The tags as the areas hold them: in the node's code page, any case.
        std::vector<std::string> areaTags;
        for (const std::u32string& tag : tags) {
          std::u32string variant = tag;
          for (char32_t& c : variant) if (generator.Next(2)) c = OtherCase(c);
          std::string text;
          for (const char32_t c : variant) text += static_cast<char>(node.FromUnicode(c));
          areaTags.push_back(text);
          list.Expect(ShortString(text));
        }
        areaTags.push_back("NOT.EXPECTED");

        const reference::ListReading expected = reference::ReadList(bytes, writing.setting, node, format);
        for (std::size_t i = 0; i < areaTags.size(); ++i) {
          std::uint8_t field[52];
          std::memset(field, 0xA5, sizeof field);
          const EchoListFile::Lookup result = list.LookupDescription(ShortString(areaTags[i]), field);
          ASSERT_TRUE(result == EchoListFile::Lookup::Answered || result == EchoListFile::Lookup::NotInEncoding);
          const std::string got(reinterpret_cast<const char*>(field), sizeof field);
          const std::string want = reference::LookupDescription(expected, format, node, areaTags[i]);
          EXPECT_EQ(got, want) << "tag " << Escaped(areaTags[i]) << ": got \"" << Shown(got) << "\", expected \""
                               << Shown(want) << "\"\nlist: " << Escaped(bytes);
          ++lookups;
          described += want[0] != 0;
          if (i != 0) continue;
          const EchoListNotices notices = list.TakeNotices();
          const bool isAReply = !expected.GivesNothing() && format == EchoListFormat::Na && reference::IsAReply(expected);
          EXPECT_EQ(notices.readAs, expected.readAs);
          if (!expected.readAs.empty()) {
            EXPECT_EQ(notices.why, expected.why);
          }
          EXPECT_EQ(notices.looksLikeUtf16, expected.looksLikeUtf16);
          EXPECT_EQ(notices.isAReply, isAReply);
          EXPECT_EQ(notices.holdsNoEntry,
                    !isAReply && !expected.GivesNothing() && !reference::HoldsEntry(expected, format));
          EXPECT_EQ(std::string(notices.archive ? notices.archive : ""), expected.archive);
          EXPECT_EQ(notices.noText, expected.noText);
        }
      }
    }
  }
  // The lists must describe a fair share of the tags, or the test shows
  // little.
  EXPECT_GT(described * 5, lookups) << described << " of " << lookups;
}

}  // namespace
