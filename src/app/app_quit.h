// The program's quit sequence and its reopen, over the real desktop (AppLifecycle
// in app/app_lifecycle.h says how they behave). One process-wide instance; UI
// thread only.
#ifndef SRC_APP_APP_QUIT_H_
#define SRC_APP_APP_QUIT_H_

#include <memory>

class TrayService;

// Every request to end the program comes here: hides the main window, sends the
// page "OrbitAppWillQuit" and closes every browser once the grace period has
// passed. Repeated calls tell the page again; the browsers close once.
void AppQuit();
// Closes every browser at once.
void AppQuitNow();
// The user asks for the program again: the tray icon or a delivered notification
// was clicked, or lumio-app was started a second time. Shows the main window and
// clears the tray's badge and notifications.
void AppReopen();
// True once a quit has been asked for; nothing calls it off.
bool AppIsQuitting();

// The tray whose badge and notifications a reopen clears. Held until
// AppMessageLoopEnded.
void AppSetTrayService(std::shared_ptr<TrayService> tray);
// The message loop has returned: nothing more happens, and the tray is let go.
void AppMessageLoopEnded();

#endif  // SRC_APP_APP_QUIT_H_
