// The tray icon: on this desktop it stands in for a dock icon. Its context menu
// is the page's list, activating it (or a delivered notification) reopens the
// program through the callback it was made with, and the unread count of a notification
// is drawn on it and shown on the launcher icon.
//
// Qt publishes it as a StatusNotifierItem, its menu over com.canonical.dbusmenu,
// when a StatusNotifierWatcher with a host is on the session bus at the moment the
// icon is made, and puts it in the X11 system tray otherwise. Qt decides that once
// per process: a watcher that turns up later is not seen.
//
// A TrayIcon owns the icon, its menu and the notifications client; the program's
// Shell makes it when the engine's context is ready and lets it go after the
// message loop has ended. UI thread only.
#ifndef SRC_NATIVE_TRAY_ICON_H_
#define SRC_NATIVE_TRAY_ICON_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bridge/bridge_services.h"

class PageEventSink;
class OBTrayIconListener;

class TrayIcon {
 public:
  // |reopen| runs when the user activates the icon or a delivered notification;
  // menu choices go to the page through |page_events| (may be null), which must
  // outlive this object.
  TrayIcon(std::function<void()> reopen, PageEventSink* page_events);
  ~TrayIcon();
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // Replaces every item of the menu with |items|. Choosing one sends the page
  // "OrbitTrayIconMenuDidSelect" with {"itemId": its id}; disabled ones cannot be
  // chosen.
  void UpdateMenu(const std::vector<TrayMenuItem>& items);

  // Shows a desktop notification, then sets the badge to |unread_count| when above
  // 0 and removes it otherwise.
  void Notify(const std::string& title, const std::string& text, int32_t unread_count);
  void ClearBadge();
  // Withdraws every notification shown so far.
  void RemoveDeliveredNotifications();

 private:
  std::unique_ptr<OBTrayIconListener> listener_;
};

// The page's TrayService: acts on |icon|, which must outlive it.
class DesktopTrayService : public TrayService {
 public:
  explicit DesktopTrayService(TrayIcon& icon) : icon_(icon) {}

  void Notify(const std::string& title,
              const std::string& text,
              int32_t unread_count) override {
    icon_.Notify(title, text, unread_count);
  }
  void UpdateMenu(const std::vector<TrayMenuItem>& items) override {
    icon_.UpdateMenu(items);
  }
  void ClearBadge() override { icon_.ClearBadge(); }
  void RemoveDeliveredNotifications() override { icon_.RemoveDeliveredNotifications(); }

 private:
  TrayIcon& icon_;
};

#endif  // SRC_NATIVE_TRAY_ICON_H_
