// window.print(): the desktop's print dialog, then the page printed to the
// printer or file the user chose. Never silent, never more than one dialog or
// print job of a page at a time (a page that calls print() again meanwhile is
// not heard). UI thread.
#ifndef SRC_ENGINE_QT_QT_PRINT_H_
#define SRC_ENGINE_QT_QT_PRINT_H_

namespace engine {

class QtBrowser;

class QtPrint {
 public:
  // Connects |browser|'s page for as long as the page lives.
  static void Connect(QtBrowser& browser);
};

}  // namespace engine

#endif  // SRC_ENGINE_QT_QT_PRINT_H_
