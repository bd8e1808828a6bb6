#include "engine/message_router.h"

#include <algorithm>

namespace engine {

class MessageRouter::CallbackImpl : public MessageRouter::Callback {
 public:
  CallbackImpl(std::weak_ptr<MessageRouter> router, Key key, uint64_t serial)
      : router_(std::move(router)), key_(key), serial_(serial) {}

  void Success(const std::string& response) override {
    if (auto router = router_.lock())
      router->Respond(key_, serial_, true, 0, response);
  }
  void Failure(int error_code, const std::string& error_message) override {
    if (auto router = router_.lock())
      router->Respond(key_, serial_, false, error_code, error_message);
  }

 private:
  std::weak_ptr<MessageRouter> router_;
  Key key_;
  uint64_t serial_;
};

std::shared_ptr<MessageRouter> MessageRouter::Create() {
  return std::shared_ptr<MessageRouter>(new MessageRouter());
}

bool MessageRouter::AddHandler(Handler* handler, bool first) {
  if (!handler ||
      std::find(handlers_.begin(), handlers_.end(), handler) != handlers_.end())
    return false;
  if (first)
    handlers_.insert(handlers_.begin(), handler);
  else
    handlers_.push_back(handler);
  return true;
}

bool MessageRouter::RemoveHandler(Handler* handler) {
  auto it = std::find(handlers_.begin(), handlers_.end(), handler);
  if (it == handlers_.end())
    return false;
  handlers_.erase(it);
  // Queries that this handler took end without an answer to the page, as the
  // handler can no longer give one.
  for (auto q = queries_.begin(); q != queries_.end();) {
    if (q->second.handler == handler) {
      Query query = q->second;
      const int64_t id = q->first.second;
      q = queries_.erase(q);
      handler->OnQueryCanceled(query.browser, query.frame, id);
    } else {
      ++q;
    }
  }
  return true;
}

void MessageRouter::OnBeforeClose(const std::shared_ptr<Browser>& browser) {
  CancelAll(browser);
}

void MessageRouter::OnRenderProcessTerminated(const std::shared_ptr<Browser>& browser) {
  CancelAll(browser);
}

void MessageRouter::OnBeforeBrowse(const std::shared_ptr<Browser>& browser,
                                   const std::shared_ptr<Frame>& frame) {
  // A new main document replaces every frame of the page, and with them every
  // callback waiting for an answer.
  if (frame && frame->IsMain())
    CancelAll(browser);
}

bool MessageRouter::OnProcessMessageReceived(const std::shared_ptr<Browser>& browser,
                                             const ProcessMessage& message) {
  if (!browser)
    return false;
  const Key key{browser->GetIdentifier(), message.query_id};
  switch (message.kind) {
    case ProcessMessage::Kind::kQuery: {
      if (queries_.count(key)) {
        // The page reused an id that is still open; refuse the newcomer.
        SendResponse(browser, message.query_id, false, kCanceledErrorCode,
                     kCanceledErrorMessage);
        return true;
      }
      const std::vector<Handler*> handlers = handlers_;
      for (Handler* handler : handlers) {
        const uint64_t serial = ++last_serial_;
        queries_[key] =
            Query{browser, message.frame, message.persistent, handler, serial};
        auto callback = std::make_shared<CallbackImpl>(weak_from_this(), key, serial);
        if (handler->OnQuery(browser, message.frame, message.query_id, message.request,
                             message.persistent, callback))
          return true;
        queries_.erase(key);
      }
      SendResponse(browser, message.query_id, false, kCanceledErrorCode,
                   kCanceledErrorMessage);
      return true;
    }
    case ProcessMessage::Kind::kCancel: {
      auto it = queries_.find(key);
      if (it != queries_.end()) {
        Query query = it->second;
        queries_.erase(it);
        query.handler->OnQueryCanceled(query.browser, query.frame, message.query_id);
      }
      return true;
    }
    case ProcessMessage::Kind::kResponse:
      return false;
  }
  return false;
}

size_t MessageRouter::GetPendingQueryCount(
    const std::shared_ptr<Browser>& browser) const {
  if (!browser)
    return queries_.size();
  size_t count = 0;
  for (const auto& [key, query] : queries_) {
    if (key.first == browser->GetIdentifier())
      ++count;
  }
  return count;
}

void MessageRouter::Respond(const Key& key,
                            uint64_t serial,
                            bool success,
                            int error_code,
                            const std::string& text) {
  auto it = queries_.find(key);
  if (it == queries_.end() || it->second.serial != serial)
    return;
  std::shared_ptr<Browser> browser = it->second.browser;
  if (!success || !it->second.persistent)
    queries_.erase(it);
  SendResponse(browser, key.second, success, error_code, text);
}

void MessageRouter::SendResponse(const std::shared_ptr<Browser>& browser,
                                 int64_t query_id,
                                 bool success,
                                 int error_code,
                                 const std::string& text) {
  ProcessMessage response;
  response.kind = ProcessMessage::Kind::kResponse;
  response.query_id = query_id;
  response.success = success;
  response.error_code = error_code;
  response.result = text;
  browser->SendProcessMessage(response);
}

void MessageRouter::CancelAll(const std::shared_ptr<Browser>& browser) {
  if (!browser)
    return;
  std::vector<std::pair<int64_t, Query>> canceled;
  for (auto it = queries_.begin(); it != queries_.end();) {
    if (it->first.first == browser->GetIdentifier()) {
      canceled.emplace_back(it->first.second, it->second);
      it = queries_.erase(it);
    } else {
      ++it;
    }
  }
  for (auto& [id, query] : canceled)
    query.handler->OnQueryCanceled(query.browser, query.frame, id);
}

}  // namespace engine
