// The client and its handlers: how the engine asks the program what to do with a
// browser. Shaped after CEF's CefClient family; every method has a default that
// leaves the engine's own behaviour in place. Unless stated otherwise the engine
// calls them on the UI (main) thread.
#ifndef SRC_ENGINE_CLIENT_H_
#define SRC_ENGINE_CLIENT_H_

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/browser.h"

namespace engine {

// A request's headers: name to value, names compared exactly; a name may repeat.
using HeaderMap = std::multimap<std::string, std::string>;

class Request {
 public:
  virtual ~Request() = default;
  virtual std::string GetURL() const = 0;
  // The headers the request carries so far, as far as the engine can tell.
  virtual void GetHeaderMap(HeaderMap& headers) const { headers.clear(); }
  // Replaces the request's headers with |headers|.
  virtual void SetHeaderMap(const HeaderMap& headers) {}
};

// A request known only by its address.
class URLRequest : public Request {
 public:
  explicit URLRequest(std::string url) : url_(std::move(url)) {}
  std::string GetURL() const override { return url_; }

 private:
  std::string url_;
};

// Where a page asked to open a new document.
enum class WindowOpenDisposition {
  kUnknown,
  kCurrentTab,
  kNewForegroundTab,
  kNewBackgroundTab,
  kNewPopup,
  kNewWindow,
};

struct PopupFeatures {
  int x = 0, y = 0, width = 0, height = 0;
  bool x_set = false, y_set = false, width_set = false, height_set = false;
};

// Where and how a browser's view is created.
struct WindowInfo {
  NativeView* parent_view = nullptr;
  int x = 0, y = 0, width = 0, height = 0;
};

// Every document keeps the engine's same-origin rules: Chromium can turn web
// security off only for the whole process, which would hand every frame of the
// web the program's powers. Local content (the program's own scheme) may reach
// remote and file: addresses through |universal_access_from_file_urls|, and the
// program sends cross-origin requests for the documents its client trusts
// (RequestHandler::MayRequestAcrossOrigins). Standalone images shrink to fit by
// the engine's default.
struct BrowserSettings {
  bool universal_access_from_file_urls = false;
};

class LifeSpanHandler {
 public:
  virtual ~LifeSpanHandler() = default;
  // Called for every new-window request; return true to cancel it. May be called
  // on a thread other than the UI thread.
  virtual bool OnBeforePopup(const std::shared_ptr<Browser>& browser,
                             const std::shared_ptr<Frame>& frame,
                             const std::string& target_url,
                             const std::string& target_frame_name,
                             WindowOpenDisposition disposition,
                             bool user_gesture,
                             const PopupFeatures& features,
                             WindowInfo& window_info) {
    return false;
  }
  virtual void OnAfterCreated(const std::shared_ptr<Browser>& browser) {}
  // The page agreed to close. Return true to keep the window (the client closes it
  // itself, or not at all); false lets the engine close the browser's window.
  virtual bool DoClose(const std::shared_ptr<Browser>& browser) { return false; }
  virtual void OnBeforeClose(const std::shared_ptr<Browser>& browser) {}
};

class DisplayHandler {
 public:
  virtual ~DisplayHandler() = default;
  virtual void OnAddressChange(const std::shared_ptr<Browser>& browser,
                               const std::shared_ptr<Frame>& frame,
                               const std::string& url) {}
  virtual void OnTitleChange(const std::shared_ptr<Browser>& browser,
                             const std::string& title) {}
};

enum class TerminationStatus { kAbnormal, kKilled, kCrashed };

// What becomes of a request after OnBeforeResourceLoad.
enum class ReturnValue { kCancel, kContinue };

class RequestHandler {
 public:
  virtual ~RequestHandler() = default;
  // A frame is about to navigate, redirects included. Return true to cancel the
  // navigation.
  virtual bool OnBeforeBrowse(const std::shared_ptr<Browser>& browser,
                              const std::shared_ptr<Frame>& frame,
                              const Request& request,
                              bool is_redirect) {
    return false;
  }
  // A request of |frame| (a navigation or a resource) is about to be sent; its
  // headers may still change. CEF calls this on its IO thread and the Qt backend
  // on the UI thread, so implementations read only their arguments.
  virtual ReturnValue OnBeforeResourceLoad(const std::shared_ptr<Browser>& browser,
                                           const std::shared_ptr<Frame>& frame,
                                           Request& request) {
    return ReturnValue::kContinue;
  }
  virtual void OnRenderProcessTerminated(const std::shared_ptr<Browser>& browser,
                                         TerminationStatus status) {}
  // Whether the document shown in |frame| may have the program send requests to
  // other origins for it, past the same-origin rules that the engine keeps for
  // every document. Only documents the program trusts as its own should.
  virtual bool MayRequestAcrossOrigins(const std::shared_ptr<Browser>& browser,
                                       const std::shared_ptr<Frame>& frame) {
    return false;
  }
};

class LoadHandler {
 public:
  virtual ~LoadHandler() = default;
};

// No method: no key event is taken from the page, so the engine and the page
// see every key.
class KeyboardHandler {
 public:
  virtual ~KeyboardHandler() = default;
};

class DownloadItem {
 public:
  virtual ~DownloadItem() = default;
  virtual std::string GetURL() const = 0;
  virtual std::string GetMimeType() const = 0;
};

class BeforeDownloadCallback {
 public:
  virtual ~BeforeDownloadCallback() = default;
  // Lets the download go ahead into |download_path| (a full file path; empty for
  // the suggested name, made a bare safe file name, in the user's download
  // folder). With |show_dialog| the engine first shows its save dialog, in the
  // download folder with that name; cancelling the dialog cancels the download.
  virtual void Continue(const std::string& download_path, bool show_dialog) = 0;
};

class DownloadHandler {
 public:
  virtual ~DownloadHandler() = default;
  // A download is about to start. It is cancelled unless the handler calls
  // |callback|'s Continue before it returns (Qt asks for the decision at once).
  virtual void OnBeforeDownload(const std::shared_ptr<Browser>& browser,
                                const DownloadItem& download_item,
                                const std::string& suggested_name,
                                const std::shared_ptr<BeforeDownloadCallback>& callback) {
  }
};

// Where the user asked for a context menu.
class ContextMenuParams {
 public:
  virtual ~ContextMenuParams() = default;
  // Over a field the user can type in.
  virtual bool IsEditable() const = 0;
  // The selected text, empty when nothing is selected.
  virtual std::string GetSelectionText() const = 0;
};

// The items of the menu about to be shown; a menu left empty is not shown.
class MenuModel {
 public:
  virtual ~MenuModel() = default;
  virtual size_t GetCount() const = 0;
  virtual bool Clear() = 0;
};

class ContextMenuHandler {
 public:
  virtual ~ContextMenuHandler() = default;
  // The engine's menu for |params| is about to be shown; the handler may change
  // |model|.
  virtual void OnBeforeContextMenu(const std::shared_ptr<Browser>& browser,
                                   const std::shared_ptr<Frame>& frame,
                                   const ContextMenuParams& params,
                                   MenuModel& model) {}
};

// What a drag carries.
class DragData {
 public:
  virtual ~DragData() = default;
  virtual bool IsFile() const = 0;
  virtual std::vector<std::string> GetFileNames() const = 0;
};

// Operations the drag source allows (a bit mask).
using DragOperationsMask = uint32_t;
constexpr DragOperationsMask kDragOperationNone = 0;
constexpr DragOperationsMask kDragOperationCopy = 1;
constexpr DragOperationsMask kDragOperationLink = 2;
constexpr DragOperationsMask kDragOperationMove = 16;

class DragHandler {
 public:
  virtual ~DragHandler() = default;
  // A drag enters the browser's view. Return true to refuse it: the page then
  // sees nothing of it and nothing can be dropped there.
  virtual bool OnDragEnter(const std::shared_ptr<Browser>& browser,
                           const DragData& drag_data,
                           DragOperationsMask mask) {
    return false;
  }
};

// No method: the engine shows its own alert, confirm, prompt and leave-page
// dialogs.
class JSDialogHandler {
 public:
  virtual ~JSDialogHandler() = default;
  // The page asks to stay while its browser is asked to close (its beforeunload
  // handler cancelled the event). Return true and set |leave| to answer without
  // asking; false lets the engine ask the user. UI thread.
  virtual bool OnBeforeUnloadDialog(const std::shared_ptr<Browser>& browser,
                                    bool& leave) {
    return false;
  }
};

// What a document may ask the user's leave for.
enum class Permission {
  kNotifications,
  kGeolocation,
  kCamera,
  kMicrophone,
  kCameraAndMicrophone,
  kScreenCapture,
  kPointerLock,
  // The asynchronous Clipboard API, reading and writing.
  kClipboard,
  kFullscreen,
};

class PermissionCallback {
 public:
  virtual ~PermissionCallback() = default;
  // The answer; only the first call counts. A callback dropped unanswered denies.
  virtual void Continue(bool granted) = 0;
};

// A notification a document shows, and the way back to the document.
class Notification {
 public:
  virtual ~Notification() = default;
  virtual std::string GetOrigin() const = 0;
  virtual std::string GetTitle() const = 0;
  virtual std::string GetBody() const = 0;
  // The user clicked it, or dismissed it: the document's "click" and "close".
  virtual void OnClicked() = 0;
  virtual void OnClosed() = 0;
  // |withdrawn| runs when the document itself closes the notification.
  virtual void SetWithdrawnHandler(std::function<void()> withdrawn) = 0;
};

class PermissionHandler {
 public:
  virtual ~PermissionHandler() = default;
  // A document of |origin| ("scheme://host[:port]") asks for |permission|. Answer
  // through |callback|, now or later. Clipboard and fullscreen must be answered
  // before this returns: the engine decides them at once, and takes no answer as
  // a denial. UI thread.
  virtual void OnPermissionRequest(const std::shared_ptr<Browser>& browser,
                                   const std::string& origin,
                                   Permission permission,
                                   const std::shared_ptr<PermissionCallback>& callback) {
    callback->Continue(false);
  }
  // A document allowed notifications shows one. Return false to drop it. UI thread.
  virtual bool OnShowNotification(const std::shared_ptr<Notification>& notification) {
    return false;
  }
};

class Client {
 public:
  virtual ~Client() = default;
  virtual std::shared_ptr<ContextMenuHandler> GetContextMenuHandler() { return nullptr; }
  virtual std::shared_ptr<DisplayHandler> GetDisplayHandler() { return nullptr; }
  virtual std::shared_ptr<DownloadHandler> GetDownloadHandler() { return nullptr; }
  virtual std::shared_ptr<DragHandler> GetDragHandler() { return nullptr; }
  virtual std::shared_ptr<JSDialogHandler> GetJSDialogHandler() { return nullptr; }
  virtual std::shared_ptr<KeyboardHandler> GetKeyboardHandler() { return nullptr; }
  virtual std::shared_ptr<LifeSpanHandler> GetLifeSpanHandler() { return nullptr; }
  virtual std::shared_ptr<LoadHandler> GetLoadHandler() { return nullptr; }
  virtual std::shared_ptr<RequestHandler> GetRequestHandler() { return nullptr; }
  // None: every permission is denied and every notification dropped.
  virtual std::shared_ptr<PermissionHandler> GetPermissionHandler() { return nullptr; }
  // A message from the page's side of the message router. Return true when handled.
  virtual bool OnProcessMessageReceived(const std::shared_ptr<Browser>& browser,
                                        const ProcessMessage& message) {
    return false;
  }
};

}  // namespace engine

#endif  // SRC_ENGINE_CLIENT_H_
