// The client and its handlers: how the engine asks the program what to do with a
// browser. Shaped after CEF's CefClient family; every method has a default that
// leaves the engine's own behaviour in place. Unless stated otherwise the engine
// calls them on the UI (main) thread.
#ifndef SRC_ENGINE_CLIENT_H_
#define SRC_ENGINE_CLIENT_H_

#include <memory>
#include <string>

#include "engine/browser.h"

namespace engine {

class Request {
 public:
  virtual ~Request() = default;
  virtual std::string GetURL() const = 0;
  virtual std::string GetHeader(const std::string& name) const { return {}; }
  virtual void SetHeader(const std::string& name, const std::string& value) {}
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
  void* parent_view = nullptr;  // a QWidget* in the Qt backend
  int x = 0, y = 0, width = 0, height = 0;
  bool hidden = false;
};

struct BrowserSettings {
  bool universal_access_from_file_urls = false;
  bool web_security_disabled = false;
  bool image_shrink_standalone_to_fit = false;
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

class RequestHandler {
 public:
  virtual ~RequestHandler() = default;
  // Return true to cancel the navigation.
  virtual bool OnBeforeBrowse(const std::shared_ptr<Browser>& browser,
                              const std::shared_ptr<Frame>& frame,
                              const Request& request,
                              bool is_redirect) {
    return false;
  }
  virtual void OnRenderProcessTerminated(const std::shared_ptr<Browser>& browser,
                                         TerminationStatus status) {}
};

class LoadHandler {
 public:
  virtual ~LoadHandler() = default;
};
class KeyboardHandler {
 public:
  virtual ~KeyboardHandler() = default;
};
class DownloadHandler {
 public:
  virtual ~DownloadHandler() = default;
};
class ContextMenuHandler {
 public:
  virtual ~ContextMenuHandler() = default;
};
class DragHandler {
 public:
  virtual ~DragHandler() = default;
};
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
  // A message from the page's side of the message router. Return true when handled.
  virtual bool OnProcessMessageReceived(const std::shared_ptr<Browser>& browser,
                                        const ProcessMessage& message) {
    return false;
  }
};

}  // namespace engine

#endif  // SRC_ENGINE_CLIENT_H_
