#include "bridge/bridge_commands.h"

#include <cstdio>

#include <rapidjson/document.h>

#include "bridge/bridge_router.h"
#include "bridge/command_arguments.h"
#include "bridge/page_event.h"
#include "lumio_protocol.h"

namespace {

using Callback = std::shared_ptr<OrbitBridgeCommandCallback>;

// A command's body: reads its arguments, calls its service, answers.
using CommandBody = void (*)(const BridgeServices& services,
                             const CommandArguments& args,
                             const Callback& callback);

void Reply(const Callback& callback) {
  ReplyEmptyObject(callback);
}

// A failure the page can tell apart from the router's: code 0 and
// {"error": |message|}.
void Fail(const Callback& callback, const char* message) {
  rapidjson::Document error(rapidjson::kObjectType);
  error.AddMember("error", rapidjson::StringRef(message), error.GetAllocator());
  callback->Failure(0, error);
}

// The page's start-up handshake: the main window is created hidden and is first
// shown here, once the page is ready.
void AppInitialized(const BridgeServices& s,
                    const CommandArguments&,
                    const Callback& callback) {
  s.app->Initialized();
  s.window->Show();
  rapidjson::Document reply(rapidjson::kObjectType);
  reply.AddMember("text", "Hello, world!", reply.GetAllocator());
  callback->Success(reply);
  SendPageEvent(s.page_events, page_event::kOrbitAppInitializedReply, reply);
}

void AppQuit(const BridgeServices& s, const CommandArguments&, const Callback& callback) {
  s.app->Quit();
  Reply(callback);
}

// Never answers: the page is closing.
void AppQuitNow(const BridgeServices& s, const CommandArguments&, const Callback&) {
  s.app->QuitNow();
}

void AppGetInfo(const BridgeServices& s,
                const CommandArguments&,
                const Callback& callback) {
  rapidjson::Document reply(rapidjson::kObjectType);
  auto& allocator = reply.GetAllocator();
  reply.AddMember(
      "appVersion",
      rapidjson::Value(s.app_version.c_str(), s.app_version.size(), allocator),
      allocator);
  const std::string name = s.os->GetComputerName();
  reply.AddMember("computerName", rapidjson::Value(name.c_str(), name.size(), allocator),
                  allocator);
  callback->Success(reply);
}

// Every notification also asks for the user's attention.
void TrayIconNotify(const BridgeServices& s,
                    const CommandArguments& args,
                    const Callback& callback) {
  s.tray->Notify(args.String("title"), args.String("text"), args.Int("unreadCount", -1));
  s.window->Flash();
  Reply(callback);
}

// "defaultItemId" (-1 when missing) has no meaning for a tray menu.
void TrayIconUpdateMenu(const BridgeServices& s,
                        const CommandArguments& args,
                        const Callback& callback) {
  s.tray->UpdateMenu(args.MenuItems("items"));
  Reply(callback);
}

// Toasts, "width" and "height", and the input method switch have no counterpart
// on this desktop.
void NoEffect(const BridgeServices&, const CommandArguments&, const Callback& callback) {
  Reply(callback);
}

void MainBrowserShow(const BridgeServices& s,
                     const CommandArguments&,
                     const Callback& callback) {
  s.window->Show();
  Reply(callback);
}

void MainBrowserHide(const BridgeServices& s,
                     const CommandArguments&,
                     const Callback& callback) {
  s.window->Hide();
  Reply(callback);
}

void MainBrowserFlash(const BridgeServices& s,
                      const CommandArguments&,
                      const Callback& callback) {
  s.window->Flash();
  Reply(callback);
}

// The user has seen it: attention, badge and notifications all go.
void MainBrowserUnflash(const BridgeServices& s,
                        const CommandArguments&,
                        const Callback& callback) {
  s.window->Unflash();
  s.tray->ClearBadge();
  s.tray->RemoveDeliveredNotifications();
  Reply(callback);
}

void MainBrowserMinimize(const BridgeServices& s,
                         const CommandArguments&,
                         const Callback& callback) {
  s.window->Minimize();
  Reply(callback);
}

void MainBrowserSetTopmost(const BridgeServices& s,
                           const CommandArguments& args,
                           const Callback& callback) {
  s.window->SetTopmost(args.Bool("enabled"));
  Reply(callback);
}

void MainBrowserGetState(const BridgeServices& s,
                         const CommandArguments&,
                         const Callback& callback) {
  rapidjson::Document reply(rapidjson::kObjectType);
  const std::string name = MainWindowStateName(s.window->GetState());
  reply.AddMember("state",
                  rapidjson::Value(name.c_str(), name.size(), reply.GetAllocator()),
                  reply.GetAllocator());
  callback->Success(reply);
}

void MainBrowserSetAlpha(const BridgeServices& s,
                         const CommandArguments& args,
                         const Callback& callback) {
  const int32_t value = args.Int("value");
  if (static_cast<uint32_t>(value) < 256) {
    s.window->SetAlpha(value);
    Reply(callback);
    return;
  }
  Fail(callback, "Out of range");
}

void OSOpenExternalBrowser(const BridgeServices& s,
                           const CommandArguments& args,
                           const Callback& callback) {
  s.os->OpenExternalBrowser(args.String("url"));
  Reply(callback);
}

void OSGetUserIdleTime(const BridgeServices& s,
                       const CommandArguments&,
                       const Callback& callback) {
  rapidjson::Document reply(rapidjson::kObjectType);
  reply.AddMember("t", static_cast<int64_t>(s.os->GetUserIdleTime()),
                  reply.GetAllocator());
  callback->Success(reply);
}

void OSIsStartupAppRegistered(const BridgeServices& s,
                              const CommandArguments&,
                              const Callback& callback) {
  rapidjson::Document reply(rapidjson::kObjectType);
  reply.AddMember("registered", s.os->IsStartupAppRegistered(), reply.GetAllocator());
  callback->Success(reply);
}

// Like every command, these answer {} once the operation has run, whatever its
// outcome: a page that needs to know asks OrbitOSIsStartupAppRegistered, which
// reads what is on disk. A login item that cannot be written or removed (a folder
// that cannot be made or written) is reported on standard error.
void OSRegisterStartupApp(const BridgeServices& s,
                          const CommandArguments&,
                          const Callback& callback) {
  if (!s.os->RegisterStartupApp())
    std::fprintf(stderr, "lumio: could not register to start at login\n");
  Reply(callback);
}

void OSUnregisterStartupApp(const BridgeServices& s,
                            const CommandArguments&,
                            const Callback& callback) {
  if (!s.os->UnregisterStartupApp())
    std::fprintf(stderr, "lumio: could not stop starting at login\n");
  Reply(callback);
}

void PopupPrepare(const BridgeServices& s,
                  const CommandArguments& args,
                  const Callback& callback) {
  s.popup->Prepare(args.String("name"), args.Strings("features"));
  Reply(callback);
}

struct BridgeCommand {
  const char* name;
  CommandBody body;
};

// In registration order.
constexpr BridgeCommand kBridgeCommands[] = {
    {"OrbitAppInitialized", &AppInitialized},
    {"OrbitAppQuit", &AppQuit},
    {"OrbitAppQuitNow", &AppQuitNow},
    {"OrbitAppGetInfo", &AppGetInfo},
    {"OrbitTrayIconNotify", &TrayIconNotify},
    {"OrbitTrayIconUpdateMenu", &TrayIconUpdateMenu},
    {"OrbitToastShow", &NoEffect},
    {"OrbitToastHide", &NoEffect},
    {"OrbitMainBrowserShow", &MainBrowserShow},
    {"OrbitMainBrowserHide", &MainBrowserHide},
    {"OrbitMainBrowserFlash", &MainBrowserFlash},
    {"OrbitMainBrowserUnflash", &MainBrowserUnflash},
    {"OrbitMainBrowserMinimize", &MainBrowserMinimize},
    {"OrbitMainBrowserSetTopmost", &MainBrowserSetTopmost},
    {"OrbitMainBrowserGetState", &MainBrowserGetState},
    {"OrbitMainBrowserSetAlpha", &MainBrowserSetAlpha},
    {"OrbitMainBrowserSetIMEEnabled", &NoEffect},
    {"OrbitOSOpenExternalBrowser", &OSOpenExternalBrowser},
    {"OrbitOSGetUserIdleTime", &OSGetUserIdleTime},
    {"OrbitOSIsStartupAppRegistered", &OSIsStartupAppRegistered},
    {"OrbitOSRegisterStartupApp", &OSRegisterStartupApp},
    {"OrbitOSUnregisterStartupApp", &OSUnregisterStartupApp},
    {"OrbitPopupPrepare", &PopupPrepare},
};

}  // namespace

void RegisterBridgeCommands(BridgeCommandTable& table, const BridgeServices& services) {
  for (const BridgeCommand& command : kBridgeCommands) {
    const CommandBody body = command.body;
    RegisterBridgeCommand(table, command.name,
                          [services, body](const std::shared_ptr<engine::Browser>&,
                                           const std::shared_ptr<engine::Frame>&, int64_t,
                                           const rapidjson::Document& request, bool,
                                           const Callback& callback) {
                            body(services, CommandArguments(request), callback);
                          });
  }
}
