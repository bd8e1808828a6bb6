#include "native/browser_operations.h"

#include "bridge/bridge_router.h"
#include "client/orbit_client.h"

namespace {

std::shared_ptr<engine::Browser>& MainBrowser() {
  static std::shared_ptr<engine::Browser> browser;
  return browser;
}

bool close_all_flag = false;

}  // namespace

std::shared_ptr<engine::Browser> GetMainBrowser() {
  return MainBrowser();
}

void SetMainBrowser(std::shared_ptr<engine::Browser> browser) {
  MainBrowser() = std::move(browser);
}

bool RunShellScript(const std::string& code) {
  std::shared_ptr<engine::Browser> browser = MainBrowser();
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

void CloseAllBrowsers() {
  if (close_all_flag)
    return;
  close_all_flag = true;
  // Without a main browser there is nothing left to close.
  std::shared_ptr<engine::Browser> main_browser = MainBrowser();
  if (!main_browser)
    return;
  auto client =
      std::dynamic_pointer_cast<OrbitClient>(main_browser->GetHost()->GetClient());
  if (!client)
    return;
  // Closing may change the list while we walk it; walk a copy.
  const std::vector<std::shared_ptr<engine::Browser>> browsers = client->GetBrowserList();
  for (const auto& browser : browsers)
    browser->GetHost()->CloseBrowser(false);
}

bool IsCloseAllFlagSet() {
  return close_all_flag;
}

void ResetCloseAllFlag() {
  close_all_flag = false;
}
