// The program's one owner: everything the browser process keeps for its whole run
// is a member here, made in main and gone when main returns. The main browser
// and the record that the browsers are closing, the page-event sink, the quit
// lifecycle, the main window and the popup parent, the prepared popups, the
// opener of external addresses, the command table and the tray icon live here;
// the services that the page's commands call are bound to them.
//
// Shutdown is this object's destruction. The destructor ends the lifecycle and
// empties the command table; the members then go in reverse order of declaration:
// the tray icon, every browser (closed), the engine (shut down), and then what the
// engine's client refers to, the page-event sink that the browsers closed by the
// engine still use among it.
//
// UI thread only.
#ifndef SRC_APP_SHELL_H_
#define SRC_APP_SHELL_H_

#include <functional>
#include <memory>
#include <string>

#include "app/app_lifecycle.h"
#include "bridge/bridge_router.h"
#include "engine/app.h"
#include "engine/engine.h"
#include "native/app_identity.h"
#include "native/browser_operations.h"
#include "native/main_window.h"
#include "native/os_services.h"
#include "native/prepared_popups.h"

class TrayIcon;

class Shell : public AppShell {
 public:
  // |identity| names the program to the page and the desktop.
  explicit Shell(const AppIdentity& identity);
  ~Shell() override;
  Shell(const Shell&) = delete;
  Shell& operator=(const Shell&) = delete;

  // Starts the engine; its context, once ready, calls OnContextInitialized.
  void StartEngine(const engine::Settings& settings,
                   const std::shared_ptr<engine::App>& app);
  // The tray icon, the main window and the bridge commands.
  void OnContextInitialized();

  // Every request to end the program: hides the main window, sends the page
  // "OrbitAppWillQuit" and closes every browser once the grace period has passed.
  // Repeated calls tell the page again; the browsers close once.
  void Quit() { lifecycle_.Quit(); }
  // The user asks for the program again: the tray icon or a delivered notification
  // was clicked, or lumio-app was started a second time.
  void Reopen() { lifecycle_.Reopen(); }
  // True once a quit has been asked for; nothing calls it off.
  bool IsQuitting() const { return lifecycle_.state() != AppLifecycle::State::kRunning; }

  // The main window's start page, when not the pack's; before StartEngine.
  void SetStartUrl(std::string url) { main_window_.set_start_url(std::move(url)); }

  // Null before OnContextInitialized and after the main window has really closed.
  BrowserWindow* main_window() const { return main_window_.window(); }

 private:
  // Shuts the engine down when it goes, if it was started.
  class EngineRun {
   public:
    EngineRun() = default;
    ~EngineRun();
    void Start(const engine::Settings& settings, const std::shared_ptr<engine::App>& app);

   private:
    bool started_ = false;
  };

  // Asks every open browser to close when it goes.
  class BrowsersClose {
   public:
    explicit BrowsersClose(Browsers& browsers) : browsers_(browsers) {}
    ~BrowsersClose() { browsers_.CloseAll(); }

   private:
    Browsers& browsers_;
  };

  // AppShell
  void ShowMainWindow() override;
  void HideMainWindow() override;
  void SendPageEvent(const std::string& name, const rapidjson::Value& payload) override;
  void CloseAllBrowsers() override;
  bool BrowsersClosing() const override;
  void ClearBadge() override;
  void RemoveDeliveredNotifications() override;
  void PostDelayedTask(std::function<void()> task, int64_t delay_ms) override;

  // Says on standard error, once, that the page has not finished its handshake,
  // with its address and its last script error.
  void ReportMissingHandshake();

  // In order of construction; each may refer to those above it. The engine's
  // client refers to those above engine_ from any browser, so they outlive it.
  const AppIdentity identity_;
  Browsers browsers_;
  MainPageEventSink page_events_{browsers_};
  AppLifecycle lifecycle_{this};
  MainWindow main_window_;
  PreparedPopups popups_;
  ExternalOpener opener_;
  BridgeCommandTable commands_;
  EngineRun engine_;
  BrowsersClose close_browsers_{browsers_};
  std::unique_ptr<TrayIcon> tray_;
  // The user's answers to permission prompts, in the engine's profile folder.
  std::string permissions_path_;
  // Whether the page has sent OrbitAppInitialized.
  bool initialized_ = false;
  // Tasks posted for this Shell run only while it exists.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

#endif  // SRC_APP_SHELL_H_
