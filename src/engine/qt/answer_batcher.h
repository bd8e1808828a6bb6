// The order in which a page's answers go back to it. Answers given while one of
// its batches is handled go back as that call's result; answers given later are
// gathered until the next turn of the browser's event loop and sent together.
// Either way they reach the page ahead of any script the browser runs in it
// afterwards (SendNow).
//
// Only used on the UI thread.
#ifndef SRC_ENGINE_QT_ANSWER_BATCHER_H_
#define SRC_ENGINE_QT_ANSWER_BATCHER_H_

#include <functional>
#include <vector>

#include "engine/qt/bridge_wire.h"

namespace engine {

class AnswerBatcher {
 public:
  using Answers = std::vector<BridgeAnswer>;
  // |schedule_flush| arranges for Flush to be called on a later turn of the event
  // loop; |send| hands answers to the page outside a batch's result.
  AnswerBatcher(std::function<void()> schedule_flush, std::function<void(Answers)> send);
  AnswerBatcher(const AnswerBatcher&) = delete;
  AnswerBatcher& operator=(const AnswerBatcher&) = delete;

  // While one lives, answers go into its result. A command may run a nested
  // event loop (a dialog) in which another batch arrives: each keeps its own.
  class Batch {
   public:
    explicit Batch(AnswerBatcher& batcher);
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;
    // The answers given so far that were not sent already.
    Answers Take();

   private:
    AnswerBatcher& batcher_;
    Answers* outer_;
    Answers answers_;
  };

  void Add(BridgeAnswer answer);
  // Sends the answers gathered outside batches.
  void Flush();
  // Sends every answer given so far, those of the batch being handled too.
  void SendNow();

 private:
  std::function<void()> schedule_flush_;
  std::function<void(Answers)> send_;
  Answers* batch_ = nullptr;  // of the innermost batch being handled
  Answers later_;             // given outside batches, until they are sent
};

}  // namespace engine

#endif  // SRC_ENGINE_QT_ANSWER_BATCHER_H_
