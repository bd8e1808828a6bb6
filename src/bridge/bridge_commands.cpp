#include "bridge/bridge_commands.h"

#include <rapidjson/document.h>

#include "bridge/bridge_router.h"
#include "bridge/page_event.h"
#include "native/window_operations.h"

namespace {

using CommandFunction =
    void (*)(const std::shared_ptr<engine::Browser>& browser,
             const std::shared_ptr<engine::Frame>& frame,
             int64_t query_id,
             const rapidjson::Document& request,
             bool persistent,
             const std::shared_ptr<OrbitBridgeCommandCallback>& callback);

// The page's start-up handshake: the main window is created hidden and is first
// shown here, once the page is ready.
void OrbitAppInitialized(const std::shared_ptr<engine::Browser>& browser,
                         const std::shared_ptr<engine::Frame>& frame,
                         int64_t query_id,
                         const rapidjson::Document& request,
                         bool persistent,
                         const std::shared_ptr<OrbitBridgeCommandCallback>& callback) {
  MainWindowShow();
  rapidjson::Document reply(rapidjson::kObjectType);
  reply.AddMember("text", "Hello, world!", reply.GetAllocator());
  callback->Success(reply);
  SendPageEvent("OrbitAppInitializedReply", reply);
}

struct BridgeCommand {
  const char* name;
  CommandFunction handler;
};

// In registration order.
constexpr BridgeCommand kBridgeCommands[] = {
    {"OrbitAppInitialized", &OrbitAppInitialized},
};

}  // namespace

void RegisterBridgeCommands() {
  for (const BridgeCommand& command : kBridgeCommands)
    RegisterBridgeCommand(command.name, command.handler);
}
