#include "bridge/bridge_router.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bridge/json_to_text.h"
#include "fakes.h"

namespace {

class BridgeRouterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterBridgeCommand(
        table_, "OrbitAppGetInfo",
        [this](auto&, auto&, int64_t query_id, const rapidjson::Document& request,
               bool persistent, auto& callback) {
          calls_.push_back({query_id, persistent, JsonToText(request)});
          rapidjson::Document reply(rapidjson::kObjectType);
          reply.AddMember("text", "Hello, world!", reply.GetAllocator());
          callback->Success(reply);
        });
  }
  bool Dispatch(const std::string& request,
                const std::string& url = "app://lumio/index.html") {
    frame_->set_url(url);
    return DispatchBridgeQuery(table_, browser_, frame_, 7, request, false, callback_);
  }

  struct Call {
    int64_t query_id;
    bool persistent;
    std::string request;
  };
  BridgeCommandTable table_;
  std::vector<Call> calls_;
  std::shared_ptr<FakeBrowser> browser_ = std::make_shared<FakeBrowser>();
  std::shared_ptr<FakeFrame> frame_ = std::make_shared<FakeFrame>();
  std::shared_ptr<FakeRouterCallback> callback_ = std::make_shared<FakeRouterCallback>();
};

TEST_F(BridgeRouterTest, RegisteredCommandRunsAndAnswersCompactly) {
  EXPECT_TRUE(Dispatch(R"( {"command" : "OrbitAppGetInfo"} )"));
  ASSERT_EQ(1u, calls_.size());
  EXPECT_EQ(7, calls_[0].query_id);
  EXPECT_EQ(R"({"command":"OrbitAppGetInfo"})", calls_[0].request);
  ASSERT_EQ(1u, callback_->successes().size());
  EXPECT_EQ(R"({"text":"Hello, world!"})", callback_->successes()[0]);
  EXPECT_TRUE(callback_->failures().empty());
}

TEST_F(BridgeRouterTest, HandlerGetsPersistentFlagAndWholeRequest) {
  EXPECT_TRUE(DispatchBridgeQuery(table_, browser_, frame_, -5,
                                  R"({"x":1,"command":"OrbitAppGetInfo","y":[true]})",
                                  true, callback_));
  ASSERT_EQ(1u, calls_.size());
  EXPECT_EQ(-5, calls_[0].query_id);
  EXPECT_TRUE(calls_[0].persistent);
  EXPECT_EQ(R"({"x":1,"command":"OrbitAppGetInfo","y":[true]})", calls_[0].request);
}

TEST_F(BridgeRouterTest, RequestsThatAreNotTakenRunNothing) {
  const std::vector<std::string> refused = {
      "",
      " \t\r\n",
      "null",
      "\"OrbitAppGetInfo\"",
      "42",
      "true",
      R"([{"command":"OrbitAppGetInfo"}])",
      "{}",
      R"({"Command":"OrbitAppGetInfo"})",
      R"({"command":"orbitappgetinfo"})",
      R"({"command":"OrbitAppGetInfo "})",
      R"({"command":"OrbitAppGetInfoX"})",
      R"({"command":"OrbitAppGetInfo"} x)",
      R"({"command":"OrbitAppGetInfo"},)",
      R"({"command":"OrbitAppGetInfo"}{})",
      R"({"command":"OrbitAppGetInfo",})",
      R"({"command":"OrbitAppGetInfo"} // comment)",
      R"({'command':'OrbitAppGetInfo'})",
      "\xef\xbb\xbf{\"command\":\"OrbitAppGetInfo\"}",  // BOM
      "\f{\"command\":\"OrbitAppGetInfo\"}",            // not JSON whitespace
      std::string("\0{\"command\":\"OrbitAppGetInfo\"}", 30),
      std::string("{\"command\":\"OrbitAppGetInfo\0\"}", 30),
      // A NUL inside the name ends it for the table too.
      R"({"command":"OrbitAppGetInfo\u0000"})",
      R"({"command\u0000":"OrbitAppGetInfo"})",
  };
  for (const std::string& request : refused)
    EXPECT_FALSE(Dispatch(request)) << request;
  EXPECT_TRUE(calls_.empty());
  EXPECT_TRUE(callback_->successes().empty());
  EXPECT_TRUE(callback_->failures().empty());
}

TEST_F(BridgeRouterTest, CommandOfAnotherTypeIsNotTaken) {
  for (const char* value : {"null", "1", "true", "[\"OrbitAppGetInfo\"]",
                            R"({"command":"OrbitAppGetInfo"})"}) {
    EXPECT_FALSE(Dispatch(std::string(R"({"command":)") + value + "}")) << value;
  }
  EXPECT_TRUE(calls_.empty());
}

TEST_F(BridgeRouterTest, FirstOfDuplicateCommandMembersCounts) {
  EXPECT_TRUE(Dispatch(R"({"command":"OrbitAppGetInfo","command":"Nope"})"));
  EXPECT_FALSE(Dispatch(R"({"command":"Nope","command":"OrbitAppGetInfo"})"));
  EXPECT_EQ(1u, calls_.size());
}

TEST_F(BridgeRouterTest, TextAfterFirstNulIsIgnored) {
  EXPECT_TRUE(Dispatch(std::string("{\"command\":\"OrbitAppGetInfo\"}\0garbage", 37)));
  EXPECT_EQ(1u, calls_.size());
}

TEST_F(BridgeRouterTest, DeeplyNestedArgumentsAreHandledWithoutExhaustingTheStack) {
  int runs = 0;
  RegisterBridgeCommand(
      table_, "Deep",
      [this, &runs](auto&, auto&, int64_t, auto&, bool, auto&) { ++runs; });
  const std::string deep = std::string(200000, '[') + std::string(200000, ']');
  EXPECT_TRUE(Dispatch(R"({"command":"Deep","a":)" + deep + "}"));
  EXPECT_FALSE(Dispatch(R"({"command":"Deep","a":)" + std::string(200000, '[')));
  EXPECT_EQ(1, runs);
}

// The limit counts bytes, whatever they are: trailing whitespace, and text after a
// NUL that the parser would never read, count too.
TEST_F(BridgeRouterTest, RequestsLongerThanTheLimitAreNotTaken) {
  const std::string command = R"({"command":"OrbitAppGetInfo"})";
  std::string request = command;
  request.resize(kMaxBridgeRequestBytes, ' ');
  EXPECT_TRUE(Dispatch(request));
  request.push_back(' ');
  EXPECT_FALSE(Dispatch(request));
  request = command + '\0';
  request.resize(kMaxBridgeRequestBytes + 1, 'x');
  EXPECT_FALSE(Dispatch(request));
  std::string argument(kMaxBridgeRequestBytes, 'a');
  EXPECT_FALSE(Dispatch(R"({"command":"OrbitAppGetInfo","a":")" + argument + "\"}"));
  EXPECT_EQ(1u, calls_.size());
  EXPECT_EQ(1u, callback_->successes().size());
  EXPECT_TRUE(callback_->failures().empty());
}

TEST_F(BridgeRouterTest, OnlyOurOwnOriginIsServed) {
  const std::string request = R"({"command":"OrbitAppGetInfo"})";
  for (const char* url :
       {"https://example.com/", "app://other/index.html", "app://lumio.evil/index.html",
        "app://lumio:8080/index.html", "http://lumio/index.html", "", "about:blank",
        "app:lumio/index.html", "data:text/html,app://lumio/"}) {
    EXPECT_FALSE(Dispatch(request, url)) << url;
  }
  EXPECT_FALSE(
      DispatchBridgeQuery(table_, browser_, nullptr, 1, request, false, callback_));
  EXPECT_TRUE(calls_.empty());

  // Any page of ours counts, in any frame.
  frame_->set_main(false);
  EXPECT_TRUE(Dispatch(request, "app://lumio/"));
  EXPECT_TRUE(Dispatch(request, "app://lumio/popup/a.html?x=1#y"));
  EXPECT_EQ(2u, calls_.size());
}

TEST_F(BridgeRouterTest, TheDocumentsOriginDecidesNotItsAddress) {
  const std::string request = R"({"command":"OrbitAppGetInfo"})";
  frame_->set_main(false);
  // Documents that our pages make themselves have our origin under another address.
  for (const char* url : {"about:blank", "about:srcdoc", "blob:app://lumio/0b3e-11"}) {
    frame_->set_origin("app://lumio");
    EXPECT_TRUE(Dispatch(request, url)) << url;
  }
  // A sandboxed frame of our own pack has no origin of ours.
  frame_->set_origin("null");
  EXPECT_FALSE(Dispatch(request, "app://lumio/sub.html"));
  EXPECT_EQ(3u, calls_.size());
}

TEST_F(BridgeRouterTest, RegisteringAgainReplacesTheHandler) {
  int second = 0;
  RegisterBridgeCommand(table_, "OrbitAppGetInfo",
                        [&second](auto&, auto&, int64_t, auto&, bool, auto& callback) {
                          ++second;
                          ReplyEmptyObject(callback);
                        });
  EXPECT_TRUE(Dispatch(R"({"command":"OrbitAppGetInfo"})"));
  EXPECT_TRUE(calls_.empty());
  EXPECT_EQ(1, second);
  ASSERT_EQ(1u, callback_->successes().size());
  EXPECT_EQ("{}", callback_->successes()[0]);
}

TEST_F(BridgeRouterTest, HandlerMayReplaceItselfWhileRunning) {
  int runs = 0;
  RegisterBridgeCommand(
      table_, "Self", [this, &runs](auto&, auto&, int64_t, auto&, bool, auto& callback) {
        const std::string kept = "still alive";
        RegisterBridgeCommand(table_, "Self", nullptr);
        ++runs;
        rapidjson::Value text(kept.c_str(),
                              static_cast<rapidjson::SizeType>(kept.size()));
        callback->Success(text);
      });
  EXPECT_TRUE(Dispatch(R"({"command":"Self"})"));
  EXPECT_EQ(1, runs);
  ASSERT_EQ(1u, callback_->successes().size());
  EXPECT_EQ("\"still alive\"", callback_->successes()[0]);
  // An empty entry is no command.
  EXPECT_FALSE(Dispatch(R"({"command":"Self"})"));
}

TEST_F(BridgeRouterTest, FailureSendsCodeAndCompactText) {
  RegisterBridgeCommand(table_, "Fails",
                        [](auto&, auto&, int64_t, auto&, bool, auto& callback) {
                          rapidjson::Document error(rapidjson::kObjectType);
                          error.AddMember("error", "Out of range", error.GetAllocator());
                          callback->Failure(0, error);
                          // Answering twice is the router's to sort out; the reply object
                          // passes it on.
                          callback->Failure(-3, rapidjson::Value(rapidjson::kObjectType));
                        });
  EXPECT_TRUE(Dispatch(R"({"command":"Fails"})"));
  ASSERT_EQ(2u, callback_->failures().size());
  EXPECT_EQ(0, callback_->failures()[0].code);
  EXPECT_EQ(R"({"error":"Out of range"})", callback_->failures()[0].message);
  EXPECT_EQ(-3, callback_->failures()[1].code);
  EXPECT_EQ("{}", callback_->failures()[1].message);
  EXPECT_TRUE(callback_->successes().empty());
}

TEST_F(BridgeRouterTest, TableIsOrderedByteWise) {
  RegisterBridgeCommand(table_, "b", nullptr);
  RegisterBridgeCommand(table_, "B", nullptr);
  RegisterBridgeCommand(table_, "a", nullptr);
  std::vector<std::string> names;
  for (const auto& entry : table_)
    names.push_back(entry.first);
  EXPECT_EQ((std::vector<std::string>{"B", "OrbitAppGetInfo", "a", "b"}), names);
}

}  // namespace
