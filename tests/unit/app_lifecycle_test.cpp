// The quit sequence and reopening, on a fake clock.
#include "app/app_lifecycle.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>
#include <vector>

#include "bridge/json_to_text.h"

namespace {

using State = AppLifecycle::State;

// Records every call in order; delayed tasks wait for Advance.
class FakeShell : public AppShell {
 public:
  const std::vector<std::string>& calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }
  int64_t now() const { return now_; }

  // Moves the clock on by |ms|, running each task that falls due on the way, in
  // order of due time (and of posting, for equal times).
  void Advance(int64_t ms) {
    const int64_t end = now_ + ms;
    while (!tasks_.empty() && tasks_.begin()->first.first <= end) {
      auto task = std::move(tasks_.begin()->second);
      now_ = tasks_.begin()->first.first;
      tasks_.erase(tasks_.begin());
      task();
    }
    now_ = end;
  }
  size_t pending_tasks() const { return tasks_.size(); }
  // The browsers were asked to close by another way than the lifecycle.
  void MarkBrowsersClosing() { closing_ = true; }

  // AppShell
  void ShowMainWindow() override { Record("ShowMainWindow"); }
  void HideMainWindow() override { Record("HideMainWindow"); }
  void SendPageEvent(const std::string& name, const rapidjson::Value& payload) override {
    Record("SendPageEvent:" + name + ":" + JsonToText(payload));
  }
  // As the program's browsers: the first call marks them closing.
  void CloseAllBrowsers() override {
    closing_ = true;
    Record("CloseAllBrowsers");
  }
  bool BrowsersClosing() const override { return closing_; }
  void ClearBadge() override { Record("ClearBadge"); }
  void RemoveDeliveredNotifications() override { Record("RemoveDeliveredNotifications"); }
  void PostDelayedTask(std::function<void()> task, int64_t delay_ms) override {
    tasks_.emplace(std::make_pair(now_ + delay_ms, next_sequence_++), std::move(task));
  }

 private:
  void Record(const std::string& call) {
    calls_.push_back("t=" + std::to_string(now_) + " " + call);
  }

  bool closing_ = false;
  int64_t now_ = 0;
  int next_sequence_ = 0;
  std::map<std::pair<int64_t, int>, std::function<void()>> tasks_;
  std::vector<std::string> calls_;
};

const std::vector<std::string> kAnnounceAtZero = {
    "t=0 HideMainWindow", "t=0 SendPageEvent:OrbitAppWillQuit:{}"};

TEST(AppLifecycleTest, QuitAnnouncesAtOnceClosesAfterTheGracePeriodThenTheLoopEnds) {
  FakeShell shell;
  AppLifecycle lifecycle(&shell);
  EXPECT_EQ(State::kRunning, lifecycle.state());

  lifecycle.Quit();
  EXPECT_EQ(kAnnounceAtZero, shell.calls());
  EXPECT_EQ(State::kQuitAnnounced, lifecycle.state());

  shell.Advance(kQuitGracePeriodMs - 1);
  EXPECT_EQ(kAnnounceAtZero, shell.calls());
  EXPECT_EQ(State::kQuitAnnounced, lifecycle.state());

  shell.Advance(1);
  std::vector<std::string> expected = kAnnounceAtZero;
  expected.push_back("t=5000 CloseAllBrowsers");
  EXPECT_EQ(expected, shell.calls());
  EXPECT_EQ(State::kClosing, lifecycle.state());

  lifecycle.OnLoopEnded();
  EXPECT_EQ(State::kLoopEnded, lifecycle.state());
  // Nothing is left to happen.
  lifecycle.Quit();
  lifecycle.QuitNow();
  lifecycle.Reopen();
  shell.Advance(60000);
  EXPECT_EQ(expected, shell.calls());
}

TEST(AppLifecycleTest, RepeatedQuitTellsThePageAgainAndClosesOnceWhenTheFirstPeriodEnds) {
  FakeShell shell;
  AppLifecycle lifecycle(&shell);
  lifecycle.Quit();
  shell.Advance(2000);
  lifecycle.Quit();
  shell.Advance(3000);
  lifecycle.Quit();  // while the browsers close
  shell.Advance(60000);

  EXPECT_EQ((std::vector<std::string>{
                "t=0 HideMainWindow", "t=0 SendPageEvent:OrbitAppWillQuit:{}",
                "t=2000 HideMainWindow", "t=2000 SendPageEvent:OrbitAppWillQuit:{}",
                "t=5000 CloseAllBrowsers", "t=5000 HideMainWindow",
                "t=5000 SendPageEvent:OrbitAppWillQuit:{}"}),
            shell.calls());
  EXPECT_EQ(State::kClosing, lifecycle.state());
}

TEST(AppLifecycleTest, QuitNowDuringTheGracePeriodClosesAtOnceAndTheLateTaskDoesNothing) {
  FakeShell shell;
  AppLifecycle lifecycle(&shell);
  lifecycle.Quit();
  shell.Advance(1200);
  lifecycle.QuitNow();
  std::vector<std::string> expected = kAnnounceAtZero;
  expected.push_back("t=1200 CloseAllBrowsers");
  EXPECT_EQ(expected, shell.calls());
  EXPECT_EQ(State::kClosing, lifecycle.state());

  lifecycle.QuitNow();
  shell.Advance(60000);
  EXPECT_EQ(expected, shell.calls());
}

TEST(AppLifecycleTest, QuitNowAloneNeitherHidesNorTellsThePage) {
  FakeShell shell;
  AppLifecycle lifecycle(&shell);
  lifecycle.QuitNow();
  EXPECT_EQ(std::vector<std::string>{"t=0 CloseAllBrowsers"}, shell.calls());
  EXPECT_EQ(State::kClosing, lifecycle.state());
  EXPECT_EQ(0u, shell.pending_tasks());
}

TEST(AppLifecycleTest, ReopenWhileRunningShowsAndClearsAndQuitsNothing) {
  FakeShell shell;
  AppLifecycle lifecycle(&shell);
  lifecycle.Reopen();
  EXPECT_EQ((std::vector<std::string>{"t=0 ShowMainWindow", "t=0 ClearBadge",
                                      "t=0 RemoveDeliveredNotifications"}),
            shell.calls());
  EXPECT_EQ(State::kRunning, lifecycle.state());
  EXPECT_EQ(0u, shell.pending_tasks());
}

TEST(AppLifecycleTest, ReopenDuringTheGracePeriodShowsTheWindowButTheBrowsersStillClose) {
  FakeShell shell;
  AppLifecycle lifecycle(&shell);
  lifecycle.Quit();
  shell.Advance(3000);
  lifecycle.Reopen();
  EXPECT_EQ(State::kQuitAnnounced, lifecycle.state());
  shell.Advance(2000);

  std::vector<std::string> expected = kAnnounceAtZero;
  expected.insert(expected.end(),
                  {"t=3000 ShowMainWindow", "t=3000 ClearBadge",
                   "t=3000 RemoveDeliveredNotifications", "t=5000 CloseAllBrowsers"});
  EXPECT_EQ(expected, shell.calls());
  EXPECT_EQ(State::kClosing, lifecycle.state());
}

TEST(AppLifecycleTest, ReopenWhileTheBrowsersCloseShowsNothing) {
  FakeShell shell;
  AppLifecycle lifecycle(&shell);
  lifecycle.QuitNow();
  shell.ClearCalls();
  lifecycle.Reopen();
  EXPECT_TRUE(shell.calls().empty());
}

TEST(AppLifecycleTest, BrowsersClosingByAnotherWayCountAsClosing) {
  FakeShell shell;
  AppLifecycle lifecycle(&shell);
  lifecycle.Quit();
  shell.MarkBrowsersClosing();
  EXPECT_EQ(State::kClosing, lifecycle.state());
  shell.ClearCalls();

  // Neither the end of the grace period nor a reopen acts on closing browsers.
  lifecycle.Reopen();
  lifecycle.QuitNow();
  shell.Advance(kQuitGracePeriodMs);
  EXPECT_TRUE(shell.calls().empty());
}

TEST(AppLifecycleTest, AGracePeriodOutlivingTheLifecycleDoesNothing) {
  FakeShell shell;
  {
    AppLifecycle lifecycle(&shell);
    lifecycle.Quit();
  }
  shell.ClearCalls();
  shell.Advance(kQuitGracePeriodMs);
  EXPECT_TRUE(shell.calls().empty());
}

}  // namespace
