#include "native/reopen.h"

#include "native/tray_icon.h"
#include "native/window_operations.h"

void AppReopen() {
  MainWindowShow();
  TrayIconClearBadge();
  TrayIconRemoveDeliveredNotifications();
}
