// How the main window's state follows from the window, and the bookkeeping that
// reports each change of it once.
#ifndef SRC_NATIVE_WINDOW_STATE_H_
#define SRC_NATIVE_WINDOW_STATE_H_

#include <cstdint>
#include <string>

#include "bridge/main_window_state.h"

// Hidden when not visible; focused when visible and the key (active) window;
// visible otherwise.
MainWindowState ComputeMainWindowState(bool visible, bool key);

// True when |state| is a window just come into sight (after |last_reported|:
// hidden, or nothing yet) without the keyboard focus. The window manager usually
// activates a window a moment after it appears, so such a "visible" is held back
// until that has settled.
bool ComesIntoSightUnfocused(int32_t last_reported, MainWindowState state);

// Remembers the state last reported to the page, so that the same state twice in a
// row is reported once. UI thread only.
class MainWindowStateTracker {
 public:
  // Forgets the last state: the next Update reports whatever it is given.
  void Reset() { last_ = 0; }
  // True, and remembers |state|, when it differs from the last one reported.
  bool Update(int32_t state);
  int32_t last() const { return last_; }

 private:
  // 0 is no state, so the first Update after Reset always reports.
  int32_t last_ = 0;
};

#endif  // SRC_NATIVE_WINDOW_STATE_H_
