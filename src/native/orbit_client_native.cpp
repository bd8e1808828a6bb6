#include "native/orbit_client_native.h"

#include <QWidget>

#include "engine/engine.h"
#include "native/browser_operations.h"
#include "native/browser_window.h"
#include "native/main_window.h"
#include "native/window_delegate.h"

namespace {

QWidget* WindowOf(const std::shared_ptr<engine::Browser>& browser) {
  auto* view = static_cast<QWidget*>(browser->GetHost()->GetWindowHandle());
  return view ? view->window() : nullptr;
}

}  // namespace

bool OrbitClientNative::DoClose(const std::shared_ptr<engine::Browser>& browser) {
  std::shared_ptr<engine::Browser> main_browser = GetMainBrowser();
  if (!IsCloseAllFlagSet() && main_browser && main_browser->IsSame(browser)) {
    // The main window's close button only hides it; the page lives on.
    if (BrowserWindow* window = GetMainWindow())
      window->hide();
    return true;
  }
  if (OBWindowDelegate* delegate = OBWindowDelegate::ForWindow(WindowOf(browser)))
    delegate->setClosing(true);
  return false;
}

void OrbitClientNative::OnTitleChange(const std::shared_ptr<engine::Browser>& browser,
                                      const std::string& title) {
  QWidget* window = WindowOf(browser);
  if (window && window != GetPopupParentWindow())
    window->setWindowTitle(QString::fromStdString(title));
}

bool OrbitClientNative::OnBeforeUnloadDialog(
    const std::shared_ptr<engine::Browser>& browser,
    bool& leave) {
  // A quit is not called off: a page that asks to stay would otherwise keep a
  // hidden program alive that no further quit can end. The page had its grace
  // period to save its work.
  if (!IsCloseAllFlagSet())
    return false;
  leave = true;
  return true;
}

void OrbitClientNative::OnFirstBrowserCreated(
    const std::shared_ptr<engine::Browser>& browser) {
  SetMainBrowser(browser);
}

void OrbitClientNative::OnLastBrowserClosed() {
  SetMainBrowser(nullptr);
  engine::QuitMessageLoop();
}
