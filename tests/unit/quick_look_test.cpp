// Every quick look (MayGive...) held against its full rule (Match...): on
// many generated lines, whenever the full rule decides for the key (or, in
// AREAFIX, changes what the lines after it are read in), the quick look
// must have said "may". The lines are made of what the rules look at: the
// key in any case, shortened and lengthened, commas, blanks, tabs, the
// no-break space, HOLD and DOWN, EchoArea and -d, quotes, flags, dot
// leaders, addresses, letters beyond ASCII, bytes of every value and runs
// that reach past the 255th character; in the node's code page, in UTF-8,
// and in other code pages translated byte for byte. Deterministic: the same
// lines on every run and build.
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "driver/echo_list_formats.h"
#include "support/text_bytes.h"
#include "util/code_page.h"
#include "util/text_file.h"

namespace {

using namespace echo_list;

// How the list is written and read, as EchoListFile reads it.
struct Reading {
  const char* name;
  int node;      // CODEPAGE
  int listPage;  // 0: the node's bytes; -1: UTF-8; else a code page translated byte for byte
};

const Reading kReadings[] = {
    {"866 as it is", 866, 0},        {"437 as it is", 437, 0},         {"850 as it is", 850, 0},
    {"UTF-8 on an 866 node", 866, -1}, {"UTF-8 on an 850 node", 850, -1}, {"1251 on an 866 node", 866, 1251},
    {"KOI8-R on an 866 node", 866, CodePage::kKoi8R}, {"1252 on an 850 node", 850, 1252},
    {"866 on a 437 node", 437, 866},
};

// Tags of every kind: short and long (eight bytes and more are compared as
// words first), with letters beyond ASCII at their start, middle and end.
const std::u32string kTags[] = {U"A", U"MU", U"RU.FIDO", U"AREA.ONE.ECHO", U"RU.НОВОСТИ", U"RU.FIDO.ЧАТ",
                                U"ESPAÑOL.ECHO", U"ÁREA", U"ЁЛКА", U"SU.GENERAL.TALKS.AND.MORE",
                                // the byte a character the code page lacks becomes
                                U"?"};

char32_t OtherCase(char32_t c) {
  if ((c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z')) return c ^ 0x20;
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;
  if (c == 0x401 || c == 0x451) return c ^ 0x50;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c ^ 0x20;
  return c;
}

class Generator {
 public:
  Generator(const Reading& reading, std::uint32_t seed) : reading_(reading), random_(seed) {}

  std::uint32_t Next(std::uint32_t n) { return static_cast<std::uint32_t>(random_() % n); }

  // Text in the list's encoding.
  std::string Encode(std::u32string_view text) const {
    std::string out;
    for (const char32_t c : text) {
      if (reading_.listPage == -1) {
        out += Utf8(c);
      } else {
        const CodePage& page = reading_.listPage == 0 ? *CodePage::Find(reading_.node) : *CodePage::ForList(reading_.listPage);
        out += static_cast<char>(page.FromUnicode(c));
      }
    }
    return out;
  }

  // A token of a line, most of them things the rules look at.
  std::string Token(const std::u32string& tag) {
    std::u32string variant = tag;
    switch (Next(40)) {
      case 0: case 1: case 2: case 3: case 4: return Encode(tag);
      case 5: case 6:
        for (char32_t& c : variant) if (Next(2)) c = OtherCase(c);
        return Encode(variant);
      case 7: return Encode(tag.substr(0, tag.size() - 1));
      case 8: return Encode(tag + U"X");
      case 9: return Encode(U"X" + tag);
      case 10:
        // A letter, a dot, and the euro sign, three bytes in UTF-8 and one '?' in the code pages.
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
      default: return std::string(1, static_cast<char>('a' + Next(26)));
    }
  }

  // A line of one format's shape (or of tokens alone), each part of it
  // now and then another token.
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
    // What may stand after a tag at the end of a line: blanks of every
    // kind, and bytes that are none (1251's ya is 0xFF).
    const auto ending = [&] {
      switch (Next(4)) {
        case 0: return Encode(U"\u00A0");
        case 1: return std::string(1, "\xFF\xA0\x9A\t \0"[Next(6)]);
        case 2: return std::string();
        default: return Token(tag);
      }
    };
    std::string line;
    switch (Next(7)) {
      case 5: {  // the tag's end about where a line is cut, at its 255th character
        const std::string tagText = Encode(tag);
        const std::size_t end = 250 + Next(10);
        line = std::string(end > tagText.size() ? end - tagText.size() : 1, Next(2) ? ',' : ' ');
        line += tagText + ending() + ending();
        break;
      }
      case 6:  // a tag, and the line ends
        line = maybe(blanks()) + maybe(Next(2) ? "," : "*  ") + tagVariant() + ending();
        break;
      case 0:  // FASTECHO
        line = maybe(blanks()) + part(Next(3) ? "" : Next(2) ? "HOLD" : "down") + part(std::string(1 + Next(2), ',')) +
               tagVariant() + part(",") + description();
        break;
      case 1:  // NA
        line = maybe(blanks()) + tagVariant() + part(blanks()) + description();
        break;
      case 2:  // FIDOCONFIG
        line = maybe(blanks()) + part("EchoArea") + blanks() + (Next(4) ? tagVariant() : "\"" + tagVariant() + "\"") +
               blanks() + maybe(part("/fido/area") + blanks()) + maybe(part("-b Squish") + blanks()) +
               part(Next(2) ? "-d" : "-D") + blanks() +
               (Next(2) ? "\"" + description() + part("\"") : description());
        break;
      case 3:  // AREAFIX
        line = maybe(part(std::string(1, "*+&-SRW"[Next(7)])) + blanks()) + maybe(part("+")) + tagVariant() +
               maybe(blanks() + part(std::string(2 + Next(6), '.'))) + maybe(blanks() + part("(2:5020/9999)")) +
               blanks() + (Next(3) ? "\"" + description() + part("\"") : description());
        break;
      default:
        for (std::uint32_t i = 1 + Next(9); i > 0; --i) {
          line += Token(tag);
          if (Next(3) == 0) line += " ,\t"[Next(3)];
        }
    }
    return line;
  }

 private:
  const Reading& reading_;
  std::mt19937 random_;
};

// The line as the text file hands it and as the rules read it.
struct ReadLine {
  std::string raw;        // cut to the line limit
  std::string converted;  // in the node's code page
  bool cut = false;       // longer than what is read: decides nothing
};

class QuickLookTest : public testing::TestWithParam<Reading> {
 protected:
  void SetUp() override {
    const Reading& r = GetParam();
    node_ = CodePage::Find(r.node);
    if (r.listPage > 0) {
      translation_ = CodePage::ForList(r.listPage)->TranslationTo(*node_);
      raw_ = RawBytes::Of(node_->UpCaseTable(), &translation_);
    } else {
      raw_ = RawBytes::Of(node_->UpCaseTable());
    }
  }

  ReadLine Read(const std::string& line, bool wholeLines) const {
    const Reading& r = GetParam();
    const std::size_t limit = wholeLines            ? TextFile::kWholeLineLimit
                              : r.listPage == -1     ? TextFile::kLongestLineLimit
                                                     : ShortString::kCapacity;
    ReadLine read{line.substr(0, limit), {}, line.size() > limit};
    if (r.listPage == 0) {
      read.converted = read.raw;
    } else if (r.listPage > 0) {
      for (const char c : read.raw) read.converted += static_cast<char>(translation_[static_cast<unsigned char>(c)]);
    } else {
      std::string out(read.raw.size(), '\0');
      bool cut = false;
      out.resize(Utf8LineToCodePage(read.raw, *node_, out.data(), wholeLines ? out.size() : ShortString::kCapacity, &cut));
      read.converted = out;
    }
    return read;
  }

  std::string Key(const std::u32string& tag) const {
    std::string key;
    for (const char32_t c : tag) key += static_cast<char>(node_->UpCase(node_->FromUnicode(c)));
    return key;
  }

  const CodePage* node_ = nullptr;
  std::array<unsigned char, 256> translation_{};
  RawBytes raw_{};
};

constexpr int kLines = 20000;

TEST_P(QuickLookTest, EveryQuickLookSaysMayWhereItsFullRuleDecides) {
  const Reading& reading = GetParam();
  const FoldTable& fold = node_->UpCaseTable();
  struct Format {
    const char* name;
    bool wholeLines;
    bool (*full)(std::string_view, std::string_view, const FoldTable&, std::string_view*);
    bool (*quick)(std::string_view, const KeyProbe&);
  };
  const bool utf8 = reading.listPage == -1;
  const Format formats[] = {
      {"FASTECHO", false, MatchFastEcho, utf8 ? MayGiveFastEcho<true> : MayGiveFastEcho<false>},
      {"NA", true, MatchNa, utf8 ? MayGiveNa<true> : MayGiveNa<false>},
      {"FIDOCONFIG", true, MatchFidoConfig, utf8 ? MayGiveFidoConfig<true> : MayGiveFidoConfig<false>},
  };
  for (const Format& format : formats) {
    SCOPED_TRACE(format.name);
    Generator generate(reading, 20261211);
    int decided = 0, failures = 0;
    for (int i = 0; i < kLines && failures < 5; ++i) {
      const std::u32string& tag = kTags[generate.Next(static_cast<std::uint32_t>(std::size(kTags)))];
      const std::string key = Key(tag);
      const KeyProbe probe(key, raw_);
      const ReadLine line = Read(generate.Line(tag), format.wholeLines);
      std::string_view description;
      if (line.cut || !format.full(line.converted, key, fold, &description)) continue;
      ++decided;
      if (!format.quick(line.raw, probe)) {
        ADD_FAILURE() << "the quick look turns away a line that gives " << Escaped(key) << ": \""
                      << Escaped(line.raw) << "\"";
        ++failures;
      }
    }
    EXPECT_GT(decided, kLines / 20) << "too few lines decide: the lines test little";
  }
}

// AREAFIX reads a line in what the lines before it left: a line the quick
// look turns away must neither decide nor open or close a wrapped
// description, nor add to the key's. In a list where no line opens a wrap
// the quick look searches no line for quotes: it must still say "may"
// wherever the full rule decides.
TEST_P(QuickLookTest, TheAreafixQuickLookSaysMayWhereTheFullRuleDecidesOrWraps) {
  const Reading& reading = GetParam();
  const FoldTable& fold = node_->UpCaseTable();
  const bool utf8 = reading.listPage == -1;
  const auto may = [&](std::string_view line, const KeyProbe& probe, const AreafixWrap& wrap) {
    return utf8 ? MayGiveAreafix<true>(line, probe, wrap) : MayGiveAreafix<false>(line, probe, wrap);
  };
  Generator generate(reading, 20261212);
  int decided = 0, wrapped = 0, withoutWraps = 0, failures = 0;
  for (int list = 0; list < kLines / 6 && failures < 5; ++list) {
    const std::u32string& tag = kTags[generate.Next(static_cast<std::uint32_t>(std::size(kTags)))];
    const std::string key = Key(tag);
    const KeyProbe probe(key, raw_);
    std::vector<ReadLine> lines;
    for (int i = 0; i < 6; ++i) lines.push_back(Read(generate.Line(tag), true));
    AreafixWrap wrap;
    std::vector<bool> decides;
    bool opened = false;
    for (const ReadLine& line : lines) {
      AreafixWrap after = wrap;
      std::string_view description;
      decides.push_back(!line.cut && MatchAreafix(line.converted, key, fold, &after, &description));
      const bool wraps = after.open != wrap.open || after.text != wrap.text;
      opened = opened || after.open;
      decided += decides.back();
      wrapped += wraps;
      if ((decides.back() || wraps) && !may(line.raw, probe, wrap)) {
        ADD_FAILURE() << "the quick look turns away a line that " << (decides.back() ? "gives " : "wraps for ")
                      << Escaped(key) << ": \"" << Escaped(line.raw) << "\"";
        ++failures;
      }
      wrap = line.cut ? AreafixWrap{} : after;
    }
    if (opened) continue;
    ++withoutWraps;
    AreafixWrap none;
    none.possible = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (decides[i] && !may(lines[i].raw, probe, none)) {
        ADD_FAILURE() << "in a list without wraps, the quick look turns away a line that gives " << Escaped(key)
                      << ": \"" << Escaped(lines[i].raw) << "\"";
        ++failures;
      }
    }
  }
  EXPECT_GT(decided, kLines / 50) << "too few lines decide: the lines test little";
  EXPECT_GT(wrapped, kLines / 50) << "too few lines open or close a wrap";
  EXPECT_GT(withoutWraps, kLines / 60) << "too few lists without wraps";
}

INSTANTIATE_TEST_SUITE_P(, QuickLookTest, testing::ValuesIn(kReadings),
                         [](const testing::TestParamInfo<Reading>& info) {
                           std::string name;
                           for (const char* p = info.param.name; *p; ++p)
                             name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           return name;
                         });

}  // namespace
