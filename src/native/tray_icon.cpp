// The tray icon, its menu, the launcher badge and notifications.
#include "bridge/bridge_services.h"

namespace {

// Not connected to the desktop yet: shows nothing.
class DesktopTrayService : public TrayService {
 public:
  void Notify(const std::string& title,
              const std::string& text,
              int32_t unread_count) override {}
  void UpdateMenu(const std::vector<TrayMenuItem>& items) override {}
  void ClearBadge() override {}
  void RemoveDeliveredNotifications() override {}
};

}  // namespace

std::unique_ptr<TrayService> TrayService::Create() {
  return std::make_unique<DesktopTrayService>();
}
