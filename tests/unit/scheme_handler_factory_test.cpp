#include "resources/scheme_handler_factory.h"

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "fakes.h"
#include "resources/zip_archive.h"
#include "test_zip.h"

namespace {

class SchemeHandlerFactoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string zip = MakeTestZip({
        {"index.html", "<html>start</html>"},
        {"js/app.min.js", "js"},
        {"js/app.min.js.map", "map"},
        {"data.json", "{}"},
        {"font.woff", "woff"},
        {"old.htm", "htm"},
        {"pic.jpeg", "jpeg"},
        {"a b.txt", "space"},
        {"a%20c.txt", "percent"},
        {"dir/", ""},
    });
    auto archive = std::make_shared<ZipArchive>();
    ASSERT_EQ(9u, archive->LoadBuffer(zip.data(), zip.size()));
    factory_ = std::make_shared<OrbitZipArchiveSchemeHandlerFactory>(archive);
  }

  std::shared_ptr<engine::ResourceHandler> Create(const std::string& url) {
    return factory_->Create(nullptr, nullptr, "app", FakeRequest(url));
  }

  // "mime type: body", or "none".
  std::string Serve(const std::string& url) {
    auto handler = Create(url);
    return handler ? handler->mime_type() + ": " + handler->data() : "none";
  }

  std::shared_ptr<OrbitZipArchiveSchemeHandlerFactory> factory_;
};

TEST_F(SchemeHandlerFactoryTest, ServesPackEntriesWithTheirType) {
  EXPECT_EQ("text/html: <html>start</html>", Serve("app://lumio/index.html"));
  EXPECT_EQ("text/html: <html>start</html>", Serve("app://lumio/index.html?v=3"));
  EXPECT_EQ("text/html: <html>start</html>", Serve("app://lumio/index.html#top"));
  EXPECT_EQ("text/html: <html>start</html>", Serve("app://lumio/index.html?a=b#c?d"));
  EXPECT_EQ("application/javascript: js", Serve("app://lumio/js/app.min.js"));
  EXPECT_EQ("application/octet-stream: map", Serve("app://lumio/js/app.min.js.map"));
}

TEST_F(SchemeHandlerFactoryTest, LookupIgnoresCaseButTheTypeDoesNot) {
  EXPECT_EQ("text/plain: <html>start</html>", Serve("app://lumio/Index.HTML"));
  EXPECT_EQ("application/javascript: js", Serve("app://lumio/JS/App.Min.js"));
}

TEST_F(SchemeHandlerFactoryTest, UnlistedSuffixesAreTextPlain) {
  EXPECT_EQ("text/plain: {}", Serve("app://lumio/data.json"));
  EXPECT_EQ("text/plain: woff", Serve("app://lumio/font.woff"));
  EXPECT_EQ("text/plain: htm", Serve("app://lumio/old.htm"));
  EXPECT_EQ("text/plain: jpeg", Serve("app://lumio/pic.jpeg"));
}

TEST_F(SchemeHandlerFactoryTest, PercentEscapesAreLookedUpLiterally) {
  EXPECT_EQ("none", Serve("app://lumio/a%20b.txt"));
  EXPECT_EQ("text/plain: percent", Serve("app://lumio/a%20c.txt"));
}

TEST_F(SchemeHandlerFactoryTest, NothingToServe) {
  for (const char* url :
       {"app://lumio/", "app://lumio", "app://lumio?x=1", "app://lumio/missing.html",
        "app://lumio/dir/", "app://lumio/dir", "app://lumio//index.html",
        "app://other/index.html", "app://lumio.evil/index.html",
        "app://evil.lumio/index.html", "index.html", ""}) {
    EXPECT_EQ(nullptr, Create(url)) << url;
  }
}

TEST(SchemeHandlerFactoryWithoutArchiveTest, ServesNothing) {
  OrbitZipArchiveSchemeHandlerFactory factory(nullptr);
  EXPECT_EQ(nullptr, factory.Create(nullptr, nullptr, "app",
                                    FakeRequest("app://lumio/index.html")));
}

}  // namespace
