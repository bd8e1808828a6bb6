// The main window, which holds the main browser, and the hidden popup parent
// window. The program's Shell owns the one MainWindow object; Create makes both
// windows once. The popup parent lives as long as this object, the main window
// until it really closes at shutdown. UI thread only.
#ifndef SRC_NATIVE_MAIN_WINDOW_H_
#define SRC_NATIVE_MAIN_WINDOW_H_

#include <QPointer>
#include <memory>
#include <string>
#include <utility>

#include "native/window_state.h"

class BrowserWindow;
class QWidget;
namespace engine {
class Browser;
class Client;
}  // namespace engine

class MainWindow {
 public:
  MainWindow();
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the main window (hidden), the popup parent window and the main browser
  // on the start page, served by |client|, and resets the reported state. Returns
  // the main browser. Whoever owns this object gives the window its delegate.
  std::shared_ptr<engine::Browser> Create(const std::shared_ptr<engine::Client>& client);
  // The start page: app://lumio/index.html unless set before Create (a
  // developer's own server).
  void set_start_url(std::string url) { start_url_ = std::move(url); }

  // Gives the main window its default place, frame included, if it has no saved
  // one. Call right before showing it: only then, with the window ready to map, can
  // the window manager tell the size of its frame. Does nothing after the first
  // call.
  void PlaceBeforeFirstShow();

  // Null before Create and after the main window has really closed.
  BrowserWindow* window() const;
  QWidget* popup_parent() const { return popup_parent_.get(); }

  // The state last reported to the page.
  MainWindowStateTracker& state_tracker() { return state_tracker_; }

 private:
  QPointer<BrowserWindow> window_;
  std::unique_ptr<QWidget> popup_parent_;
  // Set while the main window, which has no saved place, waits for its first show.
  bool default_place_pending_ = false;
  MainWindowStateTracker state_tracker_;
  std::string start_url_;
};

#endif  // SRC_NATIVE_MAIN_WINDOW_H_
