// What the program does when the user comes back to it from outside its window:
// the tray icon activated, a notification clicked, the program started again.
#ifndef SRC_NATIVE_REOPEN_H_
#define SRC_NATIVE_REOPEN_H_

// Shows the main window in front with the keyboard focus, removes the badge and
// withdraws every notification shown so far. UI thread only.
void AppReopen();

#endif  // SRC_NATIVE_REOPEN_H_
