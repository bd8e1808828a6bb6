#include "engine/qt/qt_browser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLayout>
#include <QTimer>
#include <QWebChannel>
#include <QWebEngineSettings>
#include <QWebEngineUrlScheme>
#include <QWebEngineView>

#include "engine/qt/qt_bridge_object.h"
#include "engine/qt/qt_development.h"
#include "engine/qt/qt_engine_context.h"
#include "engine/qt/qt_fullscreen.h"
#include "engine/qt/qt_page.h"
#include "engine/qt/qt_page_signals.h"
#include "engine/qt/qt_permissions.h"
#include "engine/qt/qt_popup.h"
#include "engine/qt/qt_print.h"
#include "engine/qt/qt_program_request.h"
#include "engine/qt/qt_request_interceptor.h"
#include "engine/qt/qt_view.h"
#include "engine/url_parts.h"

namespace engine {
namespace {

std::string UrlText(const QUrl& url) {
  return url.toString(QUrl::FullyEncoded).toStdString();
}

// Whether |url| is of a scheme registered as local, such as the program's pack.
bool IsLocalSchemeURL(const std::string& url) {
  URLParts parts;
  if (!ParseURL(url, parts))
    return false;
  const QWebEngineUrlScheme scheme =
      QWebEngineUrlScheme::schemeByName(QByteArray::fromStdString(parts.scheme));
  return scheme.name() == QByteArray::fromStdString(parts.scheme) &&
         (scheme.flags() & QWebEngineUrlScheme::LocalScheme);
}

}  // namespace

// QtBrowser

QtBrowser::QtBrowser(int id, std::shared_ptr<Client> client)
    : id_(id), client_(std::move(client)) {}

QtBrowser::~QtBrowser() = default;

QWebEnginePage* QtBrowser::page() const {
  return page_;
}

QWebEngineView* QtBrowser::view() const {
  return view_;
}

std::shared_ptr<QtBrowser> QtBrowser::Create(const WindowInfo& window_info,
                                             const std::shared_ptr<Client>& client,
                                             const BrowserSettings& settings) {
  std::shared_ptr<QtBrowser> browser = Make(client, settings);
  browser->Attach(window_info);
  return browser;
}

void QtBrowser::Attach(const WindowInfo& window_info) {
  QWidget* parent = ToWidget(window_info.parent_view);
  if (parent) {
    view_->setParent(parent);
    if (parent->layout())
      parent->layout()->addWidget(view_);
  }
  if ((!parent || !parent->layout()) && window_info.width > 0 && window_info.height > 0)
    view_->setGeometry(window_info.x, window_info.y, window_info.width,
                       window_info.height);
  // A widget given a new parent stays hidden until shown; it appears with its window.
  if (parent)
    view_->show();

  std::shared_ptr<QtBrowser> self = shared_from_this();
  if (QtEngineContext* context = QtEngineContext::Get())
    context->AddBrowser(self);
  if (auto handler = client_->GetLifeSpanHandler())
    handler->OnAfterCreated(self);
}

std::shared_ptr<QtBrowser> QtBrowser::Make(const std::shared_ptr<Client>& client,
                                           const BrowserSettings& settings) {
  QtEngineContext* context = QtEngineContext::Get();
  std::shared_ptr<QtBrowser> browser(new QtBrowser(context->NextBrowserId(), client));
  browser->settings_ = settings;
  QtBrowser* raw = browser.get();
  DocumentRouter::Host& host = *raw;
  browser->router_ = std::make_unique<DocumentRouter>(
      host, client, std::weak_ptr<DocumentScriptRunner>(browser),
      [raw] {
        QTimer::singleShot(0, raw->bridge_, [weak = raw->weak_from_this()] {
          if (auto self = weak.lock())
            self->router_->answers().Flush();
        });
      },
      [raw](const AnswerBatcher::Answers& answers) {
        if (!raw->closed_ && raw->bridge_)
          raw->bridge_->Send(answers);
      });
  // Without a parent until Attach places it.
  browser->view_ = new QtView(nullptr, browser);
  browser->page_ = new QtPage(context->profile(), browser->view_, browser);
  browser->view_->setPage(browser->page_);
  browser->page_->setUrlRequestInterceptor(
      new QtRequestInterceptor(browser, browser->page_));
  if (context->development())
    browser->page_->SetDevelopment(new QtDevelopment(browser->view_));

  // Universal access for local content: the program's own pages may call any
  // server. Web security as a whole is a start-up switch (engine.h).
  QWebEngineSettings* page_settings = browser->page_->settings();
  page_settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls,
                              settings.universal_access_from_file_urls);
  page_settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls,
                              settings.universal_access_from_file_urls);

  browser->channel_ = new QWebChannel(browser->page_);
  browser->bridge_ = new BridgeObject(browser);
  browser->bridge_->setParent(browser->channel_);
  browser->channel_->registerObject(QStringLiteral("lumioBridge"), browser->bridge_);
  // The transport lives in the program's own script world, out of the page's reach.
  browser->page_->setWebChannel(browser->channel_, kBridgeWorldId);
  QtPageSignals::Connect(*browser);
  QtPermissions::Connect(*browser);
  QtFullscreen::Connect(*browser);
  QtPrint::Connect(*browser);
  return browser;
}

std::string QtBrowser::GetLastScriptError() const {
  return page_ ? page_->last_script_error() : std::string();
}

bool QtBrowser::OnPendingPopupRequest(const QUrl& initiator, bool is_main_frame) {
  return !pending_popup_ || pending_popup_->OnRequest(initiator, is_main_frame);
}

void QtBrowser::FinishPopup() {
  std::unique_ptr<QtPopup> popup = std::move(pending_popup_);
  if (popup)
    popup->Finish();
}

void QtBrowser::Load(const std::string& url) {
  if (page_)
    page_->load(QUrl(QString::fromStdString(url)));
}

void QtBrowser::SendProcessMessage(const ProcessMessage& message) {
  router_->OnResponse(message);
}

void QtBrowser::SetFocus(bool focus) {
  if (!view_)
    return;
  if (focus)
    view_->setFocus(Qt::OtherFocusReason);
  else
    view_->clearFocus();
}

void QtBrowser::SetWindowVisibility(bool visible) {
  if (page_)
    page_->setVisible(visible);
}

NativeView* QtBrowser::GetWindowHandle() {
  return ToNativeView(view_.data());
}

void QtBrowser::Destroy() {
  if (closed_)
    return;
  std::shared_ptr<QtBrowser> self = shared_from_this();
  if (auto handler = client_->GetLifeSpanHandler())
    handler->OnBeforeClose(self);
  closed_ = true;
  bridge_ = nullptr;
  close_.DismissLeaveQuestion();
  if (view_) {
    view_->hide();
    view_->setParent(nullptr);
    view_->deleteLater();  // takes the page, the channel and the bridge with it
  }
  if (QtEngineContext* context = QtEngineContext::Get())
    context->RemoveBrowser(id_);
}

void QtBrowser::RunScriptInDocument(const std::string& document_key,
                                    bool main,
                                    const std::string& code) {
  if (closed_ || !page_)
    return;
  // The page hears of its queries' answers before anything that came after them.
  router_->answers().SendNow();
  if (main) {
    // Only in the document the frame was announced with: the page may have gone
    // to another origin since. A page cannot replace the members of its location.
    std::shared_ptr<PageFrame> frame = router_->frames().FindFrame(document_key);
    if (!frame || frame->GetSecurityOrigin().empty())
      return;
    const QByteArray origin =
        QJsonDocument(QJsonArray{QString::fromStdString(frame->GetSecurityOrigin())})
            .toJson(QJsonDocument::Compact);
    page_->runJavaScript(
        QStringLiteral("if (location.origin === %1[0]) {\n%2\n}")
            .arg(QString::fromUtf8(origin), QString::fromStdString(code)));
    return;
  }
  // Qt reaches only the main frame; the top document's bridge world knows the
  // documents of its sub-frames and runs the code in the right one.
  const QByteArray args = QJsonDocument(QJsonArray{QString::fromStdString(document_key),
                                                   QString::fromStdString(code)})
                              .toJson(QJsonDocument::Compact);
  page_->runJavaScript(
      QStringLiteral(
          "window.__lumioRunInDocument && window.__lumioRunInDocument.apply(null, %1)")
          .arg(QString::fromUtf8(args)),
      kBridgeWorldId);
}

void QtBrowser::OnMainDocument(const std::string& name) {
  if (pending_popup_)
    pending_popup_->OnOwnDocument(name);
}

void QtBrowser::StartProgramRequest(const std::string& key,
                                    int64_t page_id,
                                    const std::string& request) {
  std::weak_ptr<QtBrowser> weak = shared_from_this();
  engine::StartProgramRequest(QString::fromStdString(request), page_,
                              [weak, key, page_id](bool ok, const QString& answer) {
                                if (auto self = weak.lock())
                                  self->router_->Respond(key, page_id, ok, ok ? 0 : -1,
                                                         answer.toStdString());
                              });
}

void QtBrowser::OnFrameAddress(const std::string& url,
                               const std::string& sender_origin,
                               const std::string& name) {
  if (closed_)
    return;
  // Only the program's own top documents are believed to have checked the sender.
  const std::shared_ptr<PageFrame>& main = router_->frames().main_frame();
  if (!IsRelayedAddressBelievable(IsLocalSchemeURL(main->GetURL()), sender_origin, url))
    return;
  // As the engine wrote the address it went to.
  const std::string loaded = UrlText(QUrl(QString::fromStdString(url)));
  if (!sub_frame_loads_.Take(loaded))
    return;
  auto frame = std::make_shared<PageFrame>(weak_from_this(), /*is_main=*/false);
  frame->SetDocument(std::string(), sender_origin);
  frame->set_url(url);
  frame->set_name(name);
  if (auto handler = client_->GetDisplayHandler())
    handler->OnAddressChange(shared_from_this(), frame, url);
}

bool QtBrowser::OnBeforeBrowse(const QUrl& url, bool is_main_frame, bool is_redirect) {
  if (closed_)
    return false;
  std::shared_ptr<QtBrowser> self = shared_from_this();
  std::shared_ptr<Frame> frame = router_->frames().main_frame();
  if (!is_main_frame) {
    // Which sub-frame navigates is not known here.
    auto sub_frame = std::make_shared<PageFrame>(weak_from_this(), /*is_main=*/false);
    sub_frame->set_url(UrlText(url));
    frame = sub_frame;
  }
  URLRequest request(UrlText(url));
  auto handler = client_->GetRequestHandler();
  if (handler && handler->OnBeforeBrowse(self, frame, request, is_redirect))
    return false;
  if (is_main_frame)
    sub_frame_loads_.OnMainFrameNavigation();
  else
    sub_frame_loads_.OnSubFrameNavigation(
        UrlText(url), router_->frames().main_frame()->GetSecurityOrigin());
  return true;
}

}  // namespace engine
