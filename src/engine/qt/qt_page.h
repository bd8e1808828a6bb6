// The page of a browser: asks the browser before each navigation.
#ifndef SRC_ENGINE_QT_QT_PAGE_H_
#define SRC_ENGINE_QT_QT_PAGE_H_

#include <QWebEnginePage>
#include <memory>

class QWebEngineProfile;

namespace engine {

class QtBrowser;

class QtPage : public QWebEnginePage {
  Q_OBJECT
 public:
  QtPage(QWebEngineProfile* profile, QObject* parent, std::weak_ptr<QtBrowser> browser)
      : QWebEnginePage(profile, parent), browser_(std::move(browser)) {}

 protected:
  bool acceptNavigationRequest(const QUrl& url,
                               NavigationType type,
                               bool is_main_frame) override;
  // The engine log is off: console messages go nowhere.
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
                                const QString& message,
                                int line_number,
                                const QString& source_id) override {}

 private:
  std::weak_ptr<QtBrowser> browser_;
};

}  // namespace engine

#endif  // SRC_ENGINE_QT_QT_PAGE_H_
