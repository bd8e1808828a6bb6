// The documents of a page and their queries: keys, router ids, ends and bounds.
#include "engine/qt/frame_table.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using engine::FrameTable;

class RecordingRunner : public engine::DocumentScriptRunner {
 public:
  struct Run {
    std::string key;
    bool main;
    std::string code;
  };
  void RunScriptInDocument(const std::string& key,
                           bool main,
                           const std::string& code) override {
    runs.push_back({key, main, code});
  }
  std::vector<Run> runs;
};

FrameTable::Announcement Doc(const std::string& key,
                             bool main,
                             const std::string& origin = "app://lumio",
                             const std::string& url = "app://lumio/index.html") {
  FrameTable::Announcement doc;
  doc.key = key;
  doc.main = main;
  doc.origin = origin;
  doc.url = url;
  return doc;
}

bool Contains(const std::vector<int64_t>& ids, int64_t id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

class FrameTableTest : public testing::Test {
 protected:
  std::shared_ptr<RecordingRunner> runner_ = std::make_shared<RecordingRunner>();
  FrameTable table_{runner_};
  std::vector<int64_t> ended_;
};

TEST_F(FrameTableTest, RouterIdsNeverRepeatAcrossDocuments) {
  table_.Announce(Doc("page-1", true), &ended_);
  const int64_t first = table_.BeginQuery("page-1", 1, /*persistent=*/true);
  // A reload numbers its queries from 1 again.
  table_.Announce(Doc("page-2", true), &ended_);
  const int64_t second = table_.BeginQuery("page-2", 1, false);
  ASSERT_NE(0, first);
  ASSERT_NE(0, second);
  EXPECT_NE(first, second);
  ASSERT_NE(nullptr, table_.GetQuery(second));
  EXPECT_EQ("page-2", table_.GetQuery(second)->document_key);
  EXPECT_EQ(1, table_.GetQuery(second)->page_id);
  EXPECT_FALSE(table_.GetQuery(second)->persistent);
}

TEST_F(FrameTableTest, NewMainDocumentEndsTheOldPageAndItsQueries) {
  table_.Announce(Doc("page-1", true), &ended_);
  table_.Announce(Doc("sub-1", false), &ended_);
  const int64_t main_query = table_.BeginQuery("page-1", 1, true);
  const int64_t sub_query = table_.BeginQuery("sub-1", 1, true);
  EXPECT_TRUE(ended_.empty());

  table_.Announce(Doc("page-2", true), &ended_);
  EXPECT_EQ(2u, ended_.size());
  EXPECT_TRUE(Contains(ended_, main_query));
  EXPECT_TRUE(Contains(ended_, sub_query));
  EXPECT_EQ(nullptr, table_.GetQuery(main_query));
  EXPECT_EQ(0u, table_.open_query_count());
  EXPECT_EQ(1u, table_.document_count());
  // Queries that the old page sends on its way out are not taken.
  EXPECT_EQ(0, table_.BeginQuery("page-1", 2, true));
  EXPECT_EQ(0, table_.BeginQuery("sub-1", 2, true));
  EXPECT_EQ(nullptr, table_.FindFrame("sub-1"));
}

TEST_F(FrameTableTest, TheSameMainDocumentAgainChangesNothing) {
  table_.Announce(Doc("page-1", true), &ended_);
  table_.Announce(Doc("sub-1", false), &ended_);
  const int64_t id = table_.BeginQuery("page-1", 1, true);
  FrameTable::Announcement again = Doc("page-1", true);
  again.name = "popup";
  EXPECT_EQ(table_.main_frame(), table_.Announce(again, &ended_));
  EXPECT_TRUE(ended_.empty());
  EXPECT_NE(nullptr, table_.GetQuery(id));
  EXPECT_EQ("popup", table_.main_frame()->GetName());
  EXPECT_NE(nullptr, table_.FindFrame("sub-1"));
}

TEST_F(FrameTableTest, SubFrameGoneEndsOnlyItsOwnQueries) {
  table_.Announce(Doc("page", true), &ended_);
  table_.Announce(Doc("sub-a", false), &ended_);
  table_.Announce(Doc("sub-b", false), &ended_);
  const int64_t a = table_.BeginQuery("sub-a", 1, true);
  const int64_t b = table_.BeginQuery("sub-b", 1, true);
  table_.Remove("sub-a", &ended_);
  EXPECT_EQ(std::vector<int64_t>{a}, ended_);
  EXPECT_NE(nullptr, table_.GetQuery(b));
  EXPECT_EQ(nullptr, table_.FindFrame("sub-a"));
  // Removing what is not there, or the main document, does nothing.
  table_.Remove("sub-a", &ended_);
  table_.Remove("page", &ended_);
  EXPECT_EQ(1u, ended_.size());
  EXPECT_NE(nullptr, table_.FindFrame("page"));
}

TEST_F(FrameTableTest, FramesCarryTheAnnouncedOriginNotTheirAddress) {
  table_.Announce(Doc("page", true), &ended_);
  auto srcdoc = table_.Announce(Doc("s", false, "app://lumio", "about:srcdoc"), &ended_);
  auto sandboxed =
      table_.Announce(Doc("x", false, "null", "app://lumio/sub.html"), &ended_);
  ASSERT_TRUE(srcdoc && sandboxed);
  EXPECT_EQ("app://lumio", srcdoc->GetSecurityOrigin());
  EXPECT_EQ("about:srcdoc", srcdoc->GetURL());
  EXPECT_EQ("null", sandboxed->GetSecurityOrigin());
  EXPECT_EQ("app://lumio", table_.main_frame()->GetSecurityOrigin());
  EXPECT_FALSE(srcdoc->IsMain());
  EXPECT_TRUE(table_.main_frame()->IsMain());
}

TEST_F(FrameTableTest, RefusesUnknownKeysAndOpenIds) {
  EXPECT_EQ(0, table_.BeginQuery("nobody", 1, false));
  EXPECT_EQ(nullptr, table_.Announce(Doc("", false), &ended_));
  table_.Announce(Doc("page", true), &ended_);
  // A sub-frame cannot pass itself off as the main document.
  EXPECT_EQ(nullptr, table_.Announce(Doc("page", false), &ended_));
  const int64_t id = table_.BeginQuery("page", 7, true);
  ASSERT_NE(0, id);
  EXPECT_EQ(0, table_.BeginQuery("page", 7, false));
  EXPECT_EQ(id, table_.FindQuery("page", 7));
  table_.EndQuery(id);
  EXPECT_EQ(0, table_.FindQuery("page", 7));
  const int64_t again = table_.BeginQuery("page", 7, false);
  EXPECT_NE(0, again);
  EXPECT_NE(id, again);
}

TEST_F(FrameTableTest, BoundsWhatAPageCanMakeItKeep) {
  FrameTable small(runner_, /*max_documents=*/3, /*max_queries=*/2);
  small.Announce(Doc("page", true), &ended_);
  EXPECT_NE(nullptr, small.Announce(Doc("a", false), &ended_));
  EXPECT_NE(nullptr, small.Announce(Doc("b", false), &ended_));
  EXPECT_EQ(nullptr, small.Announce(Doc("c", false), &ended_));
  EXPECT_EQ(3u, small.document_count());
  // A known document may still update itself.
  EXPECT_NE(nullptr,
            small.Announce(Doc("b", false, "app://lumio", "app://lumio/b#2"), &ended_));
  small.Remove("a", &ended_);
  EXPECT_NE(nullptr, small.Announce(Doc("c", false), &ended_));

  EXPECT_NE(0, small.BeginQuery("page", 1, true));
  const int64_t second = small.BeginQuery("page", 2, true);
  EXPECT_NE(0, second);
  EXPECT_EQ(0, small.BeginQuery("page", 3, true));
  small.EndQuery(second);
  EXPECT_NE(0, small.BeginQuery("page", 3, true));
}

TEST_F(FrameTableTest, ClearEndsEverything) {
  table_.Announce(Doc("page", true), &ended_);
  table_.Announce(Doc("sub", false), &ended_);
  const int64_t a = table_.BeginQuery("page", 1, true);
  const int64_t b = table_.BeginQuery("sub", 1, true);
  table_.Clear(&ended_);
  EXPECT_TRUE(Contains(ended_, a) && Contains(ended_, b));
  EXPECT_EQ(0u, table_.document_count());
  EXPECT_EQ(0, table_.BeginQuery("page", 2, false));
  EXPECT_EQ("", table_.main_frame()->GetSecurityOrigin());
}

TEST_F(FrameTableTest, FramesRunScriptsInTheirOwnDocumentWhileTheBrowserLives) {
  table_.Announce(Doc("page", true), &ended_);
  auto sub = table_.Announce(Doc("sub", false), &ended_);
  sub->ExecuteJavaScript("a()", "lumio://shell", 0);
  table_.main_frame()->ExecuteJavaScript("b()", "", 0);
  ASSERT_EQ(2u, runner_->runs.size());
  EXPECT_EQ("sub", runner_->runs[0].key);
  EXPECT_FALSE(runner_->runs[0].main);
  EXPECT_EQ("a()\n//# sourceURL=lumio://shell", runner_->runs[0].code);
  EXPECT_TRUE(runner_->runs[1].main);
  EXPECT_EQ("b()", runner_->runs[1].code);

  // Kept past its browser, a frame runs nothing.
  runner_.reset();
  sub->ExecuteJavaScript("c()", "", 0);
  table_.main_frame()->ExecuteJavaScript("d()", "", 0);
}

TEST(RelayedAddressTest, OnlyRealWebOriginsForTheirOwnAddresses) {
  const std::string sender = "http://127.0.0.1:8000";
  EXPECT_TRUE(engine::IsRelayedAddressBelievable(true, sender, sender + "/page?x#y"));
  EXPECT_TRUE(engine::IsRelayedAddressBelievable(true, "https://example.com",
                                                 "https://example.com/"));
  // The top document is not the program's own.
  EXPECT_FALSE(engine::IsRelayedAddressBelievable(false, sender, sender + "/page"));
  // An opaque sender may speak only for a data: address (the browser then checks
  // that a frame really loaded it).
  EXPECT_FALSE(engine::IsRelayedAddressBelievable(true, "null", "javascript:alert(1)//"));
  EXPECT_FALSE(engine::IsRelayedAddressBelievable(true, "null", "http://a/"));
  EXPECT_TRUE(engine::IsRelayedAddressBelievable(true, "null", "data:text/html,x"));
  EXPECT_FALSE(engine::IsRelayedAddressBelievable(true, "http://a", "data:text/html,x"));
  EXPECT_FALSE(
      engine::IsRelayedAddressBelievable(true, "app://lumio", "app://lumio/forged"));
  // Another origin than the sender's.
  EXPECT_FALSE(
      engine::IsRelayedAddressBelievable(true, sender, "http://127.0.0.1:8001/"));
  EXPECT_FALSE(
      engine::IsRelayedAddressBelievable(true, sender, "https://127.0.0.1:8000/"));
  EXPECT_FALSE(engine::IsRelayedAddressBelievable(true, sender, ""));
  EXPECT_FALSE(engine::IsRelayedAddressBelievable(true, "", "http://a/"));
}

}  // namespace
