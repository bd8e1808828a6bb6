// What a page's documents send the browser, routed: each batch's queries go to the
// client's message router in the name of the document that asked, and every
// answer goes back to that document alone, in order (AnswerBatcher). A document
// that has gone, or one over its limits, hears "canceled"; its open queries end
// in the router with it. Qt-free: the browser it works for (Host) sends what the
// program sends again and reports relayed addresses.
//
// UI thread only.
#ifndef SRC_ENGINE_QT_DOCUMENT_ROUTER_H_
#define SRC_ENGINE_QT_DOCUMENT_ROUTER_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/browser.h"
#include "engine/client.h"
#include "engine/qt/answer_batcher.h"
#include "engine/qt/bridge_wire.h"
#include "engine/qt/frame_table.h"

namespace engine {

class DocumentRouter {
 public:
  class Host {
   public:
    virtual ~Host() = default;
    // The browser the client hears of; the router calls nothing once it is
    // closed.
    virtual std::shared_ptr<Browser> RoutedBrowser() = 0;
    virtual bool IsClosed() const = 0;
    // A main document announced itself with this window name.
    virtual void OnMainDocument(const std::string& name) = 0;
    // A frame of another origin reported where it went (["a", …]).
    virtual void OnFrameAddress(const std::string& url,
                                const std::string& sender_origin,
                                const std::string& name) = 0;
    // Sends a request the engine refused the document again from the program;
    // its answer comes back through Respond.
    virtual void StartProgramRequest(const std::string& key,
                                     int64_t page_id,
                                     const std::string& request) = 0;
  };

  // |schedule_flush| and |send| are the answer batcher's.
  DocumentRouter(Host& host,
                 std::shared_ptr<Client> client,
                 const std::weak_ptr<DocumentScriptRunner>& runner,
                 std::function<void()> schedule_flush,
                 std::function<void(AnswerBatcher::Answers)> send);

  FrameTable& frames() { return frames_; }
  AnswerBatcher& answers() { return answers_; }
  // From now on the main document keeps the name it has, whatever the page names
  // its window: a popup's name is the one it was opened with.
  void FixMainName() { name_fixed_ = true; }

  // Handles a batch; returns the answers given while it was handled.
  std::vector<BridgeAnswer> OnBatch(std::vector<BridgeEntry> batch);
  // The client's answer to the query |message.query_id|.
  void OnResponse(const ProcessMessage& message);
  void Respond(const std::string& key,
               int64_t page_id,
               bool success,
               int code,
               const std::string& text);

 private:
  void OnDocumentCreated(const BridgeEntry& document);
  void OnDocumentGone(const std::string& key);
  // |request| is taken by value: it can be megabytes, and is moved on, not copied.
  void OnQuery(const std::string& key,
               int64_t page_id,
               std::string request,
               bool persistent);
  void OnCancel(const std::string& key, int64_t page_id);
  void OnProgramRequest(const std::string& key,
                        int64_t page_id,
                        const std::string& request);
  // Tells the router that these queries have ended with their documents.
  void CancelInRouter(const std::vector<int64_t>& router_ids);

  Host& host_;
  std::shared_ptr<Client> client_;
  FrameTable frames_;
  AnswerBatcher answers_;
  bool name_fixed_ = false;
};

}  // namespace engine

#endif  // SRC_ENGINE_QT_DOCUMENT_ROUTER_H_
