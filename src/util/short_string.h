// ShortString: the system's one text type. At most 255 single-byte
// characters; assigning or appending beyond that keeps the first 255.
// Comparison is byte by byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

class ShortString {
 public:
  static constexpr std::size_t kCapacity = 255;

  ShortString() = default;
  ShortString(std::string_view text) { Assign(text); }  // NOLINT: implicit like a text value
  ShortString(const char* text) : ShortString(std::string_view(text)) {}
  ShortString(const std::string& text) : ShortString(std::string_view(text)) {}

  ShortString& operator=(std::string_view text) { return Assign(text); }
  ShortString& operator=(const char* text) { return Assign(std::string_view(text)); }
  ShortString& operator=(const std::string& text) { return Assign(text); }

  ShortString& Assign(std::string_view text) {
    length_ = static_cast<std::uint8_t>(text.size() < kCapacity ? text.size() : kCapacity);
    if (length_ != 0) std::memmove(chars_, text.data(), length_);  // an empty view may hold null
    return *this;
  }

  ShortString& operator+=(std::string_view text);
  ShortString& operator+=(char c) { return *this += std::string_view(&c, 1); }

  std::size_t size() const { return length_; }
  bool empty() const { return length_ == 0; }
  char operator[](std::size_t i) const { return chars_[i]; }
  char& operator[](std::size_t i) { return chars_[i]; }
  const char* data() const { return chars_; }
  char* data() { return chars_; }
  std::string_view view() const { return {chars_, length_}; }
  operator std::string_view() const { return view(); }  // NOLINT
  std::string str() const { return std::string(view()); }
  // Zero-terminated copy for the operating system; the text ends at a zero byte.
  std::string CStr() const { return std::string(view().substr(0, view().find('\0'))); }

  // Keeps the first `length` characters (no-op when already shorter).
  void Shorten(std::size_t length) {
    if (length < length_) length_ = static_cast<std::uint8_t>(length);
  }

  friend bool operator==(const ShortString& a, std::string_view b) { return a.view() == b; }

 private:
  std::uint8_t length_ = 0;
  char chars_[kCapacity];
};

ShortString operator+(const ShortString& a, std::string_view b);
