#include "engine/qt/qt_request_interceptor.h"

#include <QWebEngineUrlRequestInfo>

#include "engine/engine.h"
#include "engine/qt/page_frame.h"
#include "engine/qt/qt_browser.h"
#include "engine/thread_check.h"
#include "engine/url_parts.h"

namespace engine {
namespace {

std::string UrlText(const QUrl& url) {
  return url.toString(QUrl::FullyEncoded).toStdString();
}

bool IsHttpOrHttps(const QUrl& url) {
  return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

// What Qt 6.4 lets a request interceptor do with headers, and how that shapes
// this request:
// - It cannot read them. Of the headers that matter to the client, the engine
//   writes a Referer itself for requests of http and https documents, within
//   their referrer policy. So such a request is reported as carrying one (its
//   value the most the engine sends across origins): the engine cancels a
//   request whose Referer breaks its policy, so replacing one could only hurt.
// - A header set here named "Referer" becomes the request's referrer, which the
//   engine sends only for http and https addresses: one naming a page of the
//   program's own scheme is dropped on the way, and the request goes without.
// - Headers cannot be removed, only added or replaced.
class QtResourceRequest : public Request {
 public:
  explicit QtResourceRequest(QWebEngineUrlRequestInfo& info) : info_(info) {}

  std::string GetURL() const override { return UrlText(info_.requestUrl()); }
  void GetHeaderMap(HeaderMap& headers) const override { headers = KnownHeaders(); }
  void SetHeaderMap(const HeaderMap& headers) override {
    const HeaderMap known = KnownHeaders();
    for (const auto& [name, value] : headers) {
      if (known.find(name) == known.end())
        info_.setHttpHeader(QByteArray::fromStdString(name),
                            QByteArray::fromStdString(value));
    }
  }

 private:
  HeaderMap KnownHeaders() const {
    HeaderMap headers;
    const QUrl initiator = info_.initiator();
    if (IsHttpOrHttps(initiator))
      headers.emplace("Referer", UrlText(initiator));
    return headers;
  }

  QWebEngineUrlRequestInfo& info_;
};

// The frame that makes the request, as far as Qt tells: it names no frame, only
// the origin of the document that asked (none when the browser itself did, as
// for an address it was given). A request of the main document's origin is put
// down to the main frame; any other comes from a sub-frame known by its origin
// alone.
std::shared_ptr<Frame> RequestingFrame(const std::shared_ptr<QtBrowser>& browser,
                                       const QWebEngineUrlRequestInfo& info) {
  std::shared_ptr<Frame> main_frame = browser->GetMainFrame();
  const QUrl initiator = info.initiator();
  if (info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeMainFrame ||
      initiator.isEmpty())
    return main_frame;
  std::string main_origin = main_frame->GetSecurityOrigin();
  if (main_origin.empty())
    main_origin = URLOrigin(main_frame->GetURL());
  const std::string origin = URLOrigin(UrlText(initiator));
  if (origin == main_origin)
    return main_frame;
  auto frame = std::make_shared<PageFrame>(browser, /*is_main=*/false);
  frame->SetDocument(std::string(), origin);
  return frame;
}

}  // namespace

void QtRequestInterceptor::interceptRequest(QWebEngineUrlRequestInfo& info) {
  LUMIO_ASSERT_UI_THREAD();
  std::shared_ptr<QtBrowser> browser = browser_.lock();
  if (!browser)
    return;
  if (browser->IsPendingPopup() &&
      !browser->OnPendingPopupRequest(
          info.initiator(),
          info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeMainFrame)) {
    info.block(true);
    return;
  }
  auto handler = browser->GetClient()->GetRequestHandler();
  if (!handler)
    return;
  QtResourceRequest request(info);
  if (handler->OnBeforeResourceLoad(browser, RequestingFrame(browser, info), request) ==
      ReturnValue::kCancel)
    info.block(true);
}

}  // namespace engine
