// Whether the desktop runs assistive technologies, as its accessibility bus says.
#ifndef SRC_NATIVE_DESKTOP_ACCESSIBILITY_H_
#define SRC_NATIVE_DESKTOP_ACCESSIBILITY_H_

// True when org.a11y.Status on the session bus has IsEnabled or
// ScreenReaderEnabled set. Never starts the accessibility bus when it is not
// running, and waits at most |timeout_ms| for an answer: no answer is false. Needs
// the application object.
bool DesktopAccessibilityEnabled(int timeout_ms);

// The user's switches (accessibility_switches.h) or, without one, the desktop's
// status: whether pages should be exposed to assistive technologies.
bool WebAccessibilityWanted();

#endif  // SRC_NATIVE_DESKTOP_ACCESSIBILITY_H_
