// Every bridge command: what it reads, what it calls and what the page gets back.
#include "bridge/bridge_commands.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bridge/bridge_router.h"
#include "fake_services.h"
#include "fakes.h"
#include "native/browser_operations.h"

namespace {

class BridgeCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetFakes();
    RegisterBridgeCommands(table_, AllServices(fake_, &page_events_));
    browsers_.set_main_browser(browser_);
  }
  void TearDown() override { browsers_.set_main_browser(nullptr); }

  // Runs one request; returns the calls it made and what the page got back.
  struct Result {
    std::vector<std::string> calls;
    std::string answer;  // "success:<text>", "failure:<code>:<text>" or "none"
  };
  Result Run(const std::string& request) {
    fake_->calls.clear();
    auto callback = std::make_shared<FakeRouterCallback>();
    EXPECT_TRUE(DispatchBridgeQuery(table_, browser_, browser_->main_frame(), 1, request,
                                    false, callback))
        << request;
    Result result{fake_->calls, "none"};
    EXPECT_LE(callback->successes().size() + callback->failures().size(), 1u) << request;
    if (!callback->successes().empty())
      result.answer = "success:" + callback->successes()[0];
    if (!callback->failures().empty())
      result.answer = "failure:" + std::to_string(callback->failures()[0].code) + ":" +
                      callback->failures()[0].message;
    return result;
  }

  // As in the program: page events go to the main browser's main frame.
  Browsers browsers_;
  MainPageEventSink page_events_{browsers_};
  BridgeCommandTable table_;
  std::shared_ptr<FakeServices> fake_ = std::make_shared<FakeServices>();
  std::shared_ptr<FakeBrowser> browser_ = std::make_shared<FakeBrowser>();
};

TEST_F(BridgeCommandsTest, AllCommandsAreRegisteredUnderTheirNames) {
  const std::vector<std::string> names = {"OrbitAppGetInfo",
                                          "OrbitAppInitialized",
                                          "OrbitAppQuit",
                                          "OrbitAppQuitNow",
                                          "OrbitMainBrowserFlash",
                                          "OrbitMainBrowserGetState",
                                          "OrbitMainBrowserHide",
                                          "OrbitMainBrowserMinimize",
                                          "OrbitMainBrowserSetAlpha",
                                          "OrbitMainBrowserSetIMEEnabled",
                                          "OrbitMainBrowserSetTopmost",
                                          "OrbitMainBrowserShow",
                                          "OrbitMainBrowserUnflash",
                                          "OrbitOSGetUserIdleTime",
                                          "OrbitOSIsStartupAppRegistered",
                                          "OrbitOSOpenExternalBrowser",
                                          "OrbitOSRegisterStartupApp",
                                          "OrbitOSUnregisterStartupApp",
                                          "OrbitPopupPrepare",
                                          "OrbitToastHide",
                                          "OrbitToastShow",
                                          "OrbitTrayIconNotify",
                                          "OrbitTrayIconUpdateMenu"};
  std::vector<std::string> registered;
  for (const auto& [name, handler] : table_)
    registered.push_back(name);
  EXPECT_EQ(names, registered);
}

TEST_F(BridgeCommandsTest, AppInitializedShowsTheWindowThenAnswersThenSendsTheEvent) {
  const Result result = Run(R"({"command":"OrbitAppInitialized"})");
  const std::vector<std::string> expected = {
      "App.Initialized",
      "Window.Show",
      R"(Callback.Success:{"text":"Hello, world!"})",
      R"(Frame.ExecuteJavaScript:window.cefMessage && )"
      R"(window.cefMessage('OrbitAppInitializedReply', {"text":"Hello, world!"}))",
  };
  EXPECT_EQ(expected, FakeCallLog());
}

TEST_F(BridgeCommandsTest, AppInitializedWithoutMainBrowserStillAnswers) {
  browsers_.set_main_browser(nullptr);
  const Result result = Run(R"({"command":"OrbitAppInitialized","extra":[1,2]})");
  EXPECT_EQ((std::vector<std::string>{"App.Initialized", "Window.Show"}), result.calls);
  EXPECT_EQ(R"(success:{"text":"Hello, world!"})", result.answer);
  EXPECT_TRUE(browser_->main_frame()->scripts().empty());
}

// One row per command: the request, the calls it makes, the page's answer.
struct Row {
  const char* request;
  std::vector<std::string> calls;
  const char* answer;
};

TEST_F(BridgeCommandsTest, EachCommandCallsItsOperationAndAnswers) {
  const std::vector<Row> rows = {
      {R"({"command":"OrbitAppQuit"})", {"App.Quit"}, "success:{}"},
      {R"({"command":"OrbitAppQuitNow"})", {"App.QuitNow"}, "none"},
      {R"({"command":"OrbitAppGetInfo"})",
       {"Os.GetComputerName"},
       R"(success:{"appVersion":"0.2.5","computerName":"workstation"})"},
      {R"({"command":"OrbitTrayIconNotify","title":"T","text":"x","unreadCount":5})",
       {"Tray.Notify(T|x|5)", "Window.Flash"},
       "success:{}"},
      {R"({"command":"OrbitTrayIconNotify"})",
       {"Tray.Notify(||-1)", "Window.Flash"},
       "success:{}"},
      {R"({"command":"OrbitTrayIconUpdateMenu","defaultItemId":2,"items":[)"
       R"({"id":1,"label":"Open","enabled":true},{"id":-1,"label":"Off","enabled":1},)"
       R"({"id":1,"label":"Same id","enabled":true}]})",
       {"Tray.UpdateMenu([1|Open|true][-1|Off|false][1|Same id|true])"},
       "success:{}"},
      {R"({"command":"OrbitTrayIconUpdateMenu"})", {"Tray.UpdateMenu()"}, "success:{}"},
      {R"({"command":"OrbitToastShow","width":10,"height":20})", {}, "success:{}"},
      {R"({"command":"OrbitToastHide"})", {}, "success:{}"},
      {R"({"command":"OrbitMainBrowserShow"})", {"Window.Show"}, "success:{}"},
      {R"({"command":"OrbitMainBrowserHide"})", {"Window.Hide"}, "success:{}"},
      {R"({"command":"OrbitMainBrowserFlash"})", {"Window.Flash"}, "success:{}"},
      {R"({"command":"OrbitMainBrowserUnflash"})",
       {"Window.Unflash", "Tray.ClearBadge", "Tray.RemoveDeliveredNotifications"},
       "success:{}"},
      {R"({"command":"OrbitMainBrowserMinimize"})", {"Window.Minimize"}, "success:{}"},
      {R"({"command":"OrbitMainBrowserSetTopmost","enabled":true})",
       {"Window.SetTopmost(true)"},
       "success:{}"},
      {R"({"command":"OrbitMainBrowserSetTopmost","enabled":1})",
       {"Window.SetTopmost(false)"},
       "success:{}"},
      {R"({"command":"OrbitMainBrowserGetState"})",
       {"Window.GetState"},
       R"(success:{"state":"visible"})"},
      {R"({"command":"OrbitMainBrowserSetAlpha","value":255})",
       {"Window.SetAlpha(255)"},
       "success:{}"},
      {R"({"command":"OrbitMainBrowserSetAlpha"})", {"Window.SetAlpha(0)"}, "success:{}"},
      {R"({"command":"OrbitMainBrowserSetAlpha","value":256})",
       {},
       R"(failure:0:{"error":"Out of range"})"},
      {R"({"command":"OrbitMainBrowserSetAlpha","value":-1})",
       {},
       R"(failure:0:{"error":"Out of range"})"},
      {R"({"command":"OrbitMainBrowserSetAlpha","value":100000})",
       {},
       R"(failure:0:{"error":"Out of range"})"},
      {R"({"command":"OrbitMainBrowserSetIMEEnabled","enabled":true})", {}, "success:{}"},
      {R"({"command":"OrbitOSOpenExternalBrowser","url":"https://example.com/?a=\"b\""})",
       {R"(Os.OpenExternalBrowser(https://example.com/?a="b"))"},
       "success:{}"},
      {R"({"command":"OrbitOSGetUserIdleTime"})",
       {"Os.GetUserIdleTime"},
       R"(success:{"t":0})"},
      {R"({"command":"OrbitOSIsStartupAppRegistered"})",
       {"Os.IsStartupAppRegistered"},
       R"(success:{"registered":false})"},
      {R"({"command":"OrbitOSRegisterStartupApp"})",
       {"Os.RegisterStartupApp"},
       "success:{}"},
      {R"({"command":"OrbitOSUnregisterStartupApp"})",
       {"Os.UnregisterStartupApp"},
       "success:{}"},
      {R"({"command":"OrbitPopupPrepare","name":"chat","features":["noborder","center"]})",
       {"Popup.Prepare(chat:[noborder][center])"},
       "success:{}"},
      {R"({"command":"OrbitPopupPrepare","name":"empty"})",
       {"Popup.Prepare(empty:)"},
       "success:{}"},
  };
  for (const Row& row : rows) {
    const Result result = Run(row.request);
    EXPECT_EQ(row.calls, result.calls) << row.request;
    EXPECT_EQ(row.answer, result.answer) << row.request;
  }
}

TEST_F(BridgeCommandsTest, AnswersCarryWhatTheServicesSay) {
  fake_->state = kMainWindowStateHidden;
  fake_->computer_name = "";
  fake_->idle_ms = 12345;
  fake_->registered = true;
  EXPECT_EQ(R"(success:{"state":"hidden"})",
            Run(R"({"command":"OrbitMainBrowserGetState"})").answer);
  fake_->state = kMainWindowStateFocused;
  EXPECT_EQ(R"(success:{"state":"focused"})",
            Run(R"({"command":"OrbitMainBrowserGetState"})").answer);
  EXPECT_EQ(R"(success:{"appVersion":"0.2.5","computerName":""})",
            Run(R"({"command":"OrbitAppGetInfo"})").answer);
  EXPECT_EQ(R"(success:{"t":12345})",
            Run(R"({"command":"OrbitOSGetUserIdleTime"})").answer);
  EXPECT_EQ(R"(success:{"registered":true})",
            Run(R"({"command":"OrbitOSIsStartupAppRegistered"})").answer);
  // Text from the system goes to the page as JSON text, quotes and all.
  fake_->computer_name = "a\"b\\c";
  EXPECT_EQ(R"(success:{"appVersion":"0.2.5","computerName":"a\"b\\c"})",
            Run(R"({"command":"OrbitAppGetInfo"})").answer);
}

TEST_F(BridgeCommandsTest, LoginItemsThatCannotBeWrittenStillAnswerWhenDone) {
  fake_->register_succeeds = false;
  fake_->unregister_succeeds = false;
  const Result registered = Run(R"({"command":"OrbitOSRegisterStartupApp"})");
  EXPECT_EQ(std::vector<std::string>{"Os.RegisterStartupApp"}, registered.calls);
  EXPECT_EQ("success:{}", registered.answer);
  const Result unregistered = Run(R"({"command":"OrbitOSUnregisterStartupApp"})");
  EXPECT_EQ(std::vector<std::string>{"Os.UnregisterStartupApp"}, unregistered.calls);
  EXPECT_EQ("success:{}", unregistered.answer);
}

TEST_F(BridgeCommandsTest, ArgumentsOfTheWrongTypeReadAsMissing) {
  const std::vector<Row> rows = {
      {R"({"command":"OrbitMainBrowserSetAlpha","value":"200"})",
       {"Window.SetAlpha(0)"},
       "success:{}"},
      {R"({"command":"OrbitMainBrowserSetAlpha","value":12.5})",
       {"Window.SetAlpha(0)"},
       "success:{}"},
      {R"({"command":"OrbitMainBrowserSetAlpha","value":123456789012345678901234567890})",
       {"Window.SetAlpha(0)"},
       "success:{}"},
      {R"({"command":"OrbitMainBrowserSetAlpha","value":null})",
       {"Window.SetAlpha(0)"},
       "success:{}"},
      {R"({"command":"OrbitMainBrowserSetAlpha","value":4294967295})",
       {},
       R"(failure:0:{"error":"Out of range"})"},
      {R"({"command":"OrbitMainBrowserSetAlpha","value":4294967296})",
       {"Window.SetAlpha(0)"},
       "success:{}"},
      {R"({"command":"OrbitTrayIconNotify","title":7,"text":{"a":1},"unreadCount":"3"})",
       {"Tray.Notify(||-1)", "Window.Flash"},
       "success:{}"},
      {R"({"command":"OrbitTrayIconNotify","unreadCount":null})",
       {"Tray.Notify(||0)", "Window.Flash"},
       "success:{}"},
      {R"({"command":"OrbitTrayIconUpdateMenu","items":{"id":1}})",
       {"Tray.UpdateMenu()"},
       "success:{}"},
      {R"({"command":"OrbitTrayIconUpdateMenu","items":[3,"x",{"label":"No id"},)"
       R"({"id":"2","label":4,"enabled":"true"}]})",
       {"Tray.UpdateMenu([0|No id|false][0||false])"},
       "success:{}"},
      {R"({"command":"OrbitPopupPrepare","name":5,"features":["a",1,null,"b"]})",
       {"Popup.Prepare(:[a][b])"},
       "success:{}"},
      {R"({"command":"OrbitPopupPrepare","features":"noborder"})",
       {"Popup.Prepare(:)"},
       "success:{}"},
      {R"({"command":"OrbitOSOpenExternalBrowser","url":["https://a/"]})",
       {"Os.OpenExternalBrowser()"},
       "success:{}"},
  };
  for (const Row& row : rows) {
    const Result result = Run(row.request);
    EXPECT_EQ(row.calls, result.calls) << row.request;
    EXPECT_EQ(row.answer, result.answer) << row.request;
  }
}

}  // namespace
