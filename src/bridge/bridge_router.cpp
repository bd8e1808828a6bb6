#include "bridge/bridge_router.h"

#include <utility>

#include "bridge/json_to_text.h"

namespace {

std::string& TheAppOrigin() {
  static std::string origin = kAppOrigin;
  return origin;
}

}  // namespace

const std::string& AppOrigin() {
  return TheAppOrigin();
}

void SetAppOrigin(std::string origin) {
  TheAppOrigin() = std::move(origin);
}

bool IsAppDocument(const std::shared_ptr<engine::Frame>& frame) {
  return frame && frame->GetSecurityOrigin() == AppOrigin();
}

OrbitBridgeCommandCallback::OrbitBridgeCommandCallback(
    std::shared_ptr<engine::MessageRouter::Callback> router_callback)
    : router_callback_(std::move(router_callback)) {}

void OrbitBridgeCommandCallback::Success(const rapidjson::Value& value) {
  if (router_callback_)
    router_callback_->Success(JsonToText(value));
}

void OrbitBridgeCommandCallback::Failure(int code, const rapidjson::Value& value) {
  if (router_callback_)
    router_callback_->Failure(code, JsonToText(value));
}

void RegisterBridgeCommand(BridgeCommandTable& table,
                           const std::string& name,
                           BridgeCommandHandler handler) {
  table[name] = std::move(handler);
}

void ReplyEmptyObject(const std::shared_ptr<OrbitBridgeCommandCallback>& callback) {
  callback->Success(rapidjson::Value(rapidjson::kObjectType));
}

bool DispatchBridgeQuery(
    const BridgeCommandTable& table,
    const std::shared_ptr<engine::Browser>& browser,
    const std::shared_ptr<engine::Frame>& frame,
    int64_t query_id,
    const std::string& request,
    bool persistent,
    const std::shared_ptr<engine::MessageRouter::Callback>& callback) {
  // Only our own pages may reach native services; any other page that ends up in
  // one of our windows (a link followed in a popup, an embedded frame) could
  // otherwise drive the main window, notifications and the login items.
  if (!IsAppDocument(frame))
    return false;

  // Before anything is parsed or copied.
  if (request.size() > kMaxBridgeRequestBytes)
    return false;

  // c_str(): the parser stops at the first NUL. Iterative parsing keeps deeply
  // nested input from exhausting the stack; without kParseStopWhenDoneFlag anything
  // but whitespace after the root is an error.
  rapidjson::Document document;
  document.Parse<rapidjson::kParseIterativeFlag>(request.c_str());
  if (document.HasParseError() || !document.IsObject())
    return false;

  // FindMember returns the first member of that name.
  const auto command = document.FindMember("command");
  if (command == document.MemberEnd() || !command->value.IsString())
    return false;

  const auto entry = table.find(
      std::string(command->value.GetString(), command->value.GetStringLength()));
  if (entry == table.end() || !entry->second)
    return false;

  // A copy, so that a handler may re-register commands while it runs.
  const BridgeCommandHandler handler = entry->second;
  auto reply = std::make_shared<OrbitBridgeCommandCallback>(callback);
  handler(browser, frame, query_id, document, persistent, reply);
  return true;
}
