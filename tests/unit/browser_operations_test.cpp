// Scripts in the main page and the one-time close of every browser.
#include "native/browser_operations.h"

#include <gtest/gtest.h>

#include "client/orbit_client.h"
#include "fakes.h"

namespace {

class ListClient : public OrbitClient {
 public:
  explicit ListClient(Browsers& browsers)
      : OrbitClient(table_, nullptr), browsers_(browsers) {}

 protected:
  void OnFirstBrowserCreated(const std::shared_ptr<engine::Browser>& browser) override {
    browsers_.set_main_browser(browser, this);
  }
  void OnLastBrowserClosed() override { browsers_.set_main_browser(nullptr); }

 private:
  static inline const BridgeCommandTable table_;
  Browsers& browsers_;
};

class BrowserOperationsTest : public testing::Test {
 protected:
  void SetUp() override { ResetFakes(); }

  Browsers browsers_;
};

TEST_F(BrowserOperationsTest, ShellScriptNeedsAMainBrowser) {
  EXPECT_FALSE(browsers_.RunShellScript("1"));

  auto browser = std::make_shared<FakeBrowser>();
  browsers_.set_main_browser(browser);
  EXPECT_TRUE(browsers_.RunShellScript("window.x = 1"));
  ASSERT_EQ(browser->main_frame()->scripts().size(), 1u);
  EXPECT_EQ(browser->main_frame()->scripts()[0].code, "window.x = 1");
  EXPECT_EQ(browser->main_frame()->scripts()[0].script_url, "lumio://shell");
  EXPECT_EQ(browser->main_frame()->scripts()[0].start_line, 0);
}

TEST_F(BrowserOperationsTest, ShellScriptReachesOnlyTheAppsOwnDocument) {
  auto browser = std::make_shared<FakeBrowser>();
  browsers_.set_main_browser(browser);
  // The main window followed a link to the web, or shows an opaque document.
  for (const char* origin : {"https://example.com", "null", "app://other", ""}) {
    browser->main_frame()->set_origin(origin);
    if (!*origin)
      browser->main_frame()->set_url("https://example.com/");
    EXPECT_TRUE(browsers_.RunShellScript("window.x = 1"));
    EXPECT_TRUE(browser->main_frame()->scripts().empty()) << origin;
  }
}

TEST_F(BrowserOperationsTest, CloseAllClosesEveryBrowserOnceInCreationOrder) {
  auto client = std::make_shared<ListClient>(browsers_);
  std::vector<std::shared_ptr<FakeBrowser>> browsers;
  for (int i = 0; i < 3; ++i) {
    browsers.push_back(std::make_shared<FakeBrowser>());
    browsers.back()->set_client(client);
    client->OnAfterCreated(browsers.back());
  }
  FakeCallLog().clear();

  browsers_.CloseAll();
  browsers_.CloseAll();

  EXPECT_TRUE(browsers_.closing());
  ASSERT_EQ(FakeCallLog().size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(FakeCallLog()[i],
              "Host.CloseBrowser:" + std::to_string(browsers[i]->GetIdentifier()));
    EXPECT_EQ(browsers[i]->close_calls(), std::vector<bool>{false});
  }
  for (const auto& browser : browsers)
    client->OnBeforeClose(browser);
}

TEST_F(BrowserOperationsTest, CloseAllWithoutMainBrowserDoesNothingButSetsTheFlag) {
  browsers_.CloseAll();
  EXPECT_TRUE(browsers_.closing());
  browsers_.ResetClosing();
  EXPECT_FALSE(browsers_.closing());
}

}  // namespace
