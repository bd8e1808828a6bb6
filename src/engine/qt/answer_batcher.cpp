#include "engine/qt/answer_batcher.h"

#include <iterator>
#include <utility>

namespace engine {

AnswerBatcher::AnswerBatcher(std::function<void()> schedule_flush,
                             std::function<void(Answers)> send)
    : schedule_flush_(std::move(schedule_flush)), send_(std::move(send)) {}

AnswerBatcher::Batch::Batch(AnswerBatcher& batcher)
    : batcher_(batcher), outer_(batcher.batch_) {
  batcher_.batch_ = &answers_;
}

AnswerBatcher::Batch::~Batch() {
  batcher_.batch_ = outer_;
}

AnswerBatcher::Answers AnswerBatcher::Batch::Take() {
  return std::exchange(answers_, Answers());
}

void AnswerBatcher::Add(BridgeAnswer answer) {
  if (batch_) {
    batch_->push_back(std::move(answer));
    return;
  }
  // One turn gathers them all.
  if (later_.empty())
    schedule_flush_();
  later_.push_back(std::move(answer));
}

void AnswerBatcher::Flush() {
  Answers answers = std::exchange(later_, Answers());
  if (!answers.empty())
    send_(std::move(answers));
}

void AnswerBatcher::SendNow() {
  if (batch_) {
    later_.insert(later_.end(), std::make_move_iterator(batch_->begin()),
                  std::make_move_iterator(batch_->end()));
    batch_->clear();
  }
  Flush();
}

}  // namespace engine
