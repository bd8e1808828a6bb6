// Operations on the main window, as the page reaches them through the bridge.
// Plain functions over the process-wide main window (native/main_window.h); each
// does nothing when there is no main window. UI thread only.
#ifndef SRC_NATIVE_WINDOW_OPERATIONS_H_
#define SRC_NATIVE_WINDOW_OPERATIONS_H_

// Shows the main window, brings it to the front and gives it the keyboard focus.
void MainWindowShow();
void MainWindowHide();

#endif  // SRC_NATIVE_WINDOW_OPERATIONS_H_
