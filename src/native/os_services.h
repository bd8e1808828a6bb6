// Small questions to the desktop and the user's login items. All are called on the
// UI thread and report nothing back unless they return a value; only the opener of
// external addresses keeps state, in an object the program's Shell owns.
#ifndef SRC_NATIVE_OS_SERVICES_H_
#define SRC_NATIVE_OS_SERVICES_H_

#include <cstdint>
#include <string>

#include <QString>

#include "bridge/bridge_services.h"
#include "native/app_identity.h"
#include "native/rate_limit.h"

// Engine text (UTF-8) as a Qt string: the one conversion wherever engine text
// reaches Qt.
QString ToQString(const std::string& text);

// Hands addresses to the desktop's default handler, for the page's command and for
// the links a page opens in a new window alike.
class ExternalOpener {
 public:
  // Opens |url| when IsExternalBrowserUrl allows it and Qt reads it as a valid URL;
  // anything else opens nothing. Three launches at once, then about one a second:
  // the rest are dropped, with a line on standard error when dropping starts.
  void Open(const std::string& url);

 private:
  RateLimit launches_{3, std::chrono::seconds(1)};
  bool dropping_ = false;
};

// Milliseconds since the user's last input; 0 when no source answers (the order
// of the sources is in user_idle_time.cpp).
int32_t OSGetUserIdleTime();
// Starts what must watch from start-up to answer later: a compositor counts
// idleness only from when it is asked to.
void OSStartIdleWatch();

// Login items of this very lumio-app in $XDG_CONFIG_HOME/autostart (see autostart.h).
// Registering is false when no entry counts afterwards; unregistering is false when
// one still does.
bool OSIsStartupAppRegistered();
bool OSRegisterStartupApp(const AppIdentity& identity);
bool OSUnregisterStartupApp();

// The host name up to its first dot; empty when there is none.
std::string OSGetComputerName();

// The engine's user-interface locale for the user's language: "ko", "ja", "th",
// "zh-CN", "zh-TW" or "en".
std::string OSGetPreferredLocale();

// The page's OsService: opens addresses through |opener|, which must outlive it.
class DesktopOsService : public OsService {
 public:
  DesktopOsService(ExternalOpener& opener, const AppIdentity& identity)
      : opener_(opener), identity_(identity) {
    OSStartIdleWatch();
  }

  std::string GetComputerName() override { return OSGetComputerName(); }
  void OpenExternalBrowser(const std::string& url) override { opener_.Open(url); }
  int64_t GetUserIdleTime() override { return OSGetUserIdleTime(); }
  bool IsStartupAppRegistered() override { return OSIsStartupAppRegistered(); }
  bool RegisterStartupApp() override { return OSRegisterStartupApp(identity_); }
  bool UnregisterStartupApp() override { return OSUnregisterStartupApp(); }

 private:
  ExternalOpener& opener_;
  const AppIdentity identity_;
};

#endif  // SRC_NATIVE_OS_SERVICES_H_
