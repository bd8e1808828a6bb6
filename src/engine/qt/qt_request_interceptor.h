// Hands every request of one page to the client's OnBeforeResourceLoad before the
// engine sends it.
//
// Qt 6 calls a page's interceptor on the UI thread (Qt 5 used the IO thread), for
// the requests of all the page's frames, navigations and redirects included;
// workers' requests belong to no page and pass unseen.
#ifndef SRC_ENGINE_QT_QT_REQUEST_INTERCEPTOR_H_
#define SRC_ENGINE_QT_QT_REQUEST_INTERCEPTOR_H_

#include <QWebEngineUrlRequestInterceptor>
#include <memory>

namespace engine {

class QtBrowser;

class QtRequestInterceptor : public QWebEngineUrlRequestInterceptor {
  Q_OBJECT
 public:
  QtRequestInterceptor(std::weak_ptr<QtBrowser> browser, QObject* parent)
      : QWebEngineUrlRequestInterceptor(parent), browser_(std::move(browser)) {}

  void interceptRequest(QWebEngineUrlRequestInfo& info) override;

 private:
  std::weak_ptr<QtBrowser> browser_;
};

}  // namespace engine

#endif  // SRC_ENGINE_QT_QT_REQUEST_INTERCEPTOR_H_
