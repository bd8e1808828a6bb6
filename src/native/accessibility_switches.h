// What the user's environment says about assistive technologies (screen readers,
// magnifiers), before the desktop is asked.
#ifndef SRC_NATIVE_ACCESSIBILITY_SWITCHES_H_
#define SRC_NATIVE_ACCESSIBILITY_SWITCHES_H_

#include <functional>

enum class AccessibilityRequest {
  kOn,          // a switch asks for accessibility
  kOff,         // a switch keeps it off
  kAskDesktop,  // no switch: the desktop's accessibility status decides
};

// |get| returns a variable's value, or null when it is unset. The switches, the
// first that is set deciding: QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY (on unless
// "0"), NO_AT_BRIDGE=1 (off), QT_LINUX_ACCESSIBILITY_ALWAYS_ON (on when set),
// QT_ACCESSIBILITY=1, GNOME_ACCESSIBILITY=1, and GTK_MODULES naming gail or
// atk-bridge (on).
AccessibilityRequest AccessibilityFromEnvironment(
    const std::function<const char*(const char*)>& get);

#endif  // SRC_NATIVE_ACCESSIBILITY_SWITCHES_H_
