#include "bridge/main_window_state.h"

std::string MainWindowStateName(int32_t state) {
  switch (state) {
    case kMainWindowStateFocused:
      return "focused";
    case kMainWindowStateVisible:
      return "visible";
    case kMainWindowStateHidden:
      return "hidden";
  }
  return "unknown";
}
