#include "app/app_lifecycle.h"

#include <rapidjson/document.h>

#include "lumio_protocol.h"

AppLifecycle::AppLifecycle(AppShell* shell)
    : shell_(shell), self_(std::make_shared<AppLifecycle*>(this)) {}

AppLifecycle::State AppLifecycle::state() const {
  if (loop_ended_)
    return State::kLoopEnded;
  if (shell_->BrowsersClosing())
    return State::kClosing;
  return quit_announced_ ? State::kQuitAnnounced : State::kRunning;
}

void AppLifecycle::Quit() {
  if (loop_ended_)
    return;
  quit_announced_ = true;
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
  const State state = this->state();
  if (state == State::kClosing || state == State::kLoopEnded)
    return;
  shell_->ShowMainWindow();
  shell_->ClearBadge();
  shell_->RemoveDeliveredNotifications();
}

void AppLifecycle::OnLoopEnded() {
  loop_ended_ = true;
}

void AppLifecycle::CloseAllBrowsers() {
  const State state = this->state();
  if (state == State::kClosing || state == State::kLoopEnded)
    return;
  shell_->CloseAllBrowsers();
}
