#include "resources/mime_types.h"

#include <gtest/gtest.h>

namespace {

TEST(MimeTypesTest, KnownSuffixes) {
  EXPECT_EQ("text/html", MimeTypeForPath("/index.html"));
  EXPECT_EQ("text/css", MimeTypeForPath("/css/app.css"));
  EXPECT_EQ("image/jpeg", MimeTypeForPath("/img/a.jpg"));
  EXPECT_EQ("application/javascript", MimeTypeForPath("/js/app.min.js"));
  EXPECT_EQ("image/png", MimeTypeForPath("/a.png"));
  EXPECT_EQ("image/gif", MimeTypeForPath("/a.gif"));
  EXPECT_EQ("application/octet-stream", MimeTypeForPath("/js/app.min.js.map"));
  EXPECT_EQ("application/javascript", MimeTypeForPath(".js"));
  EXPECT_EQ("text/javascript", MimeTypeForPath("/assets/index-4f2a.mjs"));
  EXPECT_EQ("image/svg+xml", MimeTypeForPath("/icons/logo.svg"));
  EXPECT_EQ("application/wasm", MimeTypeForPath("/pkg/app_bg.wasm"));
}

TEST(MimeTypesTest, OnlyTheExactLowerCaseSuffixCounts) {
  for (const char* path :
       {"/Index.HTML", "/a.JS", "/a.Png", "/a.htm", "/a.jpeg", "/a.json", "/a.woff",
        "/a.SVG", "/a.Mjs", "/a.WASM", "/a.svgz", "/a.wasm.gz", "/a.jsx", "/a.js ",
        "/a.html?x", "/js", "/", ""}) {
    EXPECT_EQ("text/plain", MimeTypeForPath(path)) << path;
  }
}

TEST(MimeTypesTest, LastSuffixDecides) {
  EXPECT_EQ("application/javascript", MimeTypeForPath("/page.html.js"));
  EXPECT_EQ("text/html", MimeTypeForPath("/app.js.html"));
  EXPECT_EQ("image/gif", MimeTypeForPath("/a.css/b.gif"));
}

}  // namespace
