#include "native/window_delegate.h"

#include <rapidjson/document.h>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>

#include "bridge/page_event.h"
#include "lumio_protocol.h"
#include "native/browser_window.h"
#include "native/main_window.h"
#include "native/session_notes.h"
#include "native/window_operations.h"
#include "native/window_state.h"

namespace {

const char kDelegateProperty[] = "lumioWindowDelegate";

// How long a window just come into sight may wait for the window manager to
// activate it before the page hears "visible", and how often it is checked:
// Qt may not report the activation (see HasKeyboardFocus).
constexpr int kSettleMs = 500;
constexpr int kSettlePollMs = 20;

// True while the window is unmapped and mapped again at once (see MainWindowShow).
bool Remapping(QWidget* window) {
  auto* browser_window = qobject_cast<BrowserWindow*>(window);
  return browser_window && browser_window->remapping();
}

}  // namespace

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
      // Only a window in sight can be active.
      if (auto* browser_window = qobject_cast<BrowserWindow*>(window_))
        browser_window->set_minimize_requested(false);
      NotifyChange();
      break;
    case QEvent::WindowDeactivate:
      if (host)
        host->SetFocus(false);
      NotifyChange();
      break;
    case QEvent::WindowStateChange: {
      if (OnWaylandPlatform()) {
        // xdg-shell never tells a client it is minimised: Qt reports the state
        // only between the request and the compositor's next configure. It is a
        // request, kept so that showing the window can bring it back; what the
        // page hears follows the activation the compositor reports.
        auto* browser_window = qobject_cast<BrowserWindow*>(window_);
        if (browser_window && window_->isMinimized())
          browser_window->set_minimize_requested(true);
        break;
      }
      const bool minimized = window_->isMinimized();
      if (minimized != minimized_) {
        minimized_ = minimized;
        if (host)
          host->SetWindowVisibility(!minimized);
      }
      NotifyChange();
      break;
    }
    // Showing and hiding are this desktop's visibility events; a page that was
    // hidden with its window is shown with it again.
    case QEvent::Show:
    case QEvent::Hide:
      if (Remapping(window_))
        break;
      if (host && !window_->isMinimized())
        host->SetWindowVisibility(event->type() == QEvent::Show);
      NotifyChange();
      if (event->type() == QEvent::Show)
        WatchActivationAfterShow();
      break;
    // The window manager may activate a window after Qt has shown it, without a
    // WindowActivate of its own.
    case QEvent::ActivationChange:
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

void OBWindowDelegate::WatchActivationAfterShow() {
  // The window manager focuses a newly shown window a moment later, and Qt may
  // not report it (see HasKeyboardFocus); look again for a little while.
  for (int delay_ms : {50, 150, 300, 600, 1000, 2000}) {
    QTimer::singleShot(delay_ms, this, [this] {
      if (window_->isVisible())
        NotifyChange();
    });
  }
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

OBMainWindowDelegate::OBMainWindowDelegate(QWidget* window,
                                           std::shared_ptr<engine::Browser> browser,
                                           PageEventSink* page_events,
                                           MainWindow& main_window)
    : OBWindowDelegate(window, std::move(browser)),
      page_events_(page_events),
      main_window_(main_window) {
  settle_timer_.setInterval(kSettlePollMs);
  connect(&settle_timer_, &QTimer::timeout, this, &OBMainWindowDelegate::Settle);
}

MainWindowState OBMainWindowDelegate::CurrentState() const {
  return MainWindowGetState(main_window_);
}

void OBMainWindowDelegate::NotifyChange() {
  if (Remapping(window()))
    return;
  const MainWindowState state = CurrentState();
  // The window manager activates a window a moment after it appears; reporting
  // at once would tell the page "visible" just before "focused" on every show.
  if (ComesIntoSightUnfocused(main_window_.state_tracker().last(), state)) {
    if (!settle_timer_.isActive()) {
      settling_.start();
      settle_timer_.start();
    }
    return;
  }
  settle_timer_.stop();
  Report(state);
}

void OBMainWindowDelegate::Settle() {
  const MainWindowState state = CurrentState();
  if (state == kMainWindowStateVisible && !settling_.hasExpired(kSettleMs))
    return;
  // Activated, gone again, or left unfocused by the window manager.
  settle_timer_.stop();
  Report(state);
}

void OBMainWindowDelegate::Report(MainWindowState state) {
  if (!main_window_.state_tracker().Update(state))
    return;
  rapidjson::Document payload(rapidjson::kObjectType);
  const std::string name = MainWindowStateName(state);
  payload.AddMember("state",
                    rapidjson::Value(name.c_str(), name.size(), payload.GetAllocator()),
                    payload.GetAllocator());
  SendPageEvent(page_event::kOrbitMainBrowserStateChange, payload);
}

void OBMainWindowDelegate::SendPageEvent(const std::string& name,
                                         const rapidjson::Value& payload) {
  ::SendPageEvent(page_events_, name, payload);
}
