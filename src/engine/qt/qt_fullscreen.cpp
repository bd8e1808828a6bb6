#include "engine/qt/qt_fullscreen.h"

#include <QEvent>
#include <QPointer>
#include <QShortcut>
#include <QWebEngineFullScreenRequest>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <QWidget>

#include "engine/qt/qt_browser.h"
#include "engine/qt/qt_permissions.h"
#include "engine/thread_check.h"

namespace engine {
namespace {

// The window's state before fullscreen, and the Escape key that leaves it; one per
// page, living as long as the page.
class FullscreenState : public QObject {
 public:
  FullscreenState(QWebEnginePage* page, QWebEngineView* view)
      : QObject(page), page_(page), view_(view) {}

  void Enter() {
    QWidget* window = view_ ? view_->window() : nullptr;
    if (!window)
      return;
    if (!window_) {
      window_ = window;
      before_ = window->windowState() & ~Qt::WindowFullScreen;
      window->installEventFilter(this);
    }
    if (!escape_) {
      escape_ = new QShortcut(QKeySequence(Qt::Key_Escape), window);
      QObject::connect(escape_, &QShortcut::activated, page_, [page = page_] {
        if (page)
          page->triggerAction(QWebEnginePage::ExitFullScreen);
      });
    }
    window->setWindowState(window->windowState() | Qt::WindowFullScreen);
  }

  void Leave() {
    delete escape_;
    QPointer<QWidget> window = window_;
    window_ = nullptr;
    if (window) {
      window->removeEventFilter(this);
      window->setWindowState(before_);
    }
  }

 protected:
  // The window manager (or the user through it) took the window out of
  // fullscreen: the page leaves it too, or it would think itself still there.
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::WindowStateChange && window_ && watched == window_ &&
        !(window_->windowState() & Qt::WindowFullScreen) && page_) {
      page_->triggerAction(QWebEnginePage::ExitFullScreen);
    }
    return false;
  }

 private:
  QPointer<QWebEnginePage> page_;
  QPointer<QWebEngineView> view_;
  QPointer<QWidget> window_;  // while fullscreen
  QPointer<QShortcut> escape_;
  Qt::WindowStates before_;
};

}  // namespace

void QtFullscreen::Connect(QtBrowser& browser) {
  QWebEnginePage* page = browser.page();
  auto* state = new FullscreenState(page, browser.view());
  std::weak_ptr<QtBrowser> weak = browser.weak_from_this();
  // Without the page setting the engine refuses a request at once, and a request
  // refused later never settles in the page (Qt 6.4): the setting follows the
  // client's answer for the main frame's origin.
  QObject::connect(page, &QWebEnginePage::urlChanged, state,
                   [weak, page](const QUrl& url) {
                     auto self = weak.lock();
                     page->settings()->setAttribute(
                         QWebEngineSettings::FullScreenSupportEnabled,
                         self && AskAtOnce(*self, url, Permission::kFullscreen));
                   });
  QObject::connect(
      page, &QWebEnginePage::fullScreenRequested, state,
      [weak, state](QWebEngineFullScreenRequest request) {
        LUMIO_ASSERT_UI_THREAD();
        if (!request.toggleOn()) {
          // Leaving is always allowed: the page, a navigation or the
          // engine ends it.
          request.accept();
          state->Leave();
          return;
        }
        auto self = weak.lock();
        if (!self || !AskAtOnce(*self, request.origin(), Permission::kFullscreen)) {
          request.reject();
          return;
        }
        request.accept();
        state->Enter();
      });
}

}  // namespace engine
