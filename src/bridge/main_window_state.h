// The main window's state as the page sees it: the values of
// OrbitMainBrowserGetState and of the "OrbitMainBrowserStateChange" event.
#ifndef SRC_BRIDGE_MAIN_WINDOW_STATE_H_
#define SRC_BRIDGE_MAIN_WINDOW_STATE_H_

#include <cstdint>
#include <string>

enum MainWindowState : int32_t {
  kMainWindowStateFocused = 1,
  kMainWindowStateVisible = 2,
  kMainWindowStateHidden = 3,
};

// "focused", "visible", "hidden"; "unknown" for any other value.
std::string MainWindowStateName(int32_t state);

#endif  // SRC_BRIDGE_MAIN_WINDOW_STATE_H_
