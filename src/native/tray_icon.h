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
// The listener owns the icon, its menu and the notifications client. It lives from
// TrayIconListenerCreate, when the engine's context is ready, to
// TrayIconListenerDestroy, after the message loop has ended; outside that time
// every function here does nothing. UI thread only.
#ifndef SRC_NATIVE_TRAY_ICON_H_
#define SRC_NATIVE_TRAY_ICON_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "bridge/bridge_services.h"

// |reopen| runs when the user activates the icon or a delivered notification.
void TrayIconListenerCreate(std::function<void()> reopen);
void TrayIconListenerDestroy();

// Replaces every item of the menu with |items|. Choosing one sends the page
// "OrbitTrayIconMenuDidSelect" with {"itemId": its id}; disabled ones cannot be
// chosen.
void TrayIconUpdateMenu(const std::vector<TrayMenuItem>& items);

// Shows a desktop notification, then sets the badge to |unread_count| when above
// 0 and removes it otherwise.
void TrayIconNotify(const std::string& title,
                    const std::string& text,
                    int32_t unread_count);
void TrayIconClearBadge();
// Withdraws every notification shown so far.
void TrayIconRemoveDeliveredNotifications();

#endif  // SRC_NATIVE_TRAY_ICON_H_
