#include "engine/qt/qt_page.h"

#include "engine/qt/qt_browser.h"
#include "engine/qt/qt_development.h"

namespace engine {

bool QtPage::acceptNavigationRequest(const QUrl& url,
                                     NavigationType type,
                                     bool is_main_frame) {
  // The page's location.reload() comes as a redirect to the page itself.
  if (development_ && is_main_frame &&
      !development_->AcceptNavigation(
          url, type == NavigationTypeReload ||
                   (type == NavigationTypeRedirect && url == this->url())))
    return false;
  auto browser = browser_.lock();
  return !browser ||
         browser->OnBeforeBrowse(url, is_main_frame, type == NavigationTypeRedirect);
}

void QtPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
                                      const QString& message,
                                      int line_number,
                                      const QString& source_id) {
  if (level == ErrorMessageLevel) {
    last_script_error_ = (message + QStringLiteral(" (") + source_id + QLatin1Char(':') +
                          QString::number(line_number) + QLatin1Char(')'))
                             .toStdString();
  }
  if (development_)
    development_->OnConsoleMessage(level, message, line_number, source_id);
}

}  // namespace engine
