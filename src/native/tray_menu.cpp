#include "native/tray_menu.h"

std::string TrayMenuText(const std::string& label, TrayMenuExport exporter) {
  std::string text;
  text.reserve(label.size() + 4);
  if (exporter == TrayMenuExport::kWidget) {
    // QMenu shows "&&" as one '&'.
    for (char c : label) {
      if (c == '&')
        text += '&';
      text += c;
    }
    return text;
  }
  // dbusmenu shows "__" as one '_', and Qt's exporter turns the first '&' of the
  // text (unless it is the last character) into '_' and leaves the others alone.
  // So underscores are doubled, and one '&' goes in front of the label's first
  // '&': Qt makes the pair "_&", which dbusmenu shows as '&' (as that item's
  // access key, which does no harm).
  bool first_ampersand = true;
  for (char c : label) {
    if (c == '_') {
      text += '_';
    } else if (c == '&' && first_ampersand) {
      text += '&';
      first_ampersand = false;
    }
    text += c;
  }
  return text;
}

std::vector<TrayMenuEntry> BuildTrayMenu(const std::vector<TrayMenuItem>& items,
                                         TrayMenuExport exporter) {
  std::vector<TrayMenuEntry> entries;
  entries.reserve(items.size());
  for (const TrayMenuItem& item : items)
    entries.push_back({item.id, TrayMenuText(item.label, exporter), item.enabled});
  return entries;
}
