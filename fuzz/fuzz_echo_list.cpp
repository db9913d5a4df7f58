// Fuzz target: the echo list lookup on an arbitrary file and tag.
//
// Input: byte 0, bits 0-6 mod 53: the tag length, and bits 0-6 divided by
// 53, when 1: the list is a backbone .NA file; bit 7: the list starts
// just before the 64 KB read buffer's end. Then the tag; then, with bit 7,
// one byte: how many bytes before that boundary the input's text begins
// (comment lines fill the list up to there); the rest is the echo list
// text. Each lookup's 52 bytes must equal those of a plain reading of the
// echo list rules. The list stays open between lookups, so three lookups
// run on each file: the tag, the tag without its last byte, and the tag
// again.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "driver/echo_list.h"
#include "fuzz_common.h"

namespace {

// Comment lines of `length` bytes in all, CR LF at the end of the last.
std::string Padding(std::size_t length) {
  std::string pad;
  while (length - pad.size() >= 80 + 3) pad.append(";").append(77, '-').append("\r\n");
  const std::size_t rest = length - pad.size() - 3;
  pad.append(";").append(rest, '=').append("\r\n");
  return pad;
}

void ExpectLookup(EchoListFile& echoList, bool na, std::string_view file, std::string_view tag) {
  Description description;
  std::memset(description, 0xA5, sizeof description);  // the lookup must set every byte
  echoList.LookupDescription(ShortString(tag), description);
  const std::string expected =
      na ? fuzzref::LookupNaDescription(file, tag) : fuzzref::LookupDescription(file, tag);
  fuzzref::Check(std::memcmp(description, expected.data(), sizeof description) == 0,
                 "the lookup differs from the reference");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const std::string path = (fuzzref::ScratchDir("echo-list") / "echo.lst").string();
  static EchoListFile echoList;
  const bool na = (data[0] & 0x7F) / (fuzzref::kDescriptionWidth + 1) == 1;
  echoList.Bind(ShortString(path), na ? EchoListFormat::Na : EchoListFormat::FastEcho);

  std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t tagLength = std::min<std::size_t>((data[0] & 0x7F) % (fuzzref::kDescriptionWidth + 1), input.size());
  const std::string_view tag = input.substr(0, tagLength);
  input.remove_prefix(tagLength);
  std::string file;
  if ((data[0] & 0x80) != 0 && !input.empty()) {
    file = Padding(EchoListFile::kBufferSize - static_cast<unsigned char>(input[0]));
    input.remove_prefix(1);
  }
  file.append(input);
  fuzzref::WriteBytes(path, file);

  ExpectLookup(echoList, na, file, tag);
  ExpectLookup(echoList, na, file, tag.substr(0, tag.empty() ? 0 : tag.size() - 1));
  ExpectLookup(echoList, na, file, tag);
  return 0;
}
