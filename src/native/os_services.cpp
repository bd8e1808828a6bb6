#include "native/os_services.h"

#include <unistd.h>

#include <QDesktopServices>
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
#include "native/locale.h"
#include "native/rate_limit.h"

namespace {

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
