// The page of a browser: asks the browser before each navigation.
#ifndef SRC_ENGINE_QT_QT_PAGE_H_
#define SRC_ENGINE_QT_QT_PAGE_H_

#include <QWebEnginePage>
#include <memory>
#include <string>

class QWebEngineProfile;

namespace engine {

class QtBrowser;
class QtDevelopment;

class QtPage : public QWebEnginePage {
  Q_OBJECT
 public:
  QtPage(QWebEngineProfile* profile, QObject* parent, std::weak_ptr<QtBrowser> browser)
      : QWebEnginePage(profile, parent), browser_(std::move(browser)) {}

  // Development mode; null otherwise. Owned by the page's view.
  void SetDevelopment(QtDevelopment* development) { development_ = development; }
  QtDevelopment* development() const { return development_; }
  // See Browser::GetLastScriptError.
  const std::string& last_script_error() const { return last_script_error_; }

 protected:
  bool acceptNavigationRequest(const QUrl& url,
                               NavigationType type,
                               bool is_main_frame) override;
  // The engine log is off: console messages go to standard error in development
  // mode, and nowhere otherwise; the last error is kept in any mode.
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
                                const QString& message,
                                int line_number,
                                const QString& source_id) override;

 private:
  std::weak_ptr<QtBrowser> browser_;
  QtDevelopment* development_ = nullptr;
  std::string last_script_error_;
};

}  // namespace engine

#endif  // SRC_ENGINE_QT_QT_PAGE_H_
