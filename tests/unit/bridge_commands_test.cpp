#include "bridge/bridge_commands.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bridge/bridge_router.h"
#include "fakes.h"
#include "native/browser_operations.h"

namespace {

class BridgeCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetFakes();
    GetBridgeCommandTable().clear();
    RegisterBridgeCommands();
    SetMainBrowser(browser_);
  }
  void TearDown() override {
    SetMainBrowser(nullptr);
    GetBridgeCommandTable().clear();
  }

  bool Dispatch(const std::string& request) {
    return DispatchBridgeQuery(browser_, browser_->main_frame(), 1, request, false,
                               callback_);
  }

  std::shared_ptr<FakeBrowser> browser_ = std::make_shared<FakeBrowser>();
  std::shared_ptr<FakeRouterCallback> callback_ = std::make_shared<FakeRouterCallback>();
};

TEST_F(BridgeCommandsTest, AppInitializedShowsTheWindowThenAnswersThenSendsTheEvent) {
  EXPECT_TRUE(Dispatch(R"({"command":"OrbitAppInitialized"})"));
  EXPECT_EQ(1, FakeWindowOperations().show);
  EXPECT_EQ(0, FakeWindowOperations().hide);
  const std::vector<std::string> expected = {
      "MainWindowShow",
      R"(Callback.Success:{"text":"Hello, world!"})",
      R"(Frame.ExecuteJavaScript:window.cefMessage && )"
      R"(window.cefMessage('OrbitAppInitializedReply', {"text":"Hello, world!"}))",
  };
  EXPECT_EQ(expected, FakeCallLog());
}

TEST_F(BridgeCommandsTest, AppInitializedWithoutMainBrowserStillAnswers) {
  SetMainBrowser(nullptr);
  EXPECT_TRUE(Dispatch(R"({"command":"OrbitAppInitialized","extra":[1,2]})"));
  EXPECT_EQ(1, FakeWindowOperations().show);
  ASSERT_EQ(1u, callback_->successes().size());
  EXPECT_EQ(R"({"text":"Hello, world!"})", callback_->successes()[0]);
  EXPECT_TRUE(browser_->main_frame()->scripts().empty());
}

}  // namespace
