// The one client object that serves every browser of the process: the main browser
// and every popup opened from it (popups inherit their opener's client).
//
// It keeps the browser list (open browsers in creation order), owns the browser
// side of the message router from the first browser to the last, answers the page's
// queries through the command table it was made with, and tells the page, through
// the sink it was made with, when a browser closes or an address changes. The platform
// subclass supplies the two hooks.
//
// It also narrows what the engine would allow, for a desktop window rather than a
// browser: no frame navigates to a "file:" URL; requests to the error-reporting
// service (https, "sentry" in the URL) name their frame in a "Referer" header;
// every download asks for its place; a context menu only over editable fields or
// selected text; only the oldest open browser (the main one) accepts drags.
// Permissions follow client/permission_policy.h; the platform subclass asks the
// user and shows notifications.
//
// Lifetime: held by std::shared_ptr; the engine holds a reference for every browser
// that uses it. The table and the sink must outlive the engine. Every method runs on the
// UI thread, except OnBeforeResourceLoad, which may run on another thread and touches no
// state of the client.
#ifndef SRC_CLIENT_ORBIT_CLIENT_H_
#define SRC_CLIENT_ORBIT_CLIENT_H_

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bridge/bridge_router.h"
#include "client/permission_policy.h"
#include "engine/client.h"
#include "engine/message_router.h"

class PageEventSink;

class OrbitClient : public engine::Client,
                    public engine::DisplayHandler,
                    public engine::LifeSpanHandler,
                    public engine::LoadHandler,
                    public engine::RequestHandler,
                    public engine::KeyboardHandler,
                    public engine::DownloadHandler,
                    public engine::ContextMenuHandler,
                    public engine::DragHandler,
                    public engine::JSDialogHandler,
                    public engine::PermissionHandler,
                    public engine::MessageRouter::Handler,
                    public std::enable_shared_from_this<OrbitClient> {
 public:
  // |page_events| may be null: events are dropped.
  OrbitClient(const BridgeCommandTable& commands, PageEventSink* page_events);
  ~OrbitClient() override;

  // The open browsers, oldest first.
  const std::vector<std::shared_ptr<engine::Browser>>& GetBrowserList() const {
    return browser_list_;
  }
  const std::shared_ptr<engine::MessageRouter>& router() const { return router_; }

  // Whether OnBeforeBrowse refuses every navigation to |url|, whichever frame asks.
  static bool RefusesNavigationTo(const std::string& url);

  // Keeps the user's answers to permission prompts in |memory_path| (empty: for
  // this run only); |app_uses_devices| lets the app ask for camera, microphone,
  // screen and location. Before the first browser.
  void ConfigurePermissions(const std::string& memory_path, bool app_uses_devices);
  PermissionMemory& permission_memory() { return permission_memory_; }

  // Client
  std::shared_ptr<engine::ContextMenuHandler> GetContextMenuHandler() override;
  std::shared_ptr<engine::DisplayHandler> GetDisplayHandler() override;
  std::shared_ptr<engine::DownloadHandler> GetDownloadHandler() override;
  std::shared_ptr<engine::DragHandler> GetDragHandler() override;
  std::shared_ptr<engine::JSDialogHandler> GetJSDialogHandler() override;
  std::shared_ptr<engine::KeyboardHandler> GetKeyboardHandler() override;
  std::shared_ptr<engine::LifeSpanHandler> GetLifeSpanHandler() override;
  std::shared_ptr<engine::LoadHandler> GetLoadHandler() override;
  std::shared_ptr<engine::RequestHandler> GetRequestHandler() override;
  std::shared_ptr<engine::PermissionHandler> GetPermissionHandler() override;
  bool OnProcessMessageReceived(const std::shared_ptr<engine::Browser>& browser,
                                const engine::ProcessMessage& message) override;

  // LifeSpanHandler
  void OnAfterCreated(const std::shared_ptr<engine::Browser>& browser) override;
  void OnBeforeClose(const std::shared_ptr<engine::Browser>& browser) override;

  // RequestHandler
  bool OnBeforeBrowse(const std::shared_ptr<engine::Browser>& browser,
                      const std::shared_ptr<engine::Frame>& frame,
                      const engine::Request& request,
                      bool is_redirect) override;
  engine::ReturnValue OnBeforeResourceLoad(
      const std::shared_ptr<engine::Browser>& browser,
      const std::shared_ptr<engine::Frame>& frame,
      engine::Request& request) override;
  void OnRenderProcessTerminated(const std::shared_ptr<engine::Browser>& browser,
                                 engine::TerminationStatus status) override;
  bool MayRequestAcrossOrigins(const std::shared_ptr<engine::Browser>& browser,
                               const std::shared_ptr<engine::Frame>& frame) override;

  // DownloadHandler
  void OnBeforeDownload(
      const std::shared_ptr<engine::Browser>& browser,
      const engine::DownloadItem& download_item,
      const std::string& suggested_name,
      const std::shared_ptr<engine::BeforeDownloadCallback>& callback) override;

  // ContextMenuHandler
  void OnBeforeContextMenu(const std::shared_ptr<engine::Browser>& browser,
                           const std::shared_ptr<engine::Frame>& frame,
                           const engine::ContextMenuParams& params,
                           engine::MenuModel& model) override;

  // DragHandler
  bool OnDragEnter(const std::shared_ptr<engine::Browser>& browser,
                   const engine::DragData& drag_data,
                   engine::DragOperationsMask mask) override;

  // DisplayHandler
  void OnAddressChange(const std::shared_ptr<engine::Browser>& browser,
                       const std::shared_ptr<engine::Frame>& frame,
                       const std::string& url) override;

  // PermissionHandler
  void OnPermissionRequest(
      const std::shared_ptr<engine::Browser>& browser,
      const std::string& origin,
      engine::Permission permission,
      const std::shared_ptr<engine::PermissionCallback>& callback) override;

  // MessageRouter::Handler
  bool OnQuery(const std::shared_ptr<engine::Browser>& browser,
               const std::shared_ptr<engine::Frame>& frame,
               int64_t query_id,
               const std::string& request,
               bool persistent,
               const std::shared_ptr<engine::MessageRouter::Callback>& callback) override;

 protected:
  // The browser list has just become one entry long.
  virtual void OnFirstBrowserCreated(const std::shared_ptr<engine::Browser>& browser) = 0;
  // The browser list has just become empty.
  virtual void OnLastBrowserClosed() = 0;
  // Asks the user whether the document of |origin| may use |permission|, and
  // calls |answer| once with the reply. The default denies.
  virtual void AskPermission(const std::shared_ptr<engine::Browser>& browser,
                             const std::string& origin,
                             engine::Permission permission,
                             std::function<void(bool)> answer) {
    answer(false);
  }

 private:
  void SendPageEvent(const std::string& name, const rapidjson::Value& payload);

  const BridgeCommandTable& commands_;
  PageEventSink* page_events_;
  std::shared_ptr<engine::MessageRouter> router_;
  std::vector<std::shared_ptr<engine::Browser>> browser_list_;
  PermissionMemory permission_memory_{std::string()};
  bool app_uses_devices_ = false;
};

#endif  // SRC_CLIENT_ORBIT_CLIENT_H_
