// The program's browsers as the desktop sees them: the main browser reference,
// scripts run in the main page, and the one-time close of all browsers. The
// program's Shell owns the one Browsers object; the client and the page-event
// sink hold references to it. UI thread only.
#ifndef SRC_NATIVE_BROWSER_OPERATIONS_H_
#define SRC_NATIVE_BROWSER_OPERATIONS_H_

#include <memory>
#include <string>
#include <utility>

#include "bridge/page_event.h"
#include "engine/browser.h"

class OrbitClient;

class Browsers {
 public:
  // The first browser ever created; empty before it and after the last browser has
  // closed.
  const std::shared_ptr<engine::Browser>& main_browser() const { return main_browser_; }
  // |client| keeps the list of the browsers the main browser's window opened; it
  // outlives them, as every browser holds it.
  void set_main_browser(std::shared_ptr<engine::Browser> browser,
                        OrbitClient* client = nullptr) {
    main_browser_ = std::move(browser);
    client_ = main_browser_ ? client : nullptr;
  }

  // Runs |code| in the main page's main frame under the script URL "lumio://shell".
  // Returns false, and runs nothing, when there is no main browser.
  // Runs nothing unless that frame shows the app's own document.
  bool RunShellScript(const std::string& code);

  // Asks every open browser to close, in creation order. Does something only once
  // per main window: closing() stays true until ResetClosing. This is the one
  // record that the browsers are closing; the quit lifecycle reads it too.
  void CloseAll();
  bool closing() const { return closing_; }
  void ResetClosing() { closing_ = false; }

 private:
  std::shared_ptr<engine::Browser> main_browser_;
  OrbitClient* client_ = nullptr;  // the main browser's
  bool closing_ = false;
};

// Page events go to the main page (Browsers::RunShellScript).
class MainPageEventSink : public PageEventSink {
 public:
  // |browsers| must outlive this object.
  explicit MainPageEventSink(Browsers& browsers) : browsers_(browsers) {}
  void RunPageEventScript(const std::string& script) override {
    browsers_.RunShellScript(script);
  }

 private:
  Browsers& browsers_;
};

#endif  // SRC_NATIVE_BROWSER_OPERATIONS_H_
