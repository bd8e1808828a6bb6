// Window delegates: connect a browser window to its browser.
//
// OBWindowDelegate forwards the window's focus and visibility to the engine and
// turns a close request into a question to the engine: the window closes only after
// the engine has agreed (closing() set by the client's DoClose). It is a child of
// its window and goes with it; the window is deleted once it has really closed.
// OBMainWindowDelegate also tells the page about the main window's state.
// UI thread only.
#ifndef SRC_NATIVE_WINDOW_DELEGATE_H_
#define SRC_NATIVE_WINDOW_DELEGATE_H_

#include <QObject>
#include <memory>

#include "engine/browser.h"

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
  using OBWindowDelegate::OBWindowDelegate;
  void NotifyChange() override;
};

#endif  // SRC_NATIVE_WINDOW_DELEGATE_H_
