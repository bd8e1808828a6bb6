#include "engine/qt_browser.h"

#include <cmath>

#include <QJsonArray>
#include <QJsonDocument>
#include <QLayout>
#include <QMessageBox>
#include <QTimer>
#include <QWebChannel>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineUrlScheme>
#include <QWebEngineView>

#include "engine/url_parts.h"

namespace engine {
namespace {

std::map<int, std::shared_ptr<QtBrowser>>& Registry() {
  static std::map<int, std::shared_ptr<QtBrowser>> browsers;
  return browsers;
}

std::string ToStd(const QString& s) {
  return s.toStdString();
}

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

// Dispatches a beforeunload event in the page; true when the page asks the user
// to confirm leaving (a handler cancelled it or set a message), which browsers
// honour only once the user has interacted with the page.
constexpr char kBeforeUnloadScript[] = R"js((function () {
  try {
    var event = document.createEvent('BeforeUnloadEvent');
    event.initEvent('beforeunload', false, true);
    window.dispatchEvent(event);
    var asks = event.defaultPrevented ||
               (typeof event.returnValue === 'string' && event.returnValue !== '');
    return asks && !!(navigator.userActivation && navigator.userActivation.hasBeenActive);
  } catch (e) {
    return false;
  }
})())js";
constexpr int kBeforeUnloadTimeoutMs = 10000;

// Query ids arrive as JavaScript numbers; only whole numbers that a double holds
// exactly are ids. Anything else comes from a page that bypassed cefQuery.
bool ToQueryId(double value, int64_t& id) {
  if (!std::isfinite(value) || std::trunc(value) != value || std::fabs(value) > 9.0e15)
    return false;
  id = static_cast<int64_t>(value);
  return true;
}

}  // namespace

// BridgeObject

void BridgeObject::query(const QVariantMap& frame,
                         double id,
                         const QString& request,
                         bool persistent) {
  int64_t query_id = 0;
  if (ToQueryId(id, query_id))
    if (auto browser = browser_.lock())
      browser->OnQuery(frame, query_id, ToStd(request), persistent);
}

void BridgeObject::cancel(double id) {
  int64_t query_id = 0;
  if (ToQueryId(id, query_id))
    if (auto browser = browser_.lock())
      browser->OnCancel(query_id);
}

void BridgeObject::frameLoaded(const QVariantMap& frame) {
  if (auto browser = browser_.lock())
    browser->OnFrameLoaded(frame);
}

// QtPage

bool QtPage::acceptNavigationRequest(const QUrl& url,
                                     NavigationType type,
                                     bool is_main_frame) {
  auto browser = browser_.lock();
  return !browser || browser->OnBeforeBrowse(url, is_main_frame);
}

// QtFrame

std::string QtFrame::GetURL() const {
  if (!browser_)
    return {};
  if (is_main_)
    return browser_->page() ? UrlText(browser_->page()->url()) : std::string();
  return url_;
}

void QtFrame::ExecuteJavaScript(const std::string& code,
                                const std::string& script_url,
                                int start_line) {
  if (!browser_ || !browser_->page())
    return;
  QString source = QString::fromStdString(code);
  if (!script_url.empty())
    source += QStringLiteral("\n//# sourceURL=") + QString::fromStdString(script_url);
  if (is_main_) {
    browser_->page()->runJavaScript(source);
    return;
  }
  // Qt reaches only the main frame; a same-origin sub-frame registered its window
  // with the top frame's router, which evaluates the code there.
  const QByteArray args = QJsonDocument(QJsonArray{QString::fromStdString(key_), source})
                              .toJson(QJsonDocument::Compact);
  browser_->page()->runJavaScript(
      QStringLiteral(
          "window.__lumioRouter && window.__lumioRouter.runInFrame.apply(null, %1)")
          .arg(QString::fromUtf8(args)));
}

// QtBrowser

static int NextBrowserId() {
  static int next_id = 0;
  return ++next_id;
}

QtBrowser::QtBrowser(int id, std::shared_ptr<Client> client)
    : id_(id), client_(std::move(client)) {}

QtBrowser::~QtBrowser() {
  if (main_frame_)
    main_frame_->Detach();
  for (auto& [key, frame] : sub_frames_)
    frame->Detach();
}

const std::map<int, std::shared_ptr<QtBrowser>>& QtBrowser::OpenBrowsers() {
  return Registry();
}

std::shared_ptr<QtBrowser> QtBrowser::Create(const WindowInfo& window_info,
                                             const std::shared_ptr<Client>& client,
                                             const BrowserSettings& settings,
                                             QWebEngineProfile* profile) {
  std::shared_ptr<QtBrowser> browser(new QtBrowser(NextBrowserId(), client));
  QtBrowser* raw = browser.get();
  browser->main_frame_ = std::make_shared<QtFrame>(raw, "main", true);

  auto* parent = static_cast<QWidget*>(window_info.parent_view);
  browser->view_ = new QWebEngineView(parent);
  browser->page_ = new QtPage(profile, browser->view_, browser);
  browser->view_->setPage(browser->page_);
  if (parent && parent->layout()) {
    parent->layout()->addWidget(browser->view_);
  } else if (window_info.width > 0 && window_info.height > 0) {
    browser->view_->setGeometry(window_info.x, window_info.y, window_info.width,
                                window_info.height);
  }

  QWebEngineSettings* page_settings = browser->page_->settings();
  page_settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls,
                              settings.universal_access_from_file_urls);
  page_settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls,
                              settings.universal_access_from_file_urls);

  browser->channel_ = new QWebChannel(browser->page_);
  browser->bridge_ = new BridgeObject(browser);
  browser->bridge_->setParent(browser->channel_);
  browser->channel_->registerObject(QStringLiteral("lumioBridge"), browser->bridge_);
  browser->page_->setWebChannel(browser->channel_);

  QWebEnginePage* page = browser->page_;
  std::weak_ptr<QtBrowser> weak = browser;
  QObject::connect(
      page, &QWebEnginePage::urlChanged, page, [weak, page](const QUrl& url) {
        // QUrl re-encodes some characters (a backslash becomes %5C), so the address is
        // taken from the document itself when it is the same one; an error page or a
        // page without a renderer keeps the address the engine reported.
        const std::string reported = UrlText(url);
        page->runJavaScript(
            QStringLiteral("location.href"), QWebEngineScript::ApplicationWorld,
            [weak, reported](const QVariant& href) {
              auto self = weak.lock();
              if (!self || self->closed_)
                return;
              std::string address = reported;
              const QString text = href.toString();
              if (!text.isEmpty() && UrlText(QUrl(text)) == reported)
                address = text.toStdString();
              if (auto handler = self->client_->GetDisplayHandler())
                handler->OnAddressChange(self, self->main_frame_, address);
            });
      });
  QObject::connect(page, &QWebEnginePage::titleChanged, page,
                   [weak](const QString& title) {
                     auto self = weak.lock();
                     if (!self || self->closed_)
                       return;
                     if (auto handler = self->client_->GetDisplayHandler())
                       handler->OnTitleChange(self, ToStd(title));
                   });
  QObject::connect(page, &QWebEnginePage::windowCloseRequested, page, [weak] {
    if (auto self = weak.lock())
      self->OnCloseRequested();
  });
  QObject::connect(page, &QWebEnginePage::renderProcessTerminated, page,
                   [weak](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                     auto self = weak.lock();
                     if (!self || self->closed_)
                       return;
                     self->renderer_gone_ = true;
                     self->sub_frames_.clear();
                     // A close that waited for the page's answer goes on without it.
                     const int question = self->close_question_;
                     TerminationStatus engine_status = TerminationStatus::kAbnormal;
                     if (status == QWebEnginePage::CrashedTerminationStatus)
                       engine_status = TerminationStatus::kCrashed;
                     else if (status == QWebEnginePage::KilledTerminationStatus)
                       engine_status = TerminationStatus::kKilled;
                     if (auto handler = self->client_->GetRequestHandler())
                       handler->OnRenderProcessTerminated(self, engine_status);
                     if (question != 0)
                       self->OnCloseAnswer(question, false);
                   });
  QObject::connect(page, &QWebEnginePage::loadStarted, page, [weak] {
    if (auto self = weak.lock())
      self->renderer_gone_ = false;
  });

  Registry()[browser->id_] = browser;
  if (auto handler = client->GetLifeSpanHandler())
    handler->OnAfterCreated(browser);
  return browser;
}

void QtBrowser::Load(const std::string& url) {
  if (page_)
    page_->load(QUrl(QString::fromStdString(url)));
}

void QtBrowser::SendProcessMessage(const ProcessMessage& message) {
  if (closed_ || !bridge_ || message.kind != ProcessMessage::Kind::kResponse)
    return;
  emit bridge_->response(static_cast<double>(message.query_id), message.success,
                         message.error_code, QString::fromStdString(message.result));
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

void QtBrowser::CloseBrowser(bool force_close) {
  if (closed_ || !page_)
    return;
  // A page without a renderer cannot be asked.
  if (force_close || renderer_gone_) {
    OnCloseRequested();
    return;
  }
  if (close_question_ != 0)
    return;  // the page is being asked already
  // Qt's RequestClose runs the page's unload handlers as well and leaves the page
  // hidden for good, but the client may keep the browser (DoClose), as the main
  // window does. So only the beforeunload question is put to the page here.
  const int question = ++close_questions_;
  close_question_ = question;
  std::weak_ptr<QtBrowser> weak = shared_from_this();
  page_->runJavaScript(QString::fromUtf8(kBeforeUnloadScript),
                       QWebEngineScript::MainWorld,
                       [weak, question](const QVariant& wants_to_stay) {
                         if (auto self = weak.lock())
                           self->OnCloseAnswer(question, wants_to_stay.toBool());
                       });
  // A page that hangs in its handler does not keep the program from closing.
  QTimer::singleShot(kBeforeUnloadTimeoutMs, page_, [weak, question] {
    if (auto self = weak.lock())
      self->OnCloseAnswer(question, false);
  });
}

void QtBrowser::OnCloseAnswer(int question, bool page_asks_to_stay) {
  if (closed_ || close_question_ != question)
    return;
  close_question_ = 0;
  if (page_asks_to_stay && view_) {
    const auto choice = QMessageBox::question(
        view_->window(), QStringLiteral("Leave page?"),
        QStringLiteral("Changes you made may not be saved."),
        QMessageBox::StandardButtons(QMessageBox::Yes | QMessageBox::Cancel),
        QMessageBox::Cancel);
    if (choice != QMessageBox::Yes || closed_)
      return;
  }
  OnCloseRequested();
}

void* QtBrowser::GetWindowHandle() {
  return view_.data();
}

void QtBrowser::OnCloseRequested() {
  if (closed_)
    return;
  std::shared_ptr<QtBrowser> self = shared_from_this();
  if (auto handler = client_->GetLifeSpanHandler()) {
    if (handler->DoClose(self))
      return;
  }
  // The engine closes the browser's window; its owner may still refuse.
  QWidget* window = view_ ? view_->window() : nullptr;
  if (window && window != view_ && !window->close())
    return;
  Destroy();
}

void QtBrowser::Destroy() {
  if (closed_)
    return;
  std::shared_ptr<QtBrowser> self = shared_from_this();
  if (auto handler = client_->GetLifeSpanHandler())
    handler->OnBeforeClose(self);
  closed_ = true;
  bridge_ = nullptr;
  if (view_) {
    view_->hide();
    view_->setParent(nullptr);
    view_->deleteLater();  // takes the page, the channel and the bridge with it
  }
  Registry().erase(id_);
}

std::shared_ptr<Frame> QtBrowser::FrameFor(const QVariantMap& info) {
  if (info.value(QStringLiteral("main")).toBool())
    return main_frame_;
  const std::string key = ToStd(info.value(QStringLiteral("key")).toString());
  std::shared_ptr<QtFrame>& frame = sub_frames_[key];
  if (!frame)
    frame = std::make_shared<QtFrame>(this, key, false);
  frame->set_name(ToStd(info.value(QStringLiteral("name")).toString()));
  // A sub-frame reaches the bridge only through its top window, which it can touch
  // only when both have the same origin. Any other claim is not believed.
  std::string url = ToStd(info.value(QStringLiteral("url")).toString());
  if (URLOrigin(url) != URLOrigin(main_frame_->GetURL()))
    url.clear();
  frame->set_url(url);
  return frame;
}

void QtBrowser::OnQuery(const QVariantMap& frame,
                        int64_t id,
                        const std::string& request,
                        bool persistent) {
  if (closed_)
    return;
  ProcessMessage message;
  message.kind = ProcessMessage::Kind::kQuery;
  message.frame = FrameFor(frame);
  message.query_id = id;
  message.request = request;
  message.persistent = persistent;
  if (!client_->OnProcessMessageReceived(shared_from_this(), message)) {
    // No router: nobody can take the query.
    ProcessMessage failure;
    failure.kind = ProcessMessage::Kind::kResponse;
    failure.query_id = id;
    failure.error_code = -1;
    failure.result = "The query has been canceled";
    SendProcessMessage(failure);
  }
}

void QtBrowser::OnCancel(int64_t id) {
  if (closed_)
    return;
  ProcessMessage message;
  message.kind = ProcessMessage::Kind::kCancel;
  message.query_id = id;
  client_->OnProcessMessageReceived(shared_from_this(), message);
}

void QtBrowser::OnFrameLoaded(const QVariantMap& info) {
  if (closed_)
    return;
  if (info.value(QStringLiteral("main")).toBool()) {
    main_frame_->set_name(ToStd(info.value(QStringLiteral("name")).toString()));
    return;
  }
  std::shared_ptr<Frame> frame;
  if (info.value(QStringLiteral("relayed")).toBool()) {
    // A frame of another origin, whose address the top document relayed after
    // checking it against the sender's origin. Only local content (the program's
    // own pages) is believed to have checked; a web page could say anything.
    if (!IsLocalSchemeURL(main_frame_->GetURL()))
      return;
    auto relayed = std::make_shared<QtFrame>(this, std::string(), false);
    relayed->set_name(ToStd(info.value(QStringLiteral("name")).toString()));
    relayed->set_url(ToStd(info.value(QStringLiteral("url")).toString()));
    frame = relayed;
  } else {
    frame = FrameFor(info);
  }
  const std::string url = frame->GetURL();
  if (url.empty())
    return;
  // Qt reports address changes of the main frame only; sub-frames report theirs
  // from the page.
  if (auto handler = client_->GetDisplayHandler())
    handler->OnAddressChange(shared_from_this(), frame, url);
}

bool QtBrowser::OnBeforeBrowse(const QUrl& url, bool is_main_frame) {
  if (closed_)
    return false;
  std::shared_ptr<Frame> frame = main_frame_;
  if (!is_main_frame)
    frame = std::make_shared<QtFrame>(this, std::string(), false);
  else
    sub_frames_.clear();  // the new document replaces every frame
  URLRequest request(UrlText(url));
  if (auto handler = client_->GetRequestHandler())
    return !handler->OnBeforeBrowse(shared_from_this(), frame, request, false);
  return true;
}

}  // namespace engine
