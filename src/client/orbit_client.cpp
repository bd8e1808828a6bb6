#include "client/orbit_client.h"

#include <rapidjson/document.h>

#include "bridge/bridge_router.h"
#include "bridge/page_event.h"
#include "lumio_protocol.h"

namespace {

// The URL rules compare the UTF-8 text of the URL exactly, case included.

bool IsFileURL(const std::string& url) {
  return url.rfind("file:", 0) == 0;
}

// The error-reporting service, reached over https only.
bool IsErrorReportingURL(const std::string& url) {
  return url.rfind("https://", 0) == 0 && url.find("sentry") != std::string::npos;
}

constexpr char kRefererHeader[] = "Referer";

}  // namespace

OrbitClient::OrbitClient(const BridgeCommandTable& commands, PageEventSink* page_events)
    : commands_(commands), page_events_(page_events) {}

OrbitClient::~OrbitClient() {
  if (router_)
    router_->RemoveHandler(this);
}

std::shared_ptr<engine::ContextMenuHandler> OrbitClient::GetContextMenuHandler() {
  return shared_from_this();
}
std::shared_ptr<engine::DisplayHandler> OrbitClient::GetDisplayHandler() {
  return shared_from_this();
}
std::shared_ptr<engine::DownloadHandler> OrbitClient::GetDownloadHandler() {
  return shared_from_this();
}
std::shared_ptr<engine::DragHandler> OrbitClient::GetDragHandler() {
  return shared_from_this();
}
std::shared_ptr<engine::JSDialogHandler> OrbitClient::GetJSDialogHandler() {
  return shared_from_this();
}
std::shared_ptr<engine::KeyboardHandler> OrbitClient::GetKeyboardHandler() {
  return shared_from_this();
}
std::shared_ptr<engine::LifeSpanHandler> OrbitClient::GetLifeSpanHandler() {
  return shared_from_this();
}
std::shared_ptr<engine::LoadHandler> OrbitClient::GetLoadHandler() {
  return shared_from_this();
}
std::shared_ptr<engine::RequestHandler> OrbitClient::GetRequestHandler() {
  return shared_from_this();
}

std::shared_ptr<engine::PermissionHandler> OrbitClient::GetPermissionHandler() {
  return shared_from_this();
}

bool OrbitClient::OnProcessMessageReceived(
    const std::shared_ptr<engine::Browser>& browser,
    const engine::ProcessMessage& message) {
  // A command may close the last browser, which releases the router: hold it
  // until the call returns.
  std::shared_ptr<engine::MessageRouter> router = router_;
  if (!router)
    return false;
  return router->OnProcessMessageReceived(browser, message);
}

void OrbitClient::OnAfterCreated(const std::shared_ptr<engine::Browser>& browser) {
  if (!router_) {
    router_ = engine::MessageRouter::Create();
    router_->AddHandler(this, false);
  }
  browser_list_.push_back(browser);
  if (browser_list_.size() == 1)
    OnFirstBrowserCreated(browser);
  browser->GetHost()->SendFocusEvent(true);
}

void OrbitClient::OnBeforeClose(const std::shared_ptr<engine::Browser>& browser) {
  // |browser| may be an entry of the browser list, which goes below.
  // NOLINTNEXTLINE(performance-unnecessary-copy-initialization)
  std::shared_ptr<engine::Browser> closing = browser;
  if (router_)
    router_->OnBeforeClose(closing);

  for (auto it = browser_list_.begin(); it != browser_list_.end(); ++it) {
    if ((*it)->IsSame(closing)) {
      browser_list_.erase(it);
      break;
    }
  }

  rapidjson::Document payload(rapidjson::kObjectType);
  std::string name;
  if (auto frame = closing->GetMainFrame())
    name = frame->GetName();
  payload.AddMember("name",
                    rapidjson::Value(name.c_str(), name.size(), payload.GetAllocator()),
                    payload.GetAllocator());
  SendPageEvent(page_event::kOrbitBrowserWillClose, payload);

  if (browser_list_.empty()) {
    if (router_) {
      router_->RemoveHandler(this);
      router_.reset();
    }
    OnLastBrowserClosed();
  } else if (browser_list_.size() == 1) {
    // Closing a popup hands the focus back to the window that remains.
    browser_list_.front()->GetHost()->SetFocus(true);
  }
}

bool OrbitClient::RefusesNavigationTo(const std::string& url) {
  return IsFileURL(url);
}

bool OrbitClient::OnBeforeBrowse(const std::shared_ptr<engine::Browser>& browser,
                                 const std::shared_ptr<engine::Frame>& frame,
                                 const engine::Request& request,
                                 bool is_redirect) {
  // Local files are not the pages' business, whichever frame asks and however
  // (a link, a script, a redirect, a file dropped on the page). The navigation
  // never happens, so the router keeps the page's queries.
  if (RefusesNavigationTo(request.GetURL()))
    return true;
  if (router_)
    router_->OnBeforeBrowse(browser, frame);
  return false;
}

engine::ReturnValue OrbitClient::OnBeforeResourceLoad(
    const std::shared_ptr<engine::Browser>& browser,
    const std::shared_ptr<engine::Frame>& frame,
    engine::Request& request) {
  if (!IsErrorReportingURL(request.GetURL()))
    return engine::ReturnValue::kContinue;
  // The service tells reports apart by the page that sent them. A frame whose
  // address is unknown names nothing.
  const std::string frame_url = frame ? frame->GetURL() : std::string();
  if (frame_url.empty())
    return engine::ReturnValue::kContinue;
  engine::HeaderMap headers;
  request.GetHeaderMap(headers);
  if (headers.find(kRefererHeader) != headers.end())
    return engine::ReturnValue::kContinue;
  headers.emplace(kRefererHeader, frame_url);
  request.SetHeaderMap(headers);
  return engine::ReturnValue::kContinue;
}

void OrbitClient::OnBeforeDownload(
    const std::shared_ptr<engine::Browser>& browser,
    const engine::DownloadItem& download_item,
    const std::string& suggested_name,
    const std::shared_ptr<engine::BeforeDownloadCallback>& callback) {
  // Nothing is saved where the user has not chosen.
  callback->Continue(std::string(), /*show_dialog=*/true);
}

void OrbitClient::OnBeforeContextMenu(const std::shared_ptr<engine::Browser>& browser,
                                      const std::shared_ptr<engine::Frame>& frame,
                                      const engine::ContextMenuParams& params,
                                      engine::MenuModel& model) {
  // Cut, copy and paste where they apply; the rest of the engine's menu (back,
  // reload, view source, save image) belongs to a browser, not to this window.
  if (params.IsEditable() || !params.GetSelectionText().empty())
    return;
  model.Clear();
}

bool OrbitClient::OnDragEnter(const std::shared_ptr<engine::Browser>& browser,
                              const engine::DragData& drag_data,
                              engine::DragOperationsMask mask) {
  // Only the oldest open browser takes drops: the main one while it is open, so
  // never a popup beside it.
  if (browser_list_.empty())
    return true;
  return !browser_list_.front()->IsSame(browser);
}

void OrbitClient::OnRenderProcessTerminated(
    const std::shared_ptr<engine::Browser>& browser,
    engine::TerminationStatus status) {
  if (router_)
    router_->OnRenderProcessTerminated(browser);
}

bool OrbitClient::MayRequestAcrossOrigins(const std::shared_ptr<engine::Browser>& browser,
                                          const std::shared_ptr<engine::Frame>& frame) {
  // The app's own documents call its servers whatever headers those send; every
  // other document keeps the web's rules.
  return IsAppDocument(frame);
}

void OrbitClient::OnAddressChange(const std::shared_ptr<engine::Browser>& browser,
                                  const std::shared_ptr<engine::Frame>& frame,
                                  const std::string& url) {
  rapidjson::Document payload(rapidjson::kObjectType);
  payload.AddMember("url",
                    rapidjson::Value(url.c_str(), url.size(), payload.GetAllocator()),
                    payload.GetAllocator());
  SendPageEvent(page_event::kOrbitBrowserOnAddressChange, payload);
}

bool OrbitClient::OnQuery(
    const std::shared_ptr<engine::Browser>& browser,
    const std::shared_ptr<engine::Frame>& frame,
    int64_t query_id,
    const std::string& request,
    bool persistent,
    const std::shared_ptr<engine::MessageRouter::Callback>& callback) {
  return DispatchBridgeQuery(commands_, browser, frame, query_id, request, persistent,
                             callback);
}

void OrbitClient::ConfigurePermissions(const std::string& memory_path,
                                       bool app_uses_devices) {
  permission_memory_ = PermissionMemory(memory_path);
  app_uses_devices_ = app_uses_devices;
}

void OrbitClient::OnPermissionRequest(
    const std::shared_ptr<engine::Browser>& browser,
    const std::string& origin,
    engine::Permission permission,
    const std::shared_ptr<engine::PermissionCallback>& callback) {
  switch (DecidePermission(permission, origin, app_uses_devices_)) {
    case PermissionAnswer::kGrant:
      callback->Continue(true);
      return;
    case PermissionAnswer::kDeny:
      callback->Continue(false);
      return;
    case PermissionAnswer::kAsk:
      break;
  }
  if (std::optional<bool> remembered = permission_memory_.Get(origin, permission)) {
    callback->Continue(*remembered);
    return;
  }
  std::weak_ptr<OrbitClient> weak = weak_from_this();
  AskPermission(browser, origin, permission,
                [weak, origin, permission, callback](bool granted) {
                  if (auto self = weak.lock())
                    self->permission_memory_.Remember(origin, permission, granted);
                  callback->Continue(granted);
                });
}

void OrbitClient::SendPageEvent(const std::string& name,
                                const rapidjson::Value& payload) {
  ::SendPageEvent(page_events_, name, payload);
}
