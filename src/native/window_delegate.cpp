#include "native/window_delegate.h"

#include <rapidjson/document.h>
#include <QCloseEvent>
#include <QWidget>

#include "bridge/page_event.h"
#include "native/main_window.h"
#include "native/window_state.h"

namespace {
const char kDelegateProperty[] = "lumioWindowDelegate";
}

OBWindowDelegate::OBWindowDelegate(QWidget* window,
                                   std::shared_ptr<engine::Browser> browser)
    : QObject(window), window_(window), browser_(std::move(browser)) {
  window_->setProperty(kDelegateProperty, QVariant::fromValue<QObject*>(this));
  window_->installEventFilter(this);
}

OBWindowDelegate::~OBWindowDelegate() = default;

OBWindowDelegate* OBWindowDelegate::ForWindow(QWidget* window) {
  if (!window)
    return nullptr;
  return qobject_cast<OBWindowDelegate*>(
      window->property(kDelegateProperty).value<QObject*>());
}

bool OBWindowDelegate::eventFilter(QObject* watched, QEvent* event) {
  if (watched != window_)
    return false;
  std::shared_ptr<engine::BrowserHost> host = browser_ ? browser_->GetHost() : nullptr;
  switch (event->type()) {
    case QEvent::WindowActivate:
      if (host)
        host->SetFocus(true);
      NotifyChange();
      break;
    case QEvent::WindowDeactivate:
      if (host)
        host->SetFocus(false);
      NotifyChange();
      break;
    case QEvent::WindowStateChange: {
      const bool minimized = window_->isMinimized();
      if (minimized != minimized_) {
        minimized_ = minimized;
        if (host)
          host->SetWindowVisibility(!minimized);
      }
      NotifyChange();
      break;
    }
    // Showing and hiding are this desktop's visibility events.
    case QEvent::Show:
    case QEvent::Hide:
      NotifyChange();
      break;
    case QEvent::Close:
      if (!WindowShouldClose()) {
        event->ignore();
        return true;
      }
      break;
    default:
      break;
  }
  return false;
}

bool OBWindowDelegate::WindowShouldClose() {
  if (closing_) {
    // The engine agreed: the window goes once its close has finished.
    window_->deleteLater();
    return true;
  }
  if (!browser_) {
    // No browser to ask (it could not be created): only hide the window.
    window_->hide();
    return false;
  }
  browser_->GetHost()->CloseBrowser(false);
  return false;
}

void OBMainWindowDelegate::NotifyChange() {
  const MainWindowState state =
      ComputeMainWindowState(window()->isVisible(), window()->isActiveWindow());
  if (!MainWindowStateTrackerInstance().Update(state))
    return;
  rapidjson::Document payload(rapidjson::kObjectType);
  const std::string name = MainWindowStateName(state);
  payload.AddMember("state",
                    rapidjson::Value(name.c_str(), name.size(), payload.GetAllocator()),
                    payload.GetAllocator());
  SendPageEvent("OrbitMainBrowserStateChange", payload);
}
