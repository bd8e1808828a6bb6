#include "app/ob_app_delegate.h"

#include <QApplication>
#include <QKeySequence>
#include <QScreen>
#include <QShortcut>
#include <QWidget>

#include "app/ob_application.h"
#include "native/browser_window.h"

void OBAppDelegate::createApplication(OBApplication* application,
                                      BrowserWindow* main_window) {
  // The menu bar's commands, as shortcuts. Quit works from every window of the
  // program; Close and Minimize act on the main window, Close like its close
  // button (which only hides it).
  if (BrowserWindow* window = main_window) {
    auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), window);
    quit->setContext(Qt::ApplicationShortcut);
    connect(quit, &QShortcut::activated, application, &OBApplication::terminate);
    auto* close = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_W), window);
    connect(close, &QShortcut::activated, window, &QWidget::close);
    auto* minimize = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_M), window);
    connect(minimize, &QShortcut::activated, window, &QWidget::showMinimized);
  }

  for (QScreen* screen : QGuiApplication::screens())
    WatchScreen(screen);
  connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
    WatchScreen(screen);
    applicationDidChangeScreenParameters();
  });
  connect(qGuiApp, &QGuiApplication::screenRemoved, this,
          &OBAppDelegate::applicationDidChangeScreenParameters);
  connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this,
          &OBAppDelegate::applicationDidChangeScreenParameters);

  application->setDelegate(this);
}

void OBAppDelegate::tryToTerminateApplication(OBApplication* application) {
  quit_();
}

void OBAppDelegate::applicationShouldHandleReopen() {
  reopen_();
}

void OBAppDelegate::applicationDidChangeScreenParameters() {
  for (QWidget* window : QApplication::topLevelWidgets())
    window->update();
}

void OBAppDelegate::WatchScreen(QScreen* screen) {
  connect(screen, &QScreen::geometryChanged, this,
          &OBAppDelegate::applicationDidChangeScreenParameters);
  connect(screen, &QScreen::logicalDotsPerInchChanged, this,
          &OBAppDelegate::applicationDidChangeScreenParameters);
}
