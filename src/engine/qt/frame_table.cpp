#include "engine/qt/frame_table.h"

#include "engine/url_parts.h"

namespace engine {

FrameTable::FrameTable(const std::weak_ptr<DocumentScriptRunner>& runner,
                       size_t max_documents,
                       size_t max_queries)
    : runner_(runner),
      max_documents_(max_documents),
      max_queries_(max_queries),
      main_frame_(std::make_shared<PageFrame>(runner, /*is_main=*/true)) {}

std::shared_ptr<PageFrame> FrameTable::Announce(const Announcement& document,
                                                std::vector<int64_t>* ended) {
  if (document.key.empty())
    return nullptr;
  if (document.main) {
    if (document.key != main_key_) {
      // A new page: the documents of the old one, and what they asked, are gone.
      if (!main_key_.empty())
        EndQueriesOf(main_key_, ended);
      for (const auto& [key, frame] : sub_frames_)
        EndQueriesOf(key, ended);
      sub_frames_.clear();
      main_key_ = document.key;
      main_frame_->SetDocument(document.key, document.origin);
    }
    // The main frame's address is the engine's to report; only its name is taken.
    main_frame_->set_name(document.name);
    return main_frame_;
  }
  // Sub-frames are only believed within the current page.
  if (document.key == main_key_)
    return nullptr;
  std::shared_ptr<PageFrame>& frame = sub_frames_[document.key];
  if (!frame) {
    if (document_count() > max_documents_) {
      sub_frames_.erase(document.key);
      return nullptr;
    }
    frame = std::make_shared<PageFrame>(runner_, /*is_main=*/false);
    frame->SetDocument(document.key, document.origin);
  }
  frame->set_name(document.name);
  frame->set_url(document.url);
  return frame;
}

void FrameTable::Remove(const std::string& key, std::vector<int64_t>* ended) {
  auto it = sub_frames_.find(key);
  if (it == sub_frames_.end())
    return;
  EndQueriesOf(key, ended);
  sub_frames_.erase(it);
}

void FrameTable::Clear(std::vector<int64_t>* ended) {
  for (const auto& [id, query] : queries_)
    ended->push_back(id);
  queries_.clear();
  by_page_id_.clear();
  sub_frames_.clear();
  main_key_.clear();
  main_frame_->SetDocument(std::string(), std::string());
}

std::shared_ptr<PageFrame> FrameTable::FindFrame(const std::string& key) const {
  if (key.empty())
    return nullptr;
  if (key == main_key_)
    return main_frame_;
  auto it = sub_frames_.find(key);
  return it == sub_frames_.end() ? nullptr : it->second;
}

int64_t FrameTable::BeginQuery(const std::string& document_key,
                               int64_t page_id,
                               bool persistent) {
  if (!FindFrame(document_key) || queries_.size() >= max_queries_)
    return 0;
  const auto page_key = std::make_pair(document_key, page_id);
  if (by_page_id_.count(page_key))
    return 0;
  const int64_t router_id = ++last_router_id_;
  queries_[router_id] = Query{document_key, page_id, persistent};
  by_page_id_[page_key] = router_id;
  return router_id;
}

int64_t FrameTable::FindQuery(const std::string& document_key, int64_t page_id) const {
  auto it = by_page_id_.find(std::make_pair(document_key, page_id));
  return it == by_page_id_.end() ? 0 : it->second;
}

const FrameTable::Query* FrameTable::GetQuery(int64_t router_id) const {
  auto it = queries_.find(router_id);
  return it == queries_.end() ? nullptr : &it->second;
}

void FrameTable::EndQuery(int64_t router_id) {
  auto it = queries_.find(router_id);
  if (it == queries_.end())
    return;
  by_page_id_.erase(std::make_pair(it->second.document_key, it->second.page_id));
  queries_.erase(it);
}

void FrameTable::EndQueriesOf(const std::string& key, std::vector<int64_t>* ended) {
  for (auto it = queries_.begin(); it != queries_.end();) {
    if (it->second.document_key == key) {
      ended->push_back(it->first);
      by_page_id_.erase(std::make_pair(key, it->second.page_id));
      it = queries_.erase(it);
    } else {
      ++it;
    }
  }
}

bool IsRelayedAddressBelievable(bool top_is_local,
                                const std::string& sender_origin,
                                const std::string& url) {
  if (!top_is_local)
    return false;
  URLParts parts;
  if (!ParseURL(url, parts))
    return false;
  // An opaque document (a data: frame) vouches only for a data: address; the
  // browser believes it only for a load that it saw that frame make.
  if (parts.scheme == "data")
    return sender_origin == "null";
  if (parts.scheme != "http" && parts.scheme != "https")
    return false;
  const std::string origin = URLOrigin(url);
  return origin != "null" && origin == sender_origin;
}

}  // namespace engine
