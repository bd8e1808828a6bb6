// The order of a page's answers: in a batch's result, gathered for one turn, or
// sent at once ahead of a script.
#include "engine/qt/answer_batcher.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using engine::AnswerBatcher;
using engine::BridgeAnswer;

class AnswerBatcherTest : public testing::Test {
 protected:
  AnswerBatcher batcher_{
      [this] { ++scheduled_; },
      [this](AnswerBatcher::Answers answers) { sent_.push_back(Keys(answers)); }};

  static BridgeAnswer Answer(const std::string& key) {
    return BridgeAnswer{key, 1, true, 0, "text of " + key};
  }
  static std::vector<std::string> Keys(const AnswerBatcher::Answers& answers) {
    std::vector<std::string> keys;
    for (const BridgeAnswer& answer : answers)
      keys.push_back(answer.key);
    return keys;
  }

  int scheduled_ = 0;
  std::vector<std::vector<std::string>> sent_;  // one per send
};

using Names = std::vector<std::string>;

TEST_F(AnswerBatcherTest, AnswersGivenDuringABatchGoBackInItsResult) {
  AnswerBatcher::Batch batch(batcher_);
  batcher_.Add(Answer("a"));
  batcher_.Add(Answer("b"));
  EXPECT_EQ(scheduled_, 0);
  EXPECT_TRUE(sent_.empty());
  EXPECT_EQ(Keys(batch.Take()), (Names{"a", "b"}));
}

TEST_F(AnswerBatcherTest, LaterAnswersAreGatheredForOneTurn) {
  batcher_.Add(Answer("a"));
  batcher_.Add(Answer("b"));
  batcher_.Add(Answer("c"));
  EXPECT_EQ(scheduled_, 1);
  EXPECT_TRUE(sent_.empty());
  batcher_.Flush();
  batcher_.Flush();  // nothing left
  EXPECT_EQ(sent_, (std::vector<Names>{{"a", "b", "c"}}));
  batcher_.Add(Answer("d"));
  EXPECT_EQ(scheduled_, 2);
}

TEST_F(AnswerBatcherTest, SendNowPutsEveryAnswerAheadOfWhatFollows) {
  batcher_.Add(Answer("later"));
  AnswerBatcher::Batch batch(batcher_);
  batcher_.Add(Answer("in batch"));
  batcher_.SendNow();
  EXPECT_EQ(sent_, (std::vector<Names>{{"later", "in batch"}}));
  batcher_.Add(Answer("after"));
  EXPECT_EQ(Keys(batch.Take()), (Names{"after"}));
}

// A command may run a nested event loop in which another batch arrives.
TEST_F(AnswerBatcherTest, NestedBatchesKeepTheirOwnAnswers) {
  AnswerBatcher::Batch outer(batcher_);
  batcher_.Add(Answer("o1"));
  {
    AnswerBatcher::Batch inner(batcher_);
    batcher_.Add(Answer("i1"));
    EXPECT_EQ(Keys(inner.Take()), (Names{"i1"}));
  }
  batcher_.Add(Answer("o2"));
  EXPECT_EQ(Keys(outer.Take()), (Names{"o1", "o2"}));
  EXPECT_TRUE(sent_.empty());
}

}  // namespace
