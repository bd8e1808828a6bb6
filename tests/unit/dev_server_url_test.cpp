#include "app/dev_server_url.h"

#include <gtest/gtest.h>

namespace {

TEST(DevServerUrlTest, LoopbackServersAreTakenWithTheirOrigin) {
  const struct {
    const char* text;
    const char* url;
    const char* origin;
  } cases[] = {
      {"http://127.0.0.1:5173/", "http://127.0.0.1:5173/", "http://127.0.0.1:5173"},
      {"http://localhost:5173", "http://localhost:5173/", "http://localhost:5173"},
      {"HTTP://LocalHost:3000/app/index.html?x=1",
       "HTTP://LocalHost:3000/app/index.html?x=1", "http://localhost:3000"},
      {"https://127.1.2.3:8443/", "https://127.1.2.3:8443/", "https://127.1.2.3:8443"},
      {"http://[::1]:8080/#start", "http://[::1]:8080/#start", "http://[::1]:8080"},
      {"http://127.0.0.1:80/", "http://127.0.0.1:80/", "http://127.0.0.1"},
      {"https://localhost/", "https://localhost/", "https://localhost"},
  };
  for (const auto& c : cases) {
    DevServerUrl parsed;
    std::string error;
    ASSERT_TRUE(ParseDevServerUrl(c.text, parsed, error)) << c.text << ": " << error;
    EXPECT_EQ(c.url, parsed.url) << c.text;
    EXPECT_EQ(c.origin, parsed.origin) << c.text;
  }
}

TEST(DevServerUrlTest, AnythingThatMayReachAnotherMachineIsRefused) {
  for (const char* text : {"http://192.168.1.10:5173/",
                           "http://0.0.0.0:5173/",
                           "http://example.com/",
                           "http://127.0.0.1.example.com/",
                           "http://localhost.example.com:5173/",
                           "http://127.0.0.1@example.com/",
                           "http://example.com@127.0.0.1/",
                           "http://[::ffff:8.8.8.8]/",
                           "http://[::2]/",
                           "http://0177.0.0.1/",
                           "http://2130706433/",
                           "http://127.0.1/",
                           "http://127.0.0.256/",
                           "file:///tmp/index.html",
                           "ftp://127.0.0.1/",
                           "app://lumio/index.html",
                           "127.0.0.1:5173",
                           "",
                           "http://127.0.0.1:99999/",
                           "http://127.0.0.1:x/",
                           "http://local host/"}) {
    DevServerUrl parsed;
    std::string error;
    EXPECT_FALSE(ParseDevServerUrl(text, parsed, error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

}  // namespace
