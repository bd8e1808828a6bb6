#include "native/locale.h"

#include <gtest/gtest.h>

namespace {

TEST(LocaleTest, LanguagesWithTheirOwnLocale) {
  EXPECT_EQ("ko", PreferredLocaleFor("ko", ""));
  EXPECT_EQ("ja", PreferredLocaleFor("ja", "Jpan"));
  EXPECT_EQ("th", PreferredLocaleFor("th", ""));
}

TEST(LocaleTest, ChineseDependsOnTheScript) {
  EXPECT_EQ("zh-CN", PreferredLocaleFor("zh", "Hans"));
  EXPECT_EQ("zh-TW", PreferredLocaleFor("zh", "Hant"));
  EXPECT_EQ("zh-TW", PreferredLocaleFor("zh", ""));
  EXPECT_EQ("zh-TW", PreferredLocaleFor("zh", "hans"));
}

TEST(LocaleTest, EverythingElseIsEnglish) {
  for (const char* language : {"en", "de", "fr", "", "KO", "ko-KR", "zh-Hans", "kor"})
    EXPECT_EQ("en", PreferredLocaleFor(language, "Hans")) << language;
}

}  // namespace
