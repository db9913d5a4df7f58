// The words of a list's text as each code page a Russian list may be
// written in reads them: 866, 1251 and KOI8-R. A word read in its own code
// page is made of letters, in one case or with a capital first; read in
// another it shows box drawing next to its letters (1251's "Сисопы" read
// as 866 is "╤шёюя√"), or capitals inside small letters. A word is a run
// of ASCII letters and bytes above 0x7F (not the no-break space) that
// holds at least one of the latter and no byte three times in a row (a
// frame's "═══", which any code page may read as letters).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "util/code_page.h"

class ListWords {
 public:
  static constexpr int kCandidates = 3;
  // 866, 1251, KOI8-R.
  static const CodePage& Candidate(int i);
  static int CandidateOf(const CodePage& page);  // -1 for none

  // A line's bytes, read in every candidate.
  void FeedLine(std::string_view line);

  std::uint32_t Words() const { return words_; }
  // Words that show a character that is no letter next to a letter when
  // read in candidate `i`: what a sysop would see as garbage.
  std::uint32_t Garbled(int i) const { return garbled_[i]; }
  // Garbled words, and words whose letters change case where no word does.
  std::uint32_t Misread(int i) const { return misread_[i]; }
  // Letters among the ten commonest of Russian text (o, e, a, i, n, t, s,
  // r, v, l), either case, in words of two letters and more, when read in
  // candidate `i`.
  std::uint32_t CommonLetters(int i) const { return common_[i]; }

  // For a list whose letters are too few to be counted: the candidate that
  // reads every word as letters, misreads at most one word in ten, and
  // reads them better than 866 does (fewer words misread, or no more and
  // over twice the common letters, four at the least). Null when none does.
  const CodePage* BetterThan866() const;

 private:
  void FeedWord(std::string_view word);

  std::uint32_t words_ = 0;
  std::array<std::uint32_t, kCandidates> garbled_{}, misread_{}, common_{};
};

// Whether `code` is a letter a description is written in: Latin, Greek or
// Cyrillic.
bool IsLetter(char32_t code);

// The words of `line` that, read in `page`, show a character that is no
// letter next to a letter.
std::uint32_t GarbledWords(std::string_view line, const CodePage& page);
