// Byte search for splitting text into lines: FindByte, the first occurrence
// of a byte in a range (a line's CR, the Ctrl-Z that ends the text), and
// ByteBits64, where a byte occurs in a 64-byte block (every line end of a
// block at once).
//
// Our own rather than the C runtime's memchr: the Windows build gets
// msvcrt's, which looks at one byte at a time, and a lookup in a long echo
// list spends most of its time here. x86-64 always has SSE2, so that build
// compares sixteen bytes per instruction on both platforms; other targets
// compare eight bytes at a time in a 64-bit word. Inline, because it runs
// for every line read and most lines are short.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define BLURBSMITH_HAS_SSE2 1
#endif

namespace byte_scan {

inline constexpr std::uint64_t kOnes = 0x0101010101010101u;
inline constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Fu;

inline std::uint64_t LoadWord(const char* at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

// The top bit of each byte of `word` that is zero, and no other bit.
inline std::uint64_t ZeroBytes(std::uint64_t word) { return ~(((word & kLow7) + kLow7) | word) & ~kLow7; }

// Eight bytes per step (little-endian targets), the rest one by one.
inline const char* FindByteInWords(const char* first, const char* last, char value) {
  if constexpr (std::endian::native == std::endian::little) {
    const std::uint64_t pattern = kOnes * static_cast<unsigned char>(value);
    for (; last - first >= 8; first += 8)
      if (const std::uint64_t zeros = ZeroBytes(LoadWord(first) ^ pattern))
        return first + std::countr_zero(zeros) / 8;
  }
  for (; first != last; ++first)
    if (*first == value) return first;
  return last;
}

// The first byte equal to `a` or `b`, eight bytes per step.
inline const char* FindEitherInWords(const char* first, const char* last, char a, char b) {
  if constexpr (std::endian::native == std::endian::little) {
    const std::uint64_t patternA = kOnes * static_cast<unsigned char>(a);
    const std::uint64_t patternB = kOnes * static_cast<unsigned char>(b);
    for (; last - first >= 8; first += 8) {
      const std::uint64_t word = LoadWord(first);
      if (const std::uint64_t found = ZeroBytes(word ^ patternA) | ZeroBytes(word ^ patternB))
        return first + std::countr_zero(found) / 8;
    }
  }
  for (; first != last; ++first)
    if (*first == a || *first == b) return first;
  return last;
}

inline std::uint64_t ByteBitsInWords(const char* block, char value) {
  std::uint64_t bits = 0;
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kGather = 0x0102040810204080u;  // the eight top bits into one byte
    const std::uint64_t pattern = kOnes * static_cast<unsigned char>(value);
    for (int i = 0; i < 8; ++i)
      bits |= ((ZeroBytes(LoadWord(block + 8 * i) ^ pattern) >> 7) * kGather >> 56) << (8 * i);
  } else {
    for (int i = 0; i < 64; ++i)
      if (block[i] == value) bits |= std::uint64_t{1} << i;
  }
  return bits;
}

#ifdef BLURBSMITH_HAS_SSE2
inline __m128i EqualBytes(const char* at, __m128i pattern) {
  return _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), pattern);
}

inline std::uint64_t Bits(__m128i equalBytes) {
  return static_cast<std::uint32_t>(_mm_movemask_epi8(equalBytes));
}

// Sixty-four bytes per step while they last (a whole buffer fill is searched
// for Ctrl-Z), then sixteen, then one by one. Loads never reach past `last`.
inline const char* FindByteSse2(const char* first, const char* last, char value) {
  const __m128i pattern = _mm_set1_epi8(value);
  for (; last - first >= 64; first += 64) {
    const __m128i a = EqualBytes(first, pattern), b = EqualBytes(first + 16, pattern),
                  c = EqualBytes(first + 32, pattern), d = EqualBytes(first + 48, pattern);
    if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) != 0)
      return first + std::countr_zero(Bits(a) | Bits(b) << 16 | Bits(c) << 32 | Bits(d) << 48);
  }
  for (; last - first >= 16; first += 16)
    if (const std::uint64_t bits = Bits(EqualBytes(first, pattern))) return first + std::countr_zero(bits);
  for (; first != last; ++first)
    if (*first == value) return first;
  return last;
}

inline __m128i EitherBytes(const char* at, __m128i patternA, __m128i patternB) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  return _mm_or_si128(_mm_cmpeq_epi8(bytes, patternA), _mm_cmpeq_epi8(bytes, patternB));
}

inline const char* FindEitherSse2(const char* first, const char* last, char a, char b) {
  const __m128i patternA = _mm_set1_epi8(a), patternB = _mm_set1_epi8(b);
  for (; last - first >= 16; first += 16)
    if (const std::uint64_t bits = Bits(EitherBytes(first, patternA, patternB)))
      return first + std::countr_zero(bits);
  for (; first != last; ++first)
    if (*first == a || *first == b) return first;
  return last;
}

// Always inline, as EitherByteBits64 below: they run for every 64 bytes a
// scan reads, and the compiler's budget may otherwise leave them calls.
__attribute__((always_inline)) inline std::uint64_t EitherBitsSse2(const char* block, char a, char b) {
  const __m128i patternA = _mm_set1_epi8(a), patternB = _mm_set1_epi8(b);
  return Bits(EitherBytes(block, patternA, patternB)) |
         Bits(EitherBytes(block + 16, patternA, patternB)) << 16 |
         Bits(EitherBytes(block + 32, patternA, patternB)) << 32 |
         Bits(EitherBytes(block + 48, patternA, patternB)) << 48;
}

inline std::uint64_t ByteBitsSse2(const char* block, char value) {
  const __m128i pattern = _mm_set1_epi8(value);
  return Bits(EqualBytes(block, pattern)) | Bits(EqualBytes(block + 16, pattern)) << 16 |
         Bits(EqualBytes(block + 32, pattern)) << 32 | Bits(EqualBytes(block + 48, pattern)) << 48;
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

// Bit i (counting from the least significant) set when block[i] == value,
// for the 64 bytes from `block`.
inline std::uint64_t ByteBits64(const char* block, char value) {
#ifdef BLURBSMITH_HAS_SSE2
  return byte_scan::ByteBitsSse2(block, value);
#else
  return byte_scan::ByteBitsInWords(block, value);
#endif
}

// The first byte equal to `a` or to `b` in [first, last), or `last`.
inline const char* FindEitherByte(const char* first, const char* last, char a, char b) {
#ifdef BLURBSMITH_HAS_SSE2
  return byte_scan::FindEitherSse2(first, last, a, b);
#else
  return byte_scan::FindEitherInWords(first, last, a, b);
#endif
}

// Bit i set when block[i] is `a` or `b`, for the 64 bytes from `block`.
__attribute__((always_inline)) inline std::uint64_t EitherByteBits64(const char* block, char a, char b) {
#ifdef BLURBSMITH_HAS_SSE2
  return byte_scan::EitherBitsSse2(block, a, b);
#else
  return byte_scan::ByteBitsInWords(block, a) | byte_scan::ByteBitsInWords(block, b);
#endif
}
