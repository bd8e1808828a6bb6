// What a browser knows of the documents in its page and of the queries they
// have open. Qt-free, so that its rules are tested without an engine.
//
// Documents announce themselves through the program's own script, which runs in a
// script world of its own in every frame; the page's scripts cannot reach it. Each
// document gets a random key there, so a page cannot choose keys, and its origin
// is the one the engine gave the document (an about:blank or srcdoc frame has its
// creator's origin; a data: or sandboxed frame has the opaque origin "null").
//
// Query ids are the page's: every document numbers its queries from 1. The router
// needs ids that never repeat in a browser's life, or a query kept open by a
// document that has gone would take the place of a newer document's query with
// the same number. So every query gets a router id of its own here, and answers
// go back to the document and id that asked.
//
// A new main document starts a new page: every other document and all their
// queries end. What a page can make the browser keep is bounded: at most
// kMaxDocuments documents and kMaxQueries open queries at once.
//
// UI thread only.
#ifndef SRC_ENGINE_QT_FRAME_TABLE_H_
#define SRC_ENGINE_QT_FRAME_TABLE_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/qt/page_frame.h"

namespace engine {

class FrameTable {
 public:
  static constexpr size_t kMaxDocuments = 4096;
  static constexpr size_t kMaxQueries = 65536;

  struct Announcement {
    std::string key;
    bool main = false;
    std::string origin;
    std::string url;
    std::string name;
  };

  struct Query {
    std::string document_key;
    int64_t page_id = 0;
    bool persistent = false;
  };

  FrameTable(const std::weak_ptr<DocumentScriptRunner>& runner,
             size_t max_documents = kMaxDocuments,
             size_t max_queries = kMaxQueries);

  // The frame that stands for the main document, whichever it is.
  const std::shared_ptr<PageFrame>& main_frame() const { return main_frame_; }

  // Records a document, or updates one already known (a same-document
  // navigation changes its address). A new main document ends every other
  // document; the router ids of the queries that end with them are appended to
  // |ended|. Returns the document's frame, or null when the announcement is
  // refused (too many documents, no key).
  std::shared_ptr<PageFrame> Announce(const Announcement& document,
                                      std::vector<int64_t>* ended);

  // A sub-frame's document went away; appends its queries' router ids to |ended|.
  void Remove(const std::string& key, std::vector<int64_t>* ended);

  // Everything ends (the renderer went away); appends every open query's id.
  void Clear(std::vector<int64_t>* ended);

  // The frame of a known document, or null.
  std::shared_ptr<PageFrame> FindFrame(const std::string& key) const;
  size_t document_count() const {
    return sub_frames_.size() + (main_key_.empty() ? 0 : 1);
  }

  // A new query of a known document. Returns its router id (never 0, never
  // reused), or 0 when the document is unknown, the page id is already open in
  // it, or too many queries are open.
  int64_t BeginQuery(const std::string& document_key, int64_t page_id, bool persistent);
  // The router id of an open query, or 0.
  int64_t FindQuery(const std::string& document_key, int64_t page_id) const;
  // The open query behind a router id, or null.
  const Query* GetQuery(int64_t router_id) const;
  // Called when the query has been answered for the last time or cancelled.
  void EndQuery(int64_t router_id);
  size_t open_query_count() const { return queries_.size(); }

 private:
  void EndQueriesOf(const std::string& key, std::vector<int64_t>* ended);

  std::weak_ptr<DocumentScriptRunner> runner_;
  size_t max_documents_;
  size_t max_queries_;
  std::shared_ptr<PageFrame> main_frame_;
  std::string main_key_;
  std::map<std::string, std::shared_ptr<PageFrame>> sub_frames_;
  std::map<int64_t, Query> queries_;
  std::map<std::pair<std::string, int64_t>, int64_t> by_page_id_;
  int64_t last_router_id_ = 0;
};

// Whether an address that a frame of another origin sent to the top document may
// be reported: the top document is the program's own (a local scheme, such as
// the pack's), the sender has a real web origin (http or https, never the
// opaque "null"), and the address is of the sender's own origin.
bool IsRelayedAddressBelievable(bool top_is_local,
                                const std::string& sender_origin,
                                const std::string& url);

}  // namespace engine

#endif  // SRC_ENGINE_QT_FRAME_TABLE_H_
