// What the bytes of an echo list say about how it is written, for
// ECHOLISTENCODING AUTO: gathered line by line in one reading of its text.
//
// A list is UTF-8 when every line that holds a byte above 0x7F is
// well-formed UTF-8. When only some are, it mixes UTF-8 and a code page
// (a line pasted from another list, two lists joined): each line that
// reads as UTF-8 is read so, each other one in a code page. A UTF-8
// byte-order mark at the start of a line is no part of it, and vouches for
// the UTF-8 of the lines from it on.
//
// The lines that are not UTF-8 are in another code page than the node's
// when
//  - under 866: the six commonest small letters of Russian text (o, ye, a,
//    i, en, te) as 1251 or KOI8-R writes them are at least a quarter of
//    their bytes above 0x7F and four times as many as those of each other
//    candidate (866 itself among them); 866 has its letters at 0x80-0xAF
//    and 0xE0-0xF1, 1251 its small ones at 0xE0-0xFF and KOI8-R at
//    0xC0-0xDF, where 866 draws its boxes, which are no letters of a word.
//    With fewer than 16 such bytes, their words decide (ListWords): the
//    code page that reads them as words where 866 shows box drawing;
//  - under 437 or 850: of the bytes above 0x7F that stand next to an ASCII
//    letter (the accented letters of a word), at least 8 are where 1252 has
//    its letters (0xC0-0xFF) and twice as many as where 437 and 850 have
//    theirs (0x80-0xA5).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "echo_list/list_words.h"
#include "util/code_page.h"

// Whether a line of a list that mixes UTF-8 and a code page is UTF-8:
// well-formed, with a character beyond ASCII, and, unless a byte-order
// mark vouches for it, made of the characters descriptions are written in
// (letters, punctuation and symbols), which the rare line of code page
// text that happens to be well-formed UTF-8 is not.
bool LineReadsAsUtf8(std::string_view line, bool vouched);

// The UTF-8 byte-order mark, when a line begins with it.
bool StartsWithByteOrderMark(std::string_view line);

// The archive a file beginning with `head` is, by its signature ("a zip
// archive", "a gzip archive", "a 7z archive", "a RAR archive", "an ARJ
// archive", "an LHA archive"); null for none. Hubs ship their lists in
// the network's infopack.
const char* ArchiveNamed(std::string_view head);

class ListBytes {
 public:
  static constexpr std::uint32_t kFewestHighBytes = 16;
  static constexpr std::uint32_t kFewestAccents = 8;

  // `vouched`: the list begins with a UTF-8 byte-order mark.
  explicit ListBytes(bool vouched = false) : vouched_(vouched) {}

  // A line as the text file hands it, without its line end.
  void FeedLine(std::string_view line);

  // Lines that hold a byte above 0x7F; those of them that are well-formed
  // UTF-8; those that read as UTF-8 where a list mixes it with a code page.
  std::uint32_t HighLines() const { return highLines_; }
  std::uint32_t WellFormedLines() const { return wellFormedLines_; }
  std::uint32_t Utf8Lines() const { return utf8Lines_; }
  // More than half of its lines hold a NUL byte: UTF-16 text read as bytes
  // (a NUL or two left at the end of a list are no such thing).
  bool LooksLikeUtf16() const { return 2 * nulLines_ > lines_; }
  // The code page the lines that are not UTF-8 are written in when it is
  // not `node` (1251 or KOI8-R under 866, 1252 under 437 and 850); null
  // when they are the node's own, or the bytes cannot tell.
  const CodePage* LettersCodePage(const CodePage& node) const;

 private:
  void FeedCodePageLine(std::string_view line);
  const CodePage* CyrillicCodePage() const;
  const CodePage* WesternCodePage() const;

  bool vouched_;
  std::uint32_t lines_ = 0, nulLines_ = 0;
  std::uint32_t highLines_ = 0, wellFormedLines_ = 0, utf8Lines_ = 0;
  std::array<std::uint32_t, 128> high_{};    // each byte above 0x7F, counted
  std::array<std::uint32_t, 128> inWord_{};  // ... where it stands next to an ASCII letter
  ListWords words_;
};
