// Browser, host and frame: the engine's view of one web page and its windows.
//
// These are abstract so that the core (bridge, resources, client) can be built and
// tested without a display; engine/qt_browser.* implements them over Qt WebEngine.
// All methods are called on the UI (main) thread unless stated otherwise.
#ifndef SRC_ENGINE_BROWSER_H_
#define SRC_ENGINE_BROWSER_H_

#include <cstdint>
#include <memory>
#include <string>

namespace engine {

// A view of the window system: a QWidget in the Qt backend. Opaque here, so that
// no layer takes just any pointer for one; the backend (engine/qt/qt_view.h) and
// the native layer (native/native_view.h) each convert it in one place.
class NativeView;

class Client;
struct ProcessMessage;

class Frame {
 public:
  virtual ~Frame() = default;

  // The frame's name (window.name, or the target name given to window.open).
  virtual std::string GetName() const = 0;
  // The frame's current address, as the engine canonicalised it. Empty when the
  // engine cannot vouch for it.
  virtual std::string GetURL() const = 0;
  // The serialised origin of the frame's document ("app://lumio", "null" when
  // opaque), which is not always the origin of its address: about:blank, srcdoc
  // and blob: documents have their creator's. Empty when unknown.
  virtual std::string GetSecurityOrigin() const = 0;
  virtual bool IsMain() const = 0;
  // Runs |code| in the frame's page context. |script_url| is only the name under
  // which the script's source is reported; nothing is loaded from it.
  virtual void ExecuteJavaScript(const std::string& code,
                                 const std::string& script_url,
                                 int start_line) = 0;
};

class BrowserHost {
 public:
  virtual ~BrowserHost() = default;

  virtual void SetFocus(bool focus) = 0;
  virtual void SendFocusEvent(bool focus) = 0;
  // Tells the page whether its window can be seen (document.visibilityState).
  virtual void SetWindowVisibility(bool visible) = 0;
  // Asks the page to close: unload handlers run unless |force_close|, then the
  // client's DoClose decides whether the window really closes.
  virtual void CloseBrowser(bool force_close) = 0;
  virtual std::shared_ptr<Client> GetClient() = 0;
  // The view that shows the page.
  virtual NativeView* GetWindowHandle() = 0;
};

class Browser {
 public:
  virtual ~Browser() = default;

  virtual std::shared_ptr<BrowserHost> GetHost() = 0;
  virtual std::shared_ptr<Frame> GetMainFrame() = 0;
  // Unique for the life of the process; never reused.
  virtual int GetIdentifier() const = 0;
  virtual bool IsSame(const std::shared_ptr<Browser>& other) const {
    return other && other->GetIdentifier() == GetIdentifier();
  }
  // Delivers a message to the page's side of the message router.
  virtual void SendProcessMessage(const ProcessMessage& message) = 0;
  // The last error that the page's scripts reported (an uncaught exception or a
  // console.error) as "message (script:line)"; empty while there was none.
  virtual std::string GetLastScriptError() const { return {}; }
};

// Messages between the browser side of the message router and the script that
// defines cefQuery in the page.
struct ProcessMessage {
  enum class Kind {
    kQuery,     // page -> browser: a cefQuery call
    kCancel,    // page -> browser: cefQueryCancel, or the frame went away
    kResponse,  // browser -> page: success or failure of a query
  };
  Kind kind = Kind::kQuery;
  std::shared_ptr<Frame> frame;  // the calling frame (kQuery, kCancel)
  int64_t query_id = 0;
  std::string request;  // kQuery: the request text
  bool persistent = false;
  bool success = false;  // kResponse
  int error_code = 0;    // kResponse, failures
  std::string result;    // kResponse: the response or the error message
};

}  // namespace engine

#endif  // SRC_ENGINE_BROWSER_H_
