// The quit sequence: every request to end the program comes here.
#ifndef SRC_APP_APP_QUIT_H_
#define SRC_APP_APP_QUIT_H_

// How long the page has between "OrbitAppWillQuit" and the close of every browser.
inline constexpr int kQuitGracePeriodMs = 5000;

// Hides the main window, sends the page "OrbitAppWillQuit" and closes every
// browser once the grace period has passed. Repeated calls tell the page again;
// the browsers close once. UI thread.
void AppQuit();

#endif  // SRC_APP_APP_QUIT_H_
