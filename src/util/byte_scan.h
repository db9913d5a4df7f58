// FindByte: the first occurrence of a byte value in a range of bytes; the
// search that splits text into lines (CR) and finds its end (Ctrl-Z).
//
// Our own rather than the C runtime's memchr: the Windows build gets
// msvcrt's, which looks at one byte at a time, and a lookup in a long echo
// list spends most of its time here. x86-64 always has SSE2, so that build
// compares sixteen bytes per step on both platforms; other targets compare
// eight bytes per step in a 64-bit word. Inline, because it runs once for
// every line read and most lines are short.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define BLURBSMITH_HAS_SSE2 1
#endif

namespace byte_scan {

// Eight bytes per step (little-endian targets), the rest one by one.
inline const char* FindByteInWords(const char* first, const char* last, char value) {
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::uint64_t kHighBits = 0x8080808080808080u;
    const std::uint64_t pattern = kOnes * static_cast<unsigned char>(value);
    while (last - first >= 8) {
      std::uint64_t word;
      std::memcpy(&word, first, sizeof word);
      word ^= pattern;  // bytes equal to `value` become zero
      // The lowest marked byte is exactly the first zero byte: a borrow
      // only carries into bytes above a zero byte.
      const std::uint64_t zeros = (word - kOnes) & ~word & kHighBits;
      if (zeros != 0) return first + std::countr_zero(zeros) / 8;
      first += 8;
    }
  }
  for (; first != last; ++first)
    if (*first == value) return first;
  return last;
}

#ifdef BLURBSMITH_HAS_SSE2
// Thirty-two bytes per step while they last, then sixteen, then one by one.
// Loads never reach past `last`.
inline const char* FindByteSse2(const char* first, const char* last, char value) {
  const __m128i pattern = _mm_set1_epi8(value);
  auto matches = [&pattern](const char* at) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, pattern)));
  };
  while (last - first >= 32) {
    const std::uint32_t mask = matches(first) | matches(first + 16) << 16;
    if (mask != 0) return first + std::countr_zero(mask);
    first += 32;
  }
  if (last - first >= 16) {
    if (const std::uint32_t mask = matches(first)) return first + std::countr_zero(mask);
    first += 16;
  }
  for (; first != last; ++first)
    if (*first == value) return first;
  return last;
}
#endif

}  // namespace byte_scan

// The first byte equal to `value` in [first, last), or `last` when none is.
inline const char* FindByte(const char* first, const char* last, char value) {
#ifdef BLURBSMITH_HAS_SSE2
  return byte_scan::FindByteSse2(first, last, value);
#else
  return byte_scan::FindByteInWords(first, last, value);
#endif
}
