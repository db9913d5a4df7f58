// The system's own converter (glibc's iconv), which the tests hold the code
// page tables against on the native build.
#pragma once

#ifndef _WIN32
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <utility>
#include <vector>

// Each code page a list may be written in, by iconv's name.
inline const std::vector<std::pair<int, std::string>> kIconvNames = {
    {866, "CP866"}, {437, "CP437"}, {850, "CP850"}, {1251, "CP1251"}, {1252, "CP1252"}, {20866, "KOI8-R"}};

// One byte of `from` in `to` by iconv; empty when iconv has none for it.
inline std::string IconvByte(const std::string& from, const std::string& to, unsigned char byte) {
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << from << " to " << to;
  char in[1] = {static_cast<char>(byte)};
  char out[8];
  char* inPtr = in;
  char* outPtr = out;
  std::size_t inLeft = 1, outLeft = sizeof out;
  const bool converted = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1);
  iconv_close(cd);
  return converted ? std::string(out, sizeof out - outLeft) : std::string();
}
#endif
