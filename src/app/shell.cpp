#include "app/shell.h"

#include <cstdio>

#include "bridge/bridge_commands.h"
#include "bridge/bridge_services.h"
#include "bridge/page_event.h"
#include "native/browser_window.h"
#include "native/orbit_client_native.h"
#include "native/tray_icon.h"
#include "native/window_delegate.h"
#include "native/window_operations.h"

namespace {

// The page's AppService: quits through the lifecycle, which outlives it, and
// records the handshake in |initialized|, which does too.
class LifecycleAppService : public AppService {
 public:
  LifecycleAppService(AppLifecycle& lifecycle, bool& initialized)
      : lifecycle_(lifecycle), initialized_(initialized) {}

  void Quit() override { lifecycle_.Quit(); }
  void QuitNow() override { lifecycle_.QuitNow(); }
  void Initialized() override { initialized_ = true; }

 private:
  AppLifecycle& lifecycle_;
  bool& initialized_;
};

// The main window stays hidden until the page's handshake; a page that fails
// before it would leave the user nothing to see and nothing to read.
constexpr int64_t kHandshakeWaitMs = 10000;

}  // namespace

Shell::EngineRun::~EngineRun() {
  if (started_)
    engine::Shutdown();
}

void Shell::EngineRun::Start(const engine::Settings& settings,
                             const std::shared_ptr<engine::App>& app) {
  started_ = true;
  engine::Initialize(settings, app);
}

Shell::Shell(const AppIdentity& identity) : identity_(identity) {}

Shell::~Shell() {
  // The message loop has returned: nothing more happens, and no command runs.
  lifecycle_.OnLoopEnded();
  commands_.clear();
}

void Shell::StartEngine(const engine::Settings& settings,
                        const std::shared_ptr<engine::App>& app) {
  if (!settings.cache_path.empty())
    permissions_path_ = PermissionMemoryPath(settings.cache_path);
  engine_.Start(settings, app);
}

void Shell::OnContextInitialized() {
  if (!tray_)
    tray_ = std::make_unique<TrayIcon>([this] { Reopen(); }, &page_events_);
  // The main window exists before the first bridge command can be registered,
  // and the page's first query can only arrive once this has returned.
  auto client = std::make_shared<OrbitClientNative>(
      ClientParts{commands_, &page_events_, popups_, browsers_, opener_,
                  [this] { Reopen(); }},
      main_window_);
  client->ConfigurePermissions(permissions_path_, LUMIO_APP_USES_DEVICES != 0);
  std::shared_ptr<engine::Browser> browser = main_window_.Create(client);
  browsers_.ResetClosing();
  // Owned by the window; lives until the window really closes.
  if (browser && main_window_.window())
    new OBMainWindowDelegate(main_window_.window(), browser, &page_events_, main_window_);
  BridgeServices services;
  services.window = std::make_shared<MainWindowService>(main_window_);
  services.app = std::make_shared<LifecycleAppService>(lifecycle_, initialized_);
  services.tray = std::make_shared<DesktopTrayService>(*tray_);
  services.os = std::make_shared<DesktopOsService>(opener_, identity_);
  services.app_version = identity_.version;
  services.popup = std::make_shared<PreparedPopupService>(popups_);
  services.page_events = &page_events_;
  RegisterBridgeCommands(commands_, services);
  engine::PostDelayedTask(
      [alive = std::weak_ptr<bool>(alive_), this] {
        if (alive.lock())
          ReportMissingHandshake();
      },
      kHandshakeWaitMs);
}

void Shell::ReportMissingHandshake() {
  if (initialized_ || IsQuitting())
    return;
  std::string page = "no page";
  std::string error;
  if (const auto& browser = browsers_.main_browser()) {
    if (auto frame = browser->GetMainFrame())
      page = frame->GetURL();
    error = browser->GetLastScriptError();
  }
  std::fprintf(stderr,
               "lumio-app: %s has not sent OrbitAppInitialized within %lld s, so the "
               "main window stays hidden; last script error: %s\n",
               page.c_str(), static_cast<long long>(kHandshakeWaitMs / 1000),
               error.empty() ? "none" : error.c_str());
  std::fflush(stderr);
}

void Shell::ShowMainWindow() {
  MainWindowShow(main_window_);
}

void Shell::HideMainWindow() {
  MainWindowHide(main_window_);
}

void Shell::SendPageEvent(const std::string& name, const rapidjson::Value& payload) {
  ::SendPageEvent(&page_events_, name, payload);
}

void Shell::CloseAllBrowsers() {
  browsers_.CloseAll();
}

bool Shell::BrowsersClosing() const {
  return browsers_.closing();
}

void Shell::ClearBadge() {
  if (tray_)
    tray_->ClearBadge();
}

void Shell::RemoveDeliveredNotifications() {
  if (tray_)
    tray_->RemoveDeliveredNotifications();
}

void Shell::PostDelayedTask(std::function<void()> task, int64_t delay_ms) {
  engine::PostDelayedTask(std::move(task), delay_ms);
}
