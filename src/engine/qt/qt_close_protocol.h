// How a browser closes. CloseBrowser asks the page whether it may go (its
// beforeunload handlers); a page that asks to stay has the client, or the user in
// a "Leave page?" box, decide. Once it may go, the client may still keep the
// browser (DoClose); otherwise the page's pagehide and unload handlers run and
// the window goes. A page that hangs in a handler, or whose renderer is gone,
// does not keep the browser from closing.
//
// Owned by its browser; only used on the UI thread.
#ifndef SRC_ENGINE_QT_QT_CLOSE_PROTOCOL_H_
#define SRC_ENGINE_QT_QT_CLOSE_PROTOCOL_H_

#include <QPointer>

class QMessageBox;

namespace engine {

class QtBrowser;

class QtCloseProtocol {
 public:
  explicit QtCloseProtocol(QtBrowser& browser) : browser_(browser) {}
  QtCloseProtocol(const QtCloseProtocol&) = delete;
  QtCloseProtocol& operator=(const QtCloseProtocol&) = delete;

  // BrowserHost::CloseBrowser.
  void Close(bool force_close);
  // The page asked to close its window (window.close), or its unload handlers
  // have run.
  void OnWindowCloseRequested();
  // A close that waited for the page goes on without it.
  void OnRendererGone();
  // Closes the "Leave page?" box, if open, as if it had never been asked.
  void DismissLeaveQuestion();

 private:
  // The page's answer to the question that Close put to it.
  void OnAnswer(int question, bool page_asks_to_stay);
  // The page asks to stay: the user decides, in a box on the browser's window.
  void AskWhetherToLeave();
  // The page agreed to close (or was forced to): the client decides.
  void OnCloseRequested(bool run_unload_handlers);
  // The page's unload handlers have run (or could not): the window goes.
  void OnUnloaded();

  QtBrowser& browser_;
  int question_ = 0;        // the close question awaiting an answer, or 0
  int questions_ = 0;       // close questions put so far
  bool unloading_ = false;  // the page's unload handlers are running
  // The user's question, open until answered or dismissed.
  QPointer<QMessageBox> leave_question_;
};

}  // namespace engine

#endif  // SRC_ENGINE_QT_QT_CLOSE_PROTOCOL_H_
