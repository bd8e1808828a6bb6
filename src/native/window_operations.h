// Operations on the main window (native/main_window.h), as the page and the quit
// sequence reach them. Each does nothing when there is no main window. UI thread
// only.
#ifndef SRC_NATIVE_WINDOW_OPERATIONS_H_
#define SRC_NATIVE_WINDOW_OPERATIONS_H_

#include "native/window_state.h"

// Shows the main window, brings it to the front and gives it the keyboard focus.
void MainWindowShow();
void MainWindowHide();
// Hidden when out of sight (hidden or minimised), focused when it has the
// keyboard focus, visible otherwise.
MainWindowState MainWindowGetState();

#endif  // SRC_NATIVE_WINDOW_OPERATIONS_H_
