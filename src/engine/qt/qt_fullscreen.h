// A page's requests to enter and leave fullscreen: the client decides entering
// (the engine has already asked for a user gesture), and the view's window
// really goes fullscreen, as the page's fullscreen events say. Escape leaves it,
// as in a browser. UI thread.
#ifndef SRC_ENGINE_QT_QT_FULLSCREEN_H_
#define SRC_ENGINE_QT_QT_FULLSCREEN_H_

namespace engine {

class QtBrowser;

class QtFullscreen {
 public:
  // Connects |browser|'s page for as long as the page lives.
  static void Connect(QtBrowser& browser);
};

}  // namespace engine

#endif  // SRC_ENGINE_QT_QT_FULLSCREEN_H_
