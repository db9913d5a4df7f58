// UTF-8 and UTF-16, the one place that writes and reads them: the text
// file hands UTF-16 text out as UTF-8, the echo list converts UTF-8 lines
// into the node's code page, and the console shows code page text as UTF-8
// on a terminal that speaks it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace unicode {

// What a byte sequence that is no character decodes to.
inline constexpr char32_t kReplacement = 0xFFFD;

// Writes `code` as UTF-8 at `out` (room for four bytes); returns the bytes.
std::size_t PutUtf8(char32_t code, char* out);
void AppendUtf8(std::string& out, char32_t code);

// Decodes the UTF-8 character at `p` (p < end): its code point, or
// kReplacement for a maximal ill-formed part (no overlong forms, no
// surrogates, nothing beyond U+10FFFF); *length is how many bytes it took.
char32_t DecodeUtf8(const unsigned char* p, const unsigned char* end, std::size_t* length);

// Whether `text` is well-formed UTF-8, and whether it holds a character
// beyond ASCII.
struct Utf8Shape {
  bool wellFormed = true;
  bool multiByte = false;
};
Utf8Shape ShapeOfUtf8(std::string_view text);

// The UTF-16 code unit at `p`, of either byte order.
char32_t Utf16Unit(const unsigned char* p, bool little);

// Decodes UTF-16 bytes [in, in + size) into UTF-8 at `out`, which has room
// for `room` bytes: surrogate pairs joined, an unpaired surrogate (and,
// with `atEnd`, a lone byte last) written as U+FFFD. A character is
// written only whole, and a pair cut by the end of the bytes waits unless
// `atEnd`. Returns the bytes written; *consumed is the bytes of `in` used.
std::size_t DecodeUtf16(const unsigned char* in, std::size_t size, bool little, bool atEnd, char* out,
                        std::size_t room, std::size_t* consumed);

}  // namespace unicode
