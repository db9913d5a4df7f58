#include "echo_list/list_words.h"

namespace {

bool IsAsciiLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool InWord(unsigned char c) { return IsAsciiLetter(c) || (c >= 0x80 && c != 0xFF); }

enum class Case { None, Lower, Upper };

Case CaseOf(char32_t code) {
  if ((code >= 'a' && code <= 'z') || (code >= 0x430 && code <= 0x45F) || (code >= 0xDF && code <= 0xFF && code != 0xF7))
    return Case::Lower;
  if ((code >= 'A' && code <= 'Z') || (code >= 0x400 && code <= 0x42F) || (code >= 0xC0 && code <= 0xDE && code != 0xD7))
    return Case::Upper;
  return Case::None;
}

// All small, all capitals, or capitals and then small letters ("Fido",
// "FIDOnet"): in no word a small letter is followed by a capital.
bool PlausibleCase(const Case* cases, std::size_t n) {
  bool sawLower = false;
  for (std::size_t i = 0; i < n; ++i) {
    if (cases[i] == Case::Lower) sawLower = true;
    if (cases[i] == Case::Upper && sawLower) return false;
  }
  return true;
}

bool IsCommon(char32_t code) {
  constexpr char32_t kCommon[] = {U'о', U'е', U'а', U'и', U'н', U'т', U'с', U'р', U'в', U'л'};
  if (code >= 0x410 && code <= 0x42F) code += 0x20;
  for (const char32_t c : kCommon)
    if (c == code) return true;
  return false;
}

}  // namespace

bool IsLetter(char32_t code) {
  if ((code >= 'A' && code <= 'Z') || (code >= 'a' && code <= 'z')) return true;
  if (code >= 0xC0 && code <= 0x24F) return code != 0xD7 && code != 0xF7;
  return (code >= 0x370 && code <= 0x3FF && code != 0x37E && code != 0x387) || (code >= 0x400 && code <= 0x52F);
}

const CodePage& ListWords::Candidate(int i) {
  constexpr int kNumbers[kCandidates] = {866, 1251, CodePage::kKoi8R};
  return *CodePage::ForList(kNumbers[i]);
}

int ListWords::CandidateOf(const CodePage& page) {
  for (int i = 0; i < kCandidates; ++i)
    if (&Candidate(i) == &page) return i;
  return -1;
}

namespace {

// Three equal bytes in a row are drawing (a frame's "═══"), no letters of
// a word in any language the lists are written in.
bool IsDrawing(std::string_view word) {
  for (std::size_t i = 2; i < word.size(); ++i)
    if (word[i] == word[i - 1] && word[i] == word[i - 2]) return true;
  return false;
}

// Hands each word of `line` to `visit`.
template <typename Visit>
void ForEachWord(std::string_view line, Visit visit) {
  std::size_t i = 0;
  while (i < line.size()) {
    if (!InWord(static_cast<unsigned char>(line[i]))) {
      ++i;
      continue;
    }
    std::size_t end = i;
    bool high = false;
    while (end < line.size() && InWord(static_cast<unsigned char>(line[end]))) {
      high = high || static_cast<unsigned char>(line[end]) >= 0x80;
      ++end;
    }
    if (high && !IsDrawing(line.substr(i, end - i))) visit(line.substr(i, end - i));
    i = end;
  }
}

bool IsGarbled(const bool* letter, std::size_t n) {
  for (std::size_t k = 0; k < n; ++k)
    if (!letter[k] && ((k > 0 && letter[k - 1]) || (k + 1 < n && letter[k + 1]))) return true;
  return false;
}

constexpr std::size_t kLongest = 64;  // a longer word is read by its start

}  // namespace

std::uint32_t GarbledWords(std::string_view line, const CodePage& page) {
  std::uint32_t garbled = 0;
  ForEachWord(line, [&](std::string_view word) {
    const std::size_t n = word.size() < kLongest ? word.size() : kLongest;
    bool letter[kLongest];
    for (std::size_t k = 0; k < n; ++k) letter[k] = IsLetter(page.ToUnicode(static_cast<unsigned char>(word[k])));
    garbled += IsGarbled(letter, n);
  });
  return garbled;
}

void ListWords::FeedLine(std::string_view line) {
  ForEachWord(line, [this](std::string_view word) { FeedWord(word); });
}

void ListWords::FeedWord(std::string_view word) {
  ++words_;
  const std::size_t n = word.size() < kLongest ? word.size() : kLongest;
  for (int c = 0; c < kCandidates; ++c) {
    const CodePage& page = Candidate(c);
    bool letter[kLongest];
    Case cases[kLongest];
    for (std::size_t k = 0; k < n; ++k) {
      const char32_t code = page.ToUnicode(static_cast<unsigned char>(word[k]));
      letter[k] = IsLetter(code);
      cases[k] = letter[k] ? CaseOf(code) : Case::None;
      // A letter alone tells little: any byte reads as one somewhere.
      common_[c] += n > 1 && IsCommon(code);
    }
    const bool garbled = IsGarbled(letter, n);
    garbled_[c] += garbled;
    misread_[c] += garbled || !PlausibleCase(cases, n);
  }
}

const CodePage* ListWords::BetterThan866() const {
  int best = 0;
  for (int c = 1; c < kCandidates; ++c) {
    if (garbled_[c] != 0) continue;  // only a code page that reads every word as letters
    if (best == 0 || misread_[c] < misread_[best] || (misread_[c] == misread_[best] && common_[c] > common_[best]))
      best = c;
  }
  // A list whose words misread in every code page mixes two.
  if (best == 0 || 10 * misread_[best] > words_) return nullptr;
  const bool fewerMisread = misread_[best] < misread_[0];
  const bool moreCommon = misread_[best] <= misread_[0] && common_[best] >= 4 && common_[best] > 2 * common_[0];
  return fewerMisread || moreCommon ? &Candidate(best) : nullptr;
}
