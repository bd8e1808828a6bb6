#include "resources/web_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "fakes.h"
#include "resources/scheme_handler_factory.h"
#include "test_zip.h"

namespace fs = std::filesystem;

namespace {

// <tmp>/site is the served folder; <tmp>/outside holds what must never be served.
class WebFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(Path("site/js/deep"));
    fs::create_directories(Path("outside/dir"));
    Write("site/index.html", "<html>start</html>");
    Write("site/js/app.js", "app");
    Write("site/js/deep/x.js.map", "map");
    Write("site/a%20b.txt", "percent");
    Write("site/a b.txt", "space");
    Write("site/empty.txt", "");
    Write("outside/secret.txt", "secret");
    Write("outside/dir/secret.txt", "secret in a folder");
    folder_ = std::make_unique<WebFolder>(Path("site"));
    ASSERT_EQ(fs::canonical(Path("site")).string(), folder_->root());
  }

  std::string Path(const std::string& rel) const { return temp_.File(rel); }
  void Write(const std::string& rel, const std::string& data) {
    WriteWholeFile(Path(rel), data);
  }
  void Link(const std::string& target, const std::string& rel) {
    fs::create_symlink(target, Path(rel));
  }
  // The file's content, or "none".
  std::string Get(const std::string& name) const {
    auto data = folder_->GetFile(name);
    return data ? *data : "none";
  }

  TestTempDir temp_;
  std::unique_ptr<WebFolder> folder_;
};

TEST_F(WebFolderTest, ServesFilesByTheirEntryNameWithCaseIgnored) {
  EXPECT_EQ("<html>start</html>", Get("index.html"));
  EXPECT_EQ("<html>start</html>", Get("Index.HTML"));
  EXPECT_EQ("app", Get("JS/App.js"));
  EXPECT_EQ("map", Get("js/DEEP/x.js.map"));
  // Percent-escapes are part of the name, as in the pack.
  EXPECT_EQ("percent", Get("a%20b.txt"));
  EXPECT_EQ("space", Get("a b.txt"));
  EXPECT_EQ("none", Get("a%20B.TXT%20"));
}

TEST_F(WebFolderTest, AnExactNameWinsOverOthersOfAnotherCase) {
  Write("site/README.txt", "upper");
  Write("site/Readme.txt", "mixed");
  EXPECT_EQ("upper", Get("README.txt"));
  EXPECT_EQ("mixed", Get("Readme.txt"));
  // Neither is exact: the first in byte order.
  EXPECT_EQ("upper", Get("readme.txt"));
}

TEST_F(WebFolderTest, FindsWhatThePackWouldNot) {
  EXPECT_EQ("none", Get(""));
  EXPECT_EQ("none", Get("missing.html"));
  EXPECT_EQ("none", Get("js"));
  EXPECT_EQ("none", Get("js/"));
  EXPECT_EQ("none", Get("index.html/x"));
  // The pack skips empty files, so the folder does too.
  EXPECT_EQ("none", Get("empty.txt"));
  ASSERT_EQ(0, mkfifo(Path("site/pipe.txt").c_str(), 0600));
  EXPECT_EQ("none", Get("pipe.txt"));
}

TEST_F(WebFolderTest, RefusesNamesThatLeaveTheFolder) {
  for (const std::string& name : std::vector<std::string>{
           "../outside/secret.txt", "js/../../outside/secret.txt", "..", "./index.html",
           "js/./app.js", "js//app.js", "/index.html", "//index.html",
           std::string("index.html\0x", 12)}) {
    EXPECT_EQ("none", Get(name)) << name;
  }
  // An absolute name of a file that exists, inside the folder or out of it.
  EXPECT_EQ("none", Get(Path("site/index.html")));
  EXPECT_EQ("none", Get(Path("site/index.html").substr(1)));
  EXPECT_EQ("none", Get(Path("outside/secret.txt")));
}

TEST_F(WebFolderTest, FollowsSymbolicLinksOnlyWhileTheyStayInside) {
  Link(Path("outside/secret.txt"), "site/out.txt");
  Link("../outside/secret.txt", "site/js/out-relative.txt");
  Link(Path("outside/dir"), "site/outdir");
  Link(Path("outside"), "site/Out2");
  Link("index.html", "site/home.html");
  Link("deep", "site/js/alias");
  Link("nowhere.txt", "site/dangling.txt");
  EXPECT_EQ("none", Get("out.txt"));
  EXPECT_EQ("none", Get("js/out-relative.txt"));
  EXPECT_EQ("none", Get("outdir/secret.txt"));
  EXPECT_EQ("none", Get("out2/secret.txt"));
  EXPECT_EQ("none", Get("out2/dir/secret.txt"));
  EXPECT_EQ("<html>start</html>", Get("home.html"));
  EXPECT_EQ("map", Get("js/alias/x.js.map"));
  EXPECT_EQ("none", Get("dangling.txt"));
  Link("../app.js", "site/js/deep/up.js");
  EXPECT_EQ("app", Get("js/deep/up.js"));
  EXPECT_EQ("app", Get("JS/Alias/UP.js"));
  // Absolute links are resolved from the root of the file system, and a link that
  // leaves and comes back in has left: neither is followed.
  Link(Path("site/index.html"), "site/absolute.html");
  EXPECT_EQ("none", Get("absolute.html"));
  Link(Path("site/js"), "outside/back");
  Link("../outside/back", "site/roundtrip");
  EXPECT_EQ("none", Get("roundtrip/app.js"));
}

// Another program swaps a served file for a link out of the folder or for a named
// pipe, again and again, while the folder serves it: what is served is the file or
// nothing, and a pipe never holds up the reader.
TEST_F(WebFolderTest, ASwapRaceServesNothingFromOutsideAndNeverBlocks) {
  Write("site/race.txt", "inside");
  std::atomic<bool> stop{false};
  std::thread swapper([&] {
    for (unsigned i = 0; !stop; ++i) {
      const std::string spare = Path(i % 2 ? "site/spare-link" : "site/spare-pipe");
      if (i % 2)
        fs::create_symlink(Path("outside/secret.txt"), spare);
      else
        mkfifo(spare.c_str(), 0600);
      rename(spare.c_str(), Path("site/race.txt").c_str());
      WriteWholeFile(Path("site/spare-file"), "inside");
      rename(Path("site/spare-file").c_str(), Path("site/race.txt").c_str());
    }
  });
  std::map<std::string, int> served;
  for (int i = 0; i < 10000; ++i) {
    ++served[Get("race.txt")];
    ++served[Get("RACE.txt")];
  }
  stop = true;
  swapper.join();
  EXPECT_EQ(0, served.count("secret"));
  EXPECT_GT(served["inside"], 0);
  EXPECT_EQ(served["inside"] + served["none"], 20000);
}

// Without openat2 (older kernels) the folder is walked one entry at a time and no
// link is followed, inside or out.
TEST_F(WebFolderTest, WithoutOpenat2NoLinkIsFollowed) {
  Link("index.html", "site/home.html");
  Link(Path("outside/dir"), "site/outdir");
  Link("deep", "site/js/alias");
  const int root = open(Path("site").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(root, 0);
  auto read_beneath = [&](const std::string& path) -> std::string {
    const int fd = OpenBeneath(root, path, O_RDONLY | O_NONBLOCK, /*use_openat2=*/false);
    if (fd < 0)
      return "none";
    char buffer[64] = {};
    const ssize_t n = read(fd, buffer, sizeof buffer - 1);
    close(fd);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : "none";
  };
  EXPECT_EQ("app", read_beneath("js/app.js"));
  EXPECT_EQ("map", read_beneath("js/deep/x.js.map"));
  for (const char* path :
       {"home.html", "outdir/secret.txt", "js/alias/x.js.map", "../outside/secret.txt",
        "js/../index.html", "/etc/hostname", "js//app.js", ""}) {
    EXPECT_EQ("none", read_beneath(path)) << path;
  }
  close(root);
}

TEST_F(WebFolderTest, AFolderNamedThroughASymbolicLinkOrRelativelyServesTheSame) {
  Link(Path("site"), "site-link");
  WebFolder linked(Path("site-link/"));
  EXPECT_EQ(folder_->root(), linked.root());
  EXPECT_NE(nullptr, linked.GetFile("index.html"));

  const fs::path before = fs::current_path();
  fs::current_path(Path("outside"));
  WebFolder relative("../site");
  fs::current_path(before);
  EXPECT_EQ(folder_->root(), relative.root());
  EXPECT_NE(nullptr, relative.GetFile("js/app.js"));
}

TEST_F(WebFolderTest, AMissingFolderOrAFileServesNothing) {
  for (const std::string& root :
       std::vector<std::string>{Path("nothing-here"), Path("site/index.html"), ""}) {
    WebFolder folder(root);
    EXPECT_EQ("", folder.root()) << root;
    EXPECT_EQ(nullptr, folder.GetFile("index.html")) << root;
  }
}

TEST_F(WebFolderTest, ReadsTheFileAfreshOnEveryRequest) {
  EXPECT_EQ("app", Get("js/app.js"));
  Write("site/js/app.js", "edited");
  EXPECT_EQ("edited", Get("js/app.js"));
  fs::remove(Path("site/js/app.js"));
  EXPECT_EQ("none", Get("js/app.js"));
  Write("site/new.css", "new");
  EXPECT_EQ("new", Get("NEW.css"));
}

TEST_F(WebFolderTest, TheSchemeFactoryServesItWithThePacksTypes) {
  OrbitZipArchiveSchemeHandlerFactory factory(std::make_shared<WebFolder>(Path("site")));
  auto serve = [&](const std::string& url) {
    auto handler = factory.Create(nullptr, nullptr, "app", FakeRequest(url));
    return handler ? handler->mime_type() + ": " + handler->data() : "none";
  };
  EXPECT_EQ("text/html: <html>start</html>", serve("app://lumio/index.html?v=2"));
  EXPECT_EQ("text/plain: <html>start</html>", serve("app://lumio/Index.HTML"));
  EXPECT_EQ("application/octet-stream: map", serve("app://lumio/js/deep/x.js.map"));
  EXPECT_EQ("none", serve("app://lumio/"));
  EXPECT_EQ("none", serve("app://lumio//etc/passwd"));
  EXPECT_EQ("none", serve("app://other/index.html"));
}

}  // namespace
