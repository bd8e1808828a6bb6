#include "native/accessibility_switches.h"

#include <cstring>
#include <string>

namespace {

bool Is(const char* value, const char* expected) {
  return value && std::strcmp(value, expected) == 0;
}

// GTK_MODULES is a list separated by colons (or commas) of module names.
bool NamesAccessibilityModule(const char* modules) {
  if (!modules)
    return false;
  const std::string list(modules);
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find_first_of(":,", start);
    if (end == std::string::npos)
      end = list.size();
    const std::string name = list.substr(start, end - start);
    if (name == "gail" || name == "atk-bridge")
      return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

AccessibilityRequest AccessibilityFromEnvironment(
    const std::function<const char*(const char*)>& get) {
  if (const char* engine = get("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY"))
    return Is(engine, "0") ? AccessibilityRequest::kOff : AccessibilityRequest::kOn;
  if (Is(get("NO_AT_BRIDGE"), "1"))
    return AccessibilityRequest::kOff;
  const char* always_on = get("QT_LINUX_ACCESSIBILITY_ALWAYS_ON");
  if ((always_on && *always_on) || Is(get("QT_ACCESSIBILITY"), "1") ||
      Is(get("GNOME_ACCESSIBILITY"), "1") || NamesAccessibilityModule(get("GTK_MODULES")))
    return AccessibilityRequest::kOn;
  return AccessibilityRequest::kAskDesktop;
}
