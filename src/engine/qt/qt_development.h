// Development mode in one browser's window: the keys of a browser's developer,
// reloads that bypass every cache, the DevTools in a window of their own, and the
// page's script errors on standard error.
//
// UI thread only.
#ifndef SRC_ENGINE_QT_QT_DEVELOPMENT_H_
#define SRC_ENGINE_QT_QT_DEVELOPMENT_H_

#include <QObject>
#include <QPointer>
#include <QWebEnginePage>

class QWebEngineProfile;
class QWebEngineView;
class QWidget;

namespace engine {

class QtDevelopment : public QObject {
  Q_OBJECT
 public:
  // Gives |view| the keys; lives as its child.
  explicit QtDevelopment(QWebEngineView* view);
  ~QtDevelopment() override;

  // Reloads the page, bypassing every cache.
  void Reload();
  // For a navigation of the main frame, from the page's acceptNavigationRequest.
  // Before Qt 6.6 the app's answers cannot tell the engine to keep no copy, and its
  // memory cache serves old scripts and style sheets to a reloaded or a new
  // document. A |reload| that does not bypass the caches (location.reload(), the
  // DevTools' reload button) is refused, false, and the page reloads once more,
  // bypassing them; before another document of the program's own scheme the
  // caches are cleared (a developer's http server says itself what may be kept,
  // and clearing would cut its answers short).
  bool AcceptNavigation(const QUrl& url, bool reload);
  // Opens the DevTools of the page in a window of their own, or raises it.
  void ShowDevTools();
  // Errors only: the page's console.error and its uncaught exceptions.
  void OnConsoleMessage(QWebEnginePage::JavaScriptConsoleMessageLevel level,
                        const QString& message,
                        int line_number,
                        const QString& source_id);

 private:
  QWebEngineView* view_;  // owns this
  bool bypassing_ = false;
  // The DevTools' own profile, off the record: the program's scripts are not put
  // into their pages. Outlives the window, whose page uses it.
  QWebEngineProfile* devtools_profile_ = nullptr;
  QPointer<QWidget> devtools_window_;
};

}  // namespace engine

#endif  // SRC_ENGINE_QT_QT_DEVELOPMENT_H_
