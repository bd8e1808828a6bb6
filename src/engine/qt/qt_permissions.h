// A page's permission requests, each answered by the client's PermissionHandler:
// Qt hands every one to the program, and a request left unanswered never settles
// in the page. The clipboard is a page setting in Qt, kept to the answer for the
// main frame's origin whenever that changes. UI thread.
#ifndef SRC_ENGINE_QT_QT_PERMISSIONS_H_
#define SRC_ENGINE_QT_QT_PERMISSIONS_H_

#include <string>

#include "engine/client.h"

class QUrl;

namespace engine {

class QtBrowser;

// "scheme://host[:port]" of |url|'s origin; "null" for an opaque one.
std::string OriginText(const QUrl& url);

// The client's answer given before it returns, for the questions the engine
// decides at once (clipboard, fullscreen); false without a handler or an answer.
bool AskAtOnce(QtBrowser& browser, const QUrl& origin, Permission permission);

class QtPermissions {
 public:
  // Connects |browser|'s page for as long as the page lives.
  static void Connect(QtBrowser& browser);
};

}  // namespace engine

#endif  // SRC_ENGINE_QT_QT_PERMISSIONS_H_
