// The pending I/O error of text files. A failing text file operation sets it;
// while it is set, text reads and writes do nothing. Only taking it clears it.
#pragma once

#include <cstdint>

void SetIoError(std::uint32_t code);  // keeps an earlier pending code
bool IoErrorPending();
std::uint32_t TakeIoResult();  // returns the pending code (0 = none) and clears it

// The file layer's own code for using a text file that is not open.
inline constexpr std::uint32_t kFileNotOpen = 103;
// ... and for a write that the operating system took only in part.
inline constexpr std::uint32_t kDiskFull = 101;
