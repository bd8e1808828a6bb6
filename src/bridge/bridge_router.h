// Browser-side dispatch of bridge requests: the page's cefQuery text is parsed, its
// "command" looked up in the command table and the command's handler run with a
// reply object.
//
// A request is taken only when it comes from a frame of our own origin
// ("app://lumio"), is at most kMaxBridgeRequestBytes long, is a JSON object (the
// parser stops at the first NUL character), and has a string member "command" (the
// first one, when the name occurs twice) that names a registered command, compared
// byte for byte. Anything else is not taken, and the message router fails it with
// -1 "The query has been canceled".
//
// UI thread only: the program's table (owned by its Shell) is filled once at
// start-up and read while dispatching, both on that thread, so it has no lock.
#ifndef SRC_BRIDGE_BRIDGE_ROUTER_H_
#define SRC_BRIDGE_BRIDGE_ROUTER_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include <rapidjson/document.h>

#include "engine/browser.h"
#include "engine/message_router.h"
#include "lumio_protocol.h"

// The longest request taken, in bytes of UTF-8: 10 MiB. Every request is carried
// and parsed on the UI thread, at about 12 ms per MiB in all (bench/RESULTS.md), so
// this caps the pause at about a tenth of a second. The page's cefQuery
// (engine/qt/scripts/query_stub.js) refuses longer ones before they leave the page, with
// the same answer; this check stands for requests that come by another way.
inline constexpr size_t kMaxBridgeRequestBytes = protocol::kMaxRequestBytes;

// The origin of the app's own documents: the only ones trusted with the bridge,
// page events, the app's prepared popups and requests past the same-origin rules.
inline constexpr const char* kAppOrigin = protocol::kAppOrigin;

// The origin of the app's documents in this run: kAppOrigin, or the origin of a
// developer's own loopback server (LUMIO_DEV_URL), which then takes its place in
// every trust rule. Set once at start-up, before the first browser; UI thread only.
const std::string& AppOrigin();
void SetAppOrigin(std::string origin);

// Whether |frame| shows one of the app's own documents (of AppOrigin()).
bool IsAppDocument(const std::shared_ptr<engine::Frame>& frame);

// The reply object given to a command handler. Answers go to the page as compact
// JSON text (JsonToText). Whether the query was already answered is not checked
// here: the router drops answers to queries that have ended.
class OrbitBridgeCommandCallback {
 public:
  explicit OrbitBridgeCommandCallback(
      std::shared_ptr<engine::MessageRouter::Callback> router_callback);

  void Success(const rapidjson::Value& value);
  void Failure(int code, const rapidjson::Value& value);

 private:
  std::shared_ptr<engine::MessageRouter::Callback> router_callback_;
};

// |request| is the parsed request (root object); it lives only for the call, so a
// handler copies what it keeps.
using BridgeCommandHandler =
    std::function<void(const std::shared_ptr<engine::Browser>& browser,
                       const std::shared_ptr<engine::Frame>& frame,
                       int64_t query_id,
                       const rapidjson::Document& request,
                       bool persistent,
                       const std::shared_ptr<OrbitBridgeCommandCallback>& callback)>;

// Command name (UTF-8, compared byte-wise) to handler.
using BridgeCommandTable = std::map<std::string, BridgeCommandHandler>;

// Inserts |handler| under |name| in |table|, replacing an earlier one.
void RegisterBridgeCommand(BridgeCommandTable& table,
                           const std::string& name,
                           BridgeCommandHandler handler);

// Answers with the empty object, "{}".
void ReplyEmptyObject(const std::shared_ptr<OrbitBridgeCommandCallback>& callback);

// The message router's OnQuery over |table|: true when a command handler ran
// (whatever it answered), false when the request was not taken.
bool DispatchBridgeQuery(
    const BridgeCommandTable& table,
    const std::shared_ptr<engine::Browser>& browser,
    const std::shared_ptr<engine::Frame>& frame,
    int64_t query_id,
    const std::string& request,
    bool persistent,
    const std::shared_ptr<engine::MessageRouter::Callback>& callback);

#endif  // SRC_BRIDGE_BRIDGE_ROUTER_H_
