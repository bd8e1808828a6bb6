// The Qt WebEngine backend of Browser, BrowserHost and Frame: one QWebEnginePage
// shown in one QWebEngineView, with a QWebChannel that carries the page's queries.
#ifndef SRC_ENGINE_QT_QT_BROWSER_H_
#define SRC_ENGINE_QT_QT_BROWSER_H_

#include <QJsonArray>
#include <QObject>
#include <QPointer>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/browser.h"
#include "engine/client.h"
#include "engine/qt/frame_table.h"

class QMessageBox;
class QWebChannel;
class QWebEngineNewWindowRequest;
class QWebEngineProfile;

namespace engine {

class QtBrowser;

// The script world of the program's own page scripts (the web channel, the
// router); the page's scripts run in the main world and cannot reach it.
constexpr quint32 kBridgeWorldId = QWebEngineScript::ApplicationWorld;

// The object the page's router script talks to over the web channel. Lives in the
// browser process, on the UI thread; one per page. Only the top frame's bridge
// world holds the channel's transport, so everything that arrives here was sent
// by the program's own script.
//
// The router sends what its documents did in one turn of the page's event loop
// as one batch, in order: each entry an array whose first member says what it is
//   ["d", {key, main, origin, url, name}]  a document announced itself
//   ["g", key]                             a document has gone
//   ["q", key, id, request, persistent]    a query
//   ["c", key, id]                         a query cancelled
//   ["a", {url, senderOrigin, name}]       a frame of another origin reported its address
// Answers are flat runs of five members: key, id, success, code, text. Those given
// while the batch is handled come back as the batch's result; later ones are
// gathered for a turn of the browser's event loop and sent as one signal. Either
// way, answers go ahead of any script the browser runs in the page after them.
class BridgeObject : public QObject {
  Q_OBJECT
 public:
  explicit BridgeObject(std::weak_ptr<QtBrowser> browser)
      : browser_(std::move(browser)) {}

  Q_INVOKABLE QJsonArray post(const QJsonArray& batch);

 signals:
  void responses(const QJsonArray& answers);

 private:
  // The page's objects may outlive the browser by a turn of the event loop.
  std::weak_ptr<QtBrowser> browser_;
};

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

class QtBrowser : public Browser,
                  public BrowserHost,
                  public DocumentScriptRunner,
                  public std::enable_shared_from_this<QtBrowser> {
 public:
  // Creates the view inside |window_info.parent_view| (may be null).
  static std::shared_ptr<QtBrowser> Create(const WindowInfo& window_info,
                                           const std::shared_ptr<Client>& client,
                                           const BrowserSettings& settings,
                                           QWebEngineProfile* profile);
  ~QtBrowser() override;

  // Every browser that has not closed yet, by identifier.
  static const std::map<int, std::shared_ptr<QtBrowser>>& OpenBrowsers();
  // Since a page's unload handlers last finished; -1 when none ever ran.
  static int64_t MillisecondsSinceLastUnload();

  void Load(const std::string& url);
  QWebEnginePage* page() const { return page_; }
  QWebEngineView* view() const { return view_; }

  // Browser
  std::shared_ptr<BrowserHost> GetHost() override { return shared_from_this(); }
  std::shared_ptr<Frame> GetMainFrame() override { return frames_->main_frame(); }
  int GetIdentifier() const override { return id_; }
  void SendProcessMessage(const ProcessMessage& message) override;

  // BrowserHost
  void SetFocus(bool focus) override;
  void SendFocusEvent(bool focus) override { SetFocus(focus); }
  void SetWindowVisibility(bool visible) override;
  void CloseBrowser(bool force_close) override;
  std::shared_ptr<Client> GetClient() override { return client_; }
  NativeView* GetWindowHandle() override;

  // DocumentScriptRunner
  void RunScriptInDocument(const std::string& document_key,
                           bool main,
                           const std::string& code) override;

  // A page opened by another that the client has not decided on yet: the first
  // request of its main frame names the document that asked (|initiator|).
  // Returns whether the request may go on: a page that only serves to learn who
  // asked loads nothing.
  bool OnPendingPopupRequest(const QUrl& initiator, bool is_main_frame);
  bool IsPendingPopup() const { return pending_popup_ != nullptr; }

  // From the page's bridge world: a batch of what its documents did (see
  // BridgeObject); returns the answers given while it was handled.
  QJsonArray OnBatch(const QJsonArray& batch);
  void OnDocumentCreated(const FrameTable::Announcement& document);
  void OnDocumentGone(const std::string& key);
  // |request| is taken by value: it can be megabytes, and is moved on, not copied.
  void OnQuery(const std::string& key,
               int64_t page_id,
               std::string request,
               bool persistent);
  void OnCancel(const std::string& key, int64_t page_id);
  // A cross-origin request that the engine refused the document |key|; sent
  // again by the program when the client trusts that document.
  void OnProgramRequest(const std::string& key, int64_t page_id, const QString& request);
  void OnFrameAddress(const std::string& url,
                      const std::string& sender_origin,
                      const std::string& name);
  // From acceptNavigationRequest: true lets the navigation go ahead.
  bool OnBeforeBrowse(const QUrl& url, bool is_main_frame, bool is_redirect);

 private:
  QtBrowser(int id, std::shared_ptr<Client> client);
  // The page, its view (without a parent) and its bridge; not yet known to the
  // client.
  static std::shared_ptr<QtBrowser> Make(const std::shared_ptr<Client>& client,
                                         const BrowserSettings& settings,
                                         QWebEngineProfile* profile);
  // Places the view as |window_info| says and tells the client the browser exists.
  void Attach(const WindowInfo& window_info);
  void OnNewWindowRequested(QWebEngineNewWindowRequest& request);
  // Hands the new page to the client once its name and opener are known; the
  // client may refuse it.
  void MaybeFinishPopup();
  void FinishPopup();
  // Popups made but not yet given to the client, kept alive until then.
  static std::vector<std::shared_ptr<QtBrowser>>& PendingPopups();
  // Tells the router that these queries have ended with their documents.
  void CancelInRouter(const std::vector<int64_t>& router_ids);
  void Respond(const std::string& key,
               int64_t page_id,
               bool success,
               int code,
               const std::string& text);
  // Sends the answers gathered since the last turn of the event loop.
  void FlushAnswers();
  // Sends every answer given so far, those of the batch being handled too, ahead
  // of what the browser sends the page next.
  void SendAnswersNow();
  // The page's answer to the question that CloseBrowser put to it.
  void OnCloseAnswer(int question, bool page_asks_to_stay);
  // The page asks to stay: the user decides, in a box on the browser's window.
  void AskWhetherToLeave();
  // Closes that box, if open, as if it had never been asked.
  void DismissLeaveQuestion();
  // The page agreed to close (or was forced to): the client decides.
  void OnCloseRequested(bool run_unload_handlers);
  // The page's unload handlers have run (or could not): the window goes.
  void OnUnloaded();
  void Destroy();

  struct PendingPopup {
    std::weak_ptr<QtBrowser> opener;
    std::string url;
    bool user_gesture = false;
    PopupFeatures features;
    WindowOpenDisposition disposition = WindowOpenDisposition::kNewPopup;
    std::string name;  // the target name given to window.open
    bool name_known = false;
    std::string opener_origin;  // of the document that asked; empty if none said
    bool opener_origin_known = false;
  };

  int id_;
  std::shared_ptr<Client> client_;
  BrowserSettings settings_;
  QWebEngineProfile* profile_ = nullptr;
  std::unique_ptr<PendingPopup> pending_popup_;  // until the client has decided
  bool name_fixed_ = false;  // a popup keeps the name it was opened with
  // Addresses that sub-frames went to and have not reported yet, oldest first.
  std::deque<std::string> sub_frame_loads_;
  // Whether a frame of another origin than the main document's was ever shown
  // since the main frame last navigated.
  bool foreign_frames_ = false;
  QPointer<QWebEngineView> view_;
  QPointer<QtPage> page_;
  QWebChannel* channel_ = nullptr;  // owned by page_
  BridgeObject* bridge_ = nullptr;  // owned by channel_
  std::unique_ptr<FrameTable> frames_;
  QJsonArray* batch_answers_ = nullptr;  // while a batch is handled
  QJsonArray later_answers_;             // given since, until they are sent
  bool renderer_gone_ = false;
  int close_question_ = 0;   // the close question awaiting an answer, or 0
  int close_questions_ = 0;  // close questions put so far
  bool unloading_ = false;   // the page's unload handlers are running
  // The user's question, open until answered or dismissed.
  QPointer<QMessageBox> leave_question_;
  bool closed_ = false;
};

}  // namespace engine

#endif  // SRC_ENGINE_QT_QT_BROWSER_H_
