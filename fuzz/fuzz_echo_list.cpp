// Fuzz target: the echo list lookup on an arbitrary file and tag, in each
// format, code page and encoding setting.
//
// Input:
//   byte 0     bits 0-1 the format (0 FASTECHO, 1 NA, 2 FIDOCONFIG,
//              3 AREAFIX), bits 2-3 the code page (0 866, 1 437, 2 850,
//              3 866), bits 4-5 a byte-order mark first in the file (0 none,
//              1 UTF-8, 2 UTF-16LE, 3 UTF-16BE), bit 7 edge mode
//   byte 1     ECHOLISTENCODING, mod 16: 0 AUTO, 1 UTF-8, 2 CODEPAGE,
//              3 UTF-16LE, 4 UTF-16BE, 5 866, 6 437, 7 850, 8 1251, 9 1252,
//              10 KOI8-R, 11-15 AUTO
//   byte 2     the tag length (mod 53)
//   the tag
//   edge mode: one byte d; comment lines then fill the file up to d bytes
//              before the end of the 128 KB read buffer (in UTF-16 when the
//              list is read so), so that the input's lines straddle it (the
//              byte-order mark, if any, stands before them)
//   the rest   the echo list text
//
// Three lookups run on each file: the tag, which is expected and read for
// in the one pass over the list, the tag without its last byte, which is
// not and gets a pass of its own, and the tag again. Each one's 52
// bytes must equal those of a plain reading of the echo list rules
// (fuzz_common.h): the encoding decided as documented (byte-order marks,
// UTF-8, AUTO's rule for the code page of a list's letters), the text split
// into lines, each converted into the code page (UTF-8 and UTF-16 decoded,
// other code pages translated through their tables), FASTECHO lines cut to
// 255 characters, then the format's rules (AREAFIX with its wrapped
// descriptions and those below a long tag, and an NA list that is a reply
// giving nothing). The notices
// must agree too: the first lookup tells how the list is read and why,
// whether it looks like UTF-16 without a mark, whether it is a reply read
// as NA, and that it holds no entry of its format (with the other format
// that would find entries), and later lookups tell nothing.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "echo_list/echo_list.h"
#include "fuzz_common.h"

namespace {

constexpr EchoListFormat kFormats[] = {EchoListFormat::FastEcho, EchoListFormat::Na,
                                       EchoListFormat::FidoConfig, EchoListFormat::Areafix};
constexpr int kCodePages[] = {866, 437, 850, 866};
constexpr EchoListEncoding kEncodings[16] = {
    EchoListEncoding::Auto,    EchoListEncoding::Utf8,    EchoListEncoding::CodePage, EchoListEncoding::Utf16Le,
    EchoListEncoding::Utf16Be, EchoListEncoding::Cp866,   EchoListEncoding::Cp437,    EchoListEncoding::Cp850,
    EchoListEncoding::Cp1251,  EchoListEncoding::Cp1252,  EchoListEncoding::Koi8R,    EchoListEncoding::Auto,
    EchoListEncoding::Auto,    EchoListEncoding::Auto,    EchoListEncoding::Auto,     EchoListEncoding::Auto};
const char* const kMarks[] = {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};

// ASCII text as UTF-16 of one byte order.
std::string AsUtf16(std::string_view text, bool little) {
  std::string out;
  for (const char c : text) {
    out += little ? c : '\0';
    out += little ? '\0' : c;
  }
  return out;
}

// Comment lines of `length` bytes in all, CR LF at the end of the last.
std::string Padding(std::size_t length) {
  std::string pad;
  while (length - pad.size() >= 80 + 3) pad.append(";").append(77, '-').append("\r\n");
  const std::size_t rest = length - pad.size() - 3;
  pad.append(";").append(rest, '=').append("\r\n");
  return pad;
}

struct Case {
  EchoListFormat format;
  EchoListEncoding encoding;
  const CodePage* codePage;
  fuzzref::ListReading list;
  bool holdsEntry;
  bool isAReply;
};

// A 52-byte description as it is shown in a report: without its zero padding.
std::string Shown(std::string_view description) {
  return fuzzref::Escaped(description.substr(0, description.find_last_not_of('\0') + 1));
}

void ExpectLookup(EchoListFile& echoList, const Case& c, std::string_view tag, int lookup) {
  const bool first = lookup == 1;
  std::uint8_t description[fuzzref::kDescriptionWidth];
  std::memset(description, 0xA5, sizeof description);  // the lookup must set every byte
  const EchoListFile::Lookup result = echoList.LookupDescription(ShortString(tag), description);
  fuzzref::Check(result == EchoListFile::Lookup::Answered || result == EchoListFile::Lookup::NotInEncoding,
                 "the lookup failed to read the list");
  const std::string expected = fuzzref::LookupDescription(c.list, c.format, *c.codePage, tag);
  if (std::memcmp(description, expected.data(), sizeof description) != 0) {
    const std::string got(reinterpret_cast<const char*>(description), sizeof description);
    std::fprintf(stderr, "lookup %d of \"%s\": expected \"%s\", got \"%s\"\n", lookup,
                 fuzzref::Escaped(tag).c_str(), Shown(expected).c_str(), Shown(got).c_str());
    fuzzref::Fail("the lookup differs from the reference");
  }

  const EchoListNotices notices = echoList.TakeNotices();
  fuzzref::Check(notices.readAs == (first ? c.list.readAs : ""),
                 first ? "how the list is read differs from the reference"
                       : "a later lookup tells again how the list is read");
  if (!notices.readAs.empty())
    fuzzref::Check(notices.why == c.list.why, "why the list is read so differs from the reference");
  fuzzref::Check(notices.looksLikeUtf16 == (first && c.list.looksLikeUtf16),
                 "'looks like UTF-16' differs from the reference, or is told again");
  fuzzref::Check(notices.isAReply == (first && c.isAReply), "'a reply read as NA' differs from the reference, or is told again");
  fuzzref::Check(std::string(notices.archive ? notices.archive : "") == (first ? c.list.archive : ""),
                 "the archive told differs from the reference, or is told again");
  fuzzref::Check(notices.noText == (first && c.list.noText), "'no text file' differs from the reference, or is told again");
  fuzzref::Check(notices.holdsNoEntry == (first && !c.holdsEntry && !c.isAReply),
                 first ? "'holds no entry' differs from the reference"
                       : "a later lookup tells again that the list holds no entry");
  const bool setToUnicode = c.encoding == EchoListEncoding::Utf8 || c.encoding == EchoListEncoding::Utf16Le ||
                            c.encoding == EchoListEncoding::Utf16Be;
  const bool notInSetting =
      !c.list.GivesNothing() && setToUnicode && 2 * c.list.undecodableLines > c.list.highLines;
  fuzzref::Check(notices.notInSetting == (first && notInSetting), "'does not read as' differs from the reference");
  if (first) {
    fuzzref::Check(notices.highLines == c.list.highLines && notices.undecodableLines == c.list.undecodableLines,
                   "the lines counted as not decoding differ from the reference");
  }
  if (notices.holdsNoEntry) {
    // A list not in the encoding set is no hint of another format.
    std::optional<EchoListFormat> fits;
    for (const EchoListFormat other : {EchoListFormat::FidoConfig, EchoListFormat::Areafix, EchoListFormat::FastEcho,
                                       EchoListFormat::Na}) {
      if (notInSetting) break;
      if (other == c.format || !fuzzref::HoldsEntry(c.list, other)) continue;
      if (other == EchoListFormat::Areafix && !fuzzref::IsAReply(c.list)) continue;
      fits = other;
      break;
    }
    if (notices.fits != fits) {
      std::fprintf(stderr, "suggested %s, the reference %s\n", notices.fits ? EchoListFormatName(*notices.fits) : "none",
                   fits ? EchoListFormatName(*fits) : "none");
      fuzzref::Fail("the format suggested for the list differs from the reference");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  static const std::string path = (fuzzref::ScratchDir("echo-list") / "echo.lst").string();
  static EchoListFile echoList;

  const std::uint8_t settings = data[0];
  Case c;
  c.format = kFormats[settings & 3];
  c.encoding = kEncodings[data[1] % 16];
  c.codePage = CodePage::Find(kCodePages[settings >> 2 & 3]);
  fuzzref::Check(c.codePage != nullptr, "a code page is missing");
  const int mark = settings >> 4 & 3;
  const bool edge = settings & 0x80;
  const EchoListEncoding encoding = kEncodings[data[1] % 16];
  echoList.Bind(ShortString(path), c.format, encoding, *c.codePage);

  std::string_view input(reinterpret_cast<const char*>(data + 3), size - 3);
  const std::size_t tagLength =
      std::min<std::size_t>(data[2] % (fuzzref::kDescriptionWidth + 1), input.size());
  const std::string_view tag = input.substr(0, tagLength);
  input.remove_prefix(tagLength);
  std::string file = kMarks[mark];
  if (edge && !input.empty()) {
    // The padding in the encoding the list is read in.
    const bool utf16 = encoding == EchoListEncoding::Utf16Le || encoding == EchoListEncoding::Utf16Be ||
                       (encoding == EchoListEncoding::Auto && mark >= 2);
    const bool little = encoding == EchoListEncoding::Utf16Le || (encoding != EchoListEncoding::Utf16Be && mark == 2);
    const std::size_t room = EchoListFile::kBufferSize - file.size() - static_cast<unsigned char>(input[0]);
    file += utf16 ? AsUtf16(Padding(room / 2), little) : Padding(room);
    input.remove_prefix(1);
  }
  file.append(input);
  fuzzref::WriteBytes(path, file);

  c.list = fuzzref::ReadList(file, encoding, *c.codePage, c.format);
  c.holdsEntry = c.list.GivesNothing() || fuzzref::HoldsEntry(c.list, c.format);
  c.isAReply = !c.list.GivesNothing() && c.format == EchoListFormat::Na && fuzzref::IsAReply(c.list);
  // The list is read once for the tags expected; the shorter tag is not
  // among them and gets a reading of its own.
  echoList.Expect(ShortString(tag));
  echoList.Expect(ShortString(std::string(tag) + "X"));
  ExpectLookup(echoList, c, tag, 1);
  ExpectLookup(echoList, c, tag.substr(0, tag.empty() ? 0 : tag.size() - 1), 2);
  ExpectLookup(echoList, c, tag, 3);
  return 0;
}
