// The native services that bridge commands call: small interfaces, so that the
// commands stay free of Qt and the tests hand them fakes that record calls. The
// platform code implements them; the program's Shell makes one of each, bound to
// the objects it owns. All are called on the UI thread and report nothing back unless
// they return a value.
#ifndef SRC_BRIDGE_BRIDGE_SERVICES_H_
#define SRC_BRIDGE_BRIDGE_SERVICES_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bridge/main_window_state.h"
#include "lumio_protocol.h"

class PageEventSink;

// The main window.
class WindowService {
 public:
  virtual ~WindowService() = default;

  // Shown, raised and given the keyboard focus.
  virtual void Show() = 0;
  virtual void Hide() = 0;
  virtual void Minimize() = 0;
  // Asks for the user's attention until Unflash or until the user activates it.
  virtual void Flash() = 0;
  virtual void Unflash() = 0;
  virtual void SetTopmost(bool enabled) = 0;
  // |value| is 0 (transparent) to 255 (opaque); the window stays shown at 0.
  virtual void SetAlpha(int value) = 0;
  virtual MainWindowState GetState() = 0;
};

// Starting and ending the program.
class AppService {
 public:
  virtual ~AppService() = default;

  // Hides the main window, tells the page, and closes every browser after a
  // grace period.
  virtual void Quit() = 0;
  // Closes every browser at once.
  virtual void QuitNow() = 0;
  // The page has finished its start-up handshake.
  virtual void Initialized() = 0;
};

struct TrayMenuItem {
  int32_t id = 0;
  std::string label;
  bool enabled = false;
};

// The tray icon, its menu, the launcher badge and notifications.
class TrayService {
 public:
  virtual ~TrayService() = default;

  // Delivers a notification; |unread_count| above 0 shows as the badge, anything
  // else clears it.
  virtual void Notify(const std::string& title,
                      const std::string& text,
                      int32_t unread_count) = 0;
  // Replaces the tray icon's menu.
  virtual void UpdateMenu(const std::vector<TrayMenuItem>& items) = 0;
  virtual void ClearBadge() = 0;
  // Withdraws every notification delivered so far.
  virtual void RemoveDeliveredNotifications() = 0;
};

// Questions to the operating system, and the user's login items.
class OsService {
 public:
  virtual ~OsService() = default;

  // The computer's name, up to its first dot; empty when there is none.
  virtual std::string GetComputerName() = 0;
  virtual void OpenExternalBrowser(const std::string& url) = 0;
  // Milliseconds since the user's last input.
  virtual int64_t GetUserIdleTime() = 0;
  virtual bool IsStartupAppRegistered() = 0;
  // False when the program is not registered afterwards (the entry could not be
  // written).
  virtual bool RegisterStartupApp() = 0;
  // False when the program is still registered afterwards.
  virtual bool UnregisterStartupApp() = 0;
};

// Popup windows that the page prepares before it opens them.
class PopupService {
 public:
  virtual ~PopupService() = default;

  // Stores |features| under |name|, replacing what was there; the next popup
  // opened with that target name takes them.
  virtual void Prepare(const std::string& name,
                       const std::vector<std::string>& features) = 0;
};

struct BridgeServices {
  std::shared_ptr<WindowService> window;
  std::shared_ptr<AppService> app;
  std::shared_ptr<TrayService> tray;
  std::shared_ptr<OsService> os;
  std::shared_ptr<PopupService> popup;
  // Where the commands' own page events go; null drops them.
  PageEventSink* page_events = nullptr;
  // The application's version, as OrbitAppGetInfo reports it.
  std::string app_version = protocol::kVersion;
};

#endif  // SRC_BRIDGE_BRIDGE_SERVICES_H_
