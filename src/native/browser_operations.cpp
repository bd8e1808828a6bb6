#include "native/browser_operations.h"

#include "bridge/bridge_router.h"
#include "client/orbit_client.h"

bool Browsers::RunShellScript(const std::string& code) {
  std::shared_ptr<engine::Browser> browser = main_browser_;
  if (!browser)
    return false;
  // Only the app's own document hears the program, not a page of the web that
  // the main window shows after a link was followed. The frame runs the code only
  // in the document it was announced for.
  std::shared_ptr<engine::Frame> frame = browser->GetMainFrame();
  if (IsAppDocument(frame))
    frame->ExecuteJavaScript(code, "lumio://shell", 0);
  return true;
}

void Browsers::CloseAll() {
  if (closing_)
    return;
  closing_ = true;
  // Without a main browser there is nothing left to close.
  if (!main_browser_ || !client_)
    return;
  // Closing may change the list while we walk it; walk a copy.
  const std::vector<std::shared_ptr<engine::Browser>> browsers =
      client_->GetBrowserList();
  for (const auto& browser : browsers)
    browser->GetHost()->CloseBrowser(false);
}
