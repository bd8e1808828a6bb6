// The view that shows a browser's page: asks the client before the engine's
// context menu appears and before a drag may enter, and keeps Tab going round the
// page when nothing else in its window takes the focus.
#ifndef SRC_ENGINE_QT_QT_VIEW_H_
#define SRC_ENGINE_QT_QT_VIEW_H_

#include <QWebEngineView>
#include <memory>

#include "engine/browser.h"

namespace engine {

// The one place where the backend turns its widgets into the engine's opaque
// views and back (the native layer has its own, native/native_view.h).
inline QWidget* ToWidget(NativeView* view) {
  return reinterpret_cast<QWidget*>(view);
}
inline NativeView* ToNativeView(QWidget* widget) {
  return reinterpret_cast<NativeView*>(widget);
}

class QtBrowser;

class QtView : public QWebEngineView {
  Q_OBJECT
 public:
  QtView(QWidget* parent, std::weak_ptr<QtBrowser> browser)
      : QWebEngineView(parent), browser_(std::move(browser)) {}

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  // The engine asks here to hand the focus on past the page's last control (or,
  // backwards, its first).
  bool focusNextPrevChild(bool next) override;

 private:
  // The view may outlive its browser by a turn of the event loop.
  std::weak_ptr<QtBrowser> browser_;
};

}  // namespace engine

#endif  // SRC_ENGINE_QT_QT_VIEW_H_
