#include "echo_list/list_bytes.h"

#include "util/unicode.h"

namespace {

bool IsAsciiLetter(unsigned char byte) { return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z'); }

// The bytes of o, ye, a, i, en and te, the commonest small letters of
// Russian text (nearly half of its letters), in each code page it may be
// written in.
struct Letters {
  int codePage;
  unsigned char bytes[6];
};
constexpr Letters kRussianLetters[] = {
    {866, {0xAE, 0xA5, 0xA0, 0xA8, 0xAD, 0xE2}},
    {1251, {0xEE, 0xE5, 0xE0, 0xE8, 0xED, 0xF2}},
    {CodePage::kKoi8R, {0xCF, 0xC5, 0xC1, 0xC9, 0xCE, 0xD4}},
};

// Letters, the symbols of Latin-1, punctuation, currency, letterlike and
// number forms, arrows, mathematical and technical signs, box drawing and
// shapes, dingbats and emoji: what descriptions are written in. Not the
// invisible format characters among the punctuation.
bool IsDescriptionCharacter(char32_t code) {
  if (IsLetter(code) || (code >= 0xA0 && code <= 0xBF) || (code >= 0x2500 && code <= 0x27BF)) return true;
  if (code >= 0x2000 && code <= 0x206F)
    return !(code >= 0x200B && code <= 0x200F) && !(code >= 0x2028 && code <= 0x202E) && code < 0x2060;
  return (code >= 0x20A0 && code <= 0x23FF) || (code >= 0x1F300 && code <= 0x1FAFF);
}

}  // namespace

bool StartsWithByteOrderMark(std::string_view line) { return line.substr(0, 3) == "\xEF\xBB\xBF"; }

const char* ArchiveNamed(std::string_view head) {
  const auto startsWith = [head](std::string_view signature) { return head.substr(0, signature.size()) == signature; };
  if (startsWith("PK\x03\x04") || startsWith("PK\x05\x06") || startsWith("PK\x07\x08")) return "a zip archive";
  if (startsWith("\x1F\x8B")) return "a gzip archive";
  if (startsWith("7z\xBC\xAF\x27\x1C")) return "a 7z archive";
  if (startsWith("Rar!\x1A\x07")) return "a RAR archive";
  if (startsWith("\x60\xEA")) return "an ARJ archive";
  // LHA: a header size and its checksum, then the method, "-lh5-" say.
  if (head.size() >= 7 && head[2] == '-' && head[3] == 'l' && (head[4] == 'h' || head[4] == 'z') && head[6] == '-')
    return "an LHA archive";
  return nullptr;
}

bool LineReadsAsUtf8(std::string_view line, bool vouched) {
  const unicode::Utf8Shape shape = unicode::ShapeOfUtf8(line);
  if (!shape.wellFormed || !shape.multiByte) return false;
  if (vouched) return true;
  const auto* p = reinterpret_cast<const unsigned char*>(line.data());
  const auto* const end = p + line.size();
  while (p != end) {
    std::size_t length = 0;
    const char32_t code = unicode::DecodeUtf8(p, end, &length);
    if (code >= 0x80 && !IsDescriptionCharacter(code)) return false;
    p += length;
  }
  return true;
}

void ListBytes::FeedLine(std::string_view line) {
  if (StartsWithByteOrderMark(line)) {
    vouched_ = true;
    line.remove_prefix(3);
  }
  if (line.empty()) return;
  ++lines_;
  bool high = false, nul = false;
  for (const char c : line) {
    high = high || static_cast<unsigned char>(c) >= 0x80;
    nul = nul || c == '\0';
  }
  nulLines_ += nul;
  if (!high) return;
  ++highLines_;
  if (unicode::ShapeOfUtf8(line).wellFormed) ++wellFormedLines_;
  if (LineReadsAsUtf8(line, vouched_)) {
    ++utf8Lines_;
    return;
  }
  FeedCodePageLine(line);
}

// Each byte above 0x7F counted, apart where an ASCII letter stands next
// to it.
void ListBytes::FeedCodePageLine(std::string_view line) {
  const auto* p = reinterpret_cast<const unsigned char*>(line.data());
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (p[i] < 0x80) continue;
    ++high_[p[i] - 0x80];
    if ((i > 0 && IsAsciiLetter(p[i - 1])) || (i + 1 < line.size() && IsAsciiLetter(p[i + 1]))) ++inWord_[p[i] - 0x80];
  }
  words_.FeedLine(line);
}

const CodePage* ListBytes::LettersCodePage(const CodePage& node) const {
  return node.Number() == 866 ? CyrillicCodePage() : WesternCodePage();
}

const CodePage* ListBytes::CyrillicCodePage() const {
  std::uint32_t total = 0;
  for (const std::uint32_t count : high_) total += count;
  if (total == 0) return nullptr;
  // Where the letters are too few to count, or tell no code page apart,
  // the words decide.
  if (total < kFewestHighBytes) return words_.BetterThan866();
  std::uint32_t counts[std::size(kRussianLetters)] = {};
  std::size_t best = 0;
  for (std::size_t i = 0; i < std::size(kRussianLetters); ++i) {
    for (const unsigned char byte : kRussianLetters[i].bytes) counts[i] += high_[byte - 0x80];
    if (counts[i] > counts[best]) best = i;
  }
  if (kRussianLetters[best].codePage == 866) return nullptr;
  bool clear = 4 * counts[best] >= total;
  for (std::size_t i = 0; i < std::size(kRussianLetters); ++i)
    clear = clear && (i == best || counts[best] >= 4 * counts[i]);
  return clear ? CodePage::ForList(kRussianLetters[best].codePage) : words_.BetterThan866();
}

const CodePage* ListBytes::WesternCodePage() const {
  std::uint32_t at1252 = 0, atOem = 0;
  for (unsigned byte = 0xC0; byte <= 0xFF; ++byte)
    if (byte != 0xD7 && byte != 0xF7) at1252 += inWord_[byte - 0x80];  // not the signs of times and division
  for (unsigned byte = 0x80; byte <= 0xA5; ++byte) atOem += inWord_[byte - 0x80];
  if (at1252 < kFewestAccents || at1252 < 2 * atOem) return nullptr;
  return CodePage::ForList(1252);
}
