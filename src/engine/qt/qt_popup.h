// A page opened by another (window.open, a link with a target) until the client
// has decided on it. Qt tells neither the target name that the page gave
// window.open nor which document asked. The new page knows its name
// (window.name), and its first request names the document that asked (its
// initiator); so the page is made first, without a window, and the client
// decides once both are known, or once waiting longer is no use.
//
// Owned by the new page's browser; only used on the UI thread.
#ifndef SRC_ENGINE_QT_QT_POPUP_H_
#define SRC_ENGINE_QT_QT_POPUP_H_

#include <memory>
#include <string>

#include "engine/client.h"

class QUrl;
class QWebEngineNewWindowRequest;

namespace engine {

class QtBrowser;

class QtPopup {
 public:
  // Makes the page that |opener|'s |request| asks for; it becomes a browser of
  // the client only if the client agrees.
  static void Open(QtBrowser& opener, QWebEngineNewWindowRequest& request);

  explicit QtPopup(QtBrowser& popup) : popup_(popup) {}
  QtPopup(const QtPopup&) = delete;
  QtPopup& operator=(const QtPopup&) = delete;

  // A request of the new page (QtBrowser::OnPendingPopupRequest).
  bool OnRequest(const QUrl& initiator, bool is_main_frame);
  // The new page's own document is here, named |name|: what was not learnt by
  // now is not known.
  void OnOwnDocument(const std::string& name);
  // Gives the page to the client, or lets it go when refused. Called once, when
  // the browser has given the popup up.
  void Finish();

 private:
  // Hands the new page to the client once its name and opener are known.
  void MaybeFinish();

  QtBrowser& popup_;
  std::weak_ptr<QtBrowser> opener_;
  std::string url_;
  bool user_gesture_ = false;
  PopupFeatures features_;
  WindowOpenDisposition disposition_ = WindowOpenDisposition::kNewPopup;
  std::string name_;  // the target name given to window.open
  bool name_known_ = false;
  std::string opener_origin_;  // of the document that asked; empty if none said
  bool opener_origin_known_ = false;
};

}  // namespace engine

#endif  // SRC_ENGINE_QT_QT_POPUP_H_
