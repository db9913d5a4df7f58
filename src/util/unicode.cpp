#include "util/unicode.h"

namespace unicode {
namespace {

// The range the second byte of a sequence must lie in, by its lead byte:
// what keeps out overlong forms, surrogates and code points past U+10FFFF.
// The continuation bytes after it lie in 0x80-0xBF.
struct Lead {
  int continuations;  // -1: not a lead byte
  unsigned char lower, upper;
};

constexpr Lead LeadOf(unsigned char b) {
  if (b >= 0xC2 && b <= 0xDF) return {1, 0x80, 0xBF};
  if (b == 0xE0) return {2, 0xA0, 0xBF};
  if (b == 0xED) return {2, 0x80, 0x9F};
  if (b >= 0xE1 && b <= 0xEF) return {2, 0x80, 0xBF};
  if (b == 0xF0) return {3, 0x90, 0xBF};
  if (b >= 0xF1 && b <= 0xF3) return {3, 0x80, 0xBF};
  if (b == 0xF4) return {3, 0x80, 0x8F};
  return {-1, 0, 0};
}

}  // namespace

std::size_t PutUtf8(char32_t code, char* out) {
  if (code < 0x80) {
    out[0] = static_cast<char>(code);
    return 1;
  }
  if (code < 0x800) {
    out[0] = static_cast<char>(0xC0 | code >> 6);
    out[1] = static_cast<char>(0x80 | (code & 0x3F));
    return 2;
  }
  if (code < 0x10000) {
    out[0] = static_cast<char>(0xE0 | code >> 12);
    out[1] = static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out[2] = static_cast<char>(0x80 | (code & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | code >> 18);
  out[1] = static_cast<char>(0x80 | (code >> 12 & 0x3F));
  out[2] = static_cast<char>(0x80 | (code >> 6 & 0x3F));
  out[3] = static_cast<char>(0x80 | (code & 0x3F));
  return 4;
}

void AppendUtf8(std::string& out, char32_t code) {
  char bytes[4];
  out.append(bytes, PutUtf8(code, bytes));
}

char32_t DecodeUtf8(const unsigned char* p, const unsigned char* end, std::size_t* length) {
  *length = 1;
  if (*p < 0x80) return *p;
  const Lead lead = LeadOf(*p);
  if (lead.continuations < 0) return kReplacement;
  char32_t code = *p & (0x3F >> lead.continuations);
  unsigned char lower = lead.lower, upper = lead.upper;
  for (int i = 1; i <= lead.continuations; ++i) {
    if (p + i == end || p[i] < lower || p[i] > upper) return kReplacement;
    code = code << 6 | (p[i] & 0x3F);
    *length = static_cast<std::size_t>(i) + 1;
    lower = 0x80;
    upper = 0xBF;
  }
  return code;
}

Utf8Shape ShapeOfUtf8(std::string_view text) {
  Utf8Shape shape;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* const end = p + text.size();
  while (p != end) {
    if (*p < 0x80) {
      ++p;
      continue;
    }
    std::size_t length = 0;
    const char32_t code = DecodeUtf8(p, end, &length);
    // U+FFFD written out is a character; an ill-formed part is not.
    if (code == kReplacement && !(length == 3 && p[0] == 0xEF && p[1] == 0xBF && p[2] == 0xBD)) {
      shape.wellFormed = false;
      return shape;
    }
    shape.multiByte = true;
    p += length;
  }
  return shape;
}

namespace {

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

char32_t Utf16Unit(const unsigned char* p, bool little) {
  return little ? static_cast<char32_t>(p[0] | p[1] << 8) : static_cast<char32_t>(p[0] << 8 | p[1]);
}

std::size_t DecodeUtf16(const unsigned char* in, std::size_t size, bool little, bool atEnd, char* out,
                        std::size_t room, std::size_t* consumed) {
  std::size_t i = 0, written = 0;
  while (size - i >= 2 && room - written >= 4) {
    char32_t code = Utf16Unit(in + i, little);
    std::size_t units = 2;
    if (IsHighSurrogate(code)) {
      if (size - i < 4 && !atEnd) break;  // its pair comes with the next bytes
      const char32_t low = size - i >= 4 ? Utf16Unit(in + i + 2, little) : 0;
      if (IsLowSurrogate(low)) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        units = 4;
      } else {
        code = kReplacement;
      }
    } else if (IsLowSurrogate(code)) {
      code = kReplacement;
    }
    written += PutUtf8(code, out + written);
    i += units;
  }
  if (atEnd && size - i == 1 && room - written >= 3) {
    written += PutUtf8(kReplacement, out + written);
    ++i;
  }
  *consumed = i;
  return written;
}

}  // namespace unicode
