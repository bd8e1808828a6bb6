#include "engine/qt/qt_page_signals.h"

#include <QVariant>
#include <QWebEngineNewWindowRequest>

#include "engine/qt/qt_browser.h"
#include "engine/qt/qt_page.h"
#include "engine/qt/qt_popup.h"

namespace engine {
namespace {

std::string UrlText(const QUrl& url) {
  return url.toString(QUrl::FullyEncoded).toStdString();
}

}  // namespace

void QtPageSignals::Connect(QtBrowser& browser) {
  QWebEnginePage* page = browser.page_;
  std::weak_ptr<QtBrowser> weak = browser.weak_from_this();
  QObject::connect(
      page, &QWebEnginePage::urlChanged, page, [weak, page](const QUrl& url) {
        // Qt reports an empty address in the middle of a popup's first load; it is
        // no address to tell of.
        if (url.isEmpty())
          return;
        // QUrl re-encodes some characters (a backslash becomes %5C), so the address is
        // taken from the document itself when it is the same one; an error page or a
        // page without a renderer keeps the address the engine reported.
        const std::string reported = UrlText(url);
        page->runJavaScript(QStringLiteral("location.href"), kBridgeWorldId,
                            [weak, reported](const QVariant& href) {
                              auto self = weak.lock();
                              if (!self || self->closed_)
                                return;
                              std::string address = reported;
                              const QString text = href.toString();
                              if (!text.isEmpty() && UrlText(QUrl(text)) == reported)
                                address = text.toStdString();
                              self->router_->frames().main_frame()->set_url(address);
                              if (auto handler = self->client_->GetDisplayHandler())
                                handler->OnAddressChange(
                                    self, self->router_->frames().main_frame(), address);
                            });
      });
  QObject::connect(page, &QWebEnginePage::titleChanged, page,
                   [weak](const QString& title) {
                     auto self = weak.lock();
                     if (!self || self->closed_)
                       return;
                     if (auto handler = self->client_->GetDisplayHandler())
                       handler->OnTitleChange(self, title.toStdString());
                   });
  QObject::connect(page, &QWebEnginePage::windowCloseRequested, page, [weak] {
    if (auto self = weak.lock())
      self->close_.OnWindowCloseRequested();
  });
  QObject::connect(page, &QWebEnginePage::renderProcessTerminated, page,
                   [weak](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                     auto self = weak.lock();
                     if (!self || self->closed_)
                       return;
                     self->renderer_gone_ = true;
                     // Every document went with the renderer.
                     std::vector<int64_t> ended;
                     self->router_->frames().Clear(&ended);
                     TerminationStatus engine_status = TerminationStatus::kAbnormal;
                     if (status == QWebEnginePage::CrashedTerminationStatus)
                       engine_status = TerminationStatus::kCrashed;
                     else if (status == QWebEnginePage::KilledTerminationStatus)
                       engine_status = TerminationStatus::kKilled;
                     if (auto handler = self->client_->GetRequestHandler())
                       handler->OnRenderProcessTerminated(self, engine_status);
                     self->close_.OnRendererGone();
                   });
  QObject::connect(page, &QWebEnginePage::loadStarted, page, [weak] {
    if (auto self = weak.lock())
      self->renderer_gone_ = false;
  });
  QObject::connect(page, &QWebEnginePage::newWindowRequested, page,
                   [weak](QWebEngineNewWindowRequest& request) {
                     if (auto self = weak.lock())
                       QtPopup::Open(*self, request);
                   });
}

}  // namespace engine
