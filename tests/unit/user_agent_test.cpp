#include "engine/qt/user_agent.h"

#include <gtest/gtest.h>

namespace {

constexpr char kProduct[] = "Lumio-Mac/0.2.5";

TEST(UserAgentTest, ProductReplacesTheEngineTokens) {
  EXPECT_EQ(
      "Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
      "Lumio-Mac/0.2.5 Safari/537.36",
      UserAgentWithProduct("Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, "
                           "like Gecko) QtWebEngine/6.4.2 Chrome/102.0.5005.177 "
                           "Safari/537.36",
                           kProduct));
  // Without the Qt token, as a plain Chromium string.
  EXPECT_EQ(
      "Mozilla/5.0 (X11) Lumio-Mac/0.2.5 Safari/537.36",
      UserAgentWithProduct("Mozilla/5.0 (X11) Chrome/120.0.0.0 Safari/537.36", kProduct));
  // Tokens at either end.
  EXPECT_EQ("Lumio-Mac/0.2.5",
            UserAgentWithProduct("QtWebEngine/6.4.2 Chrome/1", kProduct));
  EXPECT_EQ("A Lumio-Mac/0.2.5",
            UserAgentWithProduct("A Chrome/1 QtWebEngine/6.4.2", kProduct));
}

TEST(UserAgentTest, OnlyWholeTokensMatch) {
  EXPECT_EQ("A HeadlessChrome/1 Lumio-Mac/0.2.5 Safari/2",
            UserAgentWithProduct("A HeadlessChrome/1 Safari/2", kProduct));
  EXPECT_EQ("A (Chrome/x) MyQtWebEngine/1 Lumio-Mac/0.2.5",
            UserAgentWithProduct("A (Chrome/x) MyQtWebEngine/1", kProduct));
}

TEST(UserAgentTest, WithoutChromeTokenTheProductGoesBeforeSafariOrAtTheEnd) {
  EXPECT_EQ("Mozilla/5.0 (X11) Lumio-Mac/0.2.5 Safari/537.36",
            UserAgentWithProduct("Mozilla/5.0 (X11) QtWebEngine/6.4.2 Safari/537.36",
                                 kProduct));
  EXPECT_EQ("Mozilla/5.0 (X11) Lumio-Mac/0.2.5",
            UserAgentWithProduct("Mozilla/5.0 (X11)", kProduct));
  EXPECT_EQ("Lumio-Mac/0.2.5", UserAgentWithProduct("", kProduct));
}

TEST(UserAgentTest, EmptyProductLeavesTheStringAlone) {
  const char* ua = "Mozilla/5.0 QtWebEngine/6.4.2 Chrome/102 Safari/537.36";
  EXPECT_EQ(ua, UserAgentWithProduct(ua, ""));
}

}  // namespace
