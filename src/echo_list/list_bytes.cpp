#include "echo_list/list_bytes.h"

#include <cstring>

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

}  // namespace

void ListBytes::Feed(std::string_view piece) {
  utf8_.Feed(piece);
  const auto* p = reinterpret_cast<const unsigned char*>(piece.data());
  const auto* const end = p + piece.size();
  while (p != end) {
    // Runs of printable ASCII without a NUL or a line end change only
    // whether the last of them is a letter.
    if (waiting_ < 0 && end - p >= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, sizeof word);
      const std::uint64_t low = (word - 0x2020202020202020u) & ~word & 0x8080808080808080u;  // a byte < 0x20
      if ((word & 0x8080808080808080u) == 0 && low == 0) {
        lineHasBytes_ = true;
        afterLetter_ = IsAsciiLetter(p[7]);
        p += 8;
        continue;
      }
    }
    FeedByte(*p++);
  }
}

void ListBytes::FeedByte(unsigned char byte) {
  const bool letter = IsAsciiLetter(byte);
  if (waiting_ >= 0) {
    if (waitingAfterLetter_ || letter) ++inWord_[waiting_];
    waiting_ = -1;
  }
  if (byte >= 0x80) {
    ++high_[byte - 0x80];
    waiting_ = byte - 0x80;
    waitingAfterLetter_ = afterLetter_;
  }
  afterLetter_ = letter;
  if (byte == '\r' || byte == '\n') {
    lines_ += lineHasBytes_;
    nulLines_ += lineHasNul_;
    lineHasBytes_ = lineHasNul_ = false;
    return;
  }
  lineHasBytes_ = true;
  lineHasNul_ = lineHasNul_ || byte == 0;
}

void ListBytes::Finish() {
  utf8_.Finish();
  FeedByte('\n');  // ends the last line and the byte that waits
}

const CodePage* ListBytes::LettersCodePage(const CodePage& node) const {
  return node.Number() == 866 ? CyrillicCodePage() : WesternCodePage();
}

const CodePage* ListBytes::CyrillicCodePage() const {
  std::uint32_t total = 0;
  for (const std::uint32_t count : high_) total += count;
  if (total < kFewestHighBytes) return nullptr;
  std::uint32_t counts[std::size(kRussianLetters)] = {};
  std::size_t best = 0;
  for (std::size_t i = 0; i < std::size(kRussianLetters); ++i) {
    for (const unsigned char byte : kRussianLetters[i].bytes) counts[i] += high_[byte - 0x80];
    if (counts[i] > counts[best]) best = i;
  }
  if (kRussianLetters[best].codePage == 866 || 4 * counts[best] < total) return nullptr;
  for (std::size_t i = 0; i < std::size(kRussianLetters); ++i)
    if (i != best && counts[best] < 4 * counts[i]) return nullptr;
  return CodePage::ForList(kRussianLetters[best].codePage);
}

const CodePage* ListBytes::WesternCodePage() const {
  std::uint32_t at1252 = 0, atOem = 0;
  for (unsigned byte = 0xC0; byte <= 0xFF; ++byte)
    if (byte != 0xD7 && byte != 0xF7) at1252 += inWord_[byte - 0x80];  // not the signs of times and division
  for (unsigned byte = 0x80; byte <= 0xA5; ++byte) atOem += inWord_[byte - 0x80];
  if (at1252 < kFewestAccents || at1252 < 2 * atOem) return nullptr;
  return CodePage::ForList(1252);
}
