#include "app/app_quit.h"

#include "app/app_lifecycle.h"
#include "bridge/bridge_services.h"
#include "bridge/page_event.h"
#include "engine/engine.h"
#include "native/browser_operations.h"
#include "native/window_operations.h"

namespace {

class DesktopAppShell : public AppShell {
 public:
  void set_tray(std::shared_ptr<TrayService> tray) { tray_ = std::move(tray); }

  // AppShell
  void ShowMainWindow() override { MainWindowShow(); }
  void HideMainWindow() override { MainWindowHide(); }
  void SendPageEvent(const std::string& name, const rapidjson::Value& payload) override {
    ::SendPageEvent(name, payload);
  }
  void CloseAllBrowsers() override { ::CloseAllBrowsers(); }
  void ClearBadge() override {
    if (tray_)
      tray_->ClearBadge();
  }
  void RemoveDeliveredNotifications() override {
    if (tray_)
      tray_->RemoveDeliveredNotifications();
  }
  void PostDelayedTask(std::function<void()> task, int64_t delay_ms) override {
    engine::PostDelayedTask(std::move(task), delay_ms);
  }

 private:
  std::shared_ptr<TrayService> tray_;
};

DesktopAppShell& Shell() {
  static DesktopAppShell shell;
  return shell;
}

AppLifecycle& Lifecycle() {
  static AppLifecycle lifecycle(&Shell());
  return lifecycle;
}

class QuitService : public AppService {
 public:
  void Quit() override { AppQuit(); }
  void QuitNow() override { AppQuitNow(); }
};

}  // namespace

std::unique_ptr<AppService> AppService::Create() {
  return std::make_unique<QuitService>();
}

void AppQuit() {
  Lifecycle().Quit();
}

void AppQuitNow() {
  Lifecycle().QuitNow();
}

void AppReopen() {
  Lifecycle().Reopen();
}

bool AppIsQuitting() {
  return Lifecycle().state() != AppLifecycle::State::kRunning;
}

void AppSetTrayService(std::shared_ptr<TrayService> tray) {
  Shell().set_tray(std::move(tray));
}

void AppMessageLoopEnded() {
  Lifecycle().OnLoopEnded();
  Shell().set_tray(nullptr);
}
