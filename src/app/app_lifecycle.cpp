#include "app/app_lifecycle.h"

#include <rapidjson/document.h>

#include "lumio_protocol.h"

AppLifecycle::AppLifecycle(AppShell* shell)
    : shell_(shell), self_(std::make_shared<AppLifecycle*>(this)) {}

void AppLifecycle::Quit() {
  if (state_ == State::kLoopEnded)
    return;
  if (state_ == State::kRunning)
    state_ = State::kQuitAnnounced;
  shell_->HideMainWindow();
  shell_->SendPageEvent(page_event::kOrbitAppWillQuit,
                        rapidjson::Value(rapidjson::kObjectType));
  // Each quit starts a grace period of its own; the first to end closes the
  // browsers and the others find them closing.
  std::weak_ptr<AppLifecycle*> weak = self_;
  shell_->PostDelayedTask(
      [weak] {
        if (auto self = weak.lock())
          (*self)->CloseAllBrowsers();
      },
      kQuitGracePeriodMs);
}

void AppLifecycle::QuitNow() {
  CloseAllBrowsers();
}

void AppLifecycle::Reopen() {
  // A window whose page is being unloaded is not worth showing.
  if (state_ == State::kClosing || state_ == State::kLoopEnded)
    return;
  shell_->ShowMainWindow();
  shell_->ClearBadge();
  shell_->RemoveDeliveredNotifications();
}

void AppLifecycle::OnLoopEnded() {
  state_ = State::kLoopEnded;
}

void AppLifecycle::CloseAllBrowsers() {
  if (state_ == State::kClosing || state_ == State::kLoopEnded)
    return;
  state_ = State::kClosing;
  shell_->CloseAllBrowsers();
}
