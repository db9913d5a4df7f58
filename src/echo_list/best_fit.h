// What stands for a character the node's code page lacks, before '?': the
// typographic quotes, dashes and the ellipsis that editors and web pages
// put into descriptions, the Ukrainian and Belarusian letters 866 lacks,
// the numero sign, the no-break space, and accented Latin letters, each
// written as sysops write it in plain text.
#pragma once

#include <string_view>

// The characters that stand for `code`; empty when there are none.
std::u32string_view BestFit(char32_t code);
