#include "native/os_services.h"

#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLocale>
#include <QUrl>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "bridge/bridge_services.h"
#include "native/autostart.h"
#include "native/data_paths.h"
#include "native/external_url.h"
#include "native/host_name.h"
#include "native/idle_time.h"
#include "native/locale.h"
#include "native/rate_limit.h"
#include "native/x11_idle.h"

namespace {

// GNOME's idle monitor: under Wayland only the compositor sees all input.
constexpr char kIdleMonitorService[] = "org.gnome.Mutter.IdleMonitor";
constexpr char kIdleMonitorPath[] = "/org/gnome/Mutter/IdleMonitor/Core";
constexpr char kIdleMonitorInterface[] = "org.gnome.Mutter.IdleMonitor";
// The call blocks the UI thread; a monitor that answers at all answers at once.
constexpr int kIdleMonitorTimeoutMs = 500;

std::optional<uint64_t> IdleMonitorMilliseconds() {
  QDBusMessage call = QDBusMessage::createMethodCall(
      QString::fromLatin1(kIdleMonitorService), QString::fromLatin1(kIdleMonitorPath),
      QString::fromLatin1(kIdleMonitorInterface), QStringLiteral("GetIdletime"));
  // Asking must not start a service that is not running.
  call.setAutoStartService(false);
  const QDBusMessage reply =
      QDBusConnection::sessionBus().call(call, QDBus::Block, kIdleMonitorTimeoutMs);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1 ||
      reply.arguments().first().metaType().id() != QMetaType::ULongLong) {
    return std::nullopt;
  }
  return reply.arguments().first().toULongLong();
}

std::optional<uint64_t> X11ServerIdleMilliseconds() {
  auto* x11 =
      qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  uint64_t idle_ms = 0;
  if (!x11 || !X11IdleMilliseconds(x11->display(), &idle_ms))
    return std::nullopt;
  return idle_ms;
}

// In a Wayland session an X server (Xwayland) sees only the input that goes to X
// clients, so the compositor's monitor comes first there.
bool IsWaylandSession() {
  const char* session_type = std::getenv("XDG_SESSION_TYPE");
  return (session_type && std::string(session_type) == "wayland") ||
         QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// The canonical path of the running lumio-app. When the file was replaced while the
// program runs (a package upgrade), the kernel marks the old one " (deleted)"; the
// new file at the same path is then the program that a login item must start.
std::string ThisProgram() {
  std::error_code error;
  std::string path = std::filesystem::read_symlink("/proc/self/exe", error).string();
  if (error)
    return {};
  const std::string deleted = " (deleted)";
  if (path.size() > deleted.size() &&
      path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0) {
    path.resize(path.size() - deleted.size());
  }
  const std::filesystem::path canonical = std::filesystem::canonical(path, error);
  return error ? std::string() : canonical.string();
}

std::string UserAutostartDirectory() {
  return AutostartDirectory(
      UserConfigHome(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")));
}

// Where a bare program name in Exec is looked up.
std::string SearchPath() {
  const char* path = std::getenv("PATH");
  return path ? path : "";
}

}  // namespace

QString ToQString(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void ExternalOpener::Open(const std::string& url) {
  if (!IsExternalBrowserUrl(url))
    return;
  const QUrl qurl(ToQString(url), QUrl::StrictMode);
  if (!qurl.isValid())
    return;
  // Every launch starts a program (a browser, a mail program) on the desktop: a
  // few at once, then about one a second, whatever a page keeps asking for.
  if (!launches_.Allow(RateLimit::Clock::now())) {
    if (!dropping_)
      std::fprintf(stderr,
                   "lumio-app: addresses asked to open too often; dropping some\n");
    dropping_ = true;
    return;
  }
  dropping_ = false;
  // Outside a Flatpak or Snap sandbox (where Qt asks the desktop portal), Qt runs the
  // first of xdg-open, $DEFAULT_BROWSER / $BROWSER, and a few known browsers that it
  // finds on $PATH; xdg-open then asks the desktop for the scheme's handler.
  QDesktopServices::openUrl(qurl);
}

int32_t OSGetUserIdleTime() {
  std::optional<uint64_t> idle_ms;
  if (IsWaylandSession()) {
    idle_ms = IdleMonitorMilliseconds();
    if (!idle_ms)
      idle_ms = X11ServerIdleMilliseconds();
  } else {
    idle_ms = X11ServerIdleMilliseconds();
    if (!idle_ms)
      idle_ms = IdleMonitorMilliseconds();
  }
  if (!idle_ms)
    return 0;
  return IdleTimeMilliseconds(
      std::chrono::duration<double, std::milli>(static_cast<double>(*idle_ms)));
}

bool OSIsStartupAppRegistered() {
  return !FindLoginItem(UserAutostartDirectory(), ThisProgram(), SearchPath()).empty();
}

bool OSRegisterStartupApp(const AppIdentity& identity) {
  return RegisterLoginItem(UserAutostartDirectory(), ThisProgram(), SearchPath(),
                           identity);
}

bool OSUnregisterStartupApp() {
  return UnregisterLoginItem(UserAutostartDirectory(), ThisProgram(), SearchPath());
}

std::string OSGetComputerName() {
  char name[HOST_NAME_MAX + 1] = {};
  // The last byte stays 0 even when the name was cut short.
  if (gethostname(name, sizeof name - 1) != 0)
    return {};
  return HostNameFirstLabel(name);
}

std::string OSGetPreferredLocale() {
  const QLocale locale = QLocale::system();
  const QString script = locale.script() == QLocale::AnyScript
                             ? QString()
                             : QLocale::scriptToCode(locale.script());
  return PreferredLocaleFor(QLocale::languageToCode(locale.language()).toStdString(),
                            script.toStdString());
}
