// What the bytes of an echo list say about how it is written, for
// ECHOLISTENCODING AUTO when the list has no byte-order mark: gathered in
// one pass over its text, decided for the whole list, never line by line.
//
// Its letters are those of another code page than the node's when
//  - under 866: the six commonest small letters of Russian text (o, ye, a,
//    i, en, te) as 1251 or KOI8-R writes them are at least a quarter of the
//    list's bytes above 0x7F and four times as many as those of each other
//    candidate (866 itself among them); 866 has its letters at 0x80-0xAF
//    and 0xE0-0xF1, 1251 its small ones at 0xE0-0xFF and KOI8-R at
//    0xC0-0xDF, where 866 draws its boxes, which are no letters of a word;
//  - under 437 or 850: of the bytes above 0x7F that stand next to an ASCII
//    letter (the accented letters of a word), at least 8 are where 1252 has
//    its letters (0xC0-0xFF) and twice as many as where 437 and 850 have
//    theirs (0x80-0xA5).
// With fewer than 16 bytes above 0x7F, or a mixture, it cannot tell.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "util/code_page.h"

class ListBytes {
 public:
  static constexpr std::uint32_t kFewestHighBytes = 16;
  static constexpr std::uint32_t kFewestAccents = 8;

  void Feed(std::string_view piece);
  void Finish();  // the end of the text

  // Well-formed UTF-8 that holds a character beyond ASCII.
  bool IsUtf8() const { return utf8_.Valid() && utf8_.HasMultiByte(); }
  // More than half of its lines hold a NUL byte: UTF-16 text read as bytes
  // (a NUL or two left at the end of a list are no such thing).
  bool LooksLikeUtf16() const { return 2 * nulLines_ > lines_; }
  // The code page the list's letters are written in when it is not `node`
  // (1251 or KOI8-R under 866, 1252 under 437 and 850); null when they are
  // the node's own, or the bytes cannot tell.
  const CodePage* LettersCodePage(const CodePage& node) const;

 private:
  void FeedByte(unsigned char byte);
  const CodePage* CyrillicCodePage() const;
  const CodePage* WesternCodePage() const;

  Utf8Check utf8_;
  std::array<std::uint32_t, 128> high_{};    // each byte above 0x7F, counted
  std::array<std::uint32_t, 128> inWord_{};  // ... where it stands next to an ASCII letter
  std::uint32_t lines_ = 0, nulLines_ = 0;
  bool lineHasBytes_ = false, lineHasNul_ = false;
  bool afterLetter_ = false;  // the byte before is an ASCII letter
  int waiting_ = -1;          // a byte above 0x7F whose next byte is still to come
  bool waitingAfterLetter_ = false;
};
