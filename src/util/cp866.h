// Code page 866, the character set of FidoNet's Russian texts, shown on a
// terminal that speaks UTF-8.
#pragma once

#include <string>
#include <string_view>

// Each byte of `text` as UTF-8: ASCII unchanged, 0x80-0xFF as the code page
// 866 character they stand for.
std::string Cp866ToUtf8(std::string_view text);
