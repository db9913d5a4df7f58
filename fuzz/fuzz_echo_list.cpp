// Fuzz target: the echo list lookup on an arbitrary file and tag.
//
// Input: byte 0 chooses the tag length (0-52), the next bytes are the tag,
// the rest is the echo list file. The 52 bytes the lookup returns must equal
// those of a plain reading of the echo list rules.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "driver/echo_list.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const std::string path = (fuzzref::ScratchDir("echo-list") / "echo.lst").string();
  static EchoListFile echoList;
  static const bool bound = [] {
    echoList.Bind(ShortString(path));
    return true;
  }();
  (void)bound;

  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t tagLength =
      std::min<std::size_t>(data[0] % (fuzzref::kDescriptionWidth + 1), size - 1);
  const std::string_view tag = input.substr(1, tagLength);
  const std::string_view file = input.substr(1 + tagLength);
  fuzzref::WriteBytes(path, file);

  Description description;
  std::memset(description, 0xA5, sizeof description);  // the lookup must set every byte
  echoList.LookupDescription(ShortString(tag), description);

  const std::string expected = fuzzref::LookupDescription(file, tag);
  fuzzref::Check(std::memcmp(description, expected.data(), sizeof description) == 0,
                 "the lookup differs from the reference");
  return 0;
}
