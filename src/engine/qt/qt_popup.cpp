#include "engine/qt/qt_popup.h"

#include <QTimer>
#include <QVariant>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineView>

#include "engine/qt/qt_browser.h"
#include "engine/qt/qt_engine_context.h"
#include "engine/qt/qt_page.h"
#include "engine/url_parts.h"

namespace engine {
namespace {

// How long a new popup may take to tell its target name.
constexpr int kPopupNameTimeoutMs = 3000;

std::string UrlText(const QUrl& url) {
  return url.toString(QUrl::FullyEncoded).toStdString();
}

PopupFeatures FeaturesOf(const QWebEngineNewWindowRequest& request) {
  PopupFeatures features;
  const QRect geometry = request.requestedGeometry();
  if (geometry.isValid()) {
    features.x = geometry.x();
    features.y = geometry.y();
    features.width = geometry.width();
    features.height = geometry.height();
    features.x_set = features.y_set = features.width_set = features.height_set = true;
  } else if (!geometry.size().isEmpty()) {
    features.width = geometry.width();
    features.height = geometry.height();
    features.width_set = features.height_set = true;
  }
  return features;
}

WindowOpenDisposition DispositionOf(const QWebEngineNewWindowRequest& request) {
  switch (request.destination()) {
    case QWebEngineNewWindowRequest::InNewTab:
      return WindowOpenDisposition::kNewForegroundTab;
    case QWebEngineNewWindowRequest::InNewBackgroundTab:
      return WindowOpenDisposition::kNewBackgroundTab;
    case QWebEngineNewWindowRequest::InNewWindow:
      return WindowOpenDisposition::kNewWindow;
    case QWebEngineNewWindowRequest::InNewDialog:
      return WindowOpenDisposition::kNewPopup;
  }
  return WindowOpenDisposition::kNewPopup;
}

}  // namespace

void QtPopup::Open(QtBrowser& opener, QWebEngineNewWindowRequest& request) {
  QtEngineContext* context = QtEngineContext::Get();
  if (opener.closed_ || !context)
    return;
  if (!opener.client_->GetLifeSpanHandler())
    return;
  const PopupFeatures features = FeaturesOf(request);
  const WindowOpenDisposition disposition = DispositionOf(request);
  const std::string url = UrlText(request.requestedUrl());
  const bool user_gesture = request.isUserInitiated();
  // A page that is not yet a browser of the client opens nothing: it may be a
  // popup that will be refused.
  if (opener.pending_popup_)
    return;
  // A page for any other disposition than a popup only serves to learn who
  // asked: it loads nothing.
  std::shared_ptr<QtBrowser> popup = QtBrowser::Make(opener.client_, opener.settings_);
  request.openIn(popup->page_);
  popup->pending_popup_ = std::make_unique<QtPopup>(*popup);
  QtPopup& pending = *popup->pending_popup_;
  pending.opener_ = opener.weak_from_this();
  pending.url_ = url;
  pending.user_gesture_ = user_gesture;
  pending.features_ = features;
  pending.disposition_ = disposition;
  std::weak_ptr<QtBrowser> weak_popup = popup;
  // The new page's first, empty document has the origin of the document that
  // opened it, until the page's own document replaces it.
  popup->page_->runJavaScript(
      QStringLiteral("[String(window.name), String(self.origin), String(location.href)]"),
      kBridgeWorldId, [weak_popup](const QVariant& result) {
        auto p = weak_popup.lock();
        if (!p || !p->pending_popup_)
          return;
        const QVariantList values = result.toList();
        if (values.size() != 3)
          return;
        QtPopup& pending = *p->pending_popup_;
        pending.name_ = values[0].toString().toStdString();
        pending.name_known_ = true;
        // A page opened without an opener (noopener, links with a target) starts
        // with an opaque origin that names nobody; its first request tells.
        if (values[2].toString() == QLatin1String("about:blank") &&
            values[1].toString() != QLatin1String("null") &&
            !pending.opener_origin_known_) {
          pending.opener_origin_ = values[1].toString().toStdString();
          pending.opener_origin_known_ = true;
        }
        pending.MaybeFinish();
      });
  // What is not known by then stays unknown: the client decides without it.
  QTimer::singleShot(kPopupNameTimeoutMs, popup->page_, [weak_popup] {
    if (auto p = weak_popup.lock())
      p->FinishPopup();
  });
  context->AddPendingPopup(popup);
}

bool QtPopup::OnRequest(const QUrl& initiator, bool is_main_frame) {
  if (is_main_frame && !opener_origin_known_) {
    opener_origin_ = initiator.isEmpty() ? std::string() : URLOrigin(UrlText(initiator));
    opener_origin_known_ = true;
    // Later, not from within the engine's request.
    QTimer::singleShot(0, popup_.page_, [weak = popup_.weak_from_this()] {
      auto self = weak.lock();
      if (self && self->pending_popup_)
        self->pending_popup_->MaybeFinish();
    });
  }
  return disposition_ == WindowOpenDisposition::kNewPopup;
}

void QtPopup::OnOwnDocument(const std::string& name) {
  if (!name_known_) {
    name_ = name;
    name_known_ = true;
  }
  popup_.FinishPopup();
}

void QtPopup::MaybeFinish() {
  if (name_known_ && opener_origin_known_)
    popup_.FinishPopup();
}

void QtPopup::Finish() {
  std::shared_ptr<QtBrowser> self = popup_.shared_from_this();
  if (QtEngineContext* context = QtEngineContext::Get())
    context->RemovePendingPopup(self);
  std::shared_ptr<QtBrowser> opener = opener_.lock();
  std::shared_ptr<LifeSpanHandler> handler = popup_.client_->GetLifeSpanHandler();
  // The document that asked, as far as it is known (an empty origin when not).
  // A page opened without an opener does not tell; it can only have come from
  // the main document when no frame of another origin was ever in the page.
  std::shared_ptr<Frame> opener_frame;
  if (opener) {
    std::shared_ptr<PageFrame> main = opener->router_->frames().main_frame();
    if (!opener_origin_known_ && !opener->sub_frame_loads_.foreign_frames()) {
      opener_origin_ = main->GetSecurityOrigin();
      opener_origin_known_ = true;
    }
    if (opener_origin_known_ && opener_origin_ == main->GetSecurityOrigin()) {
      opener_frame = main;
    } else {
      auto frame = std::make_shared<PageFrame>(opener, /*is_main=*/false);
      frame->SetDocument(std::string(), opener_origin_);
      opener_frame = frame;
    }
  }
  WindowInfo window_info;
  window_info.x = features_.x;
  window_info.y = features_.y;
  window_info.width = features_.width;
  window_info.height = features_.height;
  const bool is_popup = disposition_ == WindowOpenDisposition::kNewPopup;
  if (!opener || opener->closed_ || !handler ||
      handler->OnBeforePopup(opener, opener_frame, url_, name_, disposition_,
                             user_gesture_, features_, window_info) ||
      !is_popup) {
    // Refused, or not a window of ours: the page goes without ever having been a
    // browser of the client.
    popup_.closed_ = true;
    if (popup_.view_)
      popup_.view_->deleteLater();
    return;
  }
  // The name is the one it was opened with, whatever its pages set later.
  popup_.router_->frames().main_frame()->set_name(name_);
  popup_.router_->FixMainName();
  popup_.Attach(window_info);
}

}  // namespace engine
