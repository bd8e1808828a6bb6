#include "engine/qt/qt_browser.h"

#include <algorithm>
#include <cmath>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QLayout>
#include <QMessageBox>
#include <QTimer>
#include <QWebChannel>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineUrlScheme>
#include <QWebEngineView>

#include "engine/message_router.h"
#include "engine/qt/qt_program_request.h"
#include "engine/qt/qt_request_interceptor.h"
#include "engine/qt/qt_view.h"
#include "engine/thread_check.h"
#include "engine/url_parts.h"

namespace engine {
namespace {

QElapsedTimer& LastUnload() {
  static QElapsedTimer timer;
  return timer;
}

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
// How long the page's pagehide and unload handlers may take once it closes.
constexpr int kUnloadTimeoutMs = 5000;
// Sub-frame navigations remembered until their frames report them.
constexpr size_t kMaxSubFrameLoads = 256;
// How long a new popup may take to tell its target name.
constexpr int kPopupNameTimeoutMs = 3000;

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

QJsonArray BridgeObject::post(const QJsonArray& batch) {
  LUMIO_ASSERT_UI_THREAD();
  if (auto browser = browser_.lock())
    return browser->OnBatch(batch);
  return {};
}

// QtPage

bool QtPage::acceptNavigationRequest(const QUrl& url,
                                     NavigationType type,
                                     bool is_main_frame) {
  auto browser = browser_.lock();
  return !browser ||
         browser->OnBeforeBrowse(url, is_main_frame, type == NavigationTypeRedirect);
}

// QtBrowser

static int NextBrowserId() {
  static int next_id = 0;
  return ++next_id;
}

QtBrowser::QtBrowser(int id, std::shared_ptr<Client> client)
    : id_(id), client_(std::move(client)) {}

QtBrowser::~QtBrowser() = default;

const std::map<int, std::shared_ptr<QtBrowser>>& QtBrowser::OpenBrowsers() {
  return Registry();
}

int64_t QtBrowser::MillisecondsSinceLastUnload() {
  return LastUnload().isValid() ? LastUnload().elapsed() : -1;
}

std::shared_ptr<QtBrowser> QtBrowser::Create(const WindowInfo& window_info,
                                             const std::shared_ptr<Client>& client,
                                             const BrowserSettings& settings,
                                             QWebEngineProfile* profile) {
  std::shared_ptr<QtBrowser> browser = Make(client, settings, profile);
  browser->Attach(window_info);
  return browser;
}

void QtBrowser::Attach(const WindowInfo& window_info) {
  auto* parent = static_cast<QWidget*>(window_info.parent_view);
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
  Registry()[id_] = self;
  if (auto handler = client_->GetLifeSpanHandler())
    handler->OnAfterCreated(self);
}

std::shared_ptr<QtBrowser> QtBrowser::Make(const std::shared_ptr<Client>& client,
                                           const BrowserSettings& settings,
                                           QWebEngineProfile* profile) {
  std::shared_ptr<QtBrowser> browser(new QtBrowser(NextBrowserId(), client));
  browser->settings_ = settings;
  browser->profile_ = profile;
  browser->frames_ =
      std::make_unique<FrameTable>(std::weak_ptr<DocumentScriptRunner>(browser));
  // Without a parent until Attach places it.
  browser->view_ = new QtView(nullptr, browser);
  browser->page_ = new QtPage(profile, browser->view_, browser);
  browser->view_->setPage(browser->page_);
  browser->page_->setUrlRequestInterceptor(
      new QtRequestInterceptor(browser, browser->page_));

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

  QWebEnginePage* page = browser->page_;
  std::weak_ptr<QtBrowser> weak = browser;
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
                              self->frames_->main_frame()->set_url(address);
                              if (auto handler = self->client_->GetDisplayHandler())
                                handler->OnAddressChange(
                                    self, self->frames_->main_frame(), address);
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
    auto self = weak.lock();
    if (!self)
      return;
    if (self->unloading_)
      self->OnUnloaded();
    else
      self->OnCloseRequested(/*run_unload_handlers=*/true);
  });
  QObject::connect(page, &QWebEnginePage::renderProcessTerminated, page,
                   [weak](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                     auto self = weak.lock();
                     if (!self || self->closed_)
                       return;
                     self->renderer_gone_ = true;
                     // Every document went with the renderer.
                     std::vector<int64_t> ended;
                     self->frames_->Clear(&ended);
                     TerminationStatus engine_status = TerminationStatus::kAbnormal;
                     if (status == QWebEnginePage::CrashedTerminationStatus)
                       engine_status = TerminationStatus::kCrashed;
                     else if (status == QWebEnginePage::KilledTerminationStatus)
                       engine_status = TerminationStatus::kKilled;
                     if (auto handler = self->client_->GetRequestHandler())
                       handler->OnRenderProcessTerminated(self, engine_status);
                     // A close that waited for the page goes on without it.
                     if (self->unloading_)
                       self->OnUnloaded();
                     else if (self->close_question_ != 0)
                       self->OnCloseAnswer(self->close_question_, false);
                   });
  QObject::connect(page, &QWebEnginePage::loadStarted, page, [weak] {
    if (auto self = weak.lock())
      self->renderer_gone_ = false;
  });
  QObject::connect(page, &QWebEnginePage::newWindowRequested, page,
                   [weak](QWebEngineNewWindowRequest& request) {
                     if (auto self = weak.lock())
                       self->OnNewWindowRequested(request);
                   });
  return browser;
}

void QtBrowser::OnNewWindowRequested(QWebEngineNewWindowRequest& request) {
  if (closed_)
    return;
  std::shared_ptr<LifeSpanHandler> handler = client_->GetLifeSpanHandler();
  if (!handler)
    return;
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
  WindowOpenDisposition disposition = WindowOpenDisposition::kNewPopup;
  switch (request.destination()) {
    case QWebEngineNewWindowRequest::InNewTab:
      disposition = WindowOpenDisposition::kNewForegroundTab;
      break;
    case QWebEngineNewWindowRequest::InNewBackgroundTab:
      disposition = WindowOpenDisposition::kNewBackgroundTab;
      break;
    case QWebEngineNewWindowRequest::InNewWindow:
      disposition = WindowOpenDisposition::kNewWindow;
      break;
    case QWebEngineNewWindowRequest::InNewDialog:
      disposition = WindowOpenDisposition::kNewPopup;
      break;
  }
  const std::string url = UrlText(request.requestedUrl());
  const bool user_gesture = request.isUserInitiated();
  // A page that is not yet a browser of the client opens nothing: it may be a
  // popup that will be refused.
  if (pending_popup_)
    return;
  // Qt tells neither the target name that the page gave window.open nor which
  // document asked. The new page knows its name (window.name), and its first
  // request names the document that asked (its initiator); so the page is made
  // first, without a window, and the client decides once both are known. A page
  // for any other disposition only serves to learn who asked: it loads nothing.
  std::shared_ptr<QtBrowser> popup = Make(client_, settings_, profile_);
  request.openIn(popup->page_);
  popup->pending_popup_ = std::make_unique<PendingPopup>();
  PendingPopup& pending = *popup->pending_popup_;
  pending.opener = weak_from_this();
  pending.url = url;
  pending.user_gesture = user_gesture;
  pending.features = features;
  pending.disposition = disposition;
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
        PendingPopup& pending = *p->pending_popup_;
        pending.name = values[0].toString().toStdString();
        pending.name_known = true;
        // A page opened without an opener (noopener, links with a target) starts
        // with an opaque origin that names nobody; its first request tells.
        if (values[2].toString() == QLatin1String("about:blank") &&
            values[1].toString() != QLatin1String("null") &&
            !pending.opener_origin_known) {
          pending.opener_origin = values[1].toString().toStdString();
          pending.opener_origin_known = true;
        }
        p->MaybeFinishPopup();
      });
  // What is not known by then stays unknown: the client decides without it.
  QTimer::singleShot(kPopupNameTimeoutMs, popup->page_, [weak_popup] {
    if (auto p = weak_popup.lock())
      p->FinishPopup();
  });
  PendingPopups().push_back(popup);
}

bool QtBrowser::OnPendingPopupRequest(const QUrl& initiator, bool is_main_frame) {
  if (!pending_popup_)
    return true;
  if (is_main_frame && !pending_popup_->opener_origin_known) {
    pending_popup_->opener_origin =
        initiator.isEmpty() ? std::string() : URLOrigin(UrlText(initiator));
    pending_popup_->opener_origin_known = true;
    // Later, not from within the engine's request.
    QTimer::singleShot(0, page_, [weak = weak_from_this()] {
      if (auto self = weak.lock())
        self->MaybeFinishPopup();
    });
  }
  return pending_popup_->disposition == WindowOpenDisposition::kNewPopup;
}

void QtBrowser::MaybeFinishPopup() {
  if (pending_popup_ && pending_popup_->name_known && pending_popup_->opener_origin_known)
    FinishPopup();
}

void QtBrowser::FinishPopup() {
  std::unique_ptr<PendingPopup> pending = std::move(pending_popup_);
  if (!pending)
    return;
  std::shared_ptr<QtBrowser> self = shared_from_this();
  auto& pendings = PendingPopups();
  pendings.erase(std::remove(pendings.begin(), pendings.end(), self), pendings.end());
  std::shared_ptr<QtBrowser> opener = pending->opener.lock();
  std::shared_ptr<LifeSpanHandler> handler = client_->GetLifeSpanHandler();
  // The document that asked, as far as it is known (an empty origin when not).
  // A page opened without an opener does not tell; it can only have come from
  // the main document when no frame of another origin was ever in the page.
  std::shared_ptr<Frame> opener_frame;
  if (opener) {
    std::shared_ptr<PageFrame> main = opener->frames_->main_frame();
    if (!pending->opener_origin_known && !opener->foreign_frames_) {
      pending->opener_origin = main->GetSecurityOrigin();
      pending->opener_origin_known = true;
    }
    if (pending->opener_origin_known &&
        pending->opener_origin == main->GetSecurityOrigin()) {
      opener_frame = main;
    } else {
      auto frame = std::make_shared<PageFrame>(opener, /*is_main=*/false);
      frame->SetDocument(std::string(), pending->opener_origin);
      opener_frame = frame;
    }
  }
  WindowInfo window_info;
  window_info.x = pending->features.x;
  window_info.y = pending->features.y;
  window_info.width = pending->features.width;
  window_info.height = pending->features.height;
  const bool is_popup = pending->disposition == WindowOpenDisposition::kNewPopup;
  if (!opener || opener->closed_ || !handler ||
      handler->OnBeforePopup(opener, opener_frame, pending->url, pending->name,
                             pending->disposition, pending->user_gesture,
                             pending->features, window_info) ||
      !is_popup) {
    // Refused, or not a window of ours: the page goes without ever having been a
    // browser of the client.
    closed_ = true;
    if (view_)
      view_->deleteLater();
    return;
  }
  // The name is the one it was opened with, whatever its pages set later.
  frames_->main_frame()->set_name(pending->name);
  name_fixed_ = true;
  Attach(window_info);
}

std::vector<std::shared_ptr<QtBrowser>>& QtBrowser::PendingPopups() {
  static std::vector<std::shared_ptr<QtBrowser>> pending;
  return pending;
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
  QJsonArray& answers = batch_answers_ ? *batch_answers_ : later_answers_;
  if (!batch_answers_ && later_answers_.isEmpty()) {
    QTimer::singleShot(0, bridge_, [weak = weak_from_this()] {
      if (auto browser = weak.lock())
        browser->FlushAnswers();
    });
  }
  answers.append(QString::fromStdString(key));
  answers.append(static_cast<double>(page_id));
  answers.append(success);
  answers.append(code);
  answers.append(QString::fromStdString(text));
}

void QtBrowser::FlushAnswers() {
  QJsonArray answers;
  answers.swap(later_answers_);
  if (!closed_ && bridge_ && !answers.isEmpty())
    emit bridge_->responses(answers);
}

void QtBrowser::SendAnswersNow() {
  if (batch_answers_) {
    for (const QJsonValue answer : std::as_const(*batch_answers_))
      later_answers_.append(answer);
    *batch_answers_ = QJsonArray();
  }
  FlushAnswers();
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
  // A new request to close puts the question again, so that a quit can decide it.
  DismissLeaveQuestion();
  // A page without a renderer cannot be asked.
  if (force_close || renderer_gone_) {
    OnCloseRequested(/*run_unload_handlers=*/false);
    return;
  }
  if (close_question_ != 0 || unloading_)
    return;  // the page is being asked already
  // Qt's RequestClose runs the page's unload handlers along with the question and
  // leaves the page hidden for good, but the client may keep the browser (DoClose),
  // as the main window does. So only the beforeunload question is put to the page
  // here; the unload handlers run once the browser really closes.
  const int question = ++close_questions_;
  close_question_ = question;
  std::weak_ptr<QtBrowser> weak = shared_from_this();
  page_->runJavaScript(QString::fromUtf8(kBeforeUnloadScript), kBridgeWorldId,
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
    bool leave = false;
    auto handler = client_->GetJSDialogHandler();
    if (!handler || !handler->OnBeforeUnloadDialog(shared_from_this(), leave)) {
      AskWhetherToLeave();
      return;
    }
    if (!leave)
      return;
  }
  OnCloseRequested(/*run_unload_handlers=*/true);
}

void QtBrowser::AskWhetherToLeave() {
  // Window-modal and answered through a signal, not a nested event loop: the
  // window may go while the question is open (a quit closes it), and the box,
  // its child, goes with it.
  auto* box = new QMessageBox(
      QMessageBox::Question, QStringLiteral("Leave page?"),
      QStringLiteral("Changes you made may not be saved."),
      QMessageBox::StandardButtons(QMessageBox::Yes | QMessageBox::Cancel),
      view_->window());
  box->setDefaultButton(QMessageBox::Cancel);
  leave_question_ = box;
  std::weak_ptr<QtBrowser> weak = shared_from_this();
  QObject::connect(box, &QDialog::finished, box, [weak, box](int) {
    box->deleteLater();
    auto self = weak.lock();
    if (!self || self->leave_question_ != box)
      return;  // dismissed
    self->leave_question_ = nullptr;
    if (box->standardButton(box->clickedButton()) == QMessageBox::Yes)
      self->OnCloseRequested(/*run_unload_handlers=*/true);
  });
  box->open();
}

void QtBrowser::DismissLeaveQuestion() {
  QPointer<QMessageBox> box = leave_question_;
  leave_question_ = nullptr;
  if (box) {
    box->hide();
    box->deleteLater();
  }
}

void* QtBrowser::GetWindowHandle() {
  return view_.data();
}

void QtBrowser::OnCloseRequested(bool run_unload_handlers) {
  if (closed_ || unloading_)
    return;
  DismissLeaveQuestion();  // the page goes (or stays) without it
  std::shared_ptr<QtBrowser> self = shared_from_this();
  if (auto handler = client_->GetLifeSpanHandler()) {
    if (handler->DoClose(self))
      return;
  }
  if (!run_unload_handlers || renderer_gone_ || !page_) {
    OnUnloaded();
    return;
  }
  // The page has agreed to close already: its pagehide and unload handlers run
  // now, without asking again, and the window goes when they are done.
  unloading_ = true;
  std::weak_ptr<QtBrowser> weak = self;
  page_->runJavaScript(QStringLiteral("window.__lumioClosing && window.__lumioClosing()"),
                       kBridgeWorldId, [weak](const QVariant&) {
                         auto browser = weak.lock();
                         if (browser && browser->unloading_ && browser->page_)
                           browser->page_->triggerAction(QWebEnginePage::RequestClose);
                       });
  QTimer::singleShot(kUnloadTimeoutMs, page_, [weak] {
    if (auto browser = weak.lock())
      browser->OnUnloaded();
  });
}

void QtBrowser::OnUnloaded() {
  if (closed_)
    return;
  if (unloading_)
    LastUnload().start();
  unloading_ = false;
  std::shared_ptr<QtBrowser> self = shared_from_this();
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
  DismissLeaveQuestion();
  if (view_) {
    view_->hide();
    view_->setParent(nullptr);
    view_->deleteLater();  // takes the page, the channel and the bridge with it
  }
  Registry().erase(id_);
}

void QtBrowser::RunScriptInDocument(const std::string& document_key,
                                    bool main,
                                    const std::string& code) {
  if (closed_ || !page_)
    return;
  // The page hears of its queries' answers before anything that came after them.
  SendAnswersNow();
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

QJsonArray QtBrowser::OnBatch(const QJsonArray& batch) {
  QJsonArray answers;
  if (closed_)
    return answers;
  std::shared_ptr<QtBrowser> self = shared_from_this();
  // A command may run a nested event loop (a dialog) in which another batch
  // arrives; each batch keeps its own answers.
  QJsonArray* outer = batch_answers_;
  batch_answers_ = &answers;
  for (const QJsonValue value : batch) {
    if (closed_)
      break;
    const QJsonArray entry = value.toArray();
    const QString kind = entry.at(0).toString();
    const QJsonValue first = entry.at(1);
    int64_t page_id = 0;
    if (kind == QLatin1String("q")) {
      if (first.isString() && entry.at(2).isDouble() && entry.at(3).isString() &&
          ToQueryId(entry.at(2).toDouble(), page_id))
        OnQuery(ToStd(first.toString()), page_id, ToStd(entry.at(3).toString()),
                entry.at(4).toBool());
    } else if (kind == QLatin1String("n")) {
      if (first.isString() && entry.at(2).isDouble() && entry.at(3).isString() &&
          ToQueryId(entry.at(2).toDouble(), page_id))
        OnProgramRequest(ToStd(first.toString()), page_id, entry.at(3).toString());
    } else if (kind == QLatin1String("c")) {
      if (first.isString() && entry.at(2).isDouble() &&
          ToQueryId(entry.at(2).toDouble(), page_id))
        OnCancel(ToStd(first.toString()), page_id);
    } else if (kind == QLatin1String("d")) {
      const QJsonObject document = first.toObject();
      FrameTable::Announcement announcement;
      announcement.key = ToStd(document.value(QLatin1String("key")).toString());
      announcement.main = document.value(QLatin1String("main")).toBool();
      announcement.origin = ToStd(document.value(QLatin1String("origin")).toString());
      announcement.url = ToStd(document.value(QLatin1String("url")).toString());
      announcement.name = ToStd(document.value(QLatin1String("name")).toString());
      OnDocumentCreated(announcement);
    } else if (kind == QLatin1String("g")) {
      if (first.isString())
        OnDocumentGone(ToStd(first.toString()));
    } else if (kind == QLatin1String("a")) {
      const QJsonObject report = first.toObject();
      OnFrameAddress(ToStd(report.value(QLatin1String("url")).toString()),
                     ToStd(report.value(QLatin1String("senderOrigin")).toString()),
                     ToStd(report.value(QLatin1String("name")).toString()));
    }
  }
  batch_answers_ = outer;
  return answers;
}

void QtBrowser::OnDocumentCreated(const FrameTable::Announcement& document) {
  if (closed_)
    return;
  std::shared_ptr<QtBrowser> self = shared_from_this();
  if (pending_popup_ && document.main) {
    // Its own document is here: what was not learnt by now is not known.
    if (!pending_popup_->name_known) {
      pending_popup_->name = document.name;
      pending_popup_->name_known = true;
    }
    FinishPopup();
  }
  if (closed_)
    return;
  std::vector<int64_t> ended;
  FrameTable::Announcement announced = document;
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
                                 const QString& request) {
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
  StartProgramRequest(
      request, page_, [weak, key, page_id](bool ok, const QString& answer) {
        if (auto self = weak.lock())
          self->Respond(key, page_id, ok, ok ? 0 : -1, answer.toStdString());
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
  const auto load = std::find(sub_frame_loads_.begin(), sub_frame_loads_.end(), loaded);
  if (load == sub_frame_loads_.end())
    return;
  sub_frame_loads_.erase(load);
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
  if (is_main_frame) {
    foreign_frames_ = false;
  } else {
    // A frame of another origin reports its address from the page; only an
    // address that a frame of this page really went to is believed, once.
    const std::string address = UrlText(url);
    sub_frame_loads_.push_back(address);
    if (sub_frame_loads_.size() > kMaxSubFrameLoads)
      sub_frame_loads_.pop_front();
    // An empty document has its parent's origin; anything else of another
    // origin than the page (srcdoc and data: included) is foreign.
    if (address != "about:blank" &&
        URLOrigin(address) != frames_->main_frame()->GetSecurityOrigin())
      foreign_frames_ = true;
  }
  return true;
}

}  // namespace engine
