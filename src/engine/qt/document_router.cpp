#include "engine/qt/document_router.h"

#include <utility>

#include "engine/message_router.h"

namespace engine {

DocumentRouter::DocumentRouter(Host& host,
                               std::shared_ptr<Client> client,
                               const std::weak_ptr<DocumentScriptRunner>& runner,
                               std::function<void()> schedule_flush,
                               std::function<void(AnswerBatcher::Answers)> send)
    : host_(host),
      client_(std::move(client)),
      frames_(runner),
      answers_(std::move(schedule_flush), std::move(send)) {}

std::vector<BridgeAnswer> DocumentRouter::OnBatch(std::vector<BridgeEntry> batch) {
  if (host_.IsClosed())
    return {};
  // The browser may close while a command runs; keep it until the batch is done.
  std::shared_ptr<Browser> self = host_.RoutedBrowser();
  AnswerBatcher::Batch answers(answers_);
  for (BridgeEntry& entry : batch) {
    if (host_.IsClosed())
      break;
    switch (entry.kind) {
      case BridgeEntry::Kind::kQuery:
        OnQuery(entry.key, entry.page_id, std::move(entry.request), entry.persistent);
        break;
      case BridgeEntry::Kind::kProgramRequest:
        OnProgramRequest(entry.key, entry.page_id, entry.request);
        break;
      case BridgeEntry::Kind::kCancel:
        OnCancel(entry.key, entry.page_id);
        break;
      case BridgeEntry::Kind::kDocument:
        OnDocumentCreated(entry);
        break;
      case BridgeEntry::Kind::kDocumentGone:
        OnDocumentGone(entry.key);
        break;
      case BridgeEntry::Kind::kFrameAddress:
        host_.OnFrameAddress(entry.url, entry.origin, entry.name);
        break;
    }
  }
  return answers.Take();
}

void DocumentRouter::OnResponse(const ProcessMessage& message) {
  if (host_.IsClosed() || message.kind != ProcessMessage::Kind::kResponse)
    return;
  const FrameTable::Query* query = frames_.GetQuery(message.query_id);
  if (!query)
    return;  // its document has gone
  const std::string key = query->document_key;
  const int64_t page_id = query->page_id;
  if (!message.success || !query->persistent)
    frames_.EndQuery(message.query_id);
  Respond(key, page_id, message.success, message.error_code, message.result);
}

void DocumentRouter::Respond(const std::string& key,
                             int64_t page_id,
                             bool success,
                             int code,
                             const std::string& text) {
  if (host_.IsClosed())
    return;
  answers_.Add(BridgeAnswer{key, page_id, success, code, text});
}

void DocumentRouter::CancelInRouter(const std::vector<int64_t>& router_ids) {
  std::shared_ptr<Browser> self = host_.RoutedBrowser();
  for (int64_t id : router_ids) {
    ProcessMessage message;
    message.kind = ProcessMessage::Kind::kCancel;
    message.query_id = id;
    client_->OnProcessMessageReceived(self, message);
  }
}

void DocumentRouter::OnDocumentCreated(const BridgeEntry& document) {
  if (document.main)
    host_.OnMainDocument(document.name);
  if (host_.IsClosed())
    return;
  std::vector<int64_t> ended;
  FrameTable::Announcement announced;
  announced.key = document.key;
  announced.main = document.main;
  announced.origin = document.origin;
  announced.url = document.url;
  announced.name = document.name;
  if (name_fixed_ && document.main)
    announced.name = frames_.main_frame()->GetName();
  std::shared_ptr<PageFrame> frame = frames_.Announce(announced, &ended);
  CancelInRouter(ended);
  // Qt reports address changes of the main frame only; sub-frames report theirs
  // from the page. The empty document every new frame starts with is no address.
  if (!frame || frame->IsMain() || document.url.empty() || document.url == "about:blank")
    return;
  if (auto handler = client_->GetDisplayHandler())
    handler->OnAddressChange(host_.RoutedBrowser(), frame, document.url);
}

void DocumentRouter::OnDocumentGone(const std::string& key) {
  std::vector<int64_t> ended;
  frames_.Remove(key, &ended);
  CancelInRouter(ended);
}

void DocumentRouter::OnQuery(const std::string& key,
                             int64_t page_id,
                             std::string request,
                             bool persistent) {
  std::shared_ptr<PageFrame> frame = frames_.FindFrame(key);
  const int64_t router_id = frame ? frames_.BeginQuery(key, page_id, persistent) : 0;
  if (router_id == 0) {
    // A document that is gone hears nothing of this; one over its limits hears no.
    Respond(key, page_id, false, MessageRouter::kCanceledErrorCode,
            MessageRouter::kCanceledErrorMessage);
    return;
  }
  ProcessMessage message;
  message.kind = ProcessMessage::Kind::kQuery;
  message.frame = frame;
  message.query_id = router_id;
  message.request = std::move(request);
  message.persistent = persistent;
  if (!client_->OnProcessMessageReceived(host_.RoutedBrowser(), message)) {
    // No router: nobody can take the query.
    ProcessMessage failure;
    failure.kind = ProcessMessage::Kind::kResponse;
    failure.query_id = router_id;
    failure.error_code = MessageRouter::kCanceledErrorCode;
    failure.result = MessageRouter::kCanceledErrorMessage;
    OnResponse(failure);
  }
}

void DocumentRouter::OnCancel(const std::string& key, int64_t page_id) {
  const int64_t router_id = frames_.FindQuery(key, page_id);
  if (router_id == 0)
    return;
  frames_.EndQuery(router_id);
  CancelInRouter({router_id});
}

void DocumentRouter::OnProgramRequest(const std::string& key,
                                      int64_t page_id,
                                      const std::string& request) {
  std::shared_ptr<PageFrame> frame = frames_.FindFrame(key);
  auto handler = client_->GetRequestHandler();
  if (!frame || !handler ||
      !handler->MayRequestAcrossOrigins(host_.RoutedBrowser(), frame)) {
    Respond(key, page_id, false, MessageRouter::kCanceledErrorCode,
            MessageRouter::kCanceledErrorMessage);
    return;
  }
  host_.StartProgramRequest(key, page_id, request);
}

}  // namespace engine
