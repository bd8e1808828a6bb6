// The tray icon's menu as the page lists it, turned into the texts that Qt's menus
// take. The page's labels are plain text and must read exactly as given, but Qt
// reads '&' in a menu text as the mark of a keyboard accelerator, and the D-Bus
// menu protocol (com.canonical.dbusmenu) reads '_' the same way.
#ifndef SRC_NATIVE_TRAY_MENU_H_
#define SRC_NATIVE_TRAY_MENU_H_

#include <cstdint>
#include <string>
#include <vector>

#include "bridge/bridge_services.h"

// Where the tray icon's menu is shown.
enum class TrayMenuExport {
  // A QMenu that Qt draws itself (the X11 system tray).
  kWidget,
  // A QMenu that Qt publishes over D-Bus for the panel to draw (StatusNotifierItem).
  kDBusMenu,
};

struct TrayMenuEntry {
  // The page's id, reported back as it came; several entries may share one.
  int32_t id = 0;
  // The QAction text that shows the page's label.
  std::string text;
  bool enabled = false;
};

// The QAction text that shows |label| unchanged through |exporter|.
std::string TrayMenuText(const std::string& label, TrayMenuExport exporter);

// One entry per item, in the page's order; nothing else (no items of our own).
std::vector<TrayMenuEntry> BuildTrayMenu(const std::vector<TrayMenuItem>& items,
                                         TrayMenuExport exporter);

#endif  // SRC_NATIVE_TRAY_MENU_H_
