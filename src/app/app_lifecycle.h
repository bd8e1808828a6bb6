// The program's life from its first request to quit to the end of its message loop,
// and what reopening it does meanwhile. Kept apart from Qt and the engine: the
// desktop, the page, the browsers and the UI thread's task queue come in through
// AppShell, so that tests run it on a fake clock.
//
//   running --Quit--> quit announced --grace period ends, or QuitNow--> closing
//           --QuitNow (no announcement)------------------------------^
//   closing --the last browser has closed and the loop has returned--> loop ended
//
// Quit hides the main window and sends the page "OrbitAppWillQuit" with {} each
// time it is called before the loop has ended; the browsers are asked to close
// once, when the first grace period ends or at QuitNow, whichever comes first. The
// page cannot call a quit off: there is no way back to running. Reopen shows the
// main window while the program runs or a quit is only announced, and does not
// call the quit off either.
//
// UI thread only.
#ifndef SRC_APP_APP_LIFECYCLE_H_
#define SRC_APP_APP_LIFECYCLE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <rapidjson/fwd.h>

// How long the page has between "OrbitAppWillQuit" and the close of every browser.
inline constexpr int64_t kQuitGracePeriodMs = 5000;

class AppShell {
 public:
  virtual ~AppShell() = default;

  // Shows, raises and focuses the main window.
  virtual void ShowMainWindow() = 0;
  virtual void HideMainWindow() = 0;
  virtual void SendPageEvent(const std::string& name,
                             const rapidjson::Value& payload) = 0;
  // Asks every open browser to close, running the pages' unload handlers. When the
  // last one has closed, the message loop ends.
  virtual void CloseAllBrowsers() = 0;
  // Whether the browsers were asked to close: the browsers keep the one record of
  // it, which CloseAllBrowsers sets.
  virtual bool BrowsersClosing() const = 0;
  virtual void ClearBadge() = 0;
  virtual void RemoveDeliveredNotifications() = 0;
  // Runs |task| on the UI thread after |delay_ms|.
  virtual void PostDelayedTask(std::function<void()> task, int64_t delay_ms) = 0;
};

class AppLifecycle {
 public:
  enum class State { kRunning, kQuitAnnounced, kClosing, kLoopEnded };

  // |shell| must outlive this object.
  explicit AppLifecycle(AppShell* shell);
  AppLifecycle(const AppLifecycle&) = delete;
  AppLifecycle& operator=(const AppLifecycle&) = delete;

  // Every request to end the program: announces the quit and closes the browsers
  // after the grace period.
  void Quit();
  // Closes the browsers at once, without hiding the window or telling the page.
  void QuitNow();
  // The user asks for the program again (tray icon, notification, second launch):
  // shows the main window and clears the badge and the delivered notifications.
  // Does nothing once the browsers are closing.
  void Reopen();
  // The message loop has returned.
  void OnLoopEnded();

  // Closing while the shell says the browsers are closing.
  State state() const;

 private:
  void CloseAllBrowsers();

  AppShell* shell_;
  bool quit_announced_ = false;
  bool loop_ended_ = false;
  // Tasks still queued when this object goes do nothing.
  std::shared_ptr<AppLifecycle*> self_;
};

#endif  // SRC_APP_APP_LIFECYCLE_H_
