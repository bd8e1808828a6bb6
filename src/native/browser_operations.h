// Operations on the main browser and on every open browser: the main browser
// reference, scripts run in the main page, and the one-time close of all browsers.
// UI thread only.
#ifndef SRC_NATIVE_BROWSER_OPERATIONS_H_
#define SRC_NATIVE_BROWSER_OPERATIONS_H_

#include <memory>
#include <string>

#include "bridge/page_event.h"
#include "engine/browser.h"

// The first browser ever created; empty before it and after the last browser has
// closed.
std::shared_ptr<engine::Browser> GetMainBrowser();
void SetMainBrowser(std::shared_ptr<engine::Browser> browser);

// Runs |code| in the main page's main frame under the script URL "lumio://shell".
// Returns false, and runs nothing, when there is no main browser.
// Runs nothing unless that frame shows the app's own document.
bool RunShellScript(const std::string& code);

// Page events go to the main page (RunShellScript).
class MainPageEventSink : public PageEventSink {
 public:
  void RunPageEventScript(const std::string& script) override { RunShellScript(script); }
};

// Asks every open browser to close, in creation order. Does something only once
// per main window: the close-all flag stays set until ResetCloseAllFlag.
void CloseAllBrowsers();
bool IsCloseAllFlagSet();
void ResetCloseAllFlag();

#endif  // SRC_NATIVE_BROWSER_OPERATIONS_H_
