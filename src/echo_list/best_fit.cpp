#include "echo_list/best_fit.h"

namespace {

struct Fit {
  char32_t code;
  std::u32string_view with;
};

constexpr Fit kFits[] = {
    // Single quotes and the prime.
    {U'\u2018', U"'"}, {U'\u2019', U"'"}, {U'\u201A', U"'"}, {U'\u201B', U"'"}, {U'\u2032', U"'"},
    // Double quotes, the double prime and the guillemets (437 and 850 hold
    // the guillemets themselves).
    {U'\u201C', U"\""}, {U'\u201D', U"\""}, {U'\u201E', U"\""}, {U'\u201F', U"\""}, {U'\u2033', U"\""},
    {U'\u00AB', U"\""}, {U'\u00BB', U"\""},
    // Hyphens, dashes and the minus sign.
    {U'\u2010', U"-"}, {U'\u2011', U"-"}, {U'\u2012', U"-"}, {U'\u2013', U"-"}, {U'\u2014', U"-"},
    {U'\u2015', U"-"}, {U'\u2212', U"-"},
    {U'\u2026', U"..."},
    // Ukrainian and Belarusian i, and ghe with upturn.
    {U'\u0456', U"i"}, {U'\u0406', U"I"}, {U'\u0491', U"\u0433"}, {U'\u0490', U"\u0413"},
    {U'\u2116', U"N"},
    {U'\u00A0', U" "},
};

// The bare letter of each accented Latin letter of U+00C0-U+017F; a NUL
// where the character is none (a ligature, a sign, a letter of its own).
using namespace std::string_view_literals;
constexpr std::u32string_view kBareLetters =
    U"AAAAAA\0CEEEEIIII"  // U+00C0
    U"DNOOOOO\0OUUUUY\0\0"
    U"aaaaaa\0ceeeeiiii"
    U"dnooooo\0ouuuuy\0y"
    U"AaAaAaCcCcCcCcDd"  // U+0100
    U"DdEeEeEeEeEeGgGg"
    U"GgGgHhHhIiIiIiIi"
    U"Ii\0\0JjKk\0LlLlLlL"
    U"lLlNnNnNn\0\0\0OoOo"
    U"Oo\0\0RrRrRrSsSsSs"
    U"SsTtTtTtUuUuUuUu"
    U"UuUuWwYyYZzZzZz\0"sv;

}  // namespace

std::u32string_view BestFit(char32_t code) {
  for (const Fit& fit : kFits)
    if (fit.code == code) return fit.with;
  if (code >= 0xC0 && code < 0xC0 + kBareLetters.size() && kBareLetters[code - 0xC0] != U'\0')
    return kBareLetters.substr(code - 0xC0, 1);
  return {};
}
