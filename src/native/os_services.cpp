#include "native/os_services.h"

#include <unistd.h>

#include <QLocale>
#include <climits>

#include "bridge/bridge_services.h"
#include "native/locale.h"

namespace {

class DesktopOsService : public OsService {
 public:
  std::string GetComputerName() override {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0)
      return {};
    const std::string host(name);
    return host.substr(0, host.find('.'));
  }
  // Not connected to the desktop yet: opens nothing, reports no idle time and
  // no login item.
  void OpenExternalBrowser(const std::string& url) override {}
  int64_t GetUserIdleTime() override { return 0; }
  bool IsStartupAppRegistered() override { return false; }
  void RegisterStartupApp() override {}
  void UnregisterStartupApp() override {}
};

}  // namespace

std::unique_ptr<OsService> OsService::Create() {
  return std::make_unique<DesktopOsService>();
}

std::string OSGetPreferredLocale() {
  const QLocale locale = QLocale::system();
  const QString script = locale.script() == QLocale::AnyScript
                             ? QString()
                             : QLocale::scriptToCode(locale.script());
  return PreferredLocaleFor(QLocale::languageToCode(locale.language()).toStdString(),
                            script.toStdString());
}
