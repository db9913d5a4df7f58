// CharSet: a set of byte values, 32 bytes, member i being bit (i mod 8) of
// byte (i div 8).
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>

class CharSet {
 public:
  constexpr CharSet() = default;
  constexpr CharSet(std::initializer_list<unsigned char> members) {
    for (unsigned char m : members) Add(m);
  }
  constexpr void Add(unsigned char c) { bits_[c >> 3] |= static_cast<std::uint8_t>(1u << (c & 7)); }
  constexpr bool Contains(unsigned char c) const { return (bits_[c >> 3] >> (c & 7)) & 1u; }
  constexpr bool Contains(char c) const { return Contains(static_cast<unsigned char>(c)); }

 private:
  std::array<std::uint8_t, 32> bits_{};
};

// The default delimiter and trim set: NUL, TAB, LF, CR, space and 0xFF.
inline constexpr CharSet kBlankSet{0x00, 0x09, 0x0A, 0x0D, 0x20, 0xFF};
inline constexpr CharSet kCommaSet{','};
inline constexpr CharSet kSemicolonSet{';'};
