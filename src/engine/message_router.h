// Browser side of the message router: carries the page's cefQuery calls to one
// handler and the handler's answers back.
//
// In the page (every frame, sub-frames included):
//
//   var id = window.cefQuery({
//     request: '{"command":"OrbitAppInitialized"}',
//     persistent: false,
//     onSuccess: function(response) {},
//     onFailure: function(error_code, error_message) {}
//   });
//   window.cefQueryCancel(id);
//
// Each call becomes one query, identified per browser by its query id. The router
// offers it to the handler; a handler that takes it (OnQuery returns true) answers
// through the Callback, once with Success or Failure. A query that no handler takes
// fails with kCanceledErrorCode and kCanceledErrorMessage.
//
// A non-persistent query ends with its first answer. A persistent one may be
// answered with Success any number of times and stays until Failure, the page's
// cefQueryCancel, a navigation of the browser's main frame, the browser's close or a
// renderer crash; each of the last four calls the handler's OnQueryCanceled.
// Answers to a query that has ended are dropped.
//
// Owners: the client creates the router with its first browser and forwards
// OnBeforeBrowse, OnBeforeClose, OnRenderProcessTerminated and
// OnProcessMessageReceived to it. UI thread only.
#ifndef SRC_ENGINE_MESSAGE_ROUTER_H_
#define SRC_ENGINE_MESSAGE_ROUTER_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/browser.h"
#include "lumio_protocol.h"

namespace engine {

class MessageRouter : public std::enable_shared_from_this<MessageRouter> {
 public:
  static constexpr int kCanceledErrorCode = protocol::kCanceledCode;
  static constexpr const char* kCanceledErrorMessage = protocol::kCanceledMessage;

  class Callback {
   public:
    virtual ~Callback() = default;
    virtual void Success(const std::string& response) = 0;
    virtual void Failure(int error_code, const std::string& error_message) = 0;
  };

  class Handler {
   public:
    virtual ~Handler() = default;
    virtual bool OnQuery(const std::shared_ptr<Browser>& browser,
                         const std::shared_ptr<Frame>& frame,
                         int64_t query_id,
                         const std::string& request,
                         bool persistent,
                         const std::shared_ptr<Callback>& callback) = 0;
    virtual void OnQueryCanceled(const std::shared_ptr<Browser>& browser,
                                 const std::shared_ptr<Frame>& frame,
                                 int64_t query_id) {}
  };

  static std::shared_ptr<MessageRouter> Create();

  // Handlers are not owned. |first| puts the handler before the others.
  bool AddHandler(Handler* handler, bool first);
  bool RemoveHandler(Handler* handler);

  void OnBeforeClose(const std::shared_ptr<Browser>& browser);
  void OnRenderProcessTerminated(const std::shared_ptr<Browser>& browser);
  void OnBeforeBrowse(const std::shared_ptr<Browser>& browser,
                      const std::shared_ptr<Frame>& frame);
  // Takes kQuery and kCancel messages; returns false for anything else.
  bool OnProcessMessageReceived(const std::shared_ptr<Browser>& browser,
                                const ProcessMessage& message);

  // Queries still open for |browser| (all browsers when null).
  size_t GetPendingQueryCount(const std::shared_ptr<Browser>& browser) const;

 private:
  class CallbackImpl;
  struct Query {
    std::shared_ptr<Browser> browser;
    std::shared_ptr<Frame> frame;
    bool persistent = false;
    Handler* handler = nullptr;
    // Tells this query from a later one under the same key: a reloaded page numbers
    // its queries from the start again, and a callback kept past its query's end
    // must not answer the newcomer.
    uint64_t serial = 0;
  };
  using Key = std::pair<int, int64_t>;  // browser identifier, query id

  MessageRouter() = default;
  void Respond(const Key& key,
               uint64_t serial,
               bool success,
               int error_code,
               const std::string& text);
  void SendResponse(const std::shared_ptr<Browser>& browser,
                    int64_t query_id,
                    bool success,
                    int error_code,
                    const std::string& text);
  // Ends every query of |browser|, telling their handlers.
  void CancelAll(const std::shared_ptr<Browser>& browser);

  std::vector<Handler*> handlers_;
  std::map<Key, Query> queries_;
  uint64_t last_serial_ = 0;
};

}  // namespace engine

#endif  // SRC_ENGINE_MESSAGE_ROUTER_H_
