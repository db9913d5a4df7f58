// Finding a byte: every way the build has of doing it gives the first
// occurrence, at every alignment and length, and never reads past the range
// (each range is a heap block of its own, so the sanitizer build sees any
// byte read beyond it).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "util/byte_scan.h"

namespace {

using FindFunction = const char* (*)(const char*, const char*, char);

struct Finder {
  const char* name;
  FindFunction find;
};

std::vector<Finder> Finders() {
  std::vector<Finder> finders = {{"FindByte", FindByte}, {"words", byte_scan::FindByteInWords}};
#ifdef BLURBSMITH_HAS_SSE2
  finders.push_back({"SSE2", byte_scan::FindByteSse2});
#endif
  return finders;
}

const char* FindPlainly(const char* first, const char* last, char value) {
  while (first != last && *first != value) ++first;
  return first;
}

// Bytes that differ from `value` in one bit, in the high bit, or not at all
// apart from the high bit, so that a compare that is off by a bit or by the
// sign shows.
std::string Noise(std::size_t length, char value) {
  const unsigned char v = static_cast<unsigned char>(value);
  const unsigned char near[] = {static_cast<unsigned char>(v ^ 0x01), static_cast<unsigned char>(v ^ 0x80),
                                static_cast<unsigned char>(v ^ 0x10), static_cast<unsigned char>(v + 1),
                                static_cast<unsigned char>(v - 1), 0x00, 0xFF};
  std::string noise;
  for (std::size_t i = 0; i < length; ++i) {
    const char c = static_cast<char>(near[i % sizeof near]);
    noise += c == value ? static_cast<char>(v ^ 0x40) : c;
  }
  return noise;
}

void ExpectFound(const Finder& finder, const std::string& text, char value) {
  // An exact-size block: a read past its end is a heap overflow.
  const std::unique_ptr<char[]> block(new char[text.size() + (text.empty() ? 1 : 0)]);
  std::copy(text.begin(), text.end(), block.get());
  const char* first = block.get();
  const char* last = first + text.size();
  EXPECT_EQ(finder.find(first, last, value) - first, FindPlainly(first, last, value) - first);
}

TEST(ByteScanTest, FindsTheFirstOccurrenceAtEveryLengthAndPosition) {
  for (const Finder& finder : Finders()) {
    SCOPED_TRACE(finder.name);
    for (char value : {'\r', '\x1A', '\x80', '\xFF', '\0'}) {
      for (std::size_t length = 0; length <= 80; ++length) {
        SCOPED_TRACE("byte " + std::to_string(static_cast<unsigned char>(value)) + ", length " +
                     std::to_string(length));
        const std::string noise = Noise(length, value);
        ExpectFound(finder, noise, value);  // absent
        for (std::size_t at = 0; at < length; ++at) {
          std::string text = noise;
          text[at] = value;
          ExpectFound(finder, text, value);
          // A second occurrence after the first must not win.
          if (at + 1 < length) text[length - 1] = value;
          ExpectFound(finder, text, value);
        }
        if (HasFailure()) return;
      }
    }
  }
}

TEST(ByteScanTest, EveryAlignmentOfTheRange) {
  // Ranges starting at every offset inside one block, so that the loads
  // meet every alignment.
  std::string text = Noise(100, '\r');
  text[70] = '\r';
  for (const Finder& finder : Finders()) {
    SCOPED_TRACE(finder.name);
    for (std::size_t start = 0; start < 40; ++start) {
      for (std::size_t end : {start, std::size_t{69}, std::size_t{70}, std::size_t{71}, std::size_t{100}}) {
        if (end < start) continue;
        SCOPED_TRACE("range " + std::to_string(start) + ".." + std::to_string(end));
        const char* first = text.data() + start;
        const char* last = text.data() + end;
        EXPECT_EQ(finder.find(first, last, '\r'), FindPlainly(first, last, '\r'));
      }
    }
  }
}

TEST(ByteScanTest, BitsOfABlockMarkEveryOccurrence) {
  using BitsFunction = std::uint64_t (*)(const char*, char);
  std::vector<std::pair<const char*, BitsFunction>> ways = {{"ByteBits64", ByteBits64},
                                                            {"words", byte_scan::ByteBitsInWords}};
#ifdef BLURBSMITH_HAS_SSE2
  ways.push_back({"SSE2", byte_scan::ByteBitsSse2});
#endif
  // Occurrences: none, each single position, both ends, several, all.
  std::vector<std::vector<int>> patterns = {{}, {0, 63}, {7, 8, 15, 16, 31, 32, 47, 48}};
  for (int i = 0; i < 64; ++i) patterns.push_back({i});
  patterns.push_back({});
  for (int i = 0; i < 64; ++i) patterns.back().push_back(i);
  for (const auto& [name, bitsOf] : ways) {
    SCOPED_TRACE(name);
    for (char value : {'\r', '\x80', '\xFF', '\0'}) {
      for (const std::vector<int>& at : patterns) {
        std::string block = Noise(64, value);
        std::uint64_t expected = 0;
        for (int i : at) {
          block[i] = value;
          expected |= std::uint64_t{1} << i;
        }
        const std::unique_ptr<char[]> exact(new char[64]);  // a read past it is a heap overflow
        std::copy(block.begin(), block.end(), exact.get());
        EXPECT_EQ(bitsOf(exact.get(), value), expected)
            << "byte " << static_cast<int>(static_cast<unsigned char>(value)) << ", "
            << at.size() << " occurrences from " << (at.empty() ? -1 : at[0]);
      }
    }
  }
}

// The search for either of two bytes (a line end on POSIX: CR or LF).
TEST(ByteScanTest, EitherOfTwoBytes) {
  using FindEither = const char* (*)(const char*, const char*, char, char);
  using EitherBits = std::uint64_t (*)(const char*, char, char);
  std::vector<std::pair<const char*, FindEither>> finders = {{"FindEitherByte", FindEitherByte},
                                                             {"words", byte_scan::FindEitherInWords}};
  std::vector<std::pair<const char*, EitherBits>> bitWays = {{"EitherByteBits64", EitherByteBits64}};
#ifdef BLURBSMITH_HAS_SSE2
  finders.push_back({"SSE2", byte_scan::FindEitherSse2});
  bitWays.push_back({"SSE2", byte_scan::EitherBitsSse2});
#endif
  for (const auto& [a, b] : {std::pair{'\r', '\n'}, std::pair{'\x80', '\xFF'}}) {
    SCOPED_TRACE("bytes " + std::to_string(static_cast<unsigned char>(a)) + " and " +
                 std::to_string(static_cast<unsigned char>(b)));
    auto noise = [&, a = a, b = b](std::size_t length) {
      std::string text = Noise(length, a);
      std::replace(text.begin(), text.end(), b, '#');
      return text;
    };
    // Each byte alone at every position, and one of them after the other.
    for (std::size_t length = 0; length <= 80; ++length) {
      std::vector<std::string> texts = {noise(length)};
      for (std::size_t at = 0; at < length; ++at) {
        for (char first : {a, b}) {
          std::string text = noise(length);
          text[at] = first;
          texts.push_back(text);
          text[length - 1] = first == a ? b : a;
          if (at + 1 < length) texts.push_back(text);
        }
      }
      for (const std::string& text : texts) {
        const std::unique_ptr<char[]> block(new char[text.size() + 1]);  // a read past it is a heap overflow
        std::copy(text.begin(), text.end(), block.get());
        const char* first = block.get();
        const char* last = first + text.size();
        const char* expected = first;
        while (expected != last && *expected != a && *expected != b) ++expected;
        for (const auto& [name, find] : finders)
          EXPECT_EQ(find(first, last, a, b) - first, expected - first) << name << " in " << testing::PrintToString(text);
      }
      if (HasFailure()) return;
    }
    // The bits of a block: a at every third byte, b at every fifth.
    std::string block = noise(64);
    std::uint64_t expected = 0;
    for (int i = 0; i < 64; ++i) {
      if (i % 3 == 0) block[i] = a;
      else if (i % 5 == 0) block[i] = b;
      else continue;
      expected |= std::uint64_t{1} << i;
    }
    const std::unique_ptr<char[]> exact(new char[64]);
    std::copy(block.begin(), block.end(), exact.get());
    for (const auto& [name, bitsOf] : bitWays) EXPECT_EQ(bitsOf(exact.get(), a, b), expected) << name;
  }
}

}  // namespace
