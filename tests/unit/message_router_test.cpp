#include "engine/message_router.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fakes.h"

namespace {

using engine::MessageRouter;
using engine::ProcessMessage;

class RecordingHandler : public MessageRouter::Handler {
 public:
  struct Query {
    int browser_id;
    std::shared_ptr<engine::Frame> frame;
    int64_t id;
    std::string request;
    bool persistent;
    std::shared_ptr<MessageRouter::Callback> callback;
  };

  explicit RecordingHandler(bool take = true) : take_(take) {}

  bool OnQuery(const std::shared_ptr<engine::Browser>& browser,
               const std::shared_ptr<engine::Frame>& frame,
               int64_t query_id,
               const std::string& request,
               bool persistent,
               const std::shared_ptr<MessageRouter::Callback>& callback) override {
    queries_.push_back(
        {browser->GetIdentifier(), frame, query_id, request, persistent, callback});
    if (take_ && on_query_)
      on_query_(*callback);
    return take_;
  }
  void OnQueryCanceled(const std::shared_ptr<engine::Browser>& browser,
                       const std::shared_ptr<engine::Frame>& frame,
                       int64_t query_id) override {
    canceled_.push_back(query_id);
  }

  std::vector<Query> queries_;
  std::vector<int64_t> canceled_;
  std::function<void(MessageRouter::Callback&)> on_query_;

 private:
  bool take_;
};

class MessageRouterTest : public ::testing::Test {
 protected:
  void SetUp() override { router_->AddHandler(&handler_, false); }

  void Query(const std::shared_ptr<FakeBrowser>& browser,
             int64_t id,
             bool persistent = false,
             const std::string& request = "{}") {
    ProcessMessage message;
    message.kind = ProcessMessage::Kind::kQuery;
    message.frame = browser->main_frame();
    message.query_id = id;
    message.request = request;
    message.persistent = persistent;
    EXPECT_TRUE(router_->OnProcessMessageReceived(browser, message));
  }
  void Cancel(const std::shared_ptr<FakeBrowser>& browser, int64_t id) {
    ProcessMessage message;
    message.kind = ProcessMessage::Kind::kCancel;
    message.frame = browser->main_frame();
    message.query_id = id;
    EXPECT_TRUE(router_->OnProcessMessageReceived(browser, message));
  }
  MessageRouter::Callback& LastCallback() { return *handler_.queries_.back().callback; }

  // "id:ok:text" or "id:code:text" for every response a browser received.
  static std::vector<std::string> Responses(const FakeBrowser& browser) {
    std::vector<std::string> out;
    for (const ProcessMessage& m : browser.sent_messages()) {
      EXPECT_EQ(ProcessMessage::Kind::kResponse, m.kind);
      out.push_back(std::to_string(m.query_id) + ":" +
                    (m.success ? "ok" : std::to_string(m.error_code)) + ":" + m.result);
    }
    return out;
  }
  using Texts = std::vector<std::string>;

  RecordingHandler handler_;
  std::shared_ptr<MessageRouter> router_ = MessageRouter::Create();
  std::shared_ptr<FakeBrowser> browser_ = std::make_shared<FakeBrowser>(1);
};

TEST_F(MessageRouterTest, TakenQueryGetsItsAnswer) {
  Query(browser_, 7, false, R"({"command":"X"})");
  ASSERT_EQ(1u, handler_.queries_.size());
  EXPECT_EQ(1, handler_.queries_[0].browser_id);
  EXPECT_EQ(browser_->main_frame(), handler_.queries_[0].frame);
  EXPECT_EQ(R"({"command":"X"})", handler_.queries_[0].request);
  EXPECT_FALSE(handler_.queries_[0].persistent);
  EXPECT_EQ(1u, router_->GetPendingQueryCount(browser_));
  EXPECT_TRUE(Responses(*browser_).empty());

  LastCallback().Success(R"({"text":"Hello, world!"})");
  EXPECT_EQ(Texts{R"(7:ok:{"text":"Hello, world!"})"}, Responses(*browser_));
  EXPECT_EQ(0u, router_->GetPendingQueryCount(browser_));
}

TEST_F(MessageRouterTest, QueryNoHandlerTakesFailsAsCanceled) {
  RecordingHandler declines(false);
  auto router = MessageRouter::Create();
  router->AddHandler(&declines, false);
  ProcessMessage message;
  message.query_id = 3;
  EXPECT_TRUE(router->OnProcessMessageReceived(browser_, message));
  EXPECT_EQ(1u, declines.queries_.size());
  EXPECT_EQ(Texts{"3:-1:The query has been canceled"}, Responses(*browser_));
  EXPECT_EQ(0u, router->GetPendingQueryCount(nullptr));

  // A late answer from the handler that declined goes nowhere.
  declines.queries_[0].callback->Success("late");
  EXPECT_EQ(1u, browser_->sent_messages().size());
}

TEST_F(MessageRouterTest, HandlersAreAskedInOrderUntilOneTakes) {
  RecordingHandler first(false);
  EXPECT_TRUE(router_->AddHandler(&first, true));
  EXPECT_FALSE(router_->AddHandler(&first, false));
  Query(browser_, 1);
  EXPECT_EQ(1u, first.queries_.size());
  EXPECT_EQ(1u, handler_.queries_.size());
  LastCallback().Success("r");
  EXPECT_EQ(Texts{"1:ok:r"}, Responses(*browser_));
}

TEST_F(MessageRouterTest, NonPersistentQueryEndsWithItsFirstAnswer) {
  Query(browser_, 1);
  LastCallback().Failure(0, R"({"error":"Out of range"})");
  LastCallback().Success("dropped");
  LastCallback().Failure(5, "dropped");
  EXPECT_EQ(Texts{R"(1:0:{"error":"Out of range"})"}, Responses(*browser_));
  // Ending by answer is not a cancel.
  EXPECT_TRUE(handler_.canceled_.empty());
}

TEST_F(MessageRouterTest, SynchronousAnswerInsideOnQuery) {
  handler_.on_query_ = [](MessageRouter::Callback& callback) { callback.Success("now"); };
  Query(browser_, 4);
  EXPECT_EQ(Texts{"4:ok:now"}, Responses(*browser_));
  EXPECT_EQ(0u, router_->GetPendingQueryCount(browser_));
}

TEST_F(MessageRouterTest, PersistentQueryStaysUntilCanceled) {
  Query(browser_, 2, true);
  LastCallback().Success("a");
  LastCallback().Success("b");
  EXPECT_EQ(1u, router_->GetPendingQueryCount(browser_));

  Cancel(browser_, 2);
  EXPECT_EQ(std::vector<int64_t>{2}, handler_.canceled_);
  EXPECT_EQ(0u, router_->GetPendingQueryCount(browser_));
  LastCallback().Success("after cancel");
  EXPECT_EQ((Texts{"2:ok:a", "2:ok:b"}), Responses(*browser_));

  // Canceling what is not open does nothing.
  Cancel(browser_, 2);
  Cancel(browser_, 99);
  EXPECT_EQ(1u, handler_.canceled_.size());
}

TEST_F(MessageRouterTest, PersistentQueryEndsWithFailure) {
  Query(browser_, 2, true);
  LastCallback().Success("a");
  LastCallback().Failure(1, "done");
  LastCallback().Success("dropped");
  EXPECT_EQ((Texts{"2:ok:a", "2:1:done"}), Responses(*browser_));
  EXPECT_EQ(0u, router_->GetPendingQueryCount(browser_));
}

TEST_F(MessageRouterTest, MainFrameNavigationCancelsSubFrameNavigationDoesNot) {
  Query(browser_, 1, true);
  Query(browser_, 2);
  router_->OnBeforeBrowse(browser_, std::make_shared<FakeFrame>("app://lumio/", false));
  EXPECT_TRUE(handler_.canceled_.empty());
  EXPECT_EQ(2u, router_->GetPendingQueryCount(browser_));

  router_->OnBeforeBrowse(browser_, browser_->main_frame());
  EXPECT_EQ((std::vector<int64_t>{1, 2}), handler_.canceled_);
  EXPECT_EQ(0u, router_->GetPendingQueryCount(browser_));
  // Canceled queries get no answer: their page is gone.
  EXPECT_TRUE(Responses(*browser_).empty());
}

TEST_F(MessageRouterTest, CloseAndRendererCrashCancelOnlyThatBrowser) {
  auto other = std::make_shared<FakeBrowser>(2);
  Query(browser_, 1, true);
  Query(other, 1, true);
  router_->OnBeforeClose(browser_);
  EXPECT_EQ(std::vector<int64_t>{1}, handler_.canceled_);
  EXPECT_EQ(0u, router_->GetPendingQueryCount(browser_));
  EXPECT_EQ(1u, router_->GetPendingQueryCount(other));

  router_->OnRenderProcessTerminated(other);
  EXPECT_EQ((std::vector<int64_t>{1, 1}), handler_.canceled_);
  EXPECT_EQ(0u, router_->GetPendingQueryCount(nullptr));
}

TEST_F(MessageRouterTest, SameIdFromTwoBrowsersIsTwoQueries) {
  auto other = std::make_shared<FakeBrowser>(2);
  Query(browser_, 1);
  auto& first = *handler_.queries_.back().callback;
  Query(other, 1);
  auto& second = *handler_.queries_.back().callback;
  EXPECT_EQ(2u, router_->GetPendingQueryCount(nullptr));

  second.Success("for other");
  Cancel(other, 1);  // already ended: no effect on browser 1
  first.Success("for first");
  EXPECT_EQ(Texts{"1:ok:for first"}, Responses(*browser_));
  EXPECT_EQ(Texts{"1:ok:for other"}, Responses(*other));
  EXPECT_TRUE(handler_.canceled_.empty());
}

TEST_F(MessageRouterTest, IdStillOpenIsRefusedAndTheOpenQueryKept) {
  Query(browser_, 1, true);
  Query(browser_, 1);
  EXPECT_EQ(1u, handler_.queries_.size());
  EXPECT_EQ(Texts{"1:-1:The query has been canceled"}, Responses(*browser_));
  LastCallback().Success("still open");
  EXPECT_EQ(2u, Responses(*browser_).size());
}

TEST_F(MessageRouterTest, AnswerToAnEndedQueryDoesNotReachALaterOneWithTheSameId) {
  // A reloaded page numbers its queries from the start again.
  Query(browser_, 1, true);
  auto stale = handler_.queries_.back().callback;
  router_->OnBeforeBrowse(browser_, browser_->main_frame());
  Query(browser_, 1);
  auto fresh = handler_.queries_.back().callback;

  stale->Success("meant for the old page");
  EXPECT_TRUE(Responses(*browser_).empty());
  fresh->Success("new");
  EXPECT_EQ(Texts{"1:ok:new"}, Responses(*browser_));
}

TEST_F(MessageRouterTest, RemovingTheHandlerEndsItsQueriesWithoutAnswer) {
  Query(browser_, 1, true);
  auto callback = handler_.queries_.back().callback;
  EXPECT_TRUE(router_->RemoveHandler(&handler_));
  EXPECT_FALSE(router_->RemoveHandler(&handler_));
  EXPECT_EQ(std::vector<int64_t>{1}, handler_.canceled_);
  callback->Success("dropped");
  EXPECT_TRUE(Responses(*browser_).empty());
}

TEST_F(MessageRouterTest, CallbackOutlivingTheRouterIsHarmless) {
  Query(browser_, 1);
  auto callback = handler_.queries_.back().callback;
  router_.reset();
  callback->Success("dropped");
  callback->Failure(1, "dropped");
  EXPECT_TRUE(browser_->sent_messages().empty());
}

TEST_F(MessageRouterTest, ResponsesAndNullBrowsersAreNotTaken) {
  ProcessMessage response;
  response.kind = ProcessMessage::Kind::kResponse;
  EXPECT_FALSE(router_->OnProcessMessageReceived(browser_, response));
  ProcessMessage query;
  EXPECT_FALSE(router_->OnProcessMessageReceived(nullptr, query));
  EXPECT_TRUE(handler_.queries_.empty());
}

}  // namespace
