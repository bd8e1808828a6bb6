// The routing of a page's documents' queries: who hears an answer, what ends with a
// document, and what a document the client does not trust may have the program do.
#include "engine/qt/document_router.h"

#include <gtest/gtest.h>

#include "engine/message_router.h"
#include "fakes.h"

namespace {

using engine::BridgeAnswer;
using engine::BridgeEntry;
using engine::ProcessMessage;

class RecordingClient : public engine::Client, public engine::RequestHandler {
 public:
  std::shared_ptr<engine::RequestHandler> GetRequestHandler() override {
    return std::shared_ptr<engine::RequestHandler>(this, [](auto*) {});
  }
  bool OnProcessMessageReceived(const std::shared_ptr<engine::Browser>&,
                                const ProcessMessage& message) override {
    messages.push_back(message);
    return true;
  }
  bool MayRequestAcrossOrigins(const std::shared_ptr<engine::Browser>&,
                               const std::shared_ptr<engine::Frame>& frame) override {
    return frame->GetSecurityOrigin() == "app://lumio";
  }
  std::vector<ProcessMessage> messages;
};

class DocumentRouterTest : public testing::Test, public engine::DocumentRouter::Host {
 protected:
  // DocumentRouter::Host
  std::shared_ptr<engine::Browser> RoutedBrowser() override { return browser_; }
  bool IsClosed() const override { return closed_; }
  void OnMainDocument(const std::string& name) override {}
  void OnFrameAddress(const std::string&,
                      const std::string&,
                      const std::string&) override {}
  void StartProgramRequest(const std::string& key,
                           int64_t page_id,
                           const std::string& request) override {
    program_requests_.push_back(key + "/" + std::to_string(page_id) + "/" + request);
  }

  static BridgeEntry Document(const std::string& key,
                              bool main,
                              const std::string& origin = "app://lumio",
                              const std::string& name = "") {
    BridgeEntry entry;
    entry.kind = BridgeEntry::Kind::kDocument;
    entry.key = key;
    entry.main = main;
    entry.origin = origin;
    entry.url = origin + "/index.html";
    entry.name = name;
    return entry;
  }
  static BridgeEntry Query(const std::string& key,
                           int64_t id,
                           bool persistent = false,
                           BridgeEntry::Kind kind = BridgeEntry::Kind::kQuery) {
    BridgeEntry entry;
    entry.kind = kind;
    entry.key = key;
    entry.page_id = id;
    entry.request = "request " + std::to_string(id);
    entry.persistent = persistent;
    return entry;
  }
  ProcessMessage Answer(int64_t router_id, bool success, const std::string& text) {
    ProcessMessage answer;
    answer.kind = ProcessMessage::Kind::kResponse;
    answer.query_id = router_id;
    answer.success = success;
    answer.result = text;
    return answer;
  }

  std::shared_ptr<FakeBrowser> browser_ = std::make_shared<FakeBrowser>();
  std::shared_ptr<RecordingClient> client_ = std::make_shared<RecordingClient>();
  std::shared_ptr<engine::DocumentScriptRunner> runner_;
  std::vector<engine::AnswerBatcher::Answers> sent_;
  std::vector<std::string> program_requests_;
  bool closed_ = false;
  engine::DocumentRouter router_{
      *this, client_, runner_, [] {},
      [this](engine::AnswerBatcher::Answers answers) { sent_.push_back(answers); }};
};

TEST_F(DocumentRouterTest, AnswersGoBackToTheDocumentAndIdThatAsked) {
  router_.OnBatch({Document("main", true), Document("sub", false), Query("main", 1),
                   Query("sub", 1, /*persistent=*/true)});
  ASSERT_EQ(2u, client_->messages.size());
  const int64_t main_query = client_->messages[0].query_id;
  const int64_t sub_query = client_->messages[1].query_id;
  ASSERT_NE(main_query, sub_query);  // both documents numbered theirs 1
  EXPECT_EQ("request 1", client_->messages[1].request);
  EXPECT_FALSE(client_->messages[1].frame->IsMain());

  // A persistent query hears every answer; a plain one only its first.
  router_.OnResponse(Answer(sub_query, true, "one"));
  router_.OnResponse(Answer(sub_query, true, "two"));
  router_.OnResponse(Answer(main_query, true, "done"));
  router_.OnResponse(Answer(main_query, true, "again"));
  router_.answers().Flush();
  ASSERT_EQ(1u, sent_.size());
  std::vector<std::string> heard;
  for (const BridgeAnswer& answer : sent_[0])
    heard.push_back(answer.key + "/" + std::to_string(answer.page_id) + "/" +
                    answer.text);
  EXPECT_EQ((std::vector<std::string>{"sub/1/one", "sub/1/two", "main/1/done"}), heard);
}

TEST_F(DocumentRouterTest, AQueryOfAnUnknownDocumentIsCanceledInItsBatch) {
  std::vector<BridgeAnswer> answers =
      router_.OnBatch({Document("main", true), Query("gone", 7)});
  EXPECT_TRUE(client_->messages.empty());
  ASSERT_EQ(1u, answers.size());
  EXPECT_EQ("gone", answers[0].key);
  EXPECT_EQ(7, answers[0].page_id);
  EXPECT_FALSE(answers[0].success);
  EXPECT_EQ(engine::MessageRouter::kCanceledErrorCode, answers[0].code);
}

TEST_F(DocumentRouterTest, QueriesEndInTheRouterWithTheirDocuments) {
  router_.OnBatch({Document("main", true), Document("sub", false), Query("sub", 1, true),
                   Query("main", 2, true)});
  const int64_t sub_query = client_->messages[0].query_id;
  const int64_t main_query = client_->messages[1].query_id;
  client_->messages.clear();

  BridgeEntry gone;
  gone.kind = BridgeEntry::Kind::kDocumentGone;
  gone.key = "sub";
  router_.OnBatch({gone});
  ASSERT_EQ(1u, client_->messages.size());
  EXPECT_EQ(ProcessMessage::Kind::kCancel, client_->messages[0].kind);
  EXPECT_EQ(sub_query, client_->messages[0].query_id);

  // A new page ends the old one's queries, and their late answers go nowhere.
  router_.OnBatch({Document("next", true)});
  ASSERT_EQ(2u, client_->messages.size());
  EXPECT_EQ(main_query, client_->messages[1].query_id);
  router_.OnResponse(Answer(main_query, true, "late"));
  router_.answers().Flush();
  EXPECT_TRUE(sent_.empty());
}

TEST_F(DocumentRouterTest, NothingIsRoutedOnceTheBrowserClosesMidBatch) {
  struct ClosingClient : RecordingClient {
    bool* closed;
    bool OnProcessMessageReceived(const std::shared_ptr<engine::Browser>& browser,
                                  const ProcessMessage& message) override {
      *closed = true;  // the command closed the window
      return RecordingClient::OnProcessMessageReceived(browser, message);
    }
  };
  auto closing = std::make_shared<ClosingClient>();
  closing->closed = &closed_;
  engine::DocumentRouter router(
      *this, closing, runner_, [] {}, [](auto) {});
  router.OnBatch({Document("main", true), Query("main", 1), Query("main", 2)});
  EXPECT_EQ(1u, closing->messages.size());
}

TEST_F(DocumentRouterTest, APopupKeepsTheNameItWasOpenedWith) {
  router_.OnBatch({Document("first", true, "app://lumio", "chat")});
  router_.FixMainName();
  router_.OnBatch({Document("second", true, "app://lumio", "renamed")});
  EXPECT_EQ("chat", router_.frames().main_frame()->GetName());
}

TEST_F(DocumentRouterTest, OnlyTrustedDocumentsHaveTheProgramRequestForThem) {
  std::vector<BridgeAnswer> answers = router_.OnBatch(
      {Document("app", true), Document("web", false, "https://example.com"),
       Query("web", 1, false, BridgeEntry::Kind::kProgramRequest),
       Query("app", 2, false, BridgeEntry::Kind::kProgramRequest)});
  EXPECT_EQ((std::vector<std::string>{"app/2/request 2"}), program_requests_);
  ASSERT_EQ(1u, answers.size());
  EXPECT_EQ("web", answers[0].key);
  EXPECT_FALSE(answers[0].success);
}

}  // namespace
