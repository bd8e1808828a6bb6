#include "native/wayland_connection.h"

#include <QByteArray>
#include <QSocketNotifier>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <cstring>

#include <wayland-client.h>

#include "engine/thread_check.h"
#include "ext-idle-notify-v1-client-protocol.h"
#include "native/session_notes.h"
#include "xdg-activation-v1-client-protocol.h"
#if defined(LUMIO_HAVE_KDE_IDLE)
#include "kde-idle-client-protocol.h"
#else
// Not built: the structure keeps its shape.
struct org_kde_kwin_idle;
struct org_kde_kwin_idle_timeout;
#endif

struct WaylandConnection::Globals {
  wl_registry* registry = nullptr;
  wl_seat* seat = nullptr;
  ext_idle_notifier_v1* idle_notifier = nullptr;
  org_kde_kwin_idle* kde_idle = nullptr;
  xdg_activation_v1* activation = nullptr;
  ext_idle_notification_v1* idle_notification = nullptr;
  org_kde_kwin_idle_timeout* kde_idle_timeout = nullptr;
};

namespace {

void OnGlobal(void* data,
              wl_registry* registry,
              uint32_t name,
              const char* interface,
              uint32_t /*version*/) {
  auto* g = static_cast<WaylandConnection::Globals*>(data);
  // Version 1 of each is all that is used.
  if (!g->seat && std::strcmp(interface, wl_seat_interface.name) == 0) {
    g->seat =
        static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  } else if (std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0) {
    g->idle_notifier = static_cast<ext_idle_notifier_v1*>(
        wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1));
#if defined(LUMIO_HAVE_KDE_IDLE)
  } else if (std::strcmp(interface, org_kde_kwin_idle_interface.name) == 0) {
    g->kde_idle = static_cast<org_kde_kwin_idle*>(
        wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1));
#endif
  } else if (std::strcmp(interface, xdg_activation_v1_interface.name) == 0) {
    g->activation = static_cast<xdg_activation_v1*>(
        wl_registry_bind(registry, name, &xdg_activation_v1_interface, 1));
  }
}

void OnGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

void OnIdled(void* data, ext_idle_notification_v1*) {
  static_cast<WaylandConnection*>(data)->OnIdle();
}
void OnResumedExt(void* data, ext_idle_notification_v1*) {
  static_cast<WaylandConnection*>(data)->OnResumed();
}
const ext_idle_notification_v1_listener kIdleListener = {OnIdled, OnResumedExt};

#if defined(LUMIO_HAVE_KDE_IDLE)
void OnKdeIdle(void* data, org_kde_kwin_idle_timeout*) {
  static_cast<WaylandConnection*>(data)->OnIdle();
}
void OnKdeResumed(void* data, org_kde_kwin_idle_timeout*) {
  static_cast<WaylandConnection*>(data)->OnResumed();
}
const org_kde_kwin_idle_timeout_listener kKdeIdleListener = {OnKdeIdle, OnKdeResumed};
#endif

void OnTokenDone(void* data, xdg_activation_token_v1*, const char* token) {
  *static_cast<std::optional<std::string>*>(data) = std::string(token ? token : "");
}
const xdg_activation_token_v1_listener kTokenListener = {OnTokenDone};

}  // namespace

WaylandConnection* WaylandConnection::Get() {
  LUMIO_ASSERT_UI_THREAD();
  static WaylandConnection* connection = []() -> WaylandConnection* {
    // Under Xwayland too: the compositor still sees all input.
    const char* wayland_display = std::getenv("WAYLAND_DISPLAY");
    if (!OnWaylandPlatform() && !(wayland_display && *wayland_display))
      return nullptr;
    // The same compositor as Qt's: both read WAYLAND_DISPLAY.
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
      return nullptr;
    // Kept for the life of the process, like Qt's own connection.
    return new WaylandConnection(display);
  }();
  return connection;
}

WaylandConnection::WaylandConnection(wl_display* display)
    : display_(display), globals_(std::make_unique<Globals>()) {
  globals_->registry = wl_display_get_registry(display_);
  wl_registry_add_listener(globals_->registry, &kRegistryListener, globals_.get());
  if (!Roundtrip())
    return;
  // The compositor counts idleness from now: it cannot tell about input before.
  const uint32_t step = static_cast<uint32_t>(kIdleStep.count());
  if (globals_->seat && globals_->idle_notifier) {
    globals_->idle_notification = ext_idle_notifier_v1_get_idle_notification(
        globals_->idle_notifier, step, globals_->seat);
    ext_idle_notification_v1_add_listener(globals_->idle_notification, &kIdleListener,
                                          this);
  }
#if defined(LUMIO_HAVE_KDE_IDLE)
  else if (globals_->seat && globals_->kde_idle) {
    globals_->kde_idle_timeout =
        org_kde_kwin_idle_get_idle_timeout(globals_->kde_idle, globals_->seat, step);
    org_kde_kwin_idle_timeout_add_listener(globals_->kde_idle_timeout, &kKdeIdleListener,
                                           this);
  }
#endif
  if (!Roundtrip())
    return;
  // Idle notices arrive whenever the user stops or starts; read them as they come.
  notifier_ = std::make_unique<QSocketNotifier>(wl_display_get_fd(display_),
                                                QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { Dispatch(); });
}

WaylandConnection::~WaylandConnection() {
  Lose();
}

bool WaylandConnection::Roundtrip() {
  if (display_ && wl_display_roundtrip(display_) >= 0)
    return true;
  Lose();
  return false;
}

void WaylandConnection::Dispatch() {
  if (!display_)
    return;
  if (wl_display_dispatch(display_) < 0)
    Lose();
}

void WaylandConnection::Lose() {
  // A broken connection answers nothing from now on; its objects go with it. The
  // notifier may be the caller, so it goes once its signal has returned.
  if (notifier_) {
    notifier_->setEnabled(false);
    notifier_.release()->deleteLater();
  }
  idle_since_.reset();
  if (!display_)
    return;
  wl_display_disconnect(display_);
  display_ = nullptr;
  globals_ = std::make_unique<Globals>();
}

void WaylandConnection::OnIdle() {
  idle_since_ = std::chrono::steady_clock::now() - kIdleStep;
}

void WaylandConnection::OnResumed() {
  idle_since_.reset();
}

std::optional<uint64_t> WaylandConnection::IdleMilliseconds() {
  LUMIO_ASSERT_UI_THREAD();
  if (!globals_->idle_notification && !globals_->kde_idle_timeout)
    return std::nullopt;
  // Notices still on their way count.
  if (!Roundtrip())
    return std::nullopt;
  if (!idle_since_)
    return 0;
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now() - *idle_since_)
                                   .count());
}

std::string WaylandConnection::AttentionToken() {
  LUMIO_ASSERT_UI_THREAD();
  if (!globals_->activation)
    return {};
  xdg_activation_token_v1* request =
      xdg_activation_v1_get_activation_token(globals_->activation);
  std::optional<std::string> token;
  xdg_activation_token_v1_add_listener(request, &kTokenListener, &token);
  xdg_activation_token_v1_commit(request);
  while (!token && display_) {
    if (!Roundtrip())
      return {};
  }
  xdg_activation_token_v1_destroy(request);
  return token.value_or(std::string());
}

void RequestWaylandAttention(QWidget* window) {
  WaylandConnection* connection = WaylandConnection::Get();
  const std::string token = connection ? connection->AttentionToken() : std::string();
  if (token.empty() || !window->windowHandle()) {
    SayOnce(
        "this Wayland compositor offers no xdg-activation: the window cannot ask for "
        "the user's attention or take the focus by itself");
    return;
  }
  // Qt's Wayland plugin activates with the token it finds there (and removes it),
  // on its own connection, where the window's surface lives.
  qputenv("XDG_ACTIVATION_TOKEN", QByteArray::fromStdString(token));
  window->windowHandle()->requestActivate();
  // Used or not, it is no token for the programs this one starts.
  qunsetenv("XDG_ACTIVATION_TOKEN");
}
