#include "engine/qt/qt_page.h"

#include "engine/qt/qt_browser.h"

namespace engine {

bool QtPage::acceptNavigationRequest(const QUrl& url,
                                     NavigationType type,
                                     bool is_main_frame) {
  auto browser = browser_.lock();
  return !browser ||
         browser->OnBeforeBrowse(url, is_main_frame, type == NavigationTypeRedirect);
}

}  // namespace engine
