// The main window, which holds the main browser, and the hidden popup parent
// window. Both are made once by CreateMainWindow and live until the process ends
// (the main window until it really closes at shutdown). UI thread only.
#ifndef SRC_NATIVE_MAIN_WINDOW_H_
#define SRC_NATIVE_MAIN_WINDOW_H_

#include "bridge/bridge_router.h"

class Browsers;
class BrowserWindow;
class PageEventSink;
class PreparedPopups;
class QWidget;
class MainWindowStateTracker;

// Creates the main window (hidden), the popup parent window and the main browser
// on the start page, and resets the reported state and the close-all flag. The
// browsers answer the page from |commands|, tell it about themselves and the
// window through |page_events|, open popups prepared in |popups| and keep the
// main browser in |browsers|; all four must outlive the engine.
void CreateMainWindow(const BridgeCommandTable& commands,
                      PageEventSink* page_events,
                      PreparedPopups& popups,
                      Browsers& browsers);

// Gives the main window its default place, frame included, if it has no saved
// one. Call right before showing it: only then, with the window ready to map, can
// the window manager tell the size of its frame. Does nothing after the first call.
void PlaceMainWindowBeforeFirstShow();

// Null before CreateMainWindow and after the main window has really closed.
BrowserWindow* GetMainWindow();
QWidget* GetPopupParentWindow();

// The state last reported to the page.
MainWindowStateTracker& MainWindowStateTrackerInstance();

#endif  // SRC_NATIVE_MAIN_WINDOW_H_
