#include "engine/qt/qt_development.h"

#include <QKeySequence>
#include <QShortcut>
#include <QVBoxLayout>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QWidget>
#include <cstdio>

#include "engine/thread_check.h"

namespace engine {

QtDevelopment::QtDevelopment(QWebEngineView* view) : QObject(view), view_(view) {
  const auto add_key = [this](const QKeySequence& key, void (QtDevelopment::*slot)()) {
    auto* shortcut = new QShortcut(key, view_);
    // The window's keys, wherever its focus is inside the view.
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    connect(shortcut, &QShortcut::activated, this, slot);
  };
  // The developer's edits show whichever reload is asked for.
  add_key(QKeySequence(Qt::Key_F5), &QtDevelopment::Reload);
  add_key(QKeySequence(Qt::CTRL | Qt::Key_R), &QtDevelopment::Reload);
  add_key(QKeySequence(Qt::SHIFT | Qt::Key_F5), &QtDevelopment::Reload);
  add_key(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R), &QtDevelopment::Reload);
  add_key(QKeySequence(Qt::Key_F12), &QtDevelopment::ShowDevTools);
  add_key(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I), &QtDevelopment::ShowDevTools);
}

QtDevelopment::~QtDevelopment() {
  // The window's page goes before its profile.
  delete devtools_window_;
}

void QtDevelopment::Reload() {
  LUMIO_ASSERT_UI_THREAD();
  bypassing_ = true;
  view_->page()->triggerAction(QWebEnginePage::ReloadAndBypassCache);
}

bool QtDevelopment::AcceptNavigation(const QUrl& url, bool reload) {
  if (!reload) {
    // Nothing is cached before the first document.
    if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https") ||
        view_->page()->url().isEmpty())
      return true;
    // Another document: the engine's memory cache would hand it the scripts and
    // style sheets that the last one loaded. Clearing the cache clears that too.
    view_->page()->profile()->clearHttpCache();
    return true;
  }
  if (bypassing_) {
    bypassing_ = false;
    return true;
  }
  // Not from inside the engine's navigation: once it has refused this one.
  QMetaObject::invokeMethod(this, &QtDevelopment::Reload, Qt::QueuedConnection);
  return false;
}

void QtDevelopment::ShowDevTools() {
  LUMIO_ASSERT_UI_THREAD();
  if (!devtools_window_) {
    if (!devtools_profile_)
      devtools_profile_ = new QWebEngineProfile(this);
    auto* window = new QWidget(nullptr, Qt::Window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* view = new QWebEngineView(window);
    auto* page = new QWebEnginePage(devtools_profile_, view);
    view->setPage(page);
    layout->addWidget(view);
    view_->page()->setDevToolsPage(page);
    window->setWindowTitle(QStringLiteral("DevTools - ") +
                           view_->page()->url().toString());
    window->resize(960, 640);
    devtools_window_ = window;
  }
  devtools_window_->show();
  devtools_window_->raise();
  devtools_window_->activateWindow();
}

void QtDevelopment::OnConsoleMessage(QWebEnginePage::JavaScriptConsoleMessageLevel level,
                                     const QString& message,
                                     int line_number,
                                     const QString& source_id) {
  if (level != QWebEnginePage::ErrorMessageLevel)
    return;
  // Qt names no frame: the page's address stands for it, and the script's names
  // where the error is. A page that failed to load has no address yet.
  const QString page = view_->page()->url().toString(QUrl::FullyEncoded);
  std::fprintf(stderr, "lumio: %s: %s (%s:%d)\n",
               page.isEmpty() ? "(no page)" : page.toUtf8().constData(),
               message.toUtf8().constData(),
               source_id.isEmpty() ? "?" : source_id.toUtf8().constData(), line_number);
  std::fflush(stderr);
}

}  // namespace engine
