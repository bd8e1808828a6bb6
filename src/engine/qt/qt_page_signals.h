// What a browser's page tells through Qt's signals, told to the browser's client:
// its address and title, a renderer gone, a page that asks to close its window or
// to open another. Each handler runs on the UI thread, and does nothing once the
// browser is gone.
#ifndef SRC_ENGINE_QT_QT_PAGE_SIGNALS_H_
#define SRC_ENGINE_QT_QT_PAGE_SIGNALS_H_

namespace engine {

class QtBrowser;

class QtPageSignals {
 public:
  // Connects the signals of |browser|'s page, for as long as the page lives.
  static void Connect(QtBrowser& browser);
};

}  // namespace engine

#endif  // SRC_ENGINE_QT_QT_PAGE_SIGNALS_H_
