// Fuzz target: the echo list lookup on an arbitrary file and tag, in each
// format, code page and encoding setting.
//
// Input:
//   byte 0     the settings: bits 0-1 the format (0 FASTECHO, 1 NA,
//              2 FIDOCONFIG, 3 FASTECHO), bits 2-3 the code page (0 866,
//              1 437, 2 850, 3 866), bits 4-5 ECHOLISTENCODING (0 AUTO,
//              1 UTF-8, 2 CODEPAGE, 3 AUTO), bit 6 a byte-order mark goes
//              first in the file, bit 7 edge mode
//   byte 1     the tag length (mod 53)
//   the tag
//   edge mode: one byte d; comment lines then fill the file up to d bytes
//              before the end of the 64 KB read buffer, so that the
//              input's lines straddle it (the byte-order mark, if any,
//              stands before them)
//   the rest   the echo list text
//
// The list stays open between lookups, so three lookups run on each file:
// the tag, the tag without its last byte, and the tag again. Each one's 52
// bytes must equal those of a plain reading of the echo list rules
// (fuzz_common.h): the encoding decided as documented, the text split into
// lines, UTF-8 converted into the code page line by line, 255-character
// lines, then the format's rules. The notices must agree too: the first
// lookup tells whether the list is read as UTF-8 and why, and that it holds
// no entry of its format (with the other format that would find entries),
// and later lookups tell nothing.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "driver/echo_list.h"
#include "fuzz_common.h"

namespace {

constexpr EchoListFormat kFormats[] = {EchoListFormat::FastEcho, EchoListFormat::Na,
                                       EchoListFormat::FidoConfig, EchoListFormat::FastEcho};
constexpr int kCodePages[] = {866, 437, 850, 866};
constexpr EchoListEncoding kEncodings[] = {EchoListEncoding::Auto, EchoListEncoding::Utf8,
                                           EchoListEncoding::CodePage, EchoListEncoding::Auto};

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
  const CodePage* codePage;
  fuzzref::ListReading list;
  bool holdsEntry;
};

// A 52-byte description as it is shown in a report: without its zero padding.
std::string Shown(std::string_view description) {
  return fuzzref::Escaped(description.substr(0, description.find_last_not_of('\0') + 1));
}

void ExpectLookup(EchoListFile& echoList, const Case& c, std::string_view tag, int lookup) {
  const bool first = lookup == 1;
  Description description;
  std::memset(description, 0xA5, sizeof description);  // the lookup must set every byte
  fuzzref::Check(echoList.LookupDescription(ShortString(tag), description) == EchoListFile::Lookup::Read,
                 "the lookup failed to read the list");
  const std::string expected = fuzzref::LookupDescription(c.list, c.format, *c.codePage, tag);
  if (std::memcmp(description, expected.data(), sizeof description) != 0) {
    const std::string got(reinterpret_cast<const char*>(description), sizeof description);
    std::fprintf(stderr, "lookup %d of \"%s\": expected \"%s\", got \"%s\"\n", lookup,
                 fuzzref::Escaped(tag).c_str(), Shown(expected).c_str(), Shown(got).c_str());
    fuzzref::Fail("the lookup differs from the reference");
  }

  const EchoListNotices notices = echoList.TakeNotices();
  fuzzref::Check(notices.readAsUtf8 == (first && c.list.utf8),
                 first ? "the list is (not) read as UTF-8 against the reference"
                       : "a later lookup tells again that the list is read as UTF-8");
  if (notices.readAsUtf8)
    fuzzref::Check(std::string_view(notices.why) == c.list.why,
                   "the reason to read UTF-8 differs from the reference");
  fuzzref::Check(notices.holdsNoEntry == (first && !c.holdsEntry),
                 first ? "'holds no entry' differs from the reference"
                       : "a later lookup tells again that the list holds no entry");
  if (notices.holdsNoEntry) {
    std::optional<EchoListFormat> fits;
    for (const EchoListFormat other :
         {EchoListFormat::FidoConfig, EchoListFormat::FastEcho, EchoListFormat::Na}) {
      if (other != c.format && fuzzref::HoldsEntry(c.list, other)) {
        fits = other;
        break;
      }
    }
    fuzzref::Check(notices.fits == fits, "the format suggested for the list differs from the reference");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  static const std::string path = (fuzzref::ScratchDir("echo-list") / "echo.lst").string();
  static EchoListFile echoList;

  const std::uint8_t settings = data[0];
  Case c;
  c.format = kFormats[settings & 3];
  c.codePage = CodePage::Find(kCodePages[settings >> 2 & 3]);
  fuzzref::Check(c.codePage != nullptr, "a code page is missing");
  const EchoListEncoding encoding = kEncodings[settings >> 4 & 3];
  const bool byteOrderMark = settings & 0x40;
  const bool edge = settings & 0x80;
  echoList.Bind(ShortString(path), c.format, encoding, *c.codePage);

  std::string_view input(reinterpret_cast<const char*>(data + 2), size - 2);
  const std::size_t tagLength =
      std::min<std::size_t>(data[1] % (fuzzref::kDescriptionWidth + 1), input.size());
  const std::string_view tag = input.substr(0, tagLength);
  input.remove_prefix(tagLength);
  std::string file;
  if (byteOrderMark) file = fuzzref::kByteOrderMark;
  if (edge && !input.empty()) {
    file += Padding(EchoListFile::kBufferSize - file.size() - static_cast<unsigned char>(input[0]));
    input.remove_prefix(1);
  }
  file.append(input);
  fuzzref::WriteBytes(path, file);

  c.list = fuzzref::ReadList(file, encoding, *c.codePage);
  c.holdsEntry = fuzzref::HoldsEntry(c.list, c.format);
  ExpectLookup(echoList, c, tag, 1);
  ExpectLookup(echoList, c, tag.substr(0, tag.empty() ? 0 : tag.size() - 1), 2);
  ExpectLookup(echoList, c, tag, 3);
  return 0;
}
