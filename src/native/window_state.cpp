#include "native/window_state.h"

MainWindowState ComputeMainWindowState(bool visible, bool key) {
  if (!visible)
    return kMainWindowStateHidden;
  return key ? kMainWindowStateFocused : kMainWindowStateVisible;
}

bool ComesIntoSightUnfocused(int32_t last_reported, MainWindowState state) {
  return state == kMainWindowStateVisible && last_reported != kMainWindowStateVisible &&
         last_reported != kMainWindowStateFocused;
}

bool MainWindowStateTracker::Update(int32_t state) {
  if (state == last_)
    return false;
  last_ = state;
  return true;
}
