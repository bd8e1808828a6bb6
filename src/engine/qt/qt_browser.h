// The Qt WebEngine backend of Browser, BrowserHost and Frame: one QWebEnginePage
// shown in one QWebEngineView, with a QWebChannel that carries the page's queries.
// The browser owns the page and its view and tells the client of their life;
// routing the documents' queries (DocumentRouter), the page's signals
// (QtPageSignals), popups (QtPopup) and closing (QtCloseProtocol) are its
// collaborators'.
//
// Every member is called on the UI thread.
#ifndef SRC_ENGINE_QT_QT_BROWSER_H_
#define SRC_ENGINE_QT_QT_BROWSER_H_

#include <QPointer>
#include <QWebEngineScript>
#include <memory>
#include <string>
#include <vector>

#include "engine/browser.h"
#include "engine/client.h"
#include "engine/qt/bridge_wire.h"
#include "engine/qt/document_router.h"
#include "engine/qt/qt_close_protocol.h"
#include "engine/qt/sub_frame_loads.h"

class QUrl;
class QWebChannel;
class QWebEngineNewWindowRequest;
class QWebEnginePage;
class QWebEngineView;

namespace engine {

class BridgeObject;
class QtPage;
class QtPopup;

// The script world of the program's own page scripts (the web channel, the
// router); the page's scripts run in the main world and cannot reach it.
constexpr quint32 kBridgeWorldId = QWebEngineScript::ApplicationWorld;

class QtBrowser : public Browser,
                  public BrowserHost,
                  public DocumentScriptRunner,
                  private DocumentRouter::Host,
                  public std::enable_shared_from_this<QtBrowser> {
 public:
  // Creates the view inside |window_info.parent_view| (may be null), in the
  // engine context's profile.
  static std::shared_ptr<QtBrowser> Create(const WindowInfo& window_info,
                                           const std::shared_ptr<Client>& client,
                                           const BrowserSettings& settings);
  ~QtBrowser() override;

  void Load(const std::string& url);
  QWebEnginePage* page() const;
  QWebEngineView* view() const;

  // Browser
  std::shared_ptr<BrowserHost> GetHost() override { return shared_from_this(); }
  std::shared_ptr<Frame> GetMainFrame() override {
    return router_->frames().main_frame();
  }
  int GetIdentifier() const override { return id_; }
  void SendProcessMessage(const ProcessMessage& message) override;
  std::string GetLastScriptError() const override;

  // BrowserHost
  void SetFocus(bool focus) override;
  void SendFocusEvent(bool focus) override { SetFocus(focus); }
  void SetWindowVisibility(bool visible) override;
  void CloseBrowser(bool force_close) override { close_.Close(force_close); }
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

  // From the page's bridge world (BridgeObject): a batch of what its documents
  // did; returns the answers given while it was handled.
  std::vector<BridgeAnswer> OnBatch(std::vector<BridgeEntry> batch) {
    return router_->OnBatch(std::move(batch));
  }
  // From acceptNavigationRequest: true lets the navigation go ahead.
  bool OnBeforeBrowse(const QUrl& url, bool is_main_frame, bool is_redirect);

 private:
  friend class QtCloseProtocol;
  friend class QtPageSignals;
  friend class QtPopup;

  QtBrowser(int id, std::shared_ptr<Client> client);
  // The page, its view (without a parent) and its bridge; not yet known to the
  // client.
  static std::shared_ptr<QtBrowser> Make(const std::shared_ptr<Client>& client,
                                         const BrowserSettings& settings);
  // Places the view as |window_info| says and tells the client the browser exists.
  void Attach(const WindowInfo& window_info);
  // Hands a pending popup to the client, which may refuse it.
  void FinishPopup();

  // DocumentRouter::Host
  std::shared_ptr<Browser> RoutedBrowser() override { return shared_from_this(); }
  bool IsClosed() const override { return closed_; }
  void OnMainDocument(const std::string& name) override;
  void OnFrameAddress(const std::string& url,
                      const std::string& sender_origin,
                      const std::string& name) override;
  void StartProgramRequest(const std::string& key,
                           int64_t page_id,
                           const std::string& request) override;

  // Tells the client the browser goes, and lets its view go.
  void Destroy();

  int id_;
  std::shared_ptr<Client> client_;
  BrowserSettings settings_;
  std::unique_ptr<QtPopup> pending_popup_;  // until the client has decided
  SubFrameLoads sub_frame_loads_;
  QPointer<QWebEngineView> view_;
  QPointer<QtPage> page_;
  QWebChannel* channel_ = nullptr;  // owned by page_
  BridgeObject* bridge_ = nullptr;  // owned by channel_
  std::unique_ptr<DocumentRouter> router_;
  QtCloseProtocol close_{*this};
  bool renderer_gone_ = false;
  bool closed_ = false;
};

}  // namespace engine

#endif  // SRC_ENGINE_QT_QT_BROWSER_H_
