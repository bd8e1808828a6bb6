// Window delegates: connect a browser window to its browser.
//
// OBWindowDelegate forwards the window's focus and visibility to the engine and
// turns a close request into a question to the engine: the window closes only after
// the engine has agreed (closing() set by the client's DoClose). It is a child of
// its window and goes with it; the window is deleted once it has really closed.
// OBMainWindowDelegate also tells the page about the main window's state, each
// change once; a window just shown is reported once the window manager has had a
// moment to activate it.
// UI thread only.
#ifndef SRC_NATIVE_WINDOW_DELEGATE_H_
#define SRC_NATIVE_WINDOW_DELEGATE_H_

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <memory>
#include <string>

#include <rapidjson/fwd.h>

#include "engine/browser.h"
#include "native/window_state.h"

class MainWindow;
class PageEventSink;
class QWidget;

class OBWindowDelegate : public QObject {
  Q_OBJECT
 public:
  OBWindowDelegate(QWidget* window, std::shared_ptr<engine::Browser> browser);
  ~OBWindowDelegate() override;

  // The delegate of |window|, or null.
  static OBWindowDelegate* ForWindow(QWidget* window);

  bool closing() const { return closing_; }
  void setClosing(bool closing) { closing_ = closing; }

  // Called after every focus or visibility change of the window.
  virtual void NotifyChange() {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  QWidget* window() const { return window_; }

 private:
  // True when the window may close now.
  bool WindowShouldClose();
  void WatchActivationAfterShow();

  QWidget* window_;  // owns this object
  std::shared_ptr<engine::Browser> browser_;
  bool closing_ = false;
  bool minimized_ = false;
};

class OBMainWindowDelegate : public OBWindowDelegate {
  Q_OBJECT
 public:
  // |page_events| (may be null) and |main_window| must outlive the window.
  OBMainWindowDelegate(QWidget* window,
                       std::shared_ptr<engine::Browser> browser,
                       PageEventSink* page_events,
                       MainWindow& main_window);
  void NotifyChange() override;

 private:
  void SendPageEvent(const std::string& name, const rapidjson::Value& payload);
  MainWindowState CurrentState() const;
  // Sends |state| to the page unless it was the last one sent.
  void Report(MainWindowState state);
  // One look while a window just come into sight waits to be activated.
  void Settle();

  // Runs while "visible" is held back (see ComesIntoSightUnfocused); settling_
  // measures how long it has been.
  QTimer settle_timer_;
  QElapsedTimer settling_;
  PageEventSink* page_events_;
  MainWindow& main_window_;
};

#endif  // SRC_NATIVE_WINDOW_DELEGATE_H_
