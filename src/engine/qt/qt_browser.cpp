#include "engine/qt/qt_browser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLayout>
#include <QTimer>
#include <QWebChannel>
#include <QWebEngineSettings>
#include <QWebEngineUrlScheme>
#include <QWebEngineView>

#include "engine/message_router.h"
#include "engine/qt/qt_bridge_object.h"
#include "engine/qt/qt_development.h"
#include "engine/qt/qt_engine_context.h"
#include "engine/qt/qt_page.h"
#include "engine/qt/qt_page_signals.h"
#include "engine/qt/qt_popup.h"
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
    : id_(id),
      client_(std::move(client)),
      answers_(
          [this] {
            QTimer::singleShot(0, bridge_, [weak = weak_from_this()] {
              if (auto browser = weak.lock())
                browser->answers_.Flush();
            });
          },
          [this](const AnswerBatcher::Answers& answers) {
            if (!closed_ && bridge_)
              bridge_->Send(answers);
          }) {}

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
  browser->frames_ =
      std::make_unique<FrameTable>(std::weak_ptr<DocumentScriptRunner>(browser));
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
  if (closed_ || message.kind != ProcessMessage::Kind::kResponse)
    return;
  const FrameTable::Query* query = frames_->GetQuery(message.query_id);
  if (!query)
    return;  // its document has gone
  const std::string key = query->document_key;
  const int64_t page_id = query->page_id;
  if (!message.success || !query->persistent)
    frames_->EndQuery(message.query_id);
  Respond(key, page_id, message.success, message.error_code, message.result);
}

void QtBrowser::Respond(const std::string& key,
                        int64_t page_id,
                        bool success,
                        int code,
                        const std::string& text) {
  if (closed_ || !bridge_)
    return;
  answers_.Add(BridgeAnswer{key, page_id, success, code, text});
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
  answers_.SendNow();
  if (main) {
    // Only in the document the frame was announced with: the page may have gone
    // to another origin since. A page cannot replace the members of its location.
    std::shared_ptr<PageFrame> frame = frames_->FindFrame(document_key);
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

void QtBrowser::CancelInRouter(const std::vector<int64_t>& router_ids) {
  std::shared_ptr<QtBrowser> self = shared_from_this();
  for (int64_t id : router_ids) {
    ProcessMessage message;
    message.kind = ProcessMessage::Kind::kCancel;
    message.query_id = id;
    client_->OnProcessMessageReceived(self, message);
  }
}

std::vector<BridgeAnswer> QtBrowser::OnBatch(std::vector<BridgeEntry> batch) {
  if (closed_)
    return {};
  std::shared_ptr<QtBrowser> self = shared_from_this();
  AnswerBatcher::Batch answers(answers_);
  for (BridgeEntry& entry : batch) {
    if (closed_)
      break;
    switch (entry.kind) {
      case BridgeEntry::Kind::kQuery:
        OnQuery(entry.key, entry.page_id, std::move(entry.request), entry.persistent);
        break;
      case BridgeEntry::Kind::kProgramRequest:
        OnProgramRequest(entry.key, entry.page_id, entry.request);
        break;
      case BridgeEntry::Kind::kCancel:
        OnCancel(entry.key, entry.page_id);
        break;
      case BridgeEntry::Kind::kDocument:
        OnDocumentCreated(entry);
        break;
      case BridgeEntry::Kind::kDocumentGone:
        OnDocumentGone(entry.key);
        break;
      case BridgeEntry::Kind::kFrameAddress:
        OnFrameAddress(entry.url, entry.origin, entry.name);
        break;
    }
  }
  return answers.Take();
}

void QtBrowser::OnDocumentCreated(const BridgeEntry& document) {
  if (closed_)
    return;
  std::shared_ptr<QtBrowser> self = shared_from_this();
  if (pending_popup_ && document.main)
    pending_popup_->OnOwnDocument(document.name);
  if (closed_)
    return;
  std::vector<int64_t> ended;
  FrameTable::Announcement announced;
  announced.key = document.key;
  announced.main = document.main;
  announced.origin = document.origin;
  announced.url = document.url;
  announced.name = document.name;
  if (name_fixed_ && document.main)
    announced.name = frames_->main_frame()->GetName();
  std::shared_ptr<PageFrame> frame = frames_->Announce(announced, &ended);
  CancelInRouter(ended);
  // Qt reports address changes of the main frame only; sub-frames report theirs
  // from the page. The empty document every new frame starts with is no address.
  if (!frame || frame->IsMain() || document.url.empty() || document.url == "about:blank")
    return;
  if (auto handler = client_->GetDisplayHandler())
    handler->OnAddressChange(self, frame, document.url);
}

void QtBrowser::OnDocumentGone(const std::string& key) {
  if (closed_)
    return;
  std::vector<int64_t> ended;
  frames_->Remove(key, &ended);
  CancelInRouter(ended);
}

void QtBrowser::OnQuery(const std::string& key,
                        int64_t page_id,
                        std::string request,
                        bool persistent) {
  if (closed_)
    return;
  std::shared_ptr<QtBrowser> self = shared_from_this();
  std::shared_ptr<PageFrame> frame = frames_->FindFrame(key);
  const int64_t router_id = frame ? frames_->BeginQuery(key, page_id, persistent) : 0;
  if (router_id == 0) {
    // A document that is gone hears nothing of this; one over its limits hears no.
    Respond(key, page_id, false, MessageRouter::kCanceledErrorCode,
            MessageRouter::kCanceledErrorMessage);
    return;
  }
  ProcessMessage message;
  message.kind = ProcessMessage::Kind::kQuery;
  message.frame = frame;
  message.query_id = router_id;
  message.request = std::move(request);
  message.persistent = persistent;
  if (!client_->OnProcessMessageReceived(self, message)) {
    // No router: nobody can take the query.
    ProcessMessage failure;
    failure.kind = ProcessMessage::Kind::kResponse;
    failure.query_id = router_id;
    failure.error_code = MessageRouter::kCanceledErrorCode;
    failure.result = MessageRouter::kCanceledErrorMessage;
    SendProcessMessage(failure);
  }
}

void QtBrowser::OnCancel(const std::string& key, int64_t page_id) {
  if (closed_)
    return;
  const int64_t router_id = frames_->FindQuery(key, page_id);
  if (router_id == 0)
    return;
  frames_->EndQuery(router_id);
  CancelInRouter({router_id});
}

void QtBrowser::OnProgramRequest(const std::string& key,
                                 int64_t page_id,
                                 const std::string& request) {
  if (closed_)
    return;
  std::shared_ptr<PageFrame> frame = frames_->FindFrame(key);
  auto handler = client_->GetRequestHandler();
  if (!frame || !handler ||
      !handler->MayRequestAcrossOrigins(shared_from_this(), frame)) {
    Respond(key, page_id, false, MessageRouter::kCanceledErrorCode,
            MessageRouter::kCanceledErrorMessage);
    return;
  }
  std::weak_ptr<QtBrowser> weak = shared_from_this();
  StartProgramRequest(QString::fromStdString(request), page_,
                      [weak, key, page_id](bool ok, const QString& answer) {
                        if (auto self = weak.lock())
                          self->Respond(key, page_id, ok, ok ? 0 : -1,
                                        answer.toStdString());
                      });
}

void QtBrowser::OnFrameAddress(const std::string& url,
                               const std::string& sender_origin,
                               const std::string& name) {
  if (closed_)
    return;
  // Only the program's own top documents are believed to have checked the sender.
  if (!IsRelayedAddressBelievable(IsLocalSchemeURL(frames_->main_frame()->GetURL()),
                                  sender_origin, url))
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
  std::shared_ptr<Frame> frame = frames_->main_frame();
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
    sub_frame_loads_.OnSubFrameNavigation(UrlText(url),
                                          frames_->main_frame()->GetSecurityOrigin());
  return true;
}

}  // namespace engine
