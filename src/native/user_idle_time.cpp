// The sources of the user's idle time, asked in this order until one answers:
//   in a Wayland session (Qt on Wayland, or Xwayland with a Wayland compositor):
//     1. the compositor's idle protocol (ext-idle-notify-v1, else KDE's
//        org_kde_kwin_idle), on the program's own connection;
//     2. GNOME's idle monitor (org.gnome.Mutter.IdleMonitor GetIdletime);
//     3. KDE's org.freedesktop.ScreenSaver GetSessionIdleTime;
//     4. the X server's XScreenSaver extension (Xwayland sees only X clients' input);
//   in an X11 session: 4, then 2, then 3.
// None answering gives 0, said once on standard error.
#include "native/os_services.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QGuiApplication>
#include <chrono>
#include <cstdlib>
#include <optional>

#include "native/idle_time.h"
#include "native/session_notes.h"
#include "native/wayland_connection.h"
#include "native/x11_idle.h"

namespace {

// Both D-Bus calls block the UI thread; a service that answers at all answers at
// once.
constexpr int kDBusTimeoutMs = 500;

// One blocking call of a method without arguments that answers one number of
// |type|; nullopt on any error or other answer.
std::optional<uint64_t> AskNumber(const char* service,
                                  const char* path,
                                  const char* interface,
                                  const char* method,
                                  QMetaType::Type type) {
  QDBusMessage call = QDBusMessage::createMethodCall(
      QString::fromLatin1(service), QString::fromLatin1(path),
      QString::fromLatin1(interface), QString::fromLatin1(method));
  // Asking must not start a service that is not running.
  call.setAutoStartService(false);
  const QDBusMessage reply =
      QDBusConnection::sessionBus().call(call, QDBus::Block, kDBusTimeoutMs);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1 ||
      reply.arguments().first().metaType().id() != type) {
    return std::nullopt;
  }
  return reply.arguments().first().toULongLong();
}

std::optional<uint64_t> GnomeIdleMonitorMilliseconds() {
  return AskNumber("org.gnome.Mutter.IdleMonitor", "/org/gnome/Mutter/IdleMonitor/Core",
                   "org.gnome.Mutter.IdleMonitor", "GetIdletime", QMetaType::ULongLong);
}

// KDE answers in milliseconds (GNOME's service of the same name has no such method).
std::optional<uint64_t> KdeScreenSaverMilliseconds() {
  return AskNumber("org.freedesktop.ScreenSaver", "/ScreenSaver",
                   "org.freedesktop.ScreenSaver", "GetSessionIdleTime", QMetaType::UInt);
}

std::optional<uint64_t> CompositorIdleMilliseconds() {
  WaylandConnection* connection = WaylandConnection::Get();
  return connection ? connection->IdleMilliseconds() : std::nullopt;
}

std::optional<uint64_t> X11ServerIdleMilliseconds() {
  auto* x11 =
      qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  uint64_t idle_ms = 0;
  if (!x11 || !X11IdleMilliseconds(x11->display(), &idle_ms))
    return std::nullopt;
  return idle_ms;
}

bool InWaylandSession() {
  const char* session_type = std::getenv("XDG_SESSION_TYPE");
  return (session_type && std::string(session_type) == "wayland") || OnWaylandPlatform();
}

}  // namespace

void OSStartIdleWatch() {
  // The compositor counts idleness from the moment it is asked to watch.
  if (InWaylandSession())
    WaylandConnection::Get();
}

int32_t OSGetUserIdleTime() {
  using Source = std::optional<uint64_t> (*)();
  static constexpr Source kWayland[] = {
      CompositorIdleMilliseconds, GnomeIdleMonitorMilliseconds,
      KdeScreenSaverMilliseconds, X11ServerIdleMilliseconds};
  static constexpr Source kX11[] = {X11ServerIdleMilliseconds,
                                    GnomeIdleMonitorMilliseconds,
                                    KdeScreenSaverMilliseconds};
  std::optional<uint64_t> idle_ms;
  if (InWaylandSession()) {
    for (Source source : kWayland) {
      if ((idle_ms = source()))
        break;
    }
  } else {
    for (Source source : kX11) {
      if ((idle_ms = source()))
        break;
    }
  }
  if (!idle_ms) {
    SayOnce(
        "no source of the user's idle time answers in this session (compositor idle "
        "protocol, GNOME's idle monitor, KDE's screen saver, XScreenSaver): the page "
        "gets 0");
    return 0;
  }
  return IdleTimeMilliseconds(
      std::chrono::duration<double, std::milli>(static_cast<double>(*idle_ms)));
}
