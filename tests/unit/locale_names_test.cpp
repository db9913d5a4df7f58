// The POSIX console's character set, decided from the locale the
// environment names: LC_ALL, then LC_CTYPE, then LANG.
#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

using platform::LocaleNamesUtf8;

TEST(LocaleNamesUtf8Test, AUtf8CodeSetInEitherSpellingAndAnyCase) {
  EXPECT_TRUE(LocaleNamesUtf8("C.UTF-8", nullptr, nullptr));
  EXPECT_TRUE(LocaleNamesUtf8("ru_RU.utf8", nullptr, nullptr));
  EXPECT_TRUE(LocaleNamesUtf8("en_US.Utf-8", nullptr, nullptr));
  EXPECT_TRUE(LocaleNamesUtf8("de_DE.UTF8", nullptr, nullptr));
  EXPECT_TRUE(LocaleNamesUtf8("sr_RS.UTF-8@latin", nullptr, nullptr));
}

TEST(LocaleNamesUtf8Test, AnyOtherCodeSetOrNoneIsNotUtf8) {
  for (const char* name : {"C", "POSIX", "ru_RU.KOI8-R", "ru_RU.CP866", "en_US.ISO-8859-1", "UTF-8",
                           "ru_RU", "ru_RU@euro.UTF-8", "en_US.UTF-16", "en_US.UTF-8x", "en_US.",
                           "en_US.UTF_8", ".utf"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(LocaleNamesUtf8(name, nullptr, nullptr));
  }
}

TEST(LocaleNamesUtf8Test, TheFirstSetAndNonEmptyVariableDecides) {
  EXPECT_FALSE(LocaleNamesUtf8("C", "C.UTF-8", "C.UTF-8"));
  EXPECT_TRUE(LocaleNamesUtf8("C.UTF-8", "C", "C"));
  EXPECT_TRUE(LocaleNamesUtf8(nullptr, "C.UTF-8", "C"));
  EXPECT_FALSE(LocaleNamesUtf8(nullptr, "C", "C.UTF-8"));
  EXPECT_TRUE(LocaleNamesUtf8("", "", "ru_RU.UTF-8"));
  EXPECT_FALSE(LocaleNamesUtf8("", nullptr, "ru_RU.KOI8-R"));
  EXPECT_TRUE(LocaleNamesUtf8(nullptr, "", "C.utf8"));
}

TEST(LocaleNamesUtf8Test, NoLocaleNamedIsNotUtf8) {
  EXPECT_FALSE(LocaleNamesUtf8(nullptr, nullptr, nullptr));
  EXPECT_FALSE(LocaleNamesUtf8("", "", ""));
}

}  // namespace
