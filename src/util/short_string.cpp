#include "util/short_string.h"

ShortString& ShortString::operator+=(std::string_view text) {
  const std::size_t room = kCapacity - length_;
  const std::size_t n = text.size() < room ? text.size() : room;
  if (n != 0) std::memmove(chars_ + length_, text.data(), n);  // an empty view may hold null
  length_ = static_cast<std::uint8_t>(length_ + n);
  return *this;
}

ShortString operator+(const ShortString& a, std::string_view b) {
  ShortString result = a;
  result += b;
  return result;
}
