// What the page's bridge world and the browser say to each other over the web
// channel, without Qt: the transport hands over JSON values, this reads and
// writes them.
//
// The bridge world sends what its documents did in one turn of the page's event
// loop as one batch, in order: each entry an array whose first member says what
// it is
//   ["d", {key, main, origin, url, name}]  a document announced itself
//   ["g", key]                             a document has gone
//   ["q", key, id, request, persistent]    a query
//   ["n", key, id, request]                a cross-origin request sent again
//   ["c", key, id]                         a query cancelled
//   ["a", {url, senderOrigin, name}]       a frame of another origin reported its address
// Members after those named are ignored. An entry of another shape, or a query
// id that is not a whole number a double holds exactly, comes from a page that
// bypassed the program's script and is skipped.
//
// Answers go back as one flat array of runs of five members: key, id, success,
// code, text.
#ifndef SRC_ENGINE_QT_BRIDGE_WIRE_H_
#define SRC_ENGINE_QT_BRIDGE_WIRE_H_

#include <rapidjson/document.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace engine {

struct BridgeEntry {
  enum class Kind {
    kDocument,        // "d"
    kDocumentGone,    // "g"
    kQuery,           // "q"
    kProgramRequest,  // "n"
    kCancel,          // "c"
    kFrameAddress,    // "a"
  };
  Kind kind = Kind::kDocument;
  std::string key;      // the document's key; its url for kFrameAddress
  int64_t page_id = 0;  // kQuery, kProgramRequest, kCancel
  std::string request;  // kQuery, kProgramRequest
  bool persistent = false;
  // kDocument: an object's members that are missing or not strings read as
  // empty, as the document's own script would have sent them.
  bool main = false;
  std::string origin;  // kDocument; the sender's for kFrameAddress
  std::string url;     // kDocument, kFrameAddress
  std::string name;    // kDocument, kFrameAddress
};

struct BridgeAnswer {
  std::string key;
  int64_t page_id = 0;
  bool success = false;
  int code = 0;
  std::string text;
};

// The entry |value| describes, or nothing when it is malformed.
std::optional<BridgeEntry> DecodeBridgeEntry(const rapidjson::Value& value);
// Every well-formed entry of |batch|, in order; nothing when it is no array.
std::vector<BridgeEntry> DecodeBridgeBatch(const rapidjson::Value& batch);

// The answers as the page reads them. The strings are referenced, not copied:
// |answers| must outlive the result.
rapidjson::Document EncodeBridgeAnswers(const std::vector<BridgeAnswer>& answers);

}  // namespace engine

#endif  // SRC_ENGINE_QT_BRIDGE_WIRE_H_
